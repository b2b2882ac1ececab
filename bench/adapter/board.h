// The board around the core: control register, 12-bit block counter, and the
// receive engine that fills the 128-byte host buffer from the bus by itself.
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

constexpr std::size_t kHostBufferBytes = 128;

// Why the last receive stopped.
enum class ReceiveEnd { None, CounterRanOut, PhaseMismatch, BusFree };

class Board {
public:
    Board(ScsiBus& bus, Core5380& core);

    std::uint8_t read8(unsigned offset);
    void write8(unsigned offset, std::uint8_t value);
    std::uint32_t read32(unsigned offset);

    bool in_reset() const { return control_ & bcr::BOARD_RESET; }
    bool receiving() const { return receiving_; }
    std::uint8_t control() const { return control_; }
    std::uint16_t block_count() const { return block_count_; }
    std::uint8_t buffer_access() const { return buffer_access_; }
    std::uint8_t buffer_mode() const { return buffer_mode_; }
    std::uint64_t resets() const { return resets_; }
    std::uint64_t receives() const { return receives_; }
    std::uint64_t bytes_received() const { return bytes_received_; }
    ReceiveEnd last_end() const { return last_end_; }
    // The blocks the current (or last) receive was counted for, as the board took them.
    unsigned blocks_counted() const { return blocks_counted_; }

private:
    std::uint8_t status() const;
    void clear();
    void start_receive();
    void end_receive(ReceiveEnd why);
    void on_bus();
    void take_byte();

    ScsiBus& bus_;
    Scheduler& scheduler_;
    Core5380& core_;
    std::uint8_t control_ = 0;
    std::uint16_t block_count_ = 0;  // 12 bits
    std::uint8_t count_high_ = 0;
    std::uint8_t buffer_mode_ = 0;
    std::uint8_t buffer_access_ = 0;
    std::array<std::uint8_t, kHostBufferBytes> buffer_{};
    unsigned buffer_fill_ = 0;  // bytes the board has put in
    unsigned buffer_read_ = 0;  // bytes the host has taken out
    std::uint64_t resets_ = 0;

    bool receiving_ = false;
    bool counted_ = false;  // the count is taken with the first byte
    unsigned blocks_left_ = 0;
    unsigned blocks_counted_ = 0;
    bool acking_ = false;
    std::uint64_t engine_epoch_ = 0;  // a reset or a new receive makes pending engine events stale
    std::uint64_t receives_ = 0;
    std::uint64_t bytes_received_ = 0;
    ReceiveEnd last_end_ = ReceiveEnd::None;
};

}  // namespace bench
