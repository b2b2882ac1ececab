// The virtual clock and its event queue: one thread, time in nanoseconds.
// Time moves only when the driver touches a port or stalls; events due by
// then run first, in time order, each seeing the clock at its own time.
#pragma once

#include <cstdint>
#include <functional>
#include <queue>
#include <vector>

#include "timing.h"

namespace bench {

class Scheduler {
public:
    using Action = std::function<void()>;

    Nanoseconds now() const { return now_; }

    // Moves the clock forward, running every event due up to the new time.
    void advance(Nanoseconds delta)
    {
        Nanoseconds target = now_ + delta;
        if (target >= next_due_) run_until(target);
        now_ = target;
    }

    // Runs the events due now (after a state change that others watch).
    void settle()
    {
        if (now_ >= next_due_) run_until(now_);
    }

    void at(Nanoseconds when, Action action);
    void after(Nanoseconds delay, Action action) { at(now_ + delay, std::move(action)); }

    bool idle() const { return events_.empty(); }
    std::size_t pending() const { return events_.size(); }
    Nanoseconds next_due() const { return next_due_; }

    // Runs events until none is left or the limit is reached; for tests and tools
    // that let the world go on without the driver.
    void run_until(Nanoseconds limit);

private:
    struct Event {
        Nanoseconds when;
        std::uint64_t order;
        Action action;
    };
    struct Later {
        bool operator()(const Event& a, const Event& b) const
        {
            return a.when != b.when ? a.when > b.when : a.order > b.order;
        }
    };

    static constexpr Nanoseconds kNever = ~Nanoseconds{0};

    Nanoseconds now_ = 0;
    Nanoseconds next_due_ = kNever;
    std::uint64_t order_ = 0;
    std::priority_queue<Event, std::vector<Event>, Later> events_;
};

}  // namespace bench
