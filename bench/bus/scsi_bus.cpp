#include "scsi_bus.h"

namespace bench {

ScsiBus::ScsiBus(Scheduler& scheduler, std::size_t edge_capacity) : scheduler_(scheduler), edge_ring_(edge_capacity)
{
}

ScsiBus::PartyId ScsiBus::attach(std::string name)
{
    parties_.push_back(Party{std::move(name)});
    return static_cast<PartyId>(parties_.size() - 1);
}

void ScsiBus::drive(PartyId party, Signals lines)
{
    Party& p = parties_.at(party);
    if (p.lines == lines) return;
    p.lines = lines;
    recompute();
}

void ScsiBus::drive_data(PartyId party, bool enabled, std::uint8_t value)
{
    Party& p = parties_.at(party);
    if (p.data_enabled == enabled && (!enabled || p.data == value)) return;
    p.data_enabled = enabled;
    p.data = enabled ? value : 0;
    recompute();
}

void ScsiBus::watch(Signals mask, bool data, Watcher watcher)
{
    watches_.push_back(Watch{mask, data, std::move(watcher)});
}

void ScsiBus::recompute()
{
    Signals lines = 0;
    std::uint8_t data = 0;
    for (const Party& p : parties_) {
        lines |= p.lines;
        if (p.data_enabled) data |= p.data;
    }
    Signals changed = lines ^ signals_;
    bool data_changed = data != data_;
    if (!changed && !data_changed) return;
    Signals before = signals_;
    std::uint8_t data_before = data_;
    signals_ = lines;
    data_ = data;
    check_protocol(before, data_before);

    if (!edge_ring_.empty()) edge_ring_[edge_count_ % edge_ring_.size()] = BusEdge{scheduler_.now(), lines, data};
    ++edge_count_;

    for (const Watch& w : watches_) {
        if ((w.mask & changed) || (w.data && data_changed)) scheduler_.after(0, w.watcher);
    }
    if (!waiters_.empty()) schedule_check();
}

void ScsiBus::check_protocol(Signals before, std::uint8_t data_before)
{
    if ((before | signals_) & line::RST) return;  // a reset ends every handshake
    bool ack_rises = !(before & line::ACK) && (signals_ & line::ACK);
    if (ack_rises && !(signals_ & line::REQ)) {
        violations_.push_back(BusViolation{scheduler_.now(), "ACK asserted without REQ"});
    }
    if ((before & line::ACK) && (signals_ & line::ACK) && data_before != data_) {
        violations_.push_back(BusViolation{scheduler_.now(), "data changed while ACK was asserted"});
    }
}

void ScsiBus::when(std::function<bool()> condition, std::function<void()> then)
{
    waiters_.push_back(Waiter{std::move(condition), std::move(then)});
    schedule_check();
}

void ScsiBus::schedule_check()
{
    if (check_scheduled_) return;
    check_scheduled_ = true;
    scheduler_.after(0, [this] { check_waiters(); });
}

void ScsiBus::check_waiters()
{
    check_scheduled_ = false;
    // A party woken here may wait again at once; it is seen at the next check.
    std::vector<Waiter> ready;
    for (std::size_t i = 0; i < waiters_.size();) {
        if (waiters_[i].condition()) {
            ready.push_back(std::move(waiters_[i]));
            waiters_.erase(waiters_.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
    for (Waiter& w : ready) w.then();
}

std::vector<BusEdge> ScsiBus::edges() const
{
    std::vector<BusEdge> out;
    std::size_t cap = edge_ring_.size();
    if (cap == 0) return out;
    std::uint64_t first = edge_count_ > cap ? edge_count_ - cap : 0;
    for (std::uint64_t i = first; i < edge_count_; ++i) out.push_back(edge_ring_[i % cap]);
    return out;
}

}  // namespace bench
