#include <gtest/gtest.h>

#include <functional>

#include "driver/hardware/registers.h"
#include "driver/hardware/waits.h"
#include "support/driver_bench.h"

using testing_support::ScriptedBench;

namespace {

struct WaitCase {
    const char* name;
    unsigned offset;
    std::uint8_t satisfied;
    std::function<BOOLEAN(PUCHAR)> wait;
    std::uint64_t reads_when_met;  // WAIT_REQ adds its entry test
    std::uint64_t polls_when_never;
    std::uint8_t never;
};

const WaitCase kWaits[] = {
    {"ArbitrationInProgress", REG_ICR, ICR_AIP, WAIT_ARBIT_IN_PROG, 1, 1001, 0x00},
    {"Bsy", REG_CSBS, CSBS_BSY, WAIT_BSY, 1, 5000001, 0x00},
    {"CoreEnabled", REG_BCR, BCR_CORE_ENABLED, WAIT_5380_ENABLE, 1, 3000001, 0x54},
    {"Req", REG_CSBS, CSBS_BSY | CSBS_REQ, [](PUCHAR b) { return WAIT_REQ(b, 1000); }, 2, 1002, CSBS_BSY},
    {"ReqReleased", REG_CSBS, CSBS_BSY, [](PUCHAR b) { return WAIT_DE_REQ(b, 1000); }, 1, 1001, CSBS_REQ},
};

class Wait : public ::testing::TestWithParam<WaitCase> {};

TEST_P(Wait, MetAtTheFirstPollCostsOneReadAndNoStall)
{
    ScriptedBench b;
    b.regs.set(GetParam().offset, GetParam().satisfied);
    EXPECT_EQ(GetParam().wait(b.ext.BaseAddress), TRUE);
    EXPECT_EQ(b.port.reads(GetParam().offset), GetParam().reads_when_met);
    EXPECT_EQ(b.port.stalls(), 0u);
}

TEST_P(Wait, NeverMetPollsItsCountPlusOneWithAStallAfterEach)
{
    ScriptedBench b;
    b.port.trace().resize(0);
    b.regs.set(GetParam().offset, GetParam().never);
    EXPECT_EQ(GetParam().wait(b.ext.BaseAddress), FALSE);
    std::uint64_t entry = GetParam().reads_when_met - 1;
    EXPECT_EQ(b.port.reads(GetParam().offset), GetParam().polls_when_never);
    EXPECT_EQ(b.port.stalls(), GetParam().polls_when_never - entry);
    EXPECT_EQ(b.port.writes(REG_ICR) + b.port.writes(REG_MR) + b.port.writes(REG_TCR), 0u);
}

INSTANTIATE_TEST_SUITE_P(Waits, Wait, ::testing::ValuesIn(kWaits),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WaitReq, GivesUpAtOnceWhenBsyIsClearOnEntry)
{
    ScriptedBench b;
    b.regs.set(REG_CSBS, CSBS_REQ);
    EXPECT_EQ(WAIT_REQ(b.ext.BaseAddress, 0xFFFFFFFF), FALSE);
    EXPECT_EQ(b.port.reads(REG_CSBS), 1u);
    EXPECT_EQ(b.port.stalls(), 0u);
}

TEST(WaitReq, CountZeroReadsAtMostTwice)
{
    ScriptedBench b;
    b.regs.set(REG_CSBS, CSBS_BSY);
    EXPECT_EQ(WAIT_REQ(b.ext.BaseAddress, 0), FALSE);
    EXPECT_EQ(b.port.reads(REG_CSBS), 2u);
    EXPECT_EQ(b.port.stalls(), 1u);
}

TEST(WaitReq, NeedsBsyAndReqInTheSamePollAndIsNotShortenedByBsyDropping)
{
    ScriptedBench b;
    b.regs.script(REG_CSBS, {CSBS_BSY, CSBS_REQ, 0x00, CSBS_REQ, CSBS_BSY | CSBS_REQ});
    EXPECT_EQ(WAIT_REQ(b.ext.BaseAddress, 10), TRUE);
    EXPECT_EQ(b.port.reads(REG_CSBS), 5u);
    EXPECT_EQ(b.port.stalls(), 3u);
}

TEST(WaitDeReq, CountZeroReadsOnceAndStallsOnce)
{
    ScriptedBench b;
    b.regs.set(REG_CSBS, CSBS_BSY | CSBS_REQ);
    EXPECT_EQ(WAIT_DE_REQ(b.ext.BaseAddress, 0), FALSE);
    EXPECT_EQ(b.steps(), (std::vector<std::string>{"R CSBS 0x60", "stall 1"}));
}

TEST(WaitDeReq, ReleasedReqIsEnoughWhateverBsyShows)
{
    ScriptedBench b;
    b.regs.script(REG_CSBS, {CSBS_REQ, 0x00});
    EXPECT_EQ(WAIT_DE_REQ(b.ext.BaseAddress, 5), TRUE);
    EXPECT_EQ(b.port.reads(REG_CSBS), 2u);
}

// The full count of 0xFFFFFFFF is 4,294,967,296 polls: about 71.6 minutes of
// stalls on the virtual clock, run for real.
TEST(SlowTimeout, WaitDeReqRunsOutAfterTwoToTheThirtyTwoPolls)
{
    ScriptedBench b;
    b.port.trace().resize(0);
    b.port.set_access_time(0);
    b.regs.set(REG_CSBS, CSBS_BSY | CSBS_REQ);
    EXPECT_EQ(WAIT_DE_REQ(b.ext.BaseAddress, 0xFFFFFFFF), FALSE);
    EXPECT_EQ(b.port.reads(REG_CSBS), 4294967296ull);
    EXPECT_EQ(b.port.stalls(), 4294967296ull);
    EXPECT_EQ(b.port.now(), 4294967296ull * bench::kMicrosecond);  // 71.58 minutes
    EXPECT_TRUE(b.port.violations().empty());
}

}  // namespace
