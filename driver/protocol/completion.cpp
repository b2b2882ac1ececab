// The end of a nexus on COMMAND COMPLETE: settle the status and hand the request back.
#include "protocol.h"

#include "../hardware/board.h"

void OstrelNotifyCompletion(PADAPTER_EXTENSION Adapter)
{
    PLU_EXTENSION lu = Adapter->ActiveLu;
    PSCSI_REQUEST_BLOCK srb = lu->ActiveSrb;

    if (srb != 0 && srb->SrbStatus == SRB_STATUS_PENDING) {
        // COMMAND COMPLETE with no status byte before it.
        srb->SrbStatus = SRB_STATUS_ERROR;
        ScsiPortLogError(Adapter, srb, srb->PathId, srb->TargetId, srb->Lun, SP_INTERNAL_ADAPTER_ERROR, 7);
    }

    lu->ActiveSrb = 0;
    Adapter->ActiveLu = 0;

    // Note the unit's device type, but only when the request had room for a first data byte.
    if (srb != 0 && srb->Cdb[0] == SCSIOP_INQUIRY && srb->DataTransferLength != 0 && srb->DataBuffer != 0) {
        lu->DeviceType = (UCHAR)(*(PUCHAR)srb->DataBuffer & 0x1F);
        lu->InquiryDone = 1;
    }

    if (srb != 0) {
        ScsiPortNotification(RequestComplete, Adapter, srb);
    }
    OstrelQuiesce(Adapter->BaseAddress);
    ScsiPortNotification(NextRequest, Adapter);
}
