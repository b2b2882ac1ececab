#include <gtest/gtest.h>

#include "driver/hardware/registers.h"
#include "driver/transfer/transfer.h"
#include "support/driver_bench.h"
#include "support/execute.h"
#include "support/request.h"

using bench::Fault;
using bench::Misbehaviour;
using bench::Point;
using testing_support::Execution;
using testing_support::pattern;
using testing_support::Request;
using testing_support::ScriptedBench;
using Steps = std::vector<std::string>;

namespace {

TEST(WriteDataByte, ExpectsTheDataOutPhaseBeforeItsFirstWaitEvenWhenItFails)
{
    ScriptedBench b;
    Request r(0, 0, {0x2A}, 4);
    r.make_active(b.ext);
    b.ext.DataPointer = r.buffer.data();
    b.ext.DataCount = 4;
    b.regs.set(REG_CSBS, 0x00);  // the target has gone
    EXPECT_EQ(OstrelWriteDataByte(&b.ext), TRUE);
    EXPECT_EQ(b.steps(), (Steps{"W TCR 0x00", "R RPI 0x00", "R CSBS 0x00"}));
    EXPECT_EQ(b.ext.CurrentPhase, PHASE_CODE_DATA_OUT);
    EXPECT_EQ(ULONG(r.lu.SavedDataCount), 4u);
}

TEST(WriteDataByte, NothingLeftToSendFailsThePhase)
{
    ScriptedBench b;
    Request r(0, 0, {0x2A}, 4);
    r.make_active(b.ext);
    b.ext.DataCount = 0;
    EXPECT_EQ(OstrelWriteDataByte(&b.ext), FALSE);
    EXPECT_TRUE(b.steps().empty());
}

TEST(DataOutOnTheBus, SendsExactlyWhatTheTargetTakesThenTheStatusFollows)
{
    Execution e(3);
    std::vector<std::uint8_t> data = pattern(3);
    e.writes(data, 3);
    e.run();
    EXPECT_EQ(e.srb.SrbStatus, SRB_STATUS_SUCCESS);
    EXPECT_EQ(e.device.received, data);
    EXPECT_EQ(e.target->log().data_out_bytes, 3u);
    EXPECT_EQ(PUCHAR(e.lu.SavedDataPointer), e.buffer.data() + 3);
    EXPECT_EQ(ULONG(e.lu.SavedDataCount), 0u);
    EXPECT_TRUE(e.clean());
}

TEST(DataOutOnTheBus, ASecondPhaseGoesOnWhereTheFirstStopped)
{
    Fault detour{Point::DataOut, Misbehaviour::LeaveAndReturn, 2};
    detour.phase = bench::phase::MESSAGE_IN;
    detour.bytes = {MSG_NO_OPERATION};
    Execution e(5, {detour});
    std::vector<std::uint8_t> data = pattern(5);
    e.writes(data, 5);
    e.run();
    EXPECT_EQ(e.srb.SrbStatus, SRB_STATUS_SUCCESS);
    EXPECT_EQ(e.device.received, data);  // each byte once, in order
    EXPECT_EQ(e.target->log().messages_in, (std::vector<std::uint8_t>{MSG_NO_OPERATION, 0x00}));
    EXPECT_TRUE(e.clean());
}

TEST(DataOutOnTheBus, ATargetGoneAfterOneByteEndsWithTheBusFreeFailure)
{
    Execution e(5, {Fault{Point::DataOut, Misbehaviour::DropBsy, 1}});
    e.writes(pattern(5), 5);
    e.run();
    EXPECT_EQ(e.srb.SrbStatus, SRB_STATUS_PHASE_SEQUENCE_FAILURE);
    EXPECT_EQ(e.log_ids(), (std::vector<unsigned>{6}));
    EXPECT_EQ(e.count("W ICR 0x80"), 0u);  // no bus reset
    EXPECT_EQ(PUCHAR(e.lu.SavedDataPointer), e.buffer.data() + 1);
    EXPECT_EQ(ULONG(e.lu.SavedDataCount), 4u);
}

TEST(DataOutOnTheBus, ATargetAskingForMoreThanTheRequestHoldsIsCutOffByAReset)
{
    bench::Fault more{Point::DataOut, Misbehaviour::ExtraData};
    more.count = bench::kForever;
    Execution e(16, {more});
    e.writes(pattern(16), 16);
    e.run();
    EXPECT_EQ(e.srb.SrbStatus, SRB_STATUS_PHASE_SEQUENCE_FAILURE);
    EXPECT_EQ(e.log_ids(), (std::vector<unsigned>{5}));
    EXPECT_EQ(e.target->log().resets, 1u);
    EXPECT_EQ(e.target->log().data_out_bytes, 16u);
    EXPECT_FALSE(e.port.outstanding(&e.srb));
    EXPECT_TRUE(e.clean());
}

TEST(SlowTimeout, AByteNeverAcknowledgedFailsThePhaseWithAReset)
{
    Execution e(5, {Fault{Point::DataOut, Misbehaviour::HoldReq, 3}});
    e.port.trace().resize(0);
    e.writes(pattern(5), 5);
    e.run();
    EXPECT_EQ(e.srb.SrbStatus, SRB_STATUS_PHASE_SEQUENCE_FAILURE);
    EXPECT_EQ(e.log_ids(), (std::vector<unsigned>{5}));
    EXPECT_EQ(ULONG(e.ext.DataCount), 2u);  // three bytes were taken
    EXPECT_EQ(PUCHAR(e.ext.DataPointer), e.buffer.data());
    EXPECT_EQ(PUCHAR(e.lu.SavedDataPointer), e.buffer.data());
    EXPECT_EQ(ULONG(e.lu.SavedDataCount), 5u);
    EXPECT_EQ(e.target->log().resets, 1u);
}

}  // namespace
