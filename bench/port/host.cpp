#include "host.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace bench {

namespace {

constexpr ULONG kLargestExtension = 64 * 1024;

// PCI identifiers as the registration names them: hex digits, bounded by their length.
bool matches(const char* text, USHORT length, std::uint16_t id)
{
    char want[8];
    std::snprintf(want, sizeof want, "%04X", id);
    const char* have = text;
    for (USHORT i = 0; i < length; ++i)
        if (std::toupper(static_cast<unsigned char>(have[i])) != want[i]) return false;
    return true;
}

bool hex_text(const PVOID text, USHORT length)
{
    if (!text || length == 0 || length > 4) return false;
    const char* have = static_cast<const char*>(text);
    for (USHORT i = 0; i < length; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(have[i]))) return false;
    return true;
}

}  // namespace

Host::Host(PortDriver& port) : port_(port)
{
    port_.host = this;
    port_.on_next_request = [this](PVOID extension) { next_request(extension); };
    port_.on_hand_back = [this](PSCSI_REQUEST_BLOCK srb) {
        for (Pending& p : requests_)
            if (p.srb == srb) p.outcome.completed = true;
    };
}

Host::~Host()
{
    port_.host = nullptr;
    port_.on_next_request = nullptr;
    port_.on_hand_back = nullptr;
}

ULONG Host::load(ULONG(STDCALL* entry)(PVOID, PVOID))
{
    // What the system passes are opaque to the driver; any stable address will do.
    static char driver_object[64], registry_path[64];
    return entry(driver_object, registry_path);
}

bool Host::check_registration(const HW_INITIALIZATION_DATA& d)
{
    auto refuse = [this](const char* why) {
        registration_error_ = why;
        return false;
    };
    if (d.AdapterInterfaceType != PCIBus) return refuse("the adapter is not on the PCI bus");
    if (!d.HwInitialize || !d.HwStartIo || !d.HwFindAdapter || !d.HwResetBus)
        return refuse("a required callback (initialise, start-I/O, find adapter, reset bus) is missing");
    if (d.DeviceExtensionSize == 0 || d.DeviceExtensionSize > kLargestExtension)
        return refuse("the device extension size is absurd");
    if (d.SpecificLuExtensionSize > kLargestExtension) return refuse("the logical-unit extension size is absurd");
    if (d.NumberOfAccessRanges == 0) return refuse("no access range is asked for");
    if (!hex_text(d.VendorId, d.VendorIdLength) || !hex_text(d.DeviceId, d.DeviceIdLength))
        return refuse("the PCI identifiers are not hex text of 1 to 4 digits");
    return true;
}

