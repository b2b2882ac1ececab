// What a request leaves behind must never be used by the next one.
#include <gtest/gtest.h>

#include "bus/contender.h"
#include "driver/miniport/ostrel.h"
#include "port/request.h"
#include "targets/block_store.h"
#include "targets/disk.h"
#include "targets/logical_units.h"
#include "world.h"

using namespace bench;

namespace {

// After a request that never won the bus, an abort naming it finds nothing in progress.
TEST(NexusHygiene, AnAbortAfterAFailedArbitrationDoesNotResetTheBus)
{
    World world;
    world.add_target(1, std::make_unique<Disk>(std::make_unique<MemoryStore>(64)));
    ASSERT_EQ(world.load(DriverEntry), status::kSuccess);
    auto read = read10(1, 0, 0, 1);
    {
        Contender busy(world.bus, 3, Contender::Mode::HoldBusy);
        ASSERT_EQ(world.execute(read->srb).srb_status, SRB_STATUS_BUSY);
        busy.release();
    }
    Request abort(SRB_FUNCTION_ABORT_COMMAND);
    abort.srb.TargetId = 1;
    abort.srb.NextSrb = &read->srb;
    Outcome o = world.execute(abort.srb);
    EXPECT_EQ(o.srb_status, SRB_STATUS_ABORT_FAILED);
    EXPECT_EQ(world.target(1)->log().resets, 0u);
}

// A target that goes to data in before any command phase: the bytes go into
// this request's buffer, not where the last request's data went.
TEST(NexusHygiene, DataBeforeTheCommandGoesToThisRequestsBuffer)
{
    World world;
    Fault early{Point::Command, Misbehaviour::LeaveAndReturn, 0};
    early.phase = static_cast<std::uint8_t>(phase::DATA_IN);
    auto units = std::make_unique<LogicalUnits>();
    units->add(0, std::make_unique<Disk>(std::make_unique<MemoryStore>(64)));
    Target& t = world.add_target(1, std::move(units));
    ASSERT_EQ(world.load(DriverEntry), status::kSuccess);

    auto first = read10(1, 0, 0, 1);
    ASSERT_EQ(world.execute(first->srb).srb_status, SRB_STATUS_SUCCESS);
    std::vector<std::uint8_t> first_after = first->data;

    early.bytes = {1, 2, 3, 4};
    t.add_fault(early);
    auto second = read10(1, 0, 0, 1);
    world.execute(second->srb);
    EXPECT_EQ(first->data, first_after);  // untouched
    EXPECT_EQ(std::vector<std::uint8_t>(second->data.begin(), second->data.begin() + 4),
              (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_TRUE(world.port.violations().empty());
}

TEST(NexusHygiene, SeveralTargetsAndUnitsOnOneBus)
{
    World world;
    auto units = std::make_unique<LogicalUnits>();
    units->add(0, std::make_unique<Disk>(std::make_unique<MemoryStore>(16)));
    units->add(1, std::make_unique<Disk>(std::make_unique<MemoryStore>(32)));
    world.add_target(2, std::move(units));
    world.add_target(5, std::make_unique<Disk>(std::make_unique<MemoryStore>(48)));
    ASSERT_EQ(world.load(DriverEntry), status::kSuccess);
    struct Where {
        UCHAR id, lun;
        std::uint8_t last;
    };
    for (Where w : {Where{2, 0, 15}, Where{2, 1, 31}, Where{5, 0, 47}}) {
        auto cap = read_capacity(w.id, w.lun);
        ASSERT_EQ(world.execute(cap->srb).srb_status, SRB_STATUS_SUCCESS);
        EXPECT_EQ(cap->data[3], w.last);
    }
    auto none = inquiry(2, 4);
    EXPECT_EQ(world.execute(none->srb).srb_status, SRB_STATUS_SUCCESS);
    EXPECT_EQ(none->data[0], 0x7F);
}

}  // namespace
