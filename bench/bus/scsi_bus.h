// The SCSI bus as state: every party drives a set of lines and maybe a data
// byte, and what anyone sees is the wired-OR of all of them. A change wakes
// the parties watching the lines that changed, at the time of the change.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "../sim/scheduler.h"
#include "signals.h"

namespace bench {

// A breach of the bus protocol, as a bus analyser would flag it.
struct BusViolation {
    Nanoseconds time;
    std::string what;
};

struct BusEdge {
    Nanoseconds time;
    Signals signals;
    std::uint8_t data;
};

class ScsiBus {
public:
    using PartyId = int;
    using Watcher = std::function<void()>;

    explicit ScsiBus(Scheduler& scheduler, std::size_t edge_capacity = 1 << 16);

    PartyId attach(std::string name);
    const std::string& name(PartyId party) const { return parties_.at(party).name; }

    void drive(PartyId party, Signals lines);
    void drive_data(PartyId party, bool enabled, std::uint8_t value = 0);
    // Drops every line and the data byte of a party.
    void release(PartyId party) { drive_data(party, false), drive(party, 0); }

    Signals signals() const { return signals_; }
    std::uint8_t data() const { return data_; }
    Signals driven_by(PartyId party) const { return parties_.at(party).lines; }
    bool drives_data(PartyId party) const { return parties_.at(party).data_enabled; }

    // Calls `watcher` after every change of a line in `mask` (or of the data byte,
    // when `data` is set), as an event at the time of the change.
    void watch(Signals mask, bool data, Watcher watcher);

    // Calls `then` once, at the first settled bus state (after any change, or
    // now) for which `condition` holds.
    void when(std::function<bool()> condition, std::function<void()> then);

    const std::vector<BusViolation>& violations() const { return violations_; }

    // The last changes of the bus, oldest first.
    std::vector<BusEdge> edges() const;
    std::uint64_t edge_count() const { return edge_count_; }

    Scheduler& scheduler() { return scheduler_; }

private:
    struct Party {
        std::string name;
        Signals lines = 0;
        bool data_enabled = false;
        std::uint8_t data = 0;
    };
    struct Watch {
        Signals mask;
        bool data;
        Watcher watcher;
    };

    void recompute();
    void check_protocol(Signals before, std::uint8_t data_before);
    void schedule_check();
    void check_waiters();

    Scheduler& scheduler_;
    std::vector<Party> parties_;
    std::vector<Watch> watches_;
    struct Waiter {
        std::function<bool()> condition;
        std::function<void()> then;
    };
    std::vector<Waiter> waiters_;
    bool check_scheduled_ = false;
    std::vector<BusViolation> violations_;
    Signals signals_ = 0;
    std::uint8_t data_ = 0;
    std::vector<BusEdge> edge_ring_;
    std::uint64_t edge_count_ = 0;
};

}  // namespace bench