ULONG Host::initialize(PVOID, PVOID, PHW_INITIALIZATION_DATA data, PVOID context)
{
    if (!data) {
        registration_error_ = "no registration record";
        return status::kInvalidParameter;
    }
    // A record longer (or shorter) than the NT 4.0 form is from another revision.
    if (data->HwInitializationDataSize != sizeof(HW_INITIALIZATION_DATA)) {
        registration_error_ = "the registration record is not the 76-byte form";
        return status::kRevisionMismatch;
    }
    if (!check_registration(*data)) return status::kInvalidParameter;
    registration_ = *data;
    vendor_text_.assign(static_cast<const char*>(data->VendorId), data->VendorIdLength);
    device_text_.assign(static_cast<const char*>(data->DeviceId), data->DeviceIdLength);
    registration_.VendorId = registration_.DeviceId = nullptr;
    context_ = context;
    port_.set_lu_extension_size(registration_.SpecificLuExtensionSize);

    for (PciDevice& device : devices_) {
        if (!matches(vendor_text_.data(), registration_.VendorIdLength, device.vendor)) continue;
        if (!matches(device_text_.data(), registration_.DeviceIdLength, device.device)) continue;

        auto a = std::make_unique<Loaded>();
        a->device = &device;
        a->extension.assign(registration_.DeviceExtensionSize, 0);
        a->ranges[0].RangeStart.QuadPart = device.io_port;
        a->ranges[0].RangeLength = device.io_length;
        a->ranges[0].RangeInMemory = FALSE;
        PORT_CONFIGURATION_INFORMATION& c = a->config;
        c.Length = sizeof c;
        c.SystemIoBusNumber = device.bus;
        c.AdapterInterfaceType = PCIBus;
        c.InterruptMode = Latched;
        c.DmaChannel = c.DmaPort = SP_UNINITIALIZED_VALUE;
        c.NumberOfAccessRanges = registration_.NumberOfAccessRanges;
        c.AccessRanges = reinterpret_cast<ACCESS_RANGE(*)[]>(a->ranges.data());
        std::memset(c.InitiatorBusId, 0xFF, sizeof c.InitiatorBusId);
        c.MaximumNumberOfTargets = 8;
        c.SlotNumber = device.slot;
        c.DeviceExtensionSize = registration_.DeviceExtensionSize;
        c.SpecificLuExtensionSize = registration_.SpecificLuExtensionSize;

        BOOLEAN again = TRUE;
        PVOID ext = a->extension.data();
        loaded_.push_back(std::move(a));
        ULONG found = registration_.HwFindAdapter(ext, context_, nullptr, nullptr, &loaded_.back()->config, &again);
        if (found != SP_RETURN_FOUND) {
            loaded_.pop_back();
            continue;
        }
        registration_.HwInitialize(ext);
        after_call(*loaded_.back());
    }
    return loaded_.empty() ? status::kNoSuchDevice : status::kSuccess;
}

ULONG Host::bus_data(PVOID, ULONG type, ULONG bus, ULONG slot, PVOID buffer, ULONG length)
{
    PortCall record{PortCall::Kind::GetBusData, 0, type};
    record.value = slot;
    record.length = length;
    port_.record_call(record);
    if (type != PCIConfiguration) return 0;
    for (const PciDevice& d : devices_) {
        if (d.bus != bus || d.slot != slot) continue;
        std::array<std::uint8_t, 256> space{};
        space[0] = d.vendor & 0xFF, space[1] = d.vendor >> 8;
        space[2] = d.device & 0xFF, space[3] = d.device >> 8;
        space[0x0A] = 0x00, space[0x0B] = 0x01;  // mass storage, SCSI
        std::uint32_t bar = d.io_port | 0x1;      // an I/O BAR
        std::memcpy(&space[0x10], &bar, 4);
        space[0x3C] = d.interrupt_line;
        space[0x3D] = 0x01;  // INTA
        ULONG n = std::min<ULONG>({length, static_cast<ULONG>(space.size()), d.config_bytes});
        std::memcpy(buffer, space.data(), n);
        return n;
    }
    // An empty slot on an existing bus: the vendor reads all ones.
    if (length >= 2) std::memset(buffer, 0xFF, 2);
    return std::min<ULONG>(length, 2);
}

PVOID Host::device_base(PVOID, INTERFACE_TYPE, ULONG bus, SCSI_PHYSICAL_ADDRESS address, ULONG length, BOOLEAN io_space)
{
    PortCall record{PortCall::Kind::GetDeviceBase, 0, static_cast<std::uint32_t>(io_space)};
    record.value = static_cast<std::uint32_t>(address.QuadPart);
    record.length = length;
    port_.record_call(record);
    for (PciDevice& d : devices_) {
        if (d.bus != bus || !io_space || static_cast<std::uint64_t>(address.QuadPart) != d.io_port) continue;
        if (d.refuse_mapping || !d.adapter) return nullptr;
        return port_.map(*d.adapter, d.io_port, length);
    }
    return nullptr;
}

Host::Loaded* Host::find(PVOID extension)
{
    for (auto& a : loaded_)
        if (a->extension.data() == extension) return a.get();
    return nullptr;
}

