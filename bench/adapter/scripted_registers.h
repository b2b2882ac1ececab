// Registers that answer from a script, for checking an exact register sequence:
// each offset reads its queued values in turn, then keeps reading the last one.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <initializer_list>

#include "port_device.h"
#include "register_map.h"

namespace bench {

class ScriptedRegisters final : public PortDevice {
public:
    // Every read of `offset` returns `value` from now on.
    void set(unsigned offset, std::uint8_t value)
    {
        queue_[offset].clear();
        last_[offset] = value;
    }
    // The next reads of `offset` return these values in turn, then the last one again.
    void script(unsigned offset, std::initializer_list<std::uint8_t> values)
    {
        for (std::uint8_t v : values) queue_[offset].push_back(v);
    }

    std::uint8_t read8(unsigned offset) override
    {
        auto& q = queue_[offset];
        if (!q.empty()) {
            last_[offset] = q.front();
            q.pop_front();
        }
        return last_[offset];
    }
    void write8(unsigned offset, std::uint8_t value) override { written_[offset] = value; }
    std::uint8_t last_written(unsigned offset) const { return written_[offset]; }
    std::uint32_t read32(unsigned offset) override { return 0x01010101u * read8(offset); }

private:
    std::array<std::deque<std::uint8_t>, kWindowLength> queue_;
    std::array<std::uint8_t, kWindowLength> last_{};
    std::array<std::uint8_t, kWindowLength> written_{};
};

}  // namespace bench
