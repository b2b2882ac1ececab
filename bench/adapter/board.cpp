#include "board.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace bench {

Board::Board(ScsiBus& bus, Core5380& core) : bus_(bus), scheduler_(bus.scheduler()), core_(core)
{
    core_.on_start_receive([this] { start_receive(); });
    bus_.watch(line::REQ | line::BSY | line::PHASE, false, [this] { on_bus(); });
}

std::uint8_t Board::status() const
{
    if (in_reset()) return 0x00;
    std::uint8_t s = control_ & bcr::LATCHED;
    // The core is the host's again once a receive has stopped and the core is
    // still in DMA mode; a quiesced core (mode 0) does not show it.
    if ((core_.mode() & mr::DMA_MODE) && !receiving_) s |= bcr::CORE_ENABLED;
    if (buffer_fill_ < kHostBufferBytes) s |= bcr::BUFFER_BUSY;
    if (core_.interrupt()) s |= bcr::INT_PENDING;
    return s;
}

std::uint8_t Board::read8(unsigned offset)
{
    switch (offset) {
    case 9: return status();
    case 10: return static_cast<std::uint8_t>(block_count_ & 0xFF);
    case 12: return count_high_;
    case 13: {
        // The residue: what the board put in that the host has not taken. Bit 7
        // shows that no receive is running, and is no part of the count.
        unsigned left = buffer_fill_ - std::min(buffer_read_, buffer_fill_);
        return static_cast<std::uint8_t>((left & 0x7F) | (receiving_ ? 0x00 : 0x80));
    }
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
            clear();
        }
        control_ = value;
        return;
    case 10:
        // The low byte alone names counts up to 256 (0x00 is 256): it clears the high bits.
        block_count_ = value;
        count_high_ = 0;
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
    std::memcpy(&word, &buffer_[buffer_read_ % kHostBufferBytes], 4);
    buffer_read_ += 4;
    if (buffer_read_ >= kHostBufferBytes) {
        // The host has drained the buffer: the board may take bytes again.
        buffer_fill_ = buffer_read_ = 0;
        on_bus();
    }
    return word;
}

void Board::clear()
{
    ++engine_epoch_;
    receiving_ = acking_ = counted_ = false;
    blocks_left_ = 0;
    block_count_ = 0;
    count_high_ = 0;
    buffer_mode_ = 0;
    buffer_access_ = 0;
    buffer_fill_ = buffer_read_ = 0;
}

void Board::start_receive()
{
    // A receive needs the core in DMA mode and the board's receive enable.
    if (in_reset() || !(core_.mode() & mr::DMA_MODE) || !(control_ & bcr::RECEIVE_ENABLE)) return;
    ++engine_epoch_;
    receiving_ = true;
    acking_ = counted_ = false;
    buffer_fill_ = buffer_read_ = 0;
    last_end_ = ReceiveEnd::None;
    ++receives_;
    on_bus();
}

void Board::end_receive(ReceiveEnd why)
{
    receiving_ = false;
    last_end_ = why;
    // End of DMA, a phase mismatch in DMA mode, or BSY lost under MONITOR BUSY: the core interrupts.
    if (core_.mode() & (mr::ENABLE_EOP_INTERRUPT | mr::MONITOR_BUSY)) core_.raise_interrupt();
}

void Board::on_bus()
{
    if (!receiving_ || acking_) return;
    Signals s = bus_.signals();
    if (!(s & line::BSY)) return end_receive(ReceiveEnd::BusFree);
    if (!(s & line::REQ)) return;
    std::uint8_t tcr = core_.tcr();
    Signals expected = static_cast<Signals>(((tcr & 0x01) ? line::IO : 0) | ((tcr & 0x02) ? line::CD : 0) |
                                            ((tcr & 0x04) ? line::MSG : 0));
    if ((s & line::PHASE) != expected) return end_receive(ReceiveEnd::PhaseMismatch);
    if (buffer_fill_ == kHostBufferBytes) return;  // no ACK until the host drains the buffer
    acking_ = true;
    std::uint64_t epoch = engine_epoch_;
    scheduler_.after(timing::kBoardAckDelay, [this, epoch] {
        if (epoch == engine_epoch_) take_byte();
    });
}

void Board::take_byte()
{
    buffer_[buffer_fill_++] = bus_.data();
    ++bytes_received_;
    core_.dma_ack(true);
    std::uint64_t epoch = engine_epoch_;
    bus_.when([this, epoch] { return epoch != engine_epoch_ || !(bus_.signals() & line::REQ); },
              [this, epoch] {
                  if (epoch != engine_epoch_) return;
                  scheduler_.after(timing::kBoardAckRelease, [this, epoch] {
                      if (epoch != engine_epoch_) return;
                      core_.dma_ack(false);
                      acking_ = false;
                      if (buffer_fill_ == kHostBufferBytes) {
                          // A whole block: the counter counts it. It was written after
                          // the start, so the board takes it now.
                          if (!counted_) {
                              counted_ = true;
                              blocks_left_ = block_count_ == 0 ? 256 : block_count_;
                              blocks_counted_ = blocks_left_;
                          }
                          if (--blocks_left_ == 0) return end_receive(ReceiveEnd::CounterRanOut);
                      }
                      on_bus();
                  });
              });
}

}  // namespace bench