// Between calls into the driver: a raised interrupt line gets the interrupt
// callback, and requests handed back are taken in with the status they now hold.
void Host::after_call(Loaded& a)
{
    Adapter* adapter = a.device->adapter;
    if (adapter && adapter->interrupt_line()) {
        registration_.HwInterrupt(a.extension.data());
        if (adapter->interrupt_line())
            port_.record_violation(Violation::Kind::InterruptLeftRaised, "after the interrupt callback returned");
    }
    settle_completions();
}

void Host::settle_completions()
{
    for (auto it = requests_.begin(); it != requests_.end();) {
        if (!it->outcome.completed) {
            ++it;
            continue;
        }
        it->outcome.srb_status = it->srb->SrbStatus;
        it->outcome.scsi_status = it->srb->ScsiStatus;
        finished_.push_back(it->outcome);
        it = requests_.erase(it);
    }
}

Outcome Host::execute(std::size_t adapter, SCSI_REQUEST_BLOCK& srb)
{
    Loaded& a = *loaded_.at(adapter);
    expire(port_.now());
    // Until the driver asks for the next request, the new one waits: the port
    // driver's time-out of an outstanding request (and its bus reset) may free it.
    while (!a.ready) {
        Nanoseconds next = ~Nanoseconds{0};
        for (const Pending& p : requests_)
            if (!p.outcome.completed && p.adapter == adapter) next = std::min(next, p.deadline);
        if (next == ~Nanoseconds{0}) {
            port_.record_violation(Violation::Kind::NoNextRequest, "the driver never asked for the next request");
            break;
        }
        port_.scheduler().run_until(next);
        expire(port_.now());
    }
    Nanoseconds timeout = static_cast<Nanoseconds>(srb.TimeOutValue ? srb.TimeOutValue : 10) * kSecond;
    Pending p{&srb, adapter, port_.now() + timeout, {}};
    p.outcome.srb = &srb;
    p.outcome.first_call = port_.calls().size();
    requests_.push_back(p);
    port_.track(&srb);
    a.ready = false;
    registration_.HwStartIo(a.extension.data(), &srb);
    for (Pending& q : requests_)
        if (q.srb == &srb) q.outcome.last_call = port_.calls().size();
    after_call(a);
    return outcome(&srb);
}

void Host::expire(Nanoseconds now)
{
    for (;;) {
        auto late = std::find_if(requests_.begin(), requests_.end(),
                                 [now](const Pending& p) { return !p.outcome.completed && p.deadline <= now; });
        if (late == requests_.end()) return;
        // As the real one does: a request outstanding past its time-out gets the bus reset.
        late->outcome.timed_out = true;
        PSCSI_REQUEST_BLOCK srb = late->srb;
        Loaded& a = *loaded_.at(late->adapter);
        registration_.HwResetBus(a.extension.data(), srb->PathId);
        // A reset that did not hand the request back: the port driver ends it itself.
        for (Pending& p : requests_) {
            if (p.srb != srb || p.outcome.completed) continue;
            srb->SrbStatus = SRB_STATUS_TIMEOUT;
            port_.forget(srb);
            p.outcome.completed = true;
        }
        after_call(a);
    }
}

void Host::idle(Nanoseconds how_long)
{
    Nanoseconds until = port_.now() + how_long;
    for (;;) {
        Nanoseconds next = until;
        for (const Pending& p : requests_)
            if (!p.outcome.completed) next = std::min(next, p.deadline);
        port_.scheduler().run_until(next);
        expire(port_.now());
        if (next >= until) break;
    }
}

Outcome Host::outcome(PSCSI_REQUEST_BLOCK srb) const
{
    for (const Pending& p : requests_)
        if (p.srb == srb) return p.outcome;
    for (auto it = finished_.rbegin(); it != finished_.rend(); ++it)
        if (it->srb == srb) return *it;
    return Outcome{srb};
}

}  // namespace bench
