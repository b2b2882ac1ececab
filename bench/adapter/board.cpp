#include "board.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace bench {

Board::Board(Scheduler& scheduler, Core5380& core) : scheduler_(scheduler), core_(core) {}

std::uint8_t Board::status() const
{
    if (in_reset()) return 0x00;
    std::uint8_t s = control_ & bcr::LATCHED;
    // The core is the host's again once a receive has stopped and the core is
    // still in DMA mode; a quiesced core (mode 0) does not show it.
    if ((core_.mode() & mr::DMA_MODE) && !receiving_) s |= bcr::CORE_ENABLED;
    if (buffer_fill_ < buffer_.size()) s |= bcr::BUFFER_BUSY;
    if (core_.interrupt()) s |= bcr::INT_PENDING;
    return s;
}

std::uint8_t Board::read8(unsigned offset)
{
    switch (offset) {
    case 9: return status();
    case 10: return static_cast<std::uint8_t>(block_count_ & 0xFF);
    case 12: return count_high_;
    case 13: return static_cast<std::uint8_t>(buffer_fill_ & 0x7F);
    }
    throw std::logic_error("board has no byte register to read at offset " + std::to_string(offset));
}

void Board::write8(unsigned offset, std::uint8_t value)
{
    switch (offset) {
    case 9:
        if (value & bcr::BOARD_RESET) {
            // Held in reset for as long as the bit stays written: the core and
            // the buffer logic are cleared and stay so.
            if (!in_reset()) ++resets_;
            core_.reset();
            block_count_ = 0;
            count_high_ = 0;
            buffer_mode_ = 0;
            buffer_access_ = 0;
            buffer_fill_ = buffer_read_ = 0;
        }
        control_ = value;
        return;
    case 10:
        block_count_ = static_cast<std::uint16_t>((block_count_ & 0xF00) | value);
        return;
    case 12:
        count_high_ = value;
        block_count_ = static_cast<std::uint16_t>((block_count_ & 0x0FF) | ((value >> 4) << 8));
        return;
    case 13: buffer_mode_ = value; return;
    case 26: buffer_access_ = value; return;
    }
    throw std::logic_error("board has no byte register to write at offset " + std::to_string(offset));
}

std::uint32_t Board::read32(unsigned offset)
{
    if (offset != 8) throw std::logic_error("board has no word register at offset " + std::to_string(offset));
    std::uint32_t word;
    std::memcpy(&word, &buffer_[buffer_read_ % buffer_.size()], 4);
    buffer_read_ = (buffer_read_ + 4) % buffer_.size();
    return word;
}

}  // namespace bench
