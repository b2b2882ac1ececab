// A driver on the bench: the port driver, the adapter model on its SCSI bus,
// and the driver's own adapter record pointing at the mapped window.
#pragma once

#include <string>
#include <vector>

#include "adapter/adapter.h"
#include "adapter/scripted_registers.h"
#include "bus/scsi_bus.h"
#include "driver/miniport/ostrel.h"
#include "port/port_driver.h"
#include "sim/scheduler.h"
#include "targets/fixed_device.h"
#include "targets/target.h"

namespace testing_support {

constexpr std::uint32_t kIoPort = 0xC000;

struct ModelBench {
    bench::Scheduler scheduler;
    bench::ScsiBus bus{scheduler};
    bench::Adapter adapter{bus};
    bench::PortDriver port{scheduler};
    ADAPTER_EXTENSION ext{};

    ModelBench()
    {
        ext.BaseAddress = port.map(adapter, kIoPort);
        ext.InitiatorIdBit = OSTREL_INITIATOR_ID_BIT;
    }
    // What the driver did from here on.
    void forget() { port.trace().clear(); }
    // The world goes on for a while without the driver (targets finish what they do).
    void let_time_pass(bench::Nanoseconds t = 100 * bench::kMicrosecond) { scheduler.run_until(scheduler.now() + t); }
    // Nothing on the bus broke the protocol and nothing broke the port driver's contract.
    bool clean() const { return port.violations().empty() && bus.violations().empty(); }
    std::vector<std::string> steps() const { return port.steps(); }
};

struct ScriptedBench {
    bench::Scheduler scheduler;
    bench::ScriptedRegisters regs;
    bench::PortDriver port{scheduler};
    ADAPTER_EXTENSION ext{};

    ScriptedBench()
    {
        ext.BaseAddress = port.map(regs, kIoPort);
        ext.InitiatorIdBit = OSTREL_INITIATOR_ID_BIT;
    }
    std::vector<std::string> steps() const { return port.steps(); }
};

}  // namespace testing_support
