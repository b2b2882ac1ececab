// The command phase: the CDB, one handshake a byte, for as long as the target asks.
#include "protocol.h"

#include "../hardware/handshake.h"
#include "../hardware/port_io.h"
#include "phase_entry.h"
#include "../hardware/waits.h"

void OstrelCommand(PADAPTER_EXTENSION Adapter)
{
    PUCHAR base = Adapter->BaseAddress;
    PLU_EXTENSION lu = Adapter->ActiveLu;
    PSCSI_REQUEST_BLOCK srb = lu->ActiveSrb;
    // The request block holds 16 CDB bytes: a longer length would send what lies past them.
    UCHAR count = srb->CdbLength > sizeof(srb->Cdb) ? (UCHAR)sizeof(srb->Cdb) : srb->CdbLength;
    PUCHAR next = srb->Cdb; // every command phase starts again at the first byte

    OstrelEnterPhase(Adapter, TCR_COMMAND, PHASE_CODE_COMMAND);

    while (count != 0) {
        if (!WAIT_REQ(base, WAIT_FOREVER)) {
            break;
        }
        if ((OstrelRead(base, REG_CSBS) & PHASE_MASK) != PHASE_COMMAND) {
            break;
        }
        if (!OstrelOutByte(base, *next++)) {
            return;
        }
        --count;
    }

    Adapter->DataPointer = lu->SavedDataPointer;
    Adapter->DataCount = lu->SavedDataCount;
}
