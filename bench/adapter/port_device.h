// What sits behind a mapped I/O window: the adapter model, or scripted registers.
// The port driver checks offsets, widths and directions before it calls in.
#pragma once

#include <cstdint>

namespace bench {

class PortDevice {
public:
    virtual ~PortDevice() = default;
    virtual std::uint8_t read8(unsigned offset) = 0;
    virtual void write8(unsigned offset, std::uint8_t value) = 0;
    virtual std::uint32_t read32(unsigned offset) = 0;
};

}  // namespace bench
