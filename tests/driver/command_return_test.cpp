// A target that leaves the command phase part way and comes back for the CDB.
#include <gtest/gtest.h>

#include "driver/hardware/waits.h"
#include "driver/protocol/protocol.h"
#include "support/driver_bench.h"
#include "support/request.h"

using bench::Fault;
using bench::Misbehaviour;
using bench::Point;
using testing_support::ModelBench;
using testing_support::Request;

TEST(CommandOnTheModel, ATargetThatLeavesAfterSixBytesGetsTheWholeCdbAgain)
{
    ModelBench b;
    bench::FixedDevice device;
    Fault detour{Point::Command, Misbehaviour::LeaveAndReturn, 6};
    detour.phase = bench::phase::MESSAGE_IN;
    detour.bytes = {MSG_NO_OPERATION};
    bench::Target target(b.bus, 1, device, {}, {detour});
    Request r(1, 0, {0x28, 0, 0, 0, 0x10, 0, 0, 0, 1, 0}, 512);
    r.make_active(b.ext);
    b.port.track(&r.srb);

    ASSERT_EQ(OstrelArbitrate(&b.ext), TRUE);
    ASSERT_EQ(OstrelSelect(&b.ext, &r.lu, &r.srb), TRUE);
    OstrelCommand(&b.ext);  // six bytes, then the target shows message in
    EXPECT_EQ(ULONG(b.ext.DataCount), 512u);
    ASSERT_EQ(WAIT_REQ(b.ext.BaseAddress, 100000), TRUE);
    OstrelMessageIn(&b.ext);  // NO OPERATION
    ASSERT_EQ(WAIT_REQ(b.ext.BaseAddress, 100000), TRUE);
    OstrelCommand(&b.ext);  // from Cdb[0] again, all ten
    b.let_time_pass();

    ASSERT_EQ(target.log().cdbs.size(), 1u);
    EXPECT_EQ(target.log().cdbs[0], (std::vector<std::uint8_t>{0x28, 0, 0, 0, 0x10, 0, 0, 0, 1, 0}));
    EXPECT_EQ(device.last_cdb, target.log().cdbs[0]);
    EXPECT_TRUE(b.clean());
    target.check();
}
