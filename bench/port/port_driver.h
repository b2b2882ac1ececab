// The stand-in of the operating system's SCSI port driver, as the driver sees
// it: port I/O routed by address to the devices behind mapped windows, stalls
// on the virtual clock, and every notification, completion, log entry and
// debug line recorded in order. It checks the documented contract as a driver
// verifier would and records each breach.
#pragma once

#include <array>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "../../driver/port/scsiport.h"
#include "../adapter/adapter.h"
#include "../adapter/port_device.h"
#include "../adapter/register_map.h"
#include "../sim/scheduler.h"
#include "trace.h"

namespace bench {

struct PortCall {
    enum class Kind {
        Notification,     // code = SCSI_NOTIFICATION_TYPE; srb for RequestComplete
        CompleteRequest,  // path, target, lun; code = SrbStatus
        LogError,         // srb, path, target, lun; code = error code; unique_id
        DebugPrint,       // code = level; text
        GetLogicalUnit,   // path, target, lun; found
        GetBusData,       // code = bus data type; value = slot; length
        GetDeviceBase,    // value = I/O address; length
    };
    Kind kind;
    Nanoseconds time;
    std::uint32_t code = 0;
    PSCSI_REQUEST_BLOCK srb = nullptr;
    std::uint8_t path = 0, target = 0, lun = 0;
    std::uint32_t unique_id = 0;
    std::uint32_t value = 0;
    std::uint32_t length = 0;
    bool found = false;
    std::string text;
};

struct Violation {
    enum class Kind {
        LongStall,          // a stall of 1,000 microseconds or more
        OutsideWindow,      // a port access at no mapped address
        NoSuchRegister,     // inside the window, at an offset with no register
        WrongDirection,     // a read of a write-only register, or the reverse
        WrongWidth,         // a byte access to a word port, or the reverse
        UnknownCompletion,  // a request handed back that is not outstanding
        InterruptLeftRaised,  // the interrupt line still up after the interrupt callback
        NoNextRequest,        // start-I/O called while the driver had not asked for more
    };
    Kind kind;
    Nanoseconds time;
    std::string detail;
};

const char* to_string(Violation::Kind kind);

struct PortDriverOptions {
    Nanoseconds access_time = timing::kPortAccess;
    std::size_t trace_capacity = 1 << 16;
    std::uint32_t lu_extension_size = 64;
};

class PortDriver {
public:
    explicit PortDriver(Scheduler& scheduler, PortDriverOptions options = {});
    ~PortDriver();
    PortDriver(const PortDriver&) = delete;
    PortDriver& operator=(const PortDriver&) = delete;

    // The port driver the driver's calls reach (one at a time).
    static PortDriver& current()
    {
        if (!current_) [[unlikely]] none_loaded();
        return *current_;
    }

    // Maps a device's register window; the driver reaches it at the returned base.
    PUCHAR map(PortDevice& device, std::uint32_t io_port, std::uint32_t length = kWindowLength);

    // ---- the operations, as the driver calls them
    UCHAR read_uchar(PUCHAR port)
    {
        scheduler_.advance(access_time_);
        std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(port) - fast_.base;
        if (offset < kWindowLength && ((kReadable8 >> offset) & 1)) [[likely]] {
            UCHAR value = fast_.adapter ? fast_.adapter->read8(offset) : fast_.device->read8(offset);
            ++reads_[offset];
            trace_.record(scheduler_.now(), TraceKind::Read, offset, value, fast_.index);
            return value;
        }
        return read_slow(port);
    }

    void write_uchar(PUCHAR port, UCHAR value)
    {
        scheduler_.advance(access_time_);
        std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(port) - fast_.base;
        if (offset < kWindowLength && ((kWritable8 >> offset) & 1)) [[likely]] {
            ++writes_[offset];
            trace_.record(scheduler_.now(), TraceKind::Write, offset, value, fast_.index);
            if (fast_.adapter)
                fast_.adapter->write8(offset, value);
            else
                fast_.device->write8(offset, value);
            return;
        }
        write_slow(port, value);
    }

    void stall(ULONG microseconds)
    {
        if (microseconds > timing::kLongestStallMicroseconds) long_stall(microseconds);
        ++stalls_;
        stalled_us_ += microseconds;
        trace_.record_stall(scheduler_.now(), microseconds);
        scheduler_.advance(Nanoseconds{microseconds} * kMicrosecond);
    }

    void read_buffer_ulong(PULONG port, PULONG buffer, ULONG count);
    void notification(SCSI_NOTIFICATION_TYPE type, PVOID extension, va_list args);
    void complete_request(UCHAR path, UCHAR target, UCHAR lun, UCHAR status);
    void log_error(PSCSI_REQUEST_BLOCK srb, UCHAR path, UCHAR target, UCHAR lun, ULONG code, ULONG unique_id);
    void debug_print(ULONG level, const char* format, va_list args);
    PVOID logical_unit(PVOID extension, UCHAR path, UCHAR target, UCHAR lun);

