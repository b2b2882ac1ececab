// One time-ordered trace of what the driver did through the port driver: a
// compact ring of port accesses, stalls and port-driver calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "../sim/timing.h"

namespace bench {

enum class TraceKind : std::uint8_t {
    Read,        // byte read: offset, value
    Write,       // byte write: offset, value
    ReadBuffer,  // word string read: offset, value = word count
    Stall,       // value = microseconds
    Call,        // a port-driver call: value = index into the port driver's call log
};

struct TraceEntry {
    Nanoseconds time;
    std::uint32_t value;
    TraceKind kind;
    std::uint8_t offset;
    std::uint8_t window;
    std::uint8_t stall_after;  // a short stall right after this access, in microseconds (0: none)
};

class Trace {
public:
    explicit Trace(std::size_t capacity) { resize(capacity); }

    // Capacity is rounded up to a power of two; 0 turns recording off.
    void resize(std::size_t capacity);

    void record(Nanoseconds time, TraceKind kind, unsigned offset, std::uint32_t value, unsigned window = 0)
    {
        if (mask_ == kOff) return;
        TraceEntry& e = ring_[count_ & mask_];
        e = TraceEntry{time, value, kind, static_cast<std::uint8_t>(offset), static_cast<std::uint8_t>(window), 0};
        ++count_;
        carrier_ = kind == TraceKind::Call ? nullptr : &e;
    }

    // A poll loop is a port access and a short stall, billions of times: the
    // stall rides on the access before it rather than taking an entry.
    void record_stall(Nanoseconds time, std::uint32_t microseconds)
    {
        if (carrier_ && microseconds - 1 < 255) {
            carrier_->stall_after = static_cast<std::uint8_t>(microseconds);
            carrier_ = nullptr;
            return;
        }
        if (mask_ == kOff) return;
        record(time, TraceKind::Stall, 0, microseconds);
        carrier_ = nullptr;
    }

    // The entries still held, oldest first; a stall riding on an access comes
    // out as an entry of its own after it.
    std::vector<TraceEntry> entries() const;
    std::uint64_t recorded() const { return count_; }
    void clear()
    {
        count_ = 0;
        carrier_ = nullptr;
    }

private:
    static constexpr std::uint64_t kOff = ~std::uint64_t{0};
    std::vector<TraceEntry> ring_;
    std::uint64_t mask_ = kOff;
    std::uint64_t count_ = 0;
    TraceEntry* carrier_ = nullptr;  // the last access, while no stall rides on it yet
};

}  // namespace bench
