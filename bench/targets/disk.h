// A direct-access disk: what it answers to each command, apart from the bus.
// Commands are a table of handlers; an error is an ordinary outcome with sense.
#pragma once

#include <memory>
#include <string>

#include "block_store.h"
#include "device.h"
#include "sense.h"

namespace bench {

class Disk final : public ScsiDevice {
public:
    explicit Disk(std::unique_ptr<BlockStore> store, std::string product = "SIM DISK");

    Exchange begin(std::uint8_t lun, std::span<const std::uint8_t> cdb) override;
    std::uint8_t finish(std::span<const std::uint8_t> data_out) override;

    BlockStore& store() { return *store_; }
    const Sense& sense() const { return sense_; }

    struct Command;

private:
    static const Command kCommands[];

    Exchange check(Sense s);
    Exchange good(std::vector<std::uint8_t> data = {});
    bool in_range(std::uint64_t lba, std::uint64_t blocks) const;

    Exchange test_unit_ready(std::span<const std::uint8_t> cdb);
    Exchange request_sense(std::span<const std::uint8_t> cdb);
    Exchange inquiry(std::span<const std::uint8_t> cdb);
    Exchange read_capacity(std::span<const std::uint8_t> cdb);
    Exchange read6(std::span<const std::uint8_t> cdb);
    Exchange read10(std::span<const std::uint8_t> cdb);
    Exchange write6(std::span<const std::uint8_t> cdb);
    Exchange write10(std::span<const std::uint8_t> cdb);
    Exchange mode_sense6(std::span<const std::uint8_t> cdb);
    Exchange start_stop(std::span<const std::uint8_t> cdb);
    Exchange synchronize_cache(std::span<const std::uint8_t> cdb);
    Exchange read(std::uint64_t lba, std::uint64_t blocks);
    Exchange write(std::uint64_t lba, std::uint64_t blocks);

    std::unique_ptr<BlockStore> store_;
    std::string product_;
    Sense sense_;
    std::uint8_t status_ = scsi_status::kGood;
    // A write in progress: where its data goes once it has arrived.
    std::uint64_t write_lba_ = 0;
    std::size_t write_bytes_ = 0;
    bool writing_ = false;
};

}  // namespace bench
