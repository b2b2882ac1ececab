// Every request the port driver sends comes through start-I/O, one at a time.
#include "ostrel.h"

#include "../hardware/board.h"
#include "../protocol/protocol.h"

BOOLEAN STDCALL OstrelStartIo(PVOID HwDeviceExtension, PSCSI_REQUEST_BLOCK Srb)
{
    PADAPTER_EXTENSION adapter = (PADAPTER_EXTENSION)HwDeviceExtension;

    adapter->PathId = Srb->PathId;
    PLU_EXTENSION lu = (PLU_EXTENSION)ScsiPortGetLogicalUnit(adapter, adapter->PathId, Srb->TargetId, Srb->Lun);
    Srb->SrbStatus = SRB_STATUS_PENDING;
    adapter->RequestLength = Srb->DataTransferLength;
    adapter->RequestOpcode = Srb->Cdb[0];

    switch (Srb->Function) {
    case SRB_FUNCTION_EXECUTE_SCSI:
        if (lu == 0) {
            // No unit record to keep the request in: it cannot run.
            Srb->SrbStatus = SRB_STATUS_NO_DEVICE;
            ScsiPortNotification(RequestComplete, adapter, Srb);
            break;
        }
        lu->ActiveSrb = Srb;
        lu->LuState = LU_START;
        lu->SavedDataPointer = (PUCHAR)Srb->DataBuffer;
        lu->SavedDataCount = Srb->DataTransferLength;
        OstrelStartExecution(adapter, lu, Srb);
        return TRUE; // the execution has said all there is to say
    case SRB_FUNCTION_ABORT_COMMAND:
        OstrelAbort(adapter, lu, Srb);
        break;
    case SRB_FUNCTION_RESET_BUS:
        OstrelResetBus(adapter, Srb->PathId);
        Srb->SrbStatus = SRB_STATUS_SUCCESS;
        break;
    default:
        Srb->SrbStatus = SRB_STATUS_INVALID_REQUEST;
        ScsiPortNotification(RequestComplete, adapter, Srb);
        break;
    }

    OstrelQuiesce(adapter->BaseAddress);
    ScsiPortNotification(NextRequest, adapter);
    return TRUE;
}

// Only the request in progress can be aborted, and only by resetting the bus.
void OstrelAbort(PADAPTER_EXTENSION DeviceExtension, PLU_EXTENSION LuExtension, PSCSI_REQUEST_BLOCK Srb)
{
    (void)LuExtension;
    PLU_EXTENSION active = DeviceExtension->ActiveLu;
    if (active != 0 && active->ActiveSrb == Srb->NextSrb) {
        OstrelResetBus(DeviceExtension, Srb->PathId);
        ScsiPortNotification(ResetDetected, DeviceExtension);
        return;
    }
    Srb->SrbStatus = SRB_STATUS_ABORT_FAILED;
    ScsiPortNotification(RequestComplete, DeviceExtension, Srb);
}
