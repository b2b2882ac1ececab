// The logical units behind one target ID: each LUN its own device; a LUN with
// none answers INQUIRY with "no device here" and anything else with CHECK CONDITION.
#pragma once

#include <map>
#include <memory>

#include "device.h"
#include "sense.h"

namespace bench {

class LogicalUnits final : public ScsiDevice {
public:
    void add(std::uint8_t lun, std::unique_ptr<ScsiDevice> device) { units_[lun] = std::move(device); }
    ScsiDevice* unit(std::uint8_t lun)
    {
        auto it = units_.find(lun);
        return it == units_.end() ? nullptr : it->second.get();
    }

    Exchange begin(std::uint8_t lun, std::span<const std::uint8_t> cdb) override
    {
        current_ = unit(lun);
        if (current_) return current_->begin(lun, cdb);
        status_ = scsi_status::kGood;
        if (!cdb.empty() && cdb[0] == 0x12 && cdb.size() >= 6) {
            std::vector<std::uint8_t> d(36, 0);
            d[0] = 0x7F;  // no device at this logical unit
            d[4] = 31;
            d.resize(std::min<std::size_t>(d.size(), cdb[4]));
            return d.empty() ? Exchange{} : Exchange{Exchange::Direction::In, d, 0};
        }
        if (!cdb.empty() && cdb[0] == 0x03 && cdb.size() >= 6) {
            auto s = fixed_sense(sense::kLunNotSupported);
            std::vector<std::uint8_t> d(s.begin(), s.end());
            d.resize(std::min<std::size_t>(d.size(), cdb[4] ? cdb[4] : 4));
            return Exchange{Exchange::Direction::In, d, 0};
        }
        status_ = scsi_status::kCheckCondition;
        return Exchange{};
    }
    std::uint8_t finish(std::span<const std::uint8_t> data_out) override
    {
        return current_ ? current_->finish(data_out) : status_;
    }

private:
    std::map<std::uint8_t, std::unique_ptr<ScsiDevice>> units_;
    ScsiDevice* current_ = nullptr;
    std::uint8_t status_ = 0;
};

}  // namespace bench
