#include "trace.h"

namespace bench {

void Trace::resize(std::size_t capacity)
{
    count_ = 0;
    carrier_ = nullptr;
    if (capacity == 0) {
        ring_.clear();
        mask_ = kOff;
        return;
    }
    std::size_t size = 1;
    while (size < capacity) size <<= 1;
    ring_.assign(size, TraceEntry{});
    mask_ = size - 1;
}

std::vector<TraceEntry> Trace::entries() const
{
    std::vector<TraceEntry> out;
    if (mask_ == kOff) return out;
    std::uint64_t size = mask_ + 1;
    std::uint64_t first = count_ > size ? count_ - size : 0;
    out.reserve(count_ - first);
    for (std::uint64_t i = first; i < count_; ++i) {
        TraceEntry e = ring_[i & mask_];
        std::uint8_t stall = e.stall_after;
        e.stall_after = 0;
        out.push_back(e);
        if (stall) out.push_back(TraceEntry{e.time, stall, TraceKind::Stall, 0, 0, 0});
    }
    return out;
}

}  // namespace bench
