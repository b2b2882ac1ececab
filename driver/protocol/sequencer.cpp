// One execute request from a free bus to its end: win the bus, select, then
// follow the target's phases until the nexus ends or the target breaks the protocol.
#include "protocol.h"

#include "../hardware/board.h"
#include "../hardware/port_io.h"
#include "../hardware/waits.h"
#include "../transfer/transfer.h"

#define FIRST_REQ_POLLS 19999999    // about 20 s for the target's first REQ after selection
#define PHASE_REQ_POLLS 300000000   // about 300 s for each later REQ
#define PHASE_WAITS 0xFFFFFFF0      // waits for REQ in a row before the sequencer looks anyway
#define BSY_ONLY_REREADS 3840       // BSY alone may be a target between phases: look again

#define UNIQUE_DATA_IN_FAILED 4
#define UNIQUE_DATA_OUT_FAILED 5
#define UNIQUE_NO_PHASE_SERVED 6

// The request never reached the target: it goes back at once and the nexus is
// forgotten, so that no later abort can match a request we no longer own.
static void OstrelEndUnstarted(PADAPTER_EXTENSION Adapter, PLU_EXTENSION Lu, PSCSI_REQUEST_BLOCK Srb, UCHAR Status,
                               BOOLEAN Quiesce)
{
    Srb->SrbStatus = Status;
    Lu->ActiveSrb = 0;
    Adapter->ActiveLu = 0;
    ScsiPortNotification(RequestComplete, Adapter, Srb);
    if (Quiesce) {
        OstrelQuiesce(Adapter->BaseAddress);
    }
    ScsiPortNotification(NextRequest, Adapter);
}

void OstrelStartExecution(PADAPTER_EXTENSION Adapter, PLU_EXTENSION Lu, PSCSI_REQUEST_BLOCK Srb)
{
    PUCHAR base = Adapter->BaseAddress;

    Adapter->ActiveLu = Lu;
    // A data phase before any command phase must move this request's data, not
    // what an earlier nexus left behind.
    Adapter->DataPointer = Lu->SavedDataPointer;
    Adapter->DataCount = Lu->SavedDataCount;

    if (!OstrelArbitrate(Adapter)) {
        OstrelEndUnstarted(Adapter, Lu, Srb, SRB_STATUS_BUSY, FALSE);
        return;
    }
    if (!OstrelSelect(Adapter, Lu, Srb)) {
        OstrelEndUnstarted(Adapter, Lu, Srb, SRB_STATUS_SELECTION_TIMEOUT, TRUE);
        return;
    }

    (void)WAIT_REQ(base, FIRST_REQ_POLLS); // no failure of its own: the sequencer looks anyway
    if ((OstrelRead(base, REG_CSBS) & PHASE_MASK) == PHASE_COMMAND) {
        OstrelCommand(Adapter);
    }
    OstrelRunPhase(Adapter);
}

void OstrelDetermineNextPhase(PADAPTER_EXTENSION Adapter)
{
    PUCHAR base = Adapter->BaseAddress;
    UCHAR csbs = OstrelRead(base, REG_CSBS);
    USHORT rereads = 0;

    while (csbs == CSBS_BSY && rereads < BSY_ONLY_REREADS) {
        ++rereads;
        csbs = OstrelRead(base, REG_CSBS);
    }

    ULONG state;
    switch (csbs & PHASE_MASK) {
    case PHASE_BUS_FREE: state = LU_BUS_FREE; break;
    case PHASE_DATA_OUT: state = LU_DATA_OUT; break;
    case PHASE_DATA_IN: state = LU_DATA_IN; break;
    case PHASE_COMMAND: state = LU_COMMAND; break;
    case PHASE_STATUS: state = LU_STATUS; break;
    case PHASE_MESSAGE_OUT: state = LU_MESSAGE_OUT; break;
    case PHASE_MESSAGE_IN: state = LU_MESSAGE_IN; break;
    default: state = LU_UNKNOWN_PHASE; break;
    }
    Adapter->ActiveLu->LuState = state;
}

// A data phase failed: the request fails, and the bus is reset to get the target off it.
static void OstrelDataPhaseFailure(PADAPTER_EXTENSION Adapter, ULONG UniqueId)
{
    if (Adapter->ActiveLu == 0) {
        return; // the nexus ended while the data phase waited: nothing is ours to fail
    }
    PSCSI_REQUEST_BLOCK srb = Adapter->ActiveLu->ActiveSrb;
    UCHAR path = srb->PathId;

    srb->SrbStatus = SRB_STATUS_PHASE_SEQUENCE_FAILURE;
    ScsiPortLogError(Adapter, srb, path, srb->TargetId, srb->Lun, SP_PROTOCOL_ERROR, UniqueId);
    ScsiPortNotification(RequestComplete, Adapter, srb);
    OstrelResetBus(Adapter, path);
    Adapter->ActiveLu = 0;
}

// The bus went free or shows a phase we do not serve: the request fails, the bus is left as it is.
static void OstrelUnexpectedPhase(PADAPTER_EXTENSION Adapter)
{
    PSCSI_REQUEST_BLOCK srb = Adapter->ActiveLu->ActiveSrb;

    srb->SrbStatus = SRB_STATUS_PHASE_SEQUENCE_FAILURE;
    ScsiPortLogError(Adapter, srb, srb->PathId, srb->TargetId, srb->Lun, SP_PROTOCOL_ERROR, UNIQUE_NO_PHASE_SERVED);
    ScsiPortNotification(RequestComplete, Adapter, srb);
    ScsiPortNotification(NextRequest, Adapter);
    Adapter->ActiveLu = 0;
}

void OstrelRunPhase(PADAPTER_EXTENSION Adapter)
{
    PUCHAR base = Adapter->BaseAddress;

    while (Adapter->ActiveLu != 0) {
        for (ULONG waits = 0;;) {
            BOOLEAN req = WAIT_REQ(base, PHASE_REQ_POLLS);
            OstrelDetermineNextPhase(Adapter);
            if (req || Adapter->ActiveLu->LuState == LU_BUS_FREE) {
                break;
            }
            if (++waits == PHASE_WAITS) {
                break;
            }
        }

        switch (Adapter->ActiveLu->LuState) {
        case LU_MESSAGE_IN:
            OstrelMessageIn(Adapter);
            break;
        case LU_MESSAGE_OUT:
            OstrelMessageOut(Adapter);
            break;
        case LU_COMMAND:
            // With no CDB to send, a target that keeps asking would be served without end.
            if (Adapter->ActiveLu->ActiveSrb->CdbLength == 0) {
                OstrelUnexpectedPhase(Adapter);
                return;
            }
            OstrelCommand(Adapter);
            break;
        case LU_DATA_IN:
            if (!OstrelReadDataBlock(Adapter)) {
                OstrelDataPhaseFailure(Adapter, UNIQUE_DATA_IN_FAILED);
                return;
            }
            break;
        case LU_DATA_OUT:
            if (!OstrelWriteDataByte(Adapter)) {
                OstrelDataPhaseFailure(Adapter, UNIQUE_DATA_OUT_FAILED);
                return;
            }
            break;
        case LU_STATUS:
            OstrelStatus(Adapter);
            break;
        default:
            OstrelUnexpectedPhase(Adapter);
            return;
        }
    }
}
