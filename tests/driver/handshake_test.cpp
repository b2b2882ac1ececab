#include <gtest/gtest.h>

#include "driver/hardware/handshake.h"
#include "driver/hardware/registers.h"
#include "support/driver_bench.h"

using testing_support::ModelBench;
using testing_support::ScriptedBench;
using Steps = std::vector<std::string>;

namespace {

TEST(OutByte, DrivesTheByteThenAckUntilReqFallsThenLetsGo)
{
    ScriptedBench b;
    b.regs.set(REG_CSBS, CSBS_BSY | CSBS_CD);  // REQ already released
    EXPECT_EQ(OstrelOutByte(b.ext.BaseAddress, 0x5A), TRUE);
    EXPECT_EQ(b.steps(), (Steps{"W ODR 0x5A", "W ICR 0x01", "stall 2", "W ICR 0x11", "R CSBS 0x48", "W ICR 0x00"}));
}

TEST(InByte, ReadsTheByteBeforeAckAndLetsGoAfter)
{
    ScriptedBench b;
    b.regs.set(REG_CSD, 0xC3);
    b.regs.set(REG_CSBS, CSBS_BSY);
    UCHAR byte = 0;
    EXPECT_EQ(OstrelInByte(b.ext.BaseAddress, &byte), TRUE);
    EXPECT_EQ(byte, 0xC3);
    EXPECT_EQ(b.steps(), (Steps{"R CSD 0xC3", "W ICR 0x10", "R CSBS 0x40", "W ICR 0x00"}));
}

// A target that takes ACK and never lets go of REQ: the handshake fails after
// the full wait, and neither ACK nor the data bus is left driven.
TEST(SlowTimeout, HandshakesFailCleanlyWhenReqIsNeverReleased)
{
    ScriptedBench b;
    b.port.trace().resize(0);
    b.regs.set(REG_CSD, 0x77);
    b.regs.set(REG_CSBS, CSBS_BSY | CSBS_REQ);
    EXPECT_EQ(OstrelOutByte(b.ext.BaseAddress, 0x12), FALSE);
    EXPECT_EQ(b.port.writes(REG_ICR), 3u);  // 0x01, 0x11 and finally 0x00
    EXPECT_EQ(b.regs.last_written(REG_ICR), 0x00);

    UCHAR byte = 0;
    EXPECT_EQ(OstrelInByte(b.ext.BaseAddress, &byte), FALSE);
    EXPECT_EQ(byte, 0x77);  // stored before the failure
    EXPECT_EQ(b.port.writes(REG_ICR), 5u);  // 0x10, then 0x00
    EXPECT_EQ(b.regs.last_written(REG_ICR), 0x00);
    EXPECT_EQ(b.port.reads(REG_CSBS), 2 * 4294967296ull);
}

TEST(HandshakeOnTheModel, MovesBytesWithoutABreachOfTheBusProtocol)
{
    ModelBench b;
    auto target = b.bus.attach("target");
    // The target asks for a byte: REQ in the command phase.
    b.bus.drive(target, bench::line::BSY | bench::line::CD | bench::line::REQ);
    b.bus.when([&] { return b.bus.signals() & bench::line::ACK; },
               [&] { b.bus.drive(target, bench::line::BSY | bench::line::CD); });
    EXPECT_EQ(OstrelOutByte(b.ext.BaseAddress, 0x28), TRUE);
    EXPECT_EQ(b.bus.signals() & bench::line::ACK, 0);
    EXPECT_FALSE(b.bus.drives_data(b.adapter.core().party()));
    EXPECT_TRUE(b.clean());
}

}  // namespace
