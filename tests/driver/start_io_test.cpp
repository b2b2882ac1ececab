#include <gtest/gtest.h>

#include <algorithm>

#include "bus/contender.h"
#include "driver/hardware/registers.h"
#include "support/driver_bench.h"
#include "support/request.h"

using testing_support::ModelBench;
using testing_support::Request;
using Steps = std::vector<std::string>;

namespace {

std::size_t count(const Steps& steps, const std::string& s) { return std::count(steps.begin(), steps.end(), s); }

struct Dispatch : ModelBench {
    SCSI_REQUEST_BLOCK srb{};
    Dispatch()
    {
        srb.PathId = 0;
        srb.TargetId = 3;
        srb.Lun = 1;
        srb.DataTransferLength = 4096;
        srb.Cdb[0] = 0x28;
        port.set_lu_extension_size(sizeof(LU_EXTENSION));
    }
    BOOLEAN start()
    {
        port.track(&srb);
        return OstrelStartIo(&ext, &srb);
    }
};

TEST(StartIo, RefusesAnyOtherFunctionAfterNotingTheRequest)
{
    Dispatch b;
    b.srb.Function = SRB_FUNCTION_SHUTDOWN;
    EXPECT_EQ(b.start(), TRUE);
    EXPECT_EQ(b.srb.SrbStatus, SRB_STATUS_INVALID_REQUEST);
    EXPECT_EQ(b.steps(), (Steps{"GetLogicalUnit 0 3 1", "RequestComplete", "W MR 0x00", "W TCR 0x00", "W ICR 0x00",
                                "stall 1", "NextRequest"}));
    EXPECT_EQ(ULONG(b.ext.RequestLength), 4096u);
    EXPECT_EQ(b.ext.RequestOpcode, 0x28);
    EXPECT_TRUE(b.clean());
}

TEST(StartIo, AddsNothingAfterAnExecution)
{
    Dispatch b;
    bench::Contender busy(b.bus, 4, bench::Contender::Mode::HoldBusy);
    b.port.trace().resize(64);
    EXPECT_EQ(b.start(), TRUE);
    EXPECT_EQ(b.srb.SrbStatus, SRB_STATUS_BUSY);
    Steps steps = b.steps();
    EXPECT_EQ(Steps(steps.end() - 2, steps.end()), (Steps{"RequestComplete", "NextRequest"}));
    EXPECT_EQ(count(steps, "NextRequest"), 1u);
}

TEST(StartIo, ResetBusRequestResetsThenReportsSuccessWithTwoNextRequests)
{
    Dispatch b;
    b.srb.Function = SRB_FUNCTION_RESET_BUS;
    EXPECT_EQ(b.start(), TRUE);
    Steps steps = b.steps();
    EXPECT_EQ(steps[1], "W ICR 0x80");
    EXPECT_EQ(steps[2], "stall 100");
    EXPECT_EQ(count(steps, "CompleteRequest 0 0xFF 0xFF 0x0E"), 1u);
    EXPECT_EQ(count(steps, "NextRequest"), 2u);
    EXPECT_EQ(count(steps, "RequestComplete"), 0u);
    EXPECT_EQ(count(steps, "ResetDetected"), 0u);
    EXPECT_EQ(b.srb.SrbStatus, SRB_STATUS_SUCCESS);  // written after the sweep handed it back
}

TEST(Abort, FailsWhenNoNexusIsInProgress)
{
    Dispatch b;
    SCSI_REQUEST_BLOCK victim{};
    b.srb.Function = SRB_FUNCTION_ABORT_COMMAND;
    b.srb.NextSrb = &victim;
    EXPECT_EQ(b.start(), TRUE);
    EXPECT_EQ(b.srb.SrbStatus, SRB_STATUS_ABORT_FAILED);
    EXPECT_EQ(count(b.steps(), "W ICR 0x80"), 0u);
    EXPECT_EQ(count(b.steps(), "RequestComplete"), 1u);
}

TEST(Abort, OfTheRequestInProgressResetsTheBus)
{
    Dispatch b;
    Request victim(3, 1, {0x28});
    victim.make_active(b.ext);
    b.srb.Function = SRB_FUNCTION_ABORT_COMMAND;
    b.srb.NextSrb = &victim.srb;
    EXPECT_EQ(b.start(), TRUE);
    Steps steps = b.steps();
    auto reset = std::find(steps.begin(), steps.end(), "CompleteRequest 0 0xFF 0xFF 0x0E");
    auto detected = std::find(steps.begin(), steps.end(), "ResetDetected");
    ASSERT_NE(reset, steps.end());
    ASSERT_NE(detected, steps.end());
    EXPECT_LT(reset, detected);
    EXPECT_EQ(count(steps, "NextRequest"), 2u);
    EXPECT_EQ(b.srb.SrbStatus, SRB_STATUS_BUS_RESET);  // swept by the reset, nothing more from the driver
    EXPECT_EQ(PLU_EXTENSION(b.ext.ActiveLu), nullptr);
    EXPECT_TRUE(b.port.violations().empty());
}

TEST(StartIo, AnExecuteRequestForAUnitWithNoRecordIsRefusedSafely)
{
    Dispatch b;
    b.port.hide_unit(0, 3, 1);
    EXPECT_EQ(b.start(), TRUE);
    EXPECT_EQ(b.srb.SrbStatus, SRB_STATUS_NO_DEVICE);
    EXPECT_EQ(count(b.steps(), "RequestComplete"), 1u);
    EXPECT_EQ(count(b.steps(), "NextRequest"), 1u);
    EXPECT_FALSE(b.port.outstanding(&b.srb));
}

}  // namespace
