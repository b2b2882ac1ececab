// A request block as a class driver would build it, with the data buffer it names.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "../../driver/port/scsiport.h"

namespace bench {

struct Request {
    SCSI_REQUEST_BLOCK srb{};
    std::vector<std::uint8_t> data;

    Request(UCHAR target, UCHAR lun, std::vector<std::uint8_t> cdb, ULONG flags, std::size_t length)
        : data(length, 0)
    {
        srb.Length = sizeof srb;
        srb.Function = SRB_FUNCTION_EXECUTE_SCSI;
        srb.TargetId = target;
        srb.Lun = lun;
        srb.CdbLength = static_cast<UCHAR>(std::min<std::size_t>(cdb.size(), 16));
        if (srb.CdbLength) std::memcpy(srb.Cdb, cdb.data(), srb.CdbLength);
        srb.SrbFlags = flags;
        srb.DataTransferLength = static_cast<ULONG>(length);
        srb.DataBuffer = length ? data.data() : nullptr;
        srb.TimeOutValue = 10;
    }
    // A request of another function (reset, abort, ...).
    explicit Request(UCHAR function) { srb.Length = sizeof srb, srb.Function = function, srb.TimeOutValue = 10; }
};

inline std::unique_ptr<Request> inquiry(UCHAR target, UCHAR lun, UCHAR allocation = 36)
{
    return std::make_unique<Request>(target, lun, std::vector<std::uint8_t>{0x12, 0, 0, 0, allocation, 0},
                                     SRB_FLAGS_DATA_IN, allocation);
}

inline std::unique_ptr<Request> read_capacity(UCHAR target, UCHAR lun)
{
    return std::make_unique<Request>(target, lun, std::vector<std::uint8_t>{0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                     SRB_FLAGS_DATA_IN, 8);
}

inline std::vector<std::uint8_t> cdb10(std::uint8_t opcode, std::uint32_t lba, std::uint16_t blocks)
{
    return {opcode, 0, std::uint8_t(lba >> 24), std::uint8_t(lba >> 16), std::uint8_t(lba >> 8), std::uint8_t(lba), 0,
            std::uint8_t(blocks >> 8), std::uint8_t(blocks), 0};
}

inline std::unique_ptr<Request> read10(UCHAR target, UCHAR lun, std::uint32_t lba, std::uint16_t blocks)
{
    return std::make_unique<Request>(target, lun, cdb10(0x28, lba, blocks), SRB_FLAGS_DATA_IN, blocks * 512u);
}

inline std::unique_ptr<Request> write10(UCHAR target, UCHAR lun, std::uint32_t lba, std::uint16_t blocks)
{
    return std::make_unique<Request>(target, lun, cdb10(0x2A, lba, blocks), SRB_FLAGS_DATA_OUT, blocks * 512u);
}

}  // namespace bench
