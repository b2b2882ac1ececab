#include "port_driver.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace bench {

namespace {

std::string hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}
}  // namespace

const char* to_string(Violation::Kind kind)
{
    switch (kind) {
    case Violation::Kind::LongStall: return "stall of 1000 us or more";
    case Violation::Kind::OutsideWindow: return "port access outside the mapped window";
    case Violation::Kind::NoSuchRegister: return "port access to an offset with no register";
    case Violation::Kind::WrongDirection: return "port access in a direction the register does not have";
    case Violation::Kind::WrongWidth: return "port access of a width the register does not have";
    case Violation::Kind::UnknownCompletion: return "request handed back that is not outstanding";
    case Violation::Kind::InterruptLeftRaised: return "interrupt line still raised after the interrupt callback";
    case Violation::Kind::NoNextRequest: return "start-I/O called before the driver asked for the next request";
    }
    return "?";
}

PortDriver::PortDriver(Scheduler& scheduler, PortDriverOptions options)
    : scheduler_(scheduler),
      access_time_(options.access_time),
      lu_extension_size_(options.lu_extension_size),
      trace_(options.trace_capacity)
{
    if (current_) throw std::logic_error("one port driver at a time");
    windows_.push_back(Window{0, 0, 0, nullptr, nullptr, nullptr, 0});
    current_ = this;
}

PortDriver::~PortDriver()
{
    for (Window& w : windows_) {
        if (w.mapping) munmap(w.mapping, w.mapping_size);
    }
    current_ = nullptr;
}

void PortDriver::none_loaded()
{
    throw std::logic_error("the driver called the port driver while none is loaded");
}

PUCHAR PortDriver::map(PortDevice& device, std::uint32_t io_port, std::uint32_t length)
{
    // The driver only ever adds offsets to its base; a page with no access
    // makes any stray dereference of it crash at once.
    std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::size_t size = (std::max<std::size_t>(length, 1) + page - 1) / page * page;
    void* mapping = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) throw std::runtime_error("cannot reserve an address range for an I/O window");
    windows_.push_back(Window{reinterpret_cast<std::uintptr_t>(mapping), length, io_port, &device,
                              dynamic_cast<Adapter*>(&device), mapping, size});
    return static_cast<PUCHAR>(mapping);
}

UCHAR PortDriver::read_slow(PUCHAR port)
{
    unsigned window, offset;
    if (!locate(port, window, offset)) return 0xFF;
    if (!(kAdapterRegisters[offset].access & kRead8)) return refuse(offset, true, kRead8);
    UCHAR value = windows_[window].device->read8(offset);
    ++reads_[offset];
    trace_.record(scheduler_.now(), TraceKind::Read, offset, value, window);
    return value;
}

void PortDriver::write_slow(PUCHAR port, UCHAR value)
{
    unsigned window, offset;
    if (!locate(port, window, offset)) return;
    if (!(kAdapterRegisters[offset].access & kWrite8)) {
        refuse(offset, false, kWrite8);
        return;
    }
    ++writes_[offset];
    trace_.record(scheduler_.now(), TraceKind::Write, offset, value, window);
    windows_[window].device->write8(offset, value);
}

bool PortDriver::locate_slow(std::uintptr_t address, unsigned& window, unsigned& offset)
{
    for (unsigned i = 1; i < windows_.size(); ++i) {
        const Window& w = windows_[i];
        if (address - w.base < w.length) {
            // A window shorter than the register file never takes the fast path.
            fast_ = w.length >= kWindowLength ? FastWindow{w.base, w.device, w.adapter, i} : FastWindow{};
            window = i;
            offset = static_cast<unsigned>(address - w.base);
            if (offset < kWindowLength && kAdapterRegisters[offset].access) return true;
            return no_register(offset);
        }
    }
    char text[64];
    std::snprintf(text, sizeof text, "address %#llx", static_cast<unsigned long long>(address));
    violation(Violation::Kind::OutsideWindow, text);
    return false;
}

