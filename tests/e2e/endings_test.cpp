// Every ending of an execute request, each reached by a target that behaves so.
#include <gtest/gtest.h>

#include <algorithm>

#include "bus/contender.h"
#include "driver/miniport/ostrel.h"
#include "port/request.h"
#include "targets/block_store.h"
#include "targets/disk.h"
#include "world.h"

using namespace bench;

namespace {

struct Ending {
    const char* name;
    std::vector<Fault> faults;
    UCHAR srb_status;
    std::vector<unsigned> log_ids;  // unique identifiers of the log entries
    bool reset;
    std::vector<std::string> notifications;
};

std::vector<std::string> notes(const World& w, const Outcome& o, std::vector<unsigned>& ids)
{
    std::vector<std::string> out;
    for (std::size_t i = o.first_call; i < o.last_call; ++i) {
        const PortCall& c = w.port.calls()[i];
        if (c.kind == PortCall::Kind::LogError) ids.push_back(c.unique_id);
        if (c.kind == PortCall::Kind::Notification || c.kind == PortCall::Kind::CompleteRequest)
            out.push_back(w.port.describe_call(i));
    }
    return out;
}

Fault with_phase(Fault f, Signals phase, std::vector<std::uint8_t> bytes = {})
{
    f.phase = static_cast<std::uint8_t>(phase);
    f.bytes = std::move(bytes);
    return f;
}

class EndingOnTheBus : public ::testing::TestWithParam<Ending> {};

TEST_P(EndingOnTheBus, HasItsStatusLogResetAndNotifications)
{
    const Ending& e = GetParam();
    World world;
    world.add_target(1, std::make_unique<Disk>(std::make_unique<MemoryStore>(64)), e.faults);
    ASSERT_EQ(world.load(DriverEntry), status::kSuccess);
    auto read = read10(1, 0, 0, 1);
    Outcome o = world.execute(read->srb);
    std::vector<unsigned> ids;
    EXPECT_EQ(notes(world, o, ids), e.notifications);
    EXPECT_EQ(ids, e.log_ids);
    EXPECT_EQ(world.target(1)->log().resets, e.reset ? 1u : 0u);
    EXPECT_TRUE(o.completed);
    EXPECT_EQ(o.srb_status, e.srb_status);
    EXPECT_TRUE(world.port.violations().empty());
    EXPECT_TRUE(world.bus.violations().empty());
    world.target(1)->check();
}

const std::vector<std::string> kDone{"RequestComplete", "NextRequest"};
const std::vector<std::string> kDoneWithReset{"RequestComplete", "CompleteRequest 0 0xFF 0xFF 0x0E", "NextRequest"};

INSTANTIATE_TEST_SUITE_P(
    Endings, EndingOnTheBus,
    ::testing::Values(
        Ending{"Completes", {}, SRB_STATUS_SUCCESS, {}, false, kDone},
        Ending{"SelectionTimesOut", {Fault{Point::Selection, Misbehaviour::IgnoreSelection}},
               SRB_STATUS_SELECTION_TIMEOUT, {}, false, kDone},
        Ending{"CheckCondition", {[] { Fault f{Point::Status, Misbehaviour::StatusByte}; f.bytes = {0x02}; return f; }()},
               SRB_STATUS_ERROR, {}, false, kDone},
        Ending{"CompleteWithoutStatus",
               {with_phase(Fault{Point::Status, Misbehaviour::LeaveAndReturn}, phase::MESSAGE_IN, {0x00})},
               SRB_STATUS_ERROR, {7}, false, kDone},
        Ending{"DataInFails",
               {[] { Fault f{Point::DataIn, Misbehaviour::ExtraData}; f.count = 1000; return f; }()},
               SRB_STATUS_PHASE_SEQUENCE_FAILURE, {4}, true, kDoneWithReset},
        Ending{"ReservedPhase", {with_phase(Fault{Point::DataIn, Misbehaviour::ShowPhase, 10}, line::MSG)},
               SRB_STATUS_PHASE_SEQUENCE_FAILURE, {6}, false, kDone},
        Ending{"BusGoesFree", {Fault{Point::Status, Misbehaviour::DropBsy}}, SRB_STATUS_PHASE_SEQUENCE_FAILURE, {6},
               false, kDone}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RequestEnding, ABusHeldBusyEndsAsBusy)
{
    World world;
    world.add_target(1, std::make_unique<Disk>(std::make_unique<MemoryStore>(64)));
    ASSERT_EQ(world.load(DriverEntry), status::kSuccess);
    Contender other(world.bus, 5, Contender::Mode::HoldBusy);
    auto read = read10(1, 0, 0, 1);
    Outcome o = world.execute(read->srb);
    EXPECT_EQ(o.srb_status, SRB_STATUS_BUSY);
    std::vector<unsigned> ids;
    EXPECT_EQ(notes(world, o, ids), kDone);
}

TEST(RequestEnding, DisconnectLeavesTheRequestOutstandingUntilTheTimeOutResetsTheBus)
{
    World world;
    Fault leave{Point::MessageIn, Misbehaviour::Messages};
    leave.bytes = {0x02, 0x04};  // SAVE DATA POINTER, DISCONNECT
    world.add_target(1, std::make_unique<Disk>(std::make_unique<MemoryStore>(64)), {leave});
    ASSERT_EQ(world.load(DriverEntry), status::kSuccess);
    auto read = read10(1, 0, 0, 1);
    read->srb.TimeOutValue = 3;
    Outcome o = world.execute(read->srb);
    EXPECT_FALSE(o.completed);
    EXPECT_EQ(o.first_call + 1, o.last_call);  // the unit lookup alone: no notification at all

    world.host.idle(2 * kSecond);
    EXPECT_FALSE(world.host.outcome(&read->srb).completed);
    world.host.idle(2 * kSecond);
    o = world.host.outcome(&read->srb);
    EXPECT_TRUE(o.completed);
    EXPECT_TRUE(o.timed_out);
    EXPECT_EQ(o.srb_status, SRB_STATUS_BUS_RESET);
    EXPECT_EQ(world.target(1)->log().resets, 1u);

    // And the adapter serves the next request.
    auto again = read10(1, 0, 0, 1);
    EXPECT_EQ(world.execute(again->srb).srb_status, SRB_STATUS_SUCCESS);
    EXPECT_TRUE(world.port.violations().empty());
}

TEST(RequestEnding, ACommandPhaseWithNoCdbToSendEndsBounded)
{
    World world;
    world.add_target(1, std::make_unique<Disk>(std::make_unique<MemoryStore>(64)));
    ASSERT_EQ(world.load(DriverEntry), status::kSuccess);
    Request empty(1, 0, {}, 0, 0);
    Outcome o = world.execute(empty.srb);
    EXPECT_TRUE(o.completed);
    EXPECT_EQ(o.srb_status, SRB_STATUS_PHASE_SEQUENCE_FAILURE);
    std::vector<unsigned> ids;
    notes(world, o, ids);
    EXPECT_EQ(ids, (std::vector<unsigned>{6}));
}

// A target that drops off the bus in the middle of a receive: the board's
// interrupt comes up, the port driver calls the callback after start-I/O, and
// acknowledging it must not leave the board in reset.
TEST(InterruptBetweenCalls, AcknowledgedWithoutResettingTheBoard)
{
    World world;
    world.add_target(1, std::make_unique<Disk>(std::make_unique<MemoryStore>(64)),
                     {Fault{Point::DataIn, Misbehaviour::DropBsy, 300}});
    ASSERT_EQ(world.load(DriverEntry), status::kSuccess);
    auto read = read10(1, 0, 0, 1);
    Outcome o = world.execute(read->srb);
    EXPECT_EQ(o.srb_status, SRB_STATUS_PHASE_SEQUENCE_FAILURE);
    EXPECT_FALSE(world.adapter.interrupt_line());
    EXPECT_FALSE(world.adapter.board().in_reset());
    EXPECT_TRUE(world.port.violations().empty());

    auto again = read10(1, 0, 0, 1);
    EXPECT_EQ(world.execute(again->srb).srb_status, SRB_STATUS_SUCCESS);
}

}  // namespace
