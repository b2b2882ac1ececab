// Data-phase throughput in virtual time: how fast data moves on the bus when
// the driver serves a target at the default byte rate. The time reported is
// the bench's clock, from the data phase's first REQ to its last byte.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "adapter/adapter.h"
#include "driver/protocol/protocol.h"
#include "port/port_driver.h"
#include "targets/fixed_device.h"
#include "targets/target.h"

namespace {

using bench::Nanoseconds;

struct Run {
    bench::Scheduler scheduler;
    bench::ScsiBus bus{scheduler};
    bench::Adapter adapter{bus};
    bench::PortDriver port{scheduler, bench::PortDriverOptions{.trace_capacity = 0}};
    bench::FixedDevice device;
    bench::Target target{bus, 0, device};
    ADAPTER_EXTENSION ext{};
    LU_EXTENSION lu{};
    SCSI_REQUEST_BLOCK srb{};
    std::vector<unsigned char> buffer;

    Run(std::size_t length, bool read) : buffer(length, 0x11)
    {
        ext.BaseAddress = port.map(adapter, 0xC000);
        ext.InitiatorIdBit = 0x80;
        device.exchange.direction = read ? bench::Exchange::Direction::In : bench::Exchange::Direction::Out;
        if (read)
            device.exchange.data_in.assign(length, 0x5A);
        else
            device.exchange.data_out_length = length;
        srb.CdbLength = 10;
        srb.Cdb[0] = read ? 0x28 : 0x2A;
        srb.DataTransferLength = static_cast<ULONG>(length);
        srb.DataBuffer = buffer.data();
    }
    double seconds()
    {
        port.track(&srb);
        lu.ActiveSrb = &srb;
        lu.LuState = LU_START;
        lu.SavedDataPointer = buffer.data();
        lu.SavedDataCount = srb.DataTransferLength;
        OstrelStartExecution(&ext, &lu, &srb);
        if (srb.SrbStatus != SRB_STATUS_SUCCESS) throw std::runtime_error("transfer failed");
        return static_cast<double>(target.log().data_ended - target.log().data_started) / 1e9;
    }
};

// Figures in MB/s (10^6 bytes a second of virtual time).
void report(benchmark::State& state, std::size_t length, double seconds, double ideal_ns_per_byte)
{
    double measured = static_cast<double>(state.iterations() * length) / seconds / 1e6;
    double ideal = 1e3 / ideal_ns_per_byte;
    state.counters["MBps"] = measured;
    state.counters["ideal_MBps"] = ideal;
    state.counters["of_ideal_pct"] = 100.0 * measured / ideal;
    state.counters["target_MBps"] = 1e3 / static_cast<double>(bench::timing::kAsyncByteCycle);
}

// What the board's one 128-byte buffer allows: the target fills a block at its
// pace (no faster than the board's ACK turn-around), then the host drains it
// (the buffer-access write and 32 word reads) while the board holds ACK back.
double board_ns_per_byte()
{
    using namespace bench::timing;
    double byte = std::max<double>(kAsyncByteCycle, kBoardAckDelay + kBoardAckRelease + kDataSetup);
    double drain = 33.0 * kPortAccess;  // the board takes bytes again after the 32nd word
    return (128 * byte + drain) / 128;
}

// The programmed handshake of one data-out byte: a REQ wait (two reads), the
// phase read, ODR and two ICR writes around the 2 us stall, the REQ-release
// poll and the final ICR write.
double handshake_ns_per_byte()
{
    return 2000.0 + 8.0 * bench::timing::kPortAccess;
}

void transfer(benchmark::State& state, bool read, double ideal_ns_per_byte)
{
    std::size_t length = static_cast<std::size_t>(state.range(0));
    double total = 0;
    for (auto _ : state) {
        Run run(length, read);
        double seconds = run.seconds();
        total += seconds;
        state.SetIterationTime(seconds);
    }
    report(state, length, total, ideal_ns_per_byte);
}

void DataIn(benchmark::State& state) { transfer(state, true, board_ns_per_byte()); }
void DataOut(benchmark::State& state) { transfer(state, false, handshake_ns_per_byte()); }

BENCHMARK(DataIn)->Arg(512)->Arg(4096)->Arg(65536)->Arg(1 << 20)->UseManualTime()->Iterations(3);
BENCHMARK(DataOut)->Arg(512)->Arg(4096)->Arg(65536)->Arg(1 << 20)->UseManualTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
