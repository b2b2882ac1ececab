// The port driver's side of loading and running a miniport: it calls the image
// entry as the system would, checks the registration record, finds the PCI
// devices that match, gives each adapter its records and configuration, and
// then feeds it requests one at a time, delivering interrupts between calls
// and timing out requests left outstanding.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "port_driver.h"

namespace bench {

// Statuses the port driver's initialisation returns (the system's own codes).
namespace status {
constexpr ULONG kSuccess = 0x00000000;
constexpr ULONG kInvalidParameter = 0xC000000D;
constexpr ULONG kRevisionMismatch = 0xC0000059;
constexpr ULONG kNoSuchDevice = 0xC000000E;
}  // namespace status

struct PciDevice {
    std::uint16_t vendor = 0x9E2D;
    std::uint16_t device = 0x0001;
    std::uint32_t bus = 0;
    std::uint32_t slot = 3;
    std::uint32_t io_port = 0xE000;
    std::uint32_t io_length = 256;
    std::uint8_t interrupt_line = 11;
    Adapter* adapter = nullptr;
    // Faults of the platform, for the find routine's failure paths.
    std::uint32_t config_bytes = 256;  // what a configuration read returns at most
    bool refuse_mapping = false;
};

// One request as the port driver saw it end.
struct Outcome {
    PSCSI_REQUEST_BLOCK srb = nullptr;
    UCHAR srb_status = 0;
    UCHAR scsi_status = 0;
    bool completed = false;       // handed back (by the driver or a bus-reset sweep)
    bool timed_out = false;       // the port driver gave up on it and reset the bus
    std::size_t first_call = 0;   // the port-driver calls made for it: [first_call, last_call)
    std::size_t last_call = 0;
};

class Host {
public:
    explicit Host(PortDriver& port);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    void add_device(PciDevice device) { devices_.push_back(device); }

    // Calls the driver's entry as the system would; returns its status.
    ULONG load(ULONG(STDCALL* entry)(PVOID, PVOID));

    // ---- the operations behind the driver's calls
    ULONG initialize(PVOID argument1, PVOID argument2, PHW_INITIALIZATION_DATA data, PVOID context);
    ULONG bus_data(PVOID extension, ULONG type, ULONG bus, ULONG slot, PVOID buffer, ULONG length);
    PVOID device_base(PVOID extension, INTERFACE_TYPE type, ULONG bus, SCSI_PHYSICAL_ADDRESS address, ULONG length,
                      BOOLEAN io_space);
    void next_request(PVOID extension) { if (Loaded* a = find(extension)) a->ready = true; }

    // ---- running
    std::size_t adapters() const { return loaded_.size(); }
    PVOID extension(std::size_t adapter) { return loaded_.at(adapter)->extension.data(); }
    const PORT_CONFIGURATION_INFORMATION& configuration(std::size_t adapter) const
    {
        return loaded_.at(adapter)->config;
    }
    const ACCESS_RANGE& access_range(std::size_t adapter, int i) const { return loaded_.at(adapter)->ranges.at(i); }
    // The record as registered; its identifier texts are copied out, since they live
    // only as long as the driver's call.
    const HW_INITIALIZATION_DATA& registration() const { return registration_; }
    const std::string& vendor_text() const { return vendor_text_; }
    const std::string& device_text() const { return device_text_; }
    std::string registration_error() const { return registration_error_; }

    // Hands a request to adapter `adapter` and runs until the driver is done
    // with it (or has left it outstanding); returns how it ended so far.
    Outcome execute(std::size_t adapter, SCSI_REQUEST_BLOCK& srb);
    // Lets virtual time pass with no request: outstanding requests may time out.
    void idle(Nanoseconds how_long);
    // The request's outcome as it stands now.
    Outcome outcome(PSCSI_REQUEST_BLOCK srb) const;

private:
    struct Loaded {
        PciDevice* device;
        std::vector<std::uint8_t> extension;
        PORT_CONFIGURATION_INFORMATION config{};
        std::array<ACCESS_RANGE, 2> ranges{};
        bool ready = true;  // start-I/O may be called
    };
    struct Pending {
        PSCSI_REQUEST_BLOCK srb;
        std::size_t adapter;
        Nanoseconds deadline;
        Outcome outcome;
    };

    Loaded* find(PVOID extension);
    bool check_registration(const HW_INITIALIZATION_DATA& data);
    void after_call(Loaded& adapter);
    void settle_completions();
    void expire(Nanoseconds now);

    PortDriver& port_;
    std::vector<PciDevice> devices_;
    std::vector<std::unique_ptr<Loaded>> loaded_;
    HW_INITIALIZATION_DATA registration_{};
    PVOID context_ = nullptr;
    std::string registration_error_;
    std::string vendor_text_, device_text_;
    std::vector<Pending> requests_;
    std::vector<Outcome> finished_;
};

}  // namespace bench
