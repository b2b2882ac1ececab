#include <gtest/gtest.h>

#include "driver/hardware/registers.h"
#include "driver/hardware/waits.h"
#include "driver/protocol/protocol.h"
#include "support/driver_bench.h"
#include "support/request.h"

using testing_support::ModelBench;
using testing_support::Request;
using testing_support::ScriptedBench;
using Steps = std::vector<std::string>;

namespace {

std::vector<std::string> only(const Steps& steps, const std::string& prefix)
{
    Steps out;
    for (const std::string& s : steps)
        if (s.rfind(prefix, 0) == 0) out.push_back(s);
    return out;
}

struct Nexus : ScriptedBench {
    Request request;
    explicit Nexus(std::initializer_list<UCHAR> cdb = {0x2A, 1, 2, 3, 4, 5, 6, 7, 8, 9}, ULONG length = 512)
        : request(3, 1, cdb, length)
    {
        request.make_active(ext);
    }
    // The target takes one command byte per REQ while it shows the command phase.
    void command_bytes(int n, std::uint8_t then)
    {
        for (int i = 0; i < n; ++i) regs.script(REG_CSBS, {0x68, 0x68, 0x68, 0x48});
        regs.script(REG_CSBS, {then, then, then});
    }
};

// ---------------------------------------------------------------- command

TEST(Command, SendsWhileTheTargetAsksThenLoadsThePointer)
{
    Nexus b;
    b.command_bytes(6, PHASE_MESSAGE_IN);
    OstrelCommand(&b.ext);
    EXPECT_EQ(only(b.steps(), "W ODR"),
              (Steps{"W ODR 0x2A", "W ODR 0x01", "W ODR 0x02", "W ODR 0x03", "W ODR 0x04", "W ODR 0x05"}));
    EXPECT_EQ(PUCHAR(b.ext.DataPointer), b.request.buffer.data());
    EXPECT_EQ(ULONG(b.ext.DataCount), 512u);
    EXPECT_EQ(b.ext.CurrentPhase, PHASE_CODE_COMMAND);

    // Coming back to the command phase starts again at the first byte.
    b.port.trace().clear();
    b.command_bytes(10, PHASE_STATUS);
    OstrelCommand(&b.ext);
    Steps sent = only(b.steps(), "W ODR");
    ASSERT_EQ(sent.size(), 10u);
    EXPECT_EQ(sent[0], "W ODR 0x2A");
    EXPECT_EQ(sent[9], "W ODR 0x09");
}

TEST(Command, TwelveBytesInFull)
{
    Nexus b({0xA8, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0});
    b.command_bytes(12, PHASE_DATA_IN);
    OstrelCommand(&b.ext);
    Steps steps = b.steps();
    EXPECT_EQ(steps[0], "W TCR 0x02");
    EXPECT_EQ(only(steps, "W ODR").size(), 12u);
    EXPECT_EQ(b.port.reads(REG_CSBS), 12u * 4);  // no REQ wait once the count is done
    EXPECT_EQ(ULONG(b.ext.DataCount), 512u);
}

TEST(Command, NeverSendsMoreThanTheSixteenBytesTheRequestHolds)
{
    Nexus b({0xA8, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0});
    b.request.srb.CdbLength = 40;
    b.command_bytes(40, PHASE_STATUS);
    OstrelCommand(&b.ext);
    EXPECT_EQ(only(b.steps(), "W ODR").size(), 16u);
}

TEST(Command, NoBytesForAnEmptyCdbButThePointerIsLoaded)
{
    Nexus b({});
    OstrelCommand(&b.ext);
    EXPECT_EQ(b.steps(), (Steps{"W TCR 0x02", "R RPI 0x00"}));
    EXPECT_EQ(ULONG(b.ext.DataCount), 512u);
}

// ---------------------------------------------------------------- status

struct StatusCase {
    std::uint8_t status;
    UCHAR srb_status;
};

class Status : public ::testing::TestWithParam<StatusCase> {};

TEST_P(Status, MapsTheWholeByte)
{
    Nexus b;
    b.regs.set(REG_CSD, GetParam().status);
    b.regs.set(REG_CSBS, 0x4C);
    OstrelStatus(&b.ext);
    EXPECT_EQ(b.request.srb.ScsiStatus, GetParam().status);
    EXPECT_EQ(b.request.srb.SrbStatus, GetParam().srb_status);
    EXPECT_EQ(b.ext.CurrentPhase, PHASE_CODE_STATUS);
    EXPECT_EQ(b.steps().front(), "W TCR 0x03");
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, Status,
    ::testing::Values(StatusCase{0x00, SRB_STATUS_SUCCESS}, StatusCase{0x04, SRB_STATUS_SUCCESS},
                      StatusCase{0x10, SRB_STATUS_SUCCESS}, StatusCase{0x14, SRB_STATUS_SUCCESS},
                      StatusCase{0x02, SRB_STATUS_ERROR}, StatusCase{0x22, SRB_STATUS_ERROR},
                      StatusCase{0x08, SRB_STATUS_BUSY}, StatusCase{0x18, SRB_STATUS_BUSY},
                      StatusCase{0x28, SRB_STATUS_BUSY}, StatusCase{0x01, SRB_STATUS_BUSY},
                      StatusCase{0x03, SRB_STATUS_BUSY}, StatusCase{0x06, SRB_STATUS_BUSY},
                      StatusCase{0x42, SRB_STATUS_BUSY}),
    [](const auto& info) { return "Status" + std::to_string(info.param.status); });

TEST(Status, ALaterStatusChangesOnlyScsiStatus)
{
    Nexus b;
    b.request.srb.SrbStatus = SRB_STATUS_SUCCESS;
    b.regs.set(REG_CSD, 0x02);
    b.regs.set(REG_CSBS, 0x4C);
    OstrelStatus(&b.ext);
    EXPECT_EQ(b.request.srb.ScsiStatus, 0x02);
    EXPECT_EQ(b.request.srb.SrbStatus, SRB_STATUS_SUCCESS);
}

// ---------------------------------------------------------------- message in

struct MessageIn : Nexus {
    void receive(std::uint8_t message)
    {
        regs.set(REG_CSD, message);
        regs.set(REG_CSBS, 0x5C);
        OstrelMessageIn(&ext);
    }
};

TEST(MessageInHandling, DisconnectSavesThePointerAndEndsTheNexusQuietly)
{
    MessageIn b;
    b.ext.DataPointer = b.request.buffer.data() + 100;
    b.ext.DataCount = 412;
    b.receive(MSG_DISCONNECT);
    EXPECT_EQ(b.request.lu.LuState, static_cast<ULONG>(LU_DISCONNECTED));
    EXPECT_EQ(PUCHAR(b.request.lu.SavedDataPointer), b.request.buffer.data() + 100);
    EXPECT_EQ(ULONG(b.request.lu.SavedDataCount), 412u);
    EXPECT_EQ(PLU_EXTENSION(b.ext.ActiveLu), nullptr);
    EXPECT_EQ(PSCSI_REQUEST_BLOCK(b.request.lu.ActiveSrb), &b.request.srb);
    EXPECT_TRUE(b.port.calls().empty());
}

TEST(MessageInHandling, RestorePointersGoesBackToTheLastSave)
{
    MessageIn b;
    b.ext.DataPointer = b.request.buffer.data() + 128;
    b.ext.DataCount = 384;
    b.receive(MSG_SAVE_DATA_POINTER);
    b.ext.DataPointer = b.request.buffer.data() + 300;  // data moved meanwhile
    b.ext.DataCount = 212;
    b.receive(MSG_RESTORE_POINTERS);
    EXPECT_EQ(PUCHAR(b.ext.DataPointer), b.request.buffer.data() + 128);
    EXPECT_EQ(ULONG(b.ext.DataCount), 384u);
}

TEST(MessageInHandling, ExtendedMessageRaisesAtnForTheTargetToAskForAMessage)
{
    MessageIn b;
    b.receive(MSG_EXTENDED);
    Steps steps = b.steps();
    EXPECT_EQ(Steps(steps.end() - 2, steps.end()), (Steps{"W ICR 0x02", "stall 10"}));
    b.ext.DataPointer = b.request.buffer.data() + 7;
    b.receive(MSG_RESTORE_POINTERS);  // the next byte of the same phase is a message of its own
    EXPECT_EQ(PUCHAR(b.ext.DataPointer), b.request.buffer.data());
}

TEST(MessageInHandling, CompleteMessagesAllEndTheRequest)
{
    for (int message : {MSG_COMMAND_COMPLETE, MSG_LINKED_COMMAND_COMPLETE, MSG_LINKED_COMMAND_COMPLETE_FLAG}) {
        MessageIn b;
        b.request.srb.SrbStatus = SRB_STATUS_SUCCESS;
        b.port.track(&b.request.srb);
        b.receive(static_cast<std::uint8_t>(message));
        EXPECT_EQ(b.request.lu.LuState, static_cast<ULONG>(LU_FREE));
        EXPECT_EQ(PLU_EXTENSION(b.ext.ActiveLu), nullptr);
        Steps steps = b.steps();
        EXPECT_EQ(Steps(steps.end() - 6, steps.end()),
                  (Steps{"RequestComplete", "W MR 0x00", "W TCR 0x00", "W ICR 0x00", "stall 1", "NextRequest"}));
        EXPECT_TRUE(b.port.violations().empty());
    }
}

TEST(MessageInHandling, OtherMessagesChangeNothing)
{
    for (int message : {MSG_REJECT, MSG_NO_OPERATION, 0x80, 0xC0}) {
        MessageIn b;
        b.receive(static_cast<std::uint8_t>(message));
        char read[16];
        std::snprintf(read, sizeof read, "R CSD 0x%02X", message);
        EXPECT_EQ(b.steps(), (Steps{"W TCR 0x07", "R RPI 0x00", read, "W ICR 0x10", "R CSBS 0x5C", "W ICR 0x00"}));
        EXPECT_EQ(b.ext.CurrentPhase, PHASE_CODE_MESSAGE_IN);
        EXPECT_EQ(b.request.lu.LuState, static_cast<ULONG>(LU_START));
        EXPECT_EQ(PLU_EXTENSION(b.ext.ActiveLu), &b.request.lu);
    }
}

// ---------------------------------------------------------------- message out

TEST(MessageOut, SendsIdentifyWithATenMicrosecondSetup)
{
    ScriptedBench b;
    b.regs.set(REG_CSBS, 0x58);
    OstrelMessageOut(&b.ext);
    EXPECT_EQ(b.steps(), (Steps{"W TCR 0x06", "W ODR 0x80", "W ICR 0x01", "stall 10", "W ICR 0x11", "R CSBS 0x58",
                                "W ICR 0x00"}));
}

// ---------------------------------------------------------------- completion

TEST(Completion, WithoutAStatusByteIsAnErrorWithALogEntryBeforeTheHandBack)
{
    Nexus b;
    b.port.track(&b.request.srb);
    OstrelNotifyCompletion(&b.ext);
    EXPECT_EQ(b.request.srb.SrbStatus, SRB_STATUS_ERROR);
    EXPECT_EQ(b.steps(), (Steps{"LogError 6 id 7", "RequestComplete", "W MR 0x00", "W TCR 0x00", "W ICR 0x00",
                                "stall 1", "NextRequest"}));
    const bench::PortCall& log = b.port.calls()[0];
    EXPECT_EQ(log.srb, &b.request.srb);
    EXPECT_EQ(log.target, 3);
    EXPECT_EQ(log.lun, 1);
    EXPECT_EQ(PSCSI_REQUEST_BLOCK(b.request.lu.ActiveSrb), nullptr);
}

TEST(Completion, AfterGoodStatusLogsNothing)
{
    Nexus b;
    b.port.track(&b.request.srb);
    b.request.srb.SrbStatus = SRB_STATUS_SUCCESS;
    OstrelNotifyCompletion(&b.ext);
    EXPECT_EQ(b.request.srb.SrbStatus, SRB_STATUS_SUCCESS);
    EXPECT_EQ(b.steps().front(), "RequestComplete");
}

TEST(Completion, InquiryNotesTheDeviceTypeOnlyWhenThereIsAFirstByte)
{
    struct Case {
        std::uint8_t first;
        ULONG length;
        UCHAR type;
        UCHAR done;
    };
    for (Case c : {Case{0x05, 36, 5, 1}, Case{0x7F, 36, 0x1F, 1}, Case{0x05, 0, 0, 0}}) {
        Nexus b({SCSIOP_INQUIRY, 0, 0, 0, 36, 0}, 36);
        b.request.buffer[0] = c.first;
        b.request.srb.DataTransferLength = c.length;
        b.port.track(&b.request.srb);
        OstrelNotifyCompletion(&b.ext);
        EXPECT_EQ(b.request.lu.DeviceType, c.type);
        EXPECT_EQ(b.request.lu.InquiryDone, c.done);
    }
}

TEST(Completion, WithoutARequestStillFreesTheNexus)
{
    Nexus b;
    b.request.lu.ActiveSrb = nullptr;
    OstrelNotifyCompletion(&b.ext);
    EXPECT_EQ(b.steps(), (Steps{"W MR 0x00", "W TCR 0x00", "W ICR 0x00", "stall 1", "NextRequest"}));
    EXPECT_EQ(PLU_EXTENSION(b.ext.ActiveLu), nullptr);
}

// ---------------------------------------------------------------- a whole nexus on the bus

TEST(NexusOnTheModel, CommandStatusAndCompleteAgainstATarget)
{
    ModelBench b;
    bench::FixedDevice device;
    device.status = 0x02;
    bench::Target target(b.bus, 3, device);
    Request r(3, 1, {0x00, 0, 0, 0, 0, 0});  // TEST UNIT READY
    r.make_active(b.ext);
    b.ext.InterruptLine = 11;
    b.port.track(&r.srb);

    ASSERT_EQ(OstrelArbitrate(&b.ext), TRUE);
    ASSERT_EQ(OstrelSelect(&b.ext, &r.lu, &r.srb), TRUE);
    OstrelCommand(&b.ext);
    ASSERT_EQ(WAIT_REQ(b.ext.BaseAddress, 1000000), TRUE);
    OstrelStatus(&b.ext);
    ASSERT_EQ(WAIT_REQ(b.ext.BaseAddress, 1000000), TRUE);
    OstrelMessageIn(&b.ext);

    EXPECT_EQ(device.last_cdb, (std::vector<std::uint8_t>{0x00, 0, 0, 0, 0, 0}));
    EXPECT_EQ(device.last_lun, 1);
    EXPECT_EQ(target.log().messages_out, (std::vector<std::uint8_t>{0xC1}));
    EXPECT_EQ(r.srb.ScsiStatus, 0x02);
    EXPECT_EQ(r.srb.SrbStatus, SRB_STATUS_ERROR);
    EXPECT_FALSE(b.port.outstanding(&r.srb));
    b.let_time_pass();
    EXPECT_EQ(b.bus.signals(), 0);  // the target has left the bus
    EXPECT_TRUE(b.clean());
    target.check();
}

}  // namespace
