#include <gtest/gtest.h>

#include "driver/hardware/registers.h"
#include "driver/protocol/protocol.h"
#include "support/driver_bench.h"
#include "support/request.h"

using bench::Fault;
using bench::Misbehaviour;
using bench::Point;
using testing_support::ModelBench;
using testing_support::Request;
using testing_support::ScriptedBench;

namespace {

// A won bus and one target at ID 2, as selection finds them.
struct Selecting : ModelBench {
    bench::FixedDevice device;
    std::unique_ptr<bench::Target> target;
    Request request;

    explicit Selecting(std::vector<Fault> faults = {}, UCHAR lun = 0, ULONG flags = 0, UCHAR irq = 11)
        : request(2, lun, {0x00, 0, 0, 0, 0, 0})
    {
        target = std::make_unique<bench::Target>(bus, 2, device, bench::TargetTiming{}, std::move(faults));
        request.srb.SrbFlags = flags;
        request.make_active(ext);
        ext.InterruptLine = irq;
        EXPECT_EQ(OstrelArbitrate(&ext), TRUE);
    }
    BOOLEAN select() { return OstrelSelect(&ext, &request.lu, &request.srb); }
};

TEST(Select, NeverItsOwnId)
{
    ScriptedBench b;
    Request r(7, 0, {0x00});
    r.make_active(b.ext);
    EXPECT_EQ(OstrelSelect(&b.ext, &r.lu, &r.srb), FALSE);
    EXPECT_EQ(b.steps(), (std::vector<std::string>{"W TCR 0x00", "W ICR 0x00"}));
}

struct IdentifyCase {
    const char* name;
    ULONG flags;
    UCHAR irq;
    UCHAR lun;
    std::uint8_t identify;
};

class Identify : public ::testing::TestWithParam<IdentifyCase> {};

TEST_P(Identify, OffersDisconnectOnlyWithAnInterruptLineAndFlagsNotExactlyDisable)
{
    const IdentifyCase& c = GetParam();
    Selecting b({}, c.lun, c.flags, c.irq);
    EXPECT_EQ(b.select(), TRUE);
    ASSERT_EQ(b.target->log().messages_out.size(), 1u);
    EXPECT_EQ(b.target->log().messages_out[0], c.identify);
    EXPECT_EQ(b.ext.CurrentPhase, PHASE_CODE_SELECTION_MESSAGE_OUT);
    EXPECT_EQ(b.adapter.core().tcr(), TCR_MESSAGE_OUT);
    EXPECT_EQ(b.adapter.core().ser(), OSTREL_INITIATOR_ID_BIT);
    EXPECT_EQ(b.adapter.core().icr(), 0x00);
    EXPECT_TRUE(b.clean());
}

INSTANTIATE_TEST_SUITE_P(Variants, Identify,
                         ::testing::Values(IdentifyCase{"DisableOnly", 0x04, 11, 0, 0x80},
                                           IdentifyCase{"DisableAmongOthers", 0x44, 11, 0, 0xC0},
                                           IdentifyCase{"NoInterruptLine", 0x40, 0, 1, 0x81},
                                           IdentifyCase{"Lun2WithDisconnect", 0x00, 11, 2, 0xC2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SelectOnTheModel, ATargetThatNeverAnswersTimesOut)
{
    Selecting b({Fault{Point::Selection, Misbehaviour::IgnoreSelection}});
    b.port.trace().resize(0);
    EXPECT_EQ(b.select(), FALSE);
    EXPECT_GE(b.port.reads(REG_CSBS), 5000001u);
    EXPECT_EQ(b.adapter.core().icr(), 0x00);
    EXPECT_EQ(b.adapter.core().ser(), 0x00);
    EXPECT_EQ(b.bus.signals(), 0);  // nothing left on the bus
}

TEST(SelectOnTheModel, ATargetGoingStraightToTheCommandGetsNoIdentify)
{
    Selecting b({Fault{Point::MessageOut, Misbehaviour::SkipMessageOut}});
    EXPECT_EQ(b.select(), TRUE);
    EXPECT_TRUE(b.target->log().messages_out.empty());
    EXPECT_EQ(b.adapter.core().icr(), 0x00);  // ATN released
    EXPECT_EQ(b.adapter.core().ser(), 0x00);
    EXPECT_EQ(b.port.steps().back(), "W ICR 0x00");
    EXPECT_EQ(ScsiPortReadPortUchar(b.ext.BaseAddress + REG_CSBS) & PHASE_MASK, PHASE_COMMAND);
}

TEST(SelectOnTheModel, ATargetThatDropsBsyAtOnceEndsTheWaitAtItsEntryTest)
{
    Selecting b({Fault{Point::Selection, Misbehaviour::DropBsy}});
    b.forget();
    EXPECT_EQ(b.select(), TRUE);
    EXPECT_EQ(b.adapter.core().icr(), 0x00);
    EXPECT_LT(b.port.now(), 1000 * bench::kMicrosecond);  // no long wait for REQ
}

TEST(SlowTimeout, AnIdentifyNeverAcknowledgedFailsTheSelection)
{
    Selecting b({Fault{Point::MessageOut, Misbehaviour::HoldReq}});
    b.port.trace().resize(0);
    EXPECT_EQ(b.select(), FALSE);
    EXPECT_EQ(b.adapter.core().icr(), 0x00);
    EXPECT_EQ(b.adapter.core().tcr(), TCR_MESSAGE_OUT);
    EXPECT_EQ(b.adapter.core().ser(), 0x00);
}

}  // namespace
