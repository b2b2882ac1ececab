// Nanoseconds per poll of a bus wait that never succeeds, through the whole
// bench: the driver's wait, the port driver stand-in, the adapter model.
#include <benchmark/benchmark.h>

#include "adapter/adapter.h"
#include "adapter/scripted_registers.h"
#include "bus/scsi_bus.h"
#include "driver/hardware/registers.h"
#include "driver/hardware/waits.h"
#include "port/port_driver.h"

namespace {

constexpr ULONG kCount = 10'000'000;

void report(benchmark::State& state)
{
    state.counters["ns_per_poll"] = benchmark::Counter(static_cast<double>(state.iterations()) * (kCount + 1),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// REQ held by a target that never lets go: WAIT_DE_REQ polls CSBS on the adapter model.
void WaitDeReqOnTheAdapterModel(benchmark::State& state)
{
    bench::Scheduler scheduler;
    bench::ScsiBus bus(scheduler);
    bench::Adapter adapter(bus);
    bench::PortDriver port(scheduler, bench::PortDriverOptions{.trace_capacity = static_cast<std::size_t>(state.range(0))});
    PUCHAR base = port.map(adapter, 0xC000);
    bus.drive(bus.attach("target"), bench::line::BSY | bench::line::REQ);
    for (auto _ : state) benchmark::DoNotOptimize(WAIT_DE_REQ(base, kCount));
    report(state);
}
BENCHMARK(WaitDeReqOnTheAdapterModel)->Arg(0)->Arg(1 << 16)->ArgName("trace")->Unit(benchmark::kMillisecond);

void WaitDeReqOnScriptedRegisters(benchmark::State& state)
{
    bench::Scheduler scheduler;
    bench::ScriptedRegisters regs;
    bench::PortDriver port(scheduler, bench::PortDriverOptions{.trace_capacity = 0});
    PUCHAR base = port.map(regs, 0xC000);
    regs.set(REG_CSBS, CSBS_BSY | CSBS_REQ);
    for (auto _ : state) benchmark::DoNotOptimize(WAIT_DE_REQ(base, kCount));
    report(state);
}
BENCHMARK(WaitDeReqOnScriptedRegisters)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
