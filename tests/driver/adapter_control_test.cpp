#include <gtest/gtest.h>

#include <algorithm>

#include "driver/hardware/registers.h"
#include "support/driver_bench.h"

using bench::line::RST;
using testing_support::ModelBench;
using testing_support::ScriptedBench;
using Steps = std::vector<std::string>;

namespace {

// A board fresh from power-on: nothing latched, the buffer holds no whole block.
const Steps kBoardResetAtPowerOn{"R BCR 0x04", "W BCR 0x80", "stall 10", "W BCR 0x00", "stall 1", "W MR 0x00",
                              "W TCR 0x00"};

TEST(Initialize, ResetsTheBoardAndAnswersTrueWhateverItReads)
{
    for (std::uint8_t value : {0x00, 0xFF}) {
        ScriptedBench b;
        b.regs.set(REG_BCR, value);
        EXPECT_EQ(OstrelInitialize(&b.ext), TRUE);
        Steps steps = b.steps();
        ASSERT_EQ(steps.size(), 7u);
        EXPECT_EQ(steps[1], "W BCR 0x80");
        EXPECT_EQ(steps[3], value ? "W BCR 0x50" : "W BCR 0x00");
    }
}

struct InterruptCase {
    std::uint8_t bcr;
    Steps steps;
};

class Interrupt : public ::testing::TestWithParam<InterruptCase> {};

TEST_P(Interrupt, AcknowledgesOnlyAPendingInterruptAndNeverClaimsIt)
{
    ScriptedBench b;
    b.regs.set(REG_BCR, GetParam().bcr);
    EXPECT_EQ(OstrelInterrupt(&b.ext), FALSE);
    EXPECT_EQ(b.steps(), GetParam().steps);
}

INSTANTIATE_TEST_SUITE_P(
    BoardControl, Interrupt,
    ::testing::Values(InterruptCase{0x50, {"R BCR 0x50"}}, InterruptCase{0x00, {"R BCR 0x00"}},
                      InterruptCase{0x51, {"R BCR 0x51", "W BCR 0x41", "R RPI 0x00", "R BCR 0x51"}},
                      InterruptCase{0xD5, {"R BCR 0xD5", "W BCR 0x45", "R RPI 0x00", "R BCR 0xD5"}},
                      InterruptCase{0x01, {"R BCR 0x01", "W BCR 0x01", "R RPI 0x00", "R BCR 0x01"}}),
    [](const auto& info) { return "Bcr" + std::to_string(info.param.bcr); });

TEST(InterruptOnTheModel, AcknowledgementDropsTheLine)
{
    ModelBench b;
    ScsiPortWritePortUchar(b.ext.BaseAddress + REG_BCR, BCR_START_RECEIVE);
    b.adapter.raise_interrupt();
    ASSERT_TRUE(b.adapter.interrupt_line());

    EXPECT_EQ(OstrelInterrupt(&b.ext), FALSE);
    EXPECT_FALSE(b.adapter.interrupt_line());
    EXPECT_EQ(b.adapter.board().control() & BCR_KEPT_BY_RESET, BCR_RECEIVE_ENABLE);
    EXPECT_FALSE(b.adapter.board().in_reset());
}

TEST(ResetBus, PulsesRstResetsTheBoardThenSweepsThePathAndAsksForMore)
{
    ModelBench b;
    SCSI_REQUEST_BLOCK on_path{}, other_path{};
    other_path.PathId = 1;
    b.port.track(&on_path);
    b.port.track(&other_path);

    EXPECT_EQ(OstrelResetBus(&b.ext, 0), TRUE);

    Steps expected{"W ICR 0x80", "stall 100", "W ICR 0x00", "stall 100"};
    expected.insert(expected.end(), kBoardResetAtPowerOn.begin(), kBoardResetAtPowerOn.end());
    expected.insert(expected.end(), {"stall 1", "CompleteRequest 0 0xFF 0xFF 0x0E", "NextRequest"});
    EXPECT_EQ(b.steps(), expected);

    // RST on the bus for the 100 us stall and the access that ends it.
    std::vector<bench::BusEdge> edges = b.bus.edges();
    ASSERT_EQ(edges.size(), 2u);
    EXPECT_EQ(edges[0].signals & RST, RST);
    EXPECT_EQ(edges[1].signals & RST, 0);
    EXPECT_EQ(edges[1].time - edges[0].time, 100 * bench::kMicrosecond + bench::timing::kPortAccess);

    EXPECT_EQ(on_path.SrbStatus, SRB_STATUS_BUS_RESET);
    EXPECT_EQ(other_path.SrbStatus, SRB_STATUS_PENDING);
    EXPECT_TRUE(b.port.outstanding(&other_path));
    EXPECT_FALSE(b.port.outstanding(&on_path));
    EXPECT_TRUE(b.port.violations().empty());
}

TEST(ResetBus, PassesItsPathToTheSweep)
{
    ModelBench b;
    OstrelResetBus(&b.ext, 2);
    Steps steps = b.steps();
    EXPECT_NE(std::find(steps.begin(), steps.end(), "CompleteRequest 2 0xFF 0xFF 0x0E"), steps.end());
}

TEST(ResetBus, FreesTheActiveUnitAndLeavesADisconnectedOneAlone)
{
    ModelBench b;
    SCSI_REQUEST_BLOCK active{}, parked{};
    LU_EXTENSION active_lu{}, parked_lu{};
    active_lu.LuState = LU_DATA_IN;
    active_lu.ActiveSrb = &active;
    parked_lu.LuState = LU_DISCONNECTED;
    parked_lu.ActiveSrb = &parked;
    b.ext.ActiveLu = &active_lu;

    OstrelResetBus(&b.ext, 0);

    EXPECT_EQ(PLU_EXTENSION(b.ext.ActiveLu), nullptr);
    EXPECT_EQ(active_lu.LuState, static_cast<ULONG>(LU_FREE));
    EXPECT_EQ(active_lu.ActiveSrb, nullptr);
    EXPECT_EQ(parked_lu.LuState, static_cast<ULONG>(LU_DISCONNECTED));
    EXPECT_EQ(parked_lu.ActiveSrb, &parked);
}

TEST(ResetBus, WithNoActiveUnitWritesNoUnitRecord)
{
    ModelBench b;
    LU_EXTENSION untouched{};
    untouched.LuState = LU_START;
    OstrelResetBus(&b.ext, 0);
    EXPECT_EQ(untouched.LuState, static_cast<ULONG>(LU_START));
    EXPECT_EQ(PLU_EXTENSION(b.ext.ActiveLu), nullptr);
}

}  // namespace
