// The whole adapter behind its I/O window: the core at 0..7, the board above,
// and the board's interrupt line towards the port driver.
#pragma once

#include "board.h"
#include "core5380.h"
#include "port_device.h"

namespace bench {

class Adapter final : public PortDevice {
public:
    explicit Adapter(ScsiBus& bus);

    std::uint8_t read8(unsigned offset) override
    {
        if (offset < 8) return board_.in_reset() ? 0x00 : core_.read(offset);
        return board_.read8(offset);
    }
    void write8(unsigned offset, std::uint8_t value) override
    {
        if (offset < 8) {
            if (!board_.in_reset()) core_.write(offset, value);  // a core held in reset ignores writes
            return;
        }
        board_.write8(offset, value);
    }
    std::uint32_t read32(unsigned offset) override { return board_.read32(offset); }

    // A model input: the core's interrupt flag, as a selection or an end of DMA would set it.
    void raise_interrupt() { core_.raise_interrupt(); }
    bool interrupt_line() const { return core_.interrupt() && !board_.in_reset(); }

    Core5380& core() { return core_; }
    Board& board() { return board_; }
    ScsiBus& bus() { return bus_; }

private:
    ScsiBus& bus_;
    Core5380 core_;
    Board board_;
};

}  // namespace bench