bool PortDriver::no_register(unsigned offset)
{
    violation(Violation::Kind::NoSuchRegister, "offset " + std::to_string(offset));
    return false;
}

UCHAR PortDriver::refuse(unsigned offset, bool read, Access wanted)
{
    const RegisterInfo& r = kAdapterRegisters[offset];
    bool other_width = (wanted == kRead32) ? (r.access & kRead8) : (wanted == kRead8 ? (r.access & kRead32) : false);
    std::string what = std::string(read ? "read of " : "write of ") + register_name(offset, !read) + " (offset " +
                       std::to_string(offset) + ")";
    violation(other_width ? Violation::Kind::WrongWidth : Violation::Kind::WrongDirection, what);
    return 0xFF;
}

void PortDriver::long_stall(ULONG microseconds)
{
    violation(Violation::Kind::LongStall, std::to_string(microseconds) + " us");
}

void PortDriver::violation(Violation::Kind kind, std::string detail)
{
    violations_.push_back(Violation{kind, scheduler_.now(), std::move(detail)});
}

void PortDriver::read_buffer_ulong(PULONG port, PULONG buffer, ULONG count)
{
    scheduler_.advance(access_time_);
    unsigned window, offset;
    if (!locate(port, window, offset)) return;
    if (!(kAdapterRegisters[offset].access & kRead32)) {
        refuse(offset, true, kRead32);
        return;
    }
    trace_.record(scheduler_.now(), TraceKind::ReadBuffer, offset, count, window);
    PortDevice& device = *windows_[window].device;
    // The driver's buffer need not be aligned: x86 does not mind, so neither do we.
    auto* to = reinterpret_cast<unsigned char*>(buffer);
    for (ULONG i = 0; i < count; ++i) {
        if (i) scheduler_.advance(access_time_);
        std::uint32_t word = device.read32(offset);
        std::memcpy(to + 4 * i, &word, 4);
    }
    reads_[offset] += count;
}

std::size_t PortDriver::call(PortCall record)
{
    record.time = scheduler_.now();
    calls_.push_back(std::move(record));
    std::size_t index = calls_.size() - 1;
    trace_.record(scheduler_.now(), TraceKind::Call, 0, static_cast<std::uint32_t>(index));
    return index;
}

bool PortDriver::outstanding(PSCSI_REQUEST_BLOCK srb) const
{
    return std::find(outstanding_.begin(), outstanding_.end(), srb) != outstanding_.end();
}

void PortDriver::hand_back(PSCSI_REQUEST_BLOCK srb, const char* how)
{
    auto it = std::find(outstanding_.begin(), outstanding_.end(), srb);
    if (it == outstanding_.end()) {
        char text[96];
        std::snprintf(text, sizeof text, "%s of request %p", how, static_cast<void*>(srb));
        violation(Violation::Kind::UnknownCompletion, text);
        return;
    }
    outstanding_.erase(it);
    if (on_hand_back) on_hand_back(srb);
}

void PortDriver::notification(SCSI_NOTIFICATION_TYPE type, PVOID extension, va_list args)
{
    PortCall record{PortCall::Kind::Notification, 0, static_cast<std::uint32_t>(type)};
    if (type == RequestComplete) {
        record.srb = va_arg(args, PSCSI_REQUEST_BLOCK);
        hand_back(record.srb, "RequestComplete");
    } else if (type == NextLuRequest) {
        record.path = static_cast<UCHAR>(va_arg(args, int));
        record.target = static_cast<UCHAR>(va_arg(args, int));
        record.lun = static_cast<UCHAR>(va_arg(args, int));
    }
    call(std::move(record));
    if (type == NextRequest && on_next_request) on_next_request(extension);
}

