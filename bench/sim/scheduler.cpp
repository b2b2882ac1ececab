#include "scheduler.h"

#include <stdexcept>
#include <utility>

namespace bench {

void Scheduler::at(Nanoseconds when, Action action)
{
    if (when < now_) throw std::logic_error("event scheduled in the past");
    events_.push(Event{when, order_++, std::move(action)});
    if (when < next_due_) next_due_ = when;
}

void Scheduler::run_until(Nanoseconds limit)
{
    while (!events_.empty() && events_.top().when <= limit) {
        // Take it out before running it: the action may schedule more events.
        // The queue gives only const access; moving out of the top just before pop is safe.
        Event event = std::move(const_cast<Event&>(events_.top()));
        events_.pop();
        next_due_ = events_.empty() ? kNever : events_.top().when;
        if (event.when > now_) now_ = event.when;
        event.action();
    }
    next_due_ = events_.empty() ? kNever : events_.top().when;
    if (limit != kNever && limit > now_) now_ = limit;
}

}  // namespace bench
