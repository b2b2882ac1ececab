// An execute request carried out by the driver's own start of execution, on
// the model, against one target: what start-I/O does, without the port driver's
// registration around it.
#pragma once

#include <memory>
#include <vector>

#include "driver/protocol/protocol.h"
#include "support/driver_bench.h"
#include "support/fenced_buffer.h"

namespace testing_support {

struct Execution : ModelBench {
    bench::FixedDevice device;
    std::unique_ptr<bench::Target> target;
    FencedBuffer buffer;
    SCSI_REQUEST_BLOCK srb{};
    LU_EXTENSION lu{};

    Execution(std::size_t length, std::vector<bench::Fault> faults = {}, bench::TargetTiming timing = {},
              int id = 0)
        : buffer(length)
    {
        target = std::make_unique<bench::Target>(bus, id, device, timing, std::move(faults));
        ext.InterruptLine = 11;
        srb.Length = sizeof srb;
        srb.TargetId = static_cast<UCHAR>(id);
        srb.DataTransferLength = static_cast<ULONG>(length);
        srb.DataBuffer = length ? buffer.data() : nullptr;
    }

    // A read of `data` (the device sends it) or a write of `length` bytes (the device takes them).
    void reads(std::vector<std::uint8_t> data)
    {
        device.exchange = bench::Exchange{bench::Exchange::Direction::In, std::move(data), 0};
        command({0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, SRB_FLAGS_DATA_IN);
    }
    void writes(const std::vector<std::uint8_t>& data, std::size_t device_takes)
    {
        std::memcpy(buffer.data(), data.data(), std::min(data.size(), buffer.size()));
        device.exchange = bench::Exchange{bench::Exchange::Direction::Out, {}, device_takes};
        command({0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}, SRB_FLAGS_DATA_OUT);
    }
    void command(std::initializer_list<UCHAR> cdb, ULONG flags)
    {
        srb.CdbLength = static_cast<UCHAR>(cdb.size());
        std::memcpy(srb.Cdb, cdb.begin(), cdb.size());
        srb.SrbFlags = flags;
    }

    // As start-I/O hands an execute request over.
    void run()
    {
        port.track(&srb);
        srb.SrbStatus = SRB_STATUS_PENDING;
        lu.ActiveSrb = &srb;
        lu.LuState = LU_START;
        lu.SavedDataPointer = static_cast<PUCHAR>(srb.DataBuffer);
        lu.SavedDataCount = srb.DataTransferLength;
        OstrelStartExecution(&ext, &lu, &srb);
        let_time_pass();
        target->check();
    }

    std::size_t count(const std::string& step) const
    {
        std::size_t n = 0;
        for (const std::string& s : port.steps()) n += s == step;
        return n;
    }
    std::vector<unsigned> log_ids() const
    {
        std::vector<unsigned> ids;
        for (const bench::PortCall& c : port.calls())
            if (c.kind == bench::PortCall::Kind::LogError) ids.push_back(c.unique_id);
        return ids;
    }
};

inline std::vector<std::uint8_t> pattern(std::size_t n, unsigned seed = 1)
{
    std::vector<std::uint8_t> v(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : v) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return v;
}

}  // namespace testing_support
