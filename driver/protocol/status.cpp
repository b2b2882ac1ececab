// The status phase: one byte, and the first status of a request decides its SrbStatus.
#include "protocol.h"

#include "../hardware/handshake.h"
#include "../hardware/port_io.h"
#include "phase_entry.h"

static UCHAR OstrelSrbStatusOf(UCHAR Status)
{
    switch (Status) {
    case SCSISTAT_GOOD:
    case SCSISTAT_CONDITION_MET:
    case SCSISTAT_INTERMEDIATE:
    case SCSISTAT_INTERMEDIATE_COND_MET:
        return SRB_STATUS_SUCCESS;
    case SCSISTAT_CHECK_CONDITION:
    case SCSISTAT_COMMAND_TERMINATED:
        return SRB_STATUS_ERROR;
    default:
        return SRB_STATUS_BUSY; // busy, reservation conflict, queue full and every byte not known
    }
}

void OstrelStatus(PADAPTER_EXTENSION Adapter)
{
    PUCHAR base = Adapter->BaseAddress;
    PSCSI_REQUEST_BLOCK srb = Adapter->ActiveLu->ActiveSrb;
    UCHAR status;

    OstrelEnterPhase(Adapter, TCR_STATUS, PHASE_CODE_STATUS);

    if (!OstrelInByte(base, &status)) {
        return;
    }
    srb->ScsiStatus = status;
    if (srb->SrbStatus == SRB_STATUS_PENDING) {
        srb->SrbStatus = OstrelSrbStatusOf(status);
    }
}
