// A device that answers every command alike: a set exchange and a set status.
// For tests that care about the bus, not about what a disk would answer.
#pragma once

#include "device.h"

namespace bench {

class FixedDevice final : public ScsiDevice {
public:
    Exchange exchange;
    std::uint8_t status = 0x00;
    std::vector<std::uint8_t> last_cdb;
    std::vector<std::uint8_t> received;
    std::uint8_t last_lun = 0xFF;

    Exchange begin(std::uint8_t lun, std::span<const std::uint8_t> cdb) override
    {
        last_lun = lun;
        last_cdb.assign(cdb.begin(), cdb.end());
        return exchange;
    }
    std::uint8_t finish(std::span<const std::uint8_t> data_out) override
    {
        received.assign(data_out.begin(), data_out.end());
        return status;
    }
};

}  // namespace bench