void PortDriver::complete_request(UCHAR path, UCHAR target, UCHAR lun, UCHAR status)
{
    PortCall record{PortCall::Kind::CompleteRequest, 0, status};
    record.path = path;
    record.target = target;
    record.lun = lun;
    call(std::move(record));
    // Every outstanding request on the path that the address covers (0xFF: all).
    std::vector<PSCSI_REQUEST_BLOCK> swept;
    for (PSCSI_REQUEST_BLOCK srb : outstanding_) {
        if (srb->PathId != path) continue;
        if (target != 0xFF && srb->TargetId != target) continue;
        if (lun != 0xFF && srb->Lun != lun) continue;
        swept.push_back(srb);
    }
    for (PSCSI_REQUEST_BLOCK srb : swept) {
        srb->SrbStatus = status;
        hand_back(srb, "CompleteRequest");
    }
}

void PortDriver::log_error(PSCSI_REQUEST_BLOCK srb, UCHAR path, UCHAR target, UCHAR lun, ULONG code,
                           ULONG unique_id)
{
    PortCall record{PortCall::Kind::LogError, 0, code, srb, path, target, lun, unique_id};
    call(std::move(record));
}

void PortDriver::debug_print(ULONG level, const char* format, va_list args)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    PortCall record{PortCall::Kind::DebugPrint, 0, level};
    record.text = text;
    call(std::move(record));
}

PVOID PortDriver::logical_unit(PVOID extension, UCHAR path, UCHAR target, UCHAR lun)
{
    std::uint32_t k = key(path, target, lun);
    PortCall record{PortCall::Kind::GetLogicalUnit, 0, 0, nullptr, path, target, lun};
    PVOID unit = nullptr;
    if (!hidden_.count(k)) {
        auto [it, fresh] = units_.try_emplace({extension, k}, std::vector<std::uint8_t>(lu_extension_size_, 0));
        unit = it->second.data();
    }
    record.found = unit != nullptr;
    call(std::move(record));
    return unit;
}

std::string PortDriver::describe(const TraceEntry& e, bool with_time) const
{
    std::string what;
    switch (e.kind) {
    case TraceKind::Read: what = std::string("R ") + register_name(e.offset, false) + " " + hex(e.value); break;
    case TraceKind::Write: what = std::string("W ") + register_name(e.offset, true) + " " + hex(e.value); break;
    case TraceKind::ReadBuffer:
        what = std::string("R ") + register_name(e.offset, false) + " " + std::to_string(e.value) + " words";
        break;
    case TraceKind::Stall: what = "stall " + std::to_string(e.value); break;
    case TraceKind::Call: {
        const PortCall& c = calls_.at(e.value);
        static constexpr const char* kNotes[] = {"RequestComplete", "NextRequest", "NextLuRequest", "ResetDetected",
                                                 "CallDisableInterrupts", "CallEnableInterrupts", "RequestTimerCall"};
        switch (c.kind) {
        case PortCall::Kind::Notification: what = c.code < 7 ? kNotes[c.code] : "Notification ?"; break;
        case PortCall::Kind::CompleteRequest:
            what = "CompleteRequest " + std::to_string(c.path) + " " + hex(c.target) + " " + hex(c.lun) + " " +
                   hex(c.code);
            break;
        case PortCall::Kind::LogError:
            what = "LogError " + std::to_string(c.code) + " id " + std::to_string(c.unique_id);
            break;
        case PortCall::Kind::DebugPrint: what = "DebugPrint " + std::to_string(c.code) + " \"" + c.text + "\""; break;
        case PortCall::Kind::GetLogicalUnit:
            what = "GetLogicalUnit " + std::to_string(c.path) + " " + std::to_string(c.target) + " " +
                   std::to_string(c.lun);
            break;
        case PortCall::Kind::GetBusData: what = "GetBusData"; break;
        case PortCall::Kind::GetDeviceBase: what = "GetDeviceBase"; break;
        }
        break;
    }
    }
    if (!with_time) return what;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%14.3f us  ", static_cast<double>(e.time) / 1000.0);
    return stamp + what;
}

std::vector<std::string> PortDriver::steps(bool with_time) const
{
    std::vector<std::string> out;
    for (const TraceEntry& e : trace_.entries()) out.push_back(describe(e, with_time));
    return out;
}

}  // namespace bench
