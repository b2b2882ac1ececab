// The whole stand-in world in one place: the clock, the SCSI bus, the adapter
// on its PCI slot, the port driver that loads the miniport, and the targets.
#pragma once

#include <memory>
#include <vector>

#include "adapter/adapter.h"
#include "bus/scsi_bus.h"
#include "port/host.h"
#include "port/port_driver.h"
#include "sim/scheduler.h"
#include "targets/target.h"

namespace bench {

struct WorldOptions {
    PortDriverOptions port;
    PciDevice pci;  // the adapter's PCI identity and resources
};

class World {
public:
    explicit World(WorldOptions options = {});
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // A target at `id` answering through `device`; the world keeps both.
    Target& add_target(int id, std::unique_ptr<ScsiDevice> device, std::vector<Fault> faults = {},
                       TargetTiming timing = {});
    Target* target(int id);

    // Loads the miniport through its image entry; its status.
    ULONG load(ULONG(STDCALL* entry)(PVOID, PVOID)) { return host.load(entry); }
    Outcome execute(SCSI_REQUEST_BLOCK& srb) { return host.execute(0, srb); }

    Scheduler scheduler;
    ScsiBus bus{scheduler};
    Adapter adapter{bus};
    PortDriver port;
    Host host{port};

private:
    std::vector<std::unique_ptr<ScsiDevice>> devices_;
    std::vector<std::unique_ptr<Target>> targets_;
};

}  // namespace bench
