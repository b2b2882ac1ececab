#include <gtest/gtest.h>

#include "bus/contender.h"
#include "driver/hardware/registers.h"
#include "driver/protocol/protocol.h"
#include "support/driver_bench.h"
#include "support/request.h"

using bench::Contender;
using testing_support::ModelBench;
using testing_support::Request;
using testing_support::ScriptedBench;
using Steps = std::vector<std::string>;

namespace {

// The register traffic of arbitration proper, up to the wait for AIP.
const Steps kArbitrationStart{"R CSBS 0x00", "W ICR 0x00", "W ODR 0x80", "W ICR 0x01", "stall 3", "R MR 0x04",
                              "W MR 0x05"};

Steps with_start(const Steps& rest)
{
    Steps s = kArbitrationStart;
    s.insert(s.end(), rest.begin(), rest.end());
    return s;
}

struct Scripted : ScriptedBench {
    Request request{0, 0, {0x00}};
    Scripted()
    {
        request.make_active(ext);
        regs.set(REG_MR, 0x04);  // a MONITOR BUSY bit that must survive arbitration
    }
};

TEST(Arbitrate, GivesUpWithoutTouchingTheBoardWhenTheRequestIsNoLongerStarting)
{
    Scripted b;
    b.request.lu.LuState = LU_FREE;
    EXPECT_EQ(OstrelArbitrate(&b.ext), FALSE);
    EXPECT_TRUE(b.steps().empty());
}

TEST(Arbitrate, GivesUpAfterAMillionBusyPollsWritingNothing)
{
    Scripted b;
    b.port.trace().resize(0);
    b.regs.set(REG_CSBS, CSBS_SEL);  // SEL alone is busy too
    EXPECT_EQ(OstrelArbitrate(&b.ext), FALSE);
    EXPECT_EQ(b.port.reads(REG_CSBS), 1000000u);
    for (unsigned offset = 0; offset < 32; ++offset) EXPECT_EQ(b.port.writes(offset), 0u) << offset;
}

TEST(Arbitrate, WithoutArbitrationInProgressClearsModeAndInitiator)
{
    Scripted b;
    b.port.trace().resize(1 << 12);
    EXPECT_EQ(OstrelArbitrate(&b.ext), FALSE);
    EXPECT_EQ(b.port.reads(REG_ICR), 1001u);
    Steps steps = b.steps();
    EXPECT_EQ(Steps(steps.end() - 4, steps.end()), (Steps{"R MR 0x04", "W MR 0x04", "W MR 0x00", "W ICR 0x00"}));
}

struct Outcome {
    const char* name;
    std::uint8_t icr;
    std::uint8_t csd;
    BOOLEAN won;
    Steps tail;
};

class ArbitrationOutcome : public ::testing::TestWithParam<Outcome> {};

TEST_P(ArbitrationOutcome, LeavesTheRegistersAsTheTableSays)
{
    Scripted b;
    b.regs.set(REG_ICR, GetParam().icr);
    b.regs.set(REG_CSD, GetParam().csd);
    EXPECT_EQ(OstrelArbitrate(&b.ext), GetParam().won);
    EXPECT_EQ(b.steps(), with_start(GetParam().tail));
}

INSTANTIATE_TEST_SUITE_P(
    Exits, ArbitrationOutcome,
    ::testing::Values(
        Outcome{"LostArbitration", 0x60, 0x80, FALSE,
                {"R ICR 0x60", "stall 5", "R ICR 0x60", "R MR 0x04", "W MR 0x04", "W ICR 0x00"}},
        Outcome{"OtherIdOnTheBus", 0x40, 0x81, FALSE,
                {"R ICR 0x40", "stall 5", "R ICR 0x40", "R CSD 0x81", "R MR 0x04", "W MR 0x04", "W ICR 0x00"}},
        Outcome{"Won", 0x40, 0x80, TRUE,
                {"R ICR 0x40", "stall 5", "R ICR 0x40", "R CSD 0x80", "W ICR 0x0C", "stall 2", "R MR 0x04",
                 "W MR 0x04"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct OnTheModel : ModelBench {
    Request request{0, 0, {0x00}};
    OnTheModel() { request.make_active(ext); }
};

TEST(ArbitrateOnTheModel, WinsAFreeBusAndHoldsBsyAndSel)
{
    OnTheModel b;
    EXPECT_EQ(OstrelArbitrate(&b.ext), TRUE);
    EXPECT_EQ(b.bus.driven_by(b.adapter.core().party()), bench::line::BSY | bench::line::SEL);
    EXPECT_EQ(b.adapter.core().mode() & MR_ARBITRATE, 0);
    EXPECT_TRUE(b.clean());
}

TEST(ArbitrateOnTheModel, LosesToAnotherIdOnTheDataBusOrToItsSelection)
{
    for (Contender::Mode mode : {Contender::Mode::JoinArbitration, Contender::Mode::Selects}) {
        OnTheModel b;
        Contender other(b.bus, 3, mode);
        EXPECT_EQ(OstrelArbitrate(&b.ext), FALSE);
        EXPECT_EQ(b.adapter.core().icr(), 0x00);
        EXPECT_EQ(b.adapter.core().mode() & MR_ARBITRATE, 0);
    }
}

TEST(ArbitrateOnTheModel, GivesUpOnABusHeldBusyForASecond)
{
    OnTheModel b;
    b.port.trace().resize(0);
    Contender other(b.bus, 2, Contender::Mode::HoldBusy);
    EXPECT_EQ(OstrelArbitrate(&b.ext), FALSE);
    EXPECT_GE(b.port.now(), 1000000 * bench::kMicrosecond);
}

}  // namespace
