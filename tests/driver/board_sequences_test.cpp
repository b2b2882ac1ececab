#include <gtest/gtest.h>

#include "driver/hardware/board.h"
#include "driver/hardware/registers.h"
#include "support/driver_bench.h"

using testing_support::ModelBench;
using testing_support::ScriptedBench;
using Steps = std::vector<std::string>;

namespace {

struct ResetCase {
    std::uint8_t read;
    const char* kept;
};

class BoardReset : public ::testing::TestWithParam<ResetCase> {};

TEST_P(BoardReset, KeepsOnlyTheEnablesItRead)
{
    ScriptedBench b;
    b.regs.set(REG_BCR, GetParam().read);
    OstrelResetBoard(b.ext.BaseAddress);
    char read[16];
    std::snprintf(read, sizeof read, "R BCR 0x%02X", GetParam().read);
    EXPECT_EQ(b.steps(), (Steps{read, "W BCR 0x80", "stall 10", std::string("W BCR ") + GetParam().kept, "stall 1",
                                "W MR 0x00", "W TCR 0x00"}));
    EXPECT_TRUE(b.port.violations().empty());
}

INSTANTIATE_TEST_SUITE_P(ReadValues, BoardReset,
                         ::testing::Values(ResetCase{0xFF, "0x50"}, ResetCase{0x00, "0x00"}, ResetCase{0xD4, "0x50"},
                                           ResetCase{0x40, "0x40"}, ResetCase{0x10, "0x10"},
                                           ResetCase{0xAF, "0x00"}, ResetCase{0x51, "0x50"}),
                         [](const auto& info) { return "Bcr" + std::to_string(info.param.read); });

TEST(Quiesce, IdlesModeTargetAndInitiatorThenStalls)
{
    ScriptedBench b;
    OstrelQuiesce(b.ext.BaseAddress);
    EXPECT_EQ(b.steps(), (Steps{"W MR 0x00", "W TCR 0x00", "W ICR 0x00", "stall 1"}));
}

TEST(BoardResetOnTheModel, ClearsTheCoreAndKeepsTheLatchedEnables)
{
    ModelBench b;
    ScsiPortWritePortUchar(b.ext.BaseAddress + REG_BCR, BCR_START_RECEIVE);
    ScsiPortWritePortUchar(b.ext.BaseAddress + REG_MR, 0x0E);
    ScsiPortWritePortUchar(b.ext.BaseAddress + REG_TCR, 0x01);

    OstrelResetBoard(b.ext.BaseAddress);

    EXPECT_EQ(b.adapter.board().resets(), 1u);
    EXPECT_EQ(b.adapter.board().control(), BCR_START_RECEIVE);
    EXPECT_EQ(b.adapter.core().mode(), 0x00);
    EXPECT_EQ(b.adapter.core().tcr(), 0x00);
    EXPECT_EQ(ScsiPortReadPortUchar(b.ext.BaseAddress + REG_BCR) & BCR_KEPT_BY_RESET, BCR_START_RECEIVE);
    EXPECT_TRUE(b.port.violations().empty());
}

}  // namespace
