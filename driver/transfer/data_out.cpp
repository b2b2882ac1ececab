// The data-out phase: programmed I/O, one REQ/ACK handshake a byte.
#include "transfer.h"

#include "../hardware/handshake.h"
#include "../hardware/port_io.h"
#include "../hardware/waits.h"
#include "../protocol/phase_entry.h"

BOOLEAN OstrelWriteDataByte(PADAPTER_EXTENSION Adapter)
{
    PUCHAR base = Adapter->BaseAddress;
    PUCHAR next = Adapter->DataPointer;

    // A target that asks for more than the request holds is not fed without end:
    // like the data-in side, nothing left to send fails the phase.
    if (Adapter->DataCount == 0) {
        Adapter->CurrentPhase = PHASE_CODE_DATA_OUT;
        return FALSE;
    }

    OstrelEnterPhase(Adapter, TCR_DATA_OUT, PHASE_CODE_DATA_OUT);

    while (Adapter->DataCount != 0) {
        if (!WAIT_REQ(base, WAIT_FOREVER)) {
            break;
        }
        if ((OstrelRead(base, REG_CSBS) & PHASE_MASK) != PHASE_DATA_OUT) {
            break;
        }
        if (!OstrelOutByte(base, *next)) {
            return FALSE;
        }
        ++next;
        Adapter->DataCount = Adapter->DataCount - 1;
    }

    // Saved as SAVE DATA POINTER would: a later RESTORE POINTERS resumes here.
    Adapter->DataPointer = next;
    Adapter->ActiveLu->SavedDataPointer = Adapter->DataPointer;
    Adapter->ActiveLu->SavedDataCount = Adapter->DataCount;
    return TRUE;
}
