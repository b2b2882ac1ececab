#include "world.h"

namespace bench {

World::World(WorldOptions options) : port(scheduler, options.port)
{
    options.pci.adapter = &adapter;
    host.add_device(options.pci);
}

Target& World::add_target(int id, std::unique_ptr<ScsiDevice> device, std::vector<Fault> faults, TargetTiming timing)
{
    devices_.push_back(std::move(device));
    targets_.push_back(std::make_unique<Target>(bus, id, *devices_.back(), timing, std::move(faults)));
    return *targets_.back();
}

Target* World::target(int id)
{
    for (auto& t : targets_)
        if (t->id() == id) return t.get();
    return nullptr;
}

}  // namespace bench
