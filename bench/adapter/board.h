// The board around the core: control register, block counter, host buffer.
#pragma once

#include <array>
#include <cstdint>

#include "core5380.h"

namespace bench {

namespace bcr {
constexpr std::uint8_t CORE_ENABLED = 0x80;  // read
constexpr std::uint8_t BOARD_RESET = 0x80;   // write
constexpr std::uint8_t RECEIVE_ENABLE = 0x40;
constexpr std::uint8_t INT_ENABLE = 0x10;
constexpr std::uint8_t BUFFER_BUSY = 0x04;  // read
constexpr std::uint8_t INT_PENDING = 0x01;  // read
constexpr std::uint8_t LATCHED = RECEIVE_ENABLE | INT_ENABLE;
}  // namespace bcr

class Board {
public:
    Board(Scheduler& scheduler, Core5380& core);

    std::uint8_t read8(unsigned offset);
    void write8(unsigned offset, std::uint8_t value);
    std::uint32_t read32(unsigned offset);

    bool in_reset() const { return control_ & bcr::BOARD_RESET; }
    std::uint8_t control() const { return control_; }
    std::uint16_t block_count() const { return block_count_; }
    std::uint8_t buffer_access() const { return buffer_access_; }
    std::uint8_t buffer_mode() const { return buffer_mode_; }
    std::uint64_t resets() const { return resets_; }

private:
    std::uint8_t status() const;

    Scheduler& scheduler_;
    Core5380& core_;
    std::uint8_t control_ = 0;
    std::uint16_t block_count_ = 0;  // 12 bits
    std::uint8_t count_high_ = 0;
    std::uint8_t buffer_mode_ = 0;
    std::uint8_t buffer_access_ = 0;
    std::array<std::uint8_t, 128> buffer_{};
    unsigned buffer_fill_ = 0;
    unsigned buffer_read_ = 0;
    std::uint64_t resets_ = 0;
    bool receiving_ = false;
};

}  // namespace bench
