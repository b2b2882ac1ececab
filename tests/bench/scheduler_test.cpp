#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "sim/scheduler.h"

using bench::Nanoseconds;
using bench::Scheduler;

TEST(Scheduler, RunsDueEventsInTimeOrderEachAtItsOwnTime)
{
    Scheduler s;
    std::vector<std::pair<int, Nanoseconds>> seen;
    s.at(300, [&] { seen.push_back({3, s.now()}); });
    s.at(100, [&] { seen.push_back({1, s.now()}); });
    s.at(100, [&] { seen.push_back({2, s.now()}); });  // same time: in the order scheduled
    s.at(900, [&] { seen.push_back({9, s.now()}); });

    s.advance(500);
    EXPECT_EQ(seen, (std::vector<std::pair<int, Nanoseconds>>{{1, 100}, {2, 100}, {3, 300}}));
    EXPECT_EQ(s.now(), 500u);
    EXPECT_EQ(s.pending(), 1u);
}

TEST(Scheduler, AnEventMaySchedulePastTheCurrentAdvanceOrWithinIt)
{
    Scheduler s;
    std::vector<Nanoseconds> seen;
    s.at(10, [&] {
        s.after(0, [&] { seen.push_back(s.now()); });
        s.after(5, [&] { seen.push_back(s.now()); });
        s.after(1000, [&] { seen.push_back(s.now()); });
    });
    s.advance(20);
    EXPECT_EQ(seen, (std::vector<Nanoseconds>{10, 15}));
    s.advance(2000);
    EXPECT_EQ(seen, (std::vector<Nanoseconds>{10, 15, 1010}));
}

TEST(Scheduler, RefusesThePast)
{
    Scheduler s;
    s.advance(100);
    EXPECT_THROW(s.at(99, [] {}), std::logic_error);
}