    void record_violation(Violation::Kind kind, std::string detail) { violation(kind, std::move(detail)); }
    std::size_t record_call(PortCall record) { return call(std::move(record)); }

    // ---- requests
    // Hands a request to the driver's keeping: it is outstanding until handed back.
    void track(PSCSI_REQUEST_BLOCK srb) { outstanding_.push_back(srb); }
    bool outstanding(PSCSI_REQUEST_BLOCK srb) const;
    // The port driver itself gives up on a request the driver still holds.
    void forget(PSCSI_REQUEST_BLOCK srb) { std::erase(outstanding_, srb); }
    std::size_t outstanding_count() const { return outstanding_.size(); }
    // Makes the next lookups of a unit find nothing, as for a unit that does not exist.
    void hide_unit(UCHAR path, UCHAR target, UCHAR lun) { hidden_.insert(key(path, target, lun)); }
    void set_lu_extension_size(std::uint32_t bytes) { lu_extension_size_ = bytes; }
    // Told of every request handed back, and of every NextRequest, with the adapter's extension.
    std::function<void(PSCSI_REQUEST_BLOCK)> on_hand_back;
    std::function<void(PVOID)> on_next_request;
    // The loader that answers the configuration calls (registration, PCI, mapping).
    class Host* host = nullptr;

    // ---- what was seen
    Scheduler& scheduler() { return scheduler_; }
    Nanoseconds now() const { return scheduler_.now(); }
    Trace& trace() { return trace_; }
    const std::vector<PortCall>& calls() const { return calls_; }
    const std::vector<Violation>& violations() const { return violations_; }
    std::uint64_t reads(unsigned offset) const { return reads_.at(offset); }
    std::uint64_t writes(unsigned offset) const { return writes_.at(offset); }
    std::uint64_t stalls() const { return stalls_; }
    std::uint64_t accesses() const
    {
        std::uint64_t n = 0;
        for (unsigned i = 0; i < kWindowLength; ++i) n += reads_[i] + writes_[i];
        return n;
    }
    std::uint64_t stalled_microseconds() const { return stalled_us_; }
    void set_access_time(Nanoseconds t) { access_time_ = t; }

    // Text of one trace entry: "W ICR 0x80", "stall 10", "NextRequest"; with its
    // time in front when asked: "        12.345 us  W ICR 0x80".
    std::string describe(const TraceEntry& entry, bool with_time = false) const;
    // Text of one port-driver call from the call log ("RequestComplete", "LogError 5 id 6").
    std::string describe_call(std::size_t index) const
    {
        return describe(TraceEntry{0, static_cast<std::uint32_t>(index), TraceKind::Call, 0, 0, 0});
    }
    // The whole trace held, one line an entry.
    std::vector<std::string> steps(bool with_time = false) const;

private:
    [[noreturn]] static void none_loaded();
    static inline PortDriver* current_ = nullptr;

    struct Window {
        std::uintptr_t base;
        std::uint32_t length;
        std::uint32_t io_port;
        PortDevice* device;
        Adapter* adapter;  // the same device when it is the adapter model: called without a virtual call
        void* mapping;
        std::size_t mapping_size;
    };

    // The window the last access used, for the common case of one compare.
    struct FastWindow {
        std::uintptr_t base = 0;
        PortDevice* device = nullptr;
        Adapter* adapter = nullptr;
        unsigned index = 0;
    };
    static constexpr std::uint32_t kReadable8 = offsets_with(kRead8);
    static constexpr std::uint32_t kWritable8 = offsets_with(kWrite8);

    UCHAR read_slow(PUCHAR port);
    void write_slow(PUCHAR port, UCHAR value);
    bool locate(const void* port, unsigned& window, unsigned& offset)
    {
        return locate_slow(reinterpret_cast<std::uintptr_t>(port), window, offset);
    }
    bool locate_slow(std::uintptr_t address, unsigned& window, unsigned& offset);
    bool no_register(unsigned offset);
    UCHAR refuse(unsigned offset, bool read, Access wanted);
    void long_stall(ULONG microseconds);
    void violation(Violation::Kind kind, std::string detail);
    std::size_t call(PortCall record);
    void hand_back(PSCSI_REQUEST_BLOCK srb, const char* how);

    static std::uint32_t key(UCHAR path, UCHAR target, UCHAR lun) { return (path << 16) | (target << 8) | lun; }

    Scheduler& scheduler_;
    Nanoseconds access_time_;
    std::uint32_t lu_extension_size_;
    Trace trace_;
    std::vector<Window> windows_;
    FastWindow fast_;
    std::array<std::uint64_t, kWindowLength> reads_{}, writes_{};
    std::uint64_t stalls_ = 0, stalled_us_ = 0;
    std::vector<PortCall> calls_;
    std::vector<Violation> violations_;
    std::vector<PSCSI_REQUEST_BLOCK> outstanding_;
    std::map<std::pair<PVOID, std::uint32_t>, std::vector<std::uint8_t>> units_;
    std::set<std::uint32_t> hidden_;
};

}  // namespace bench
