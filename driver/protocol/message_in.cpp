// The message-in phase: one byte a call, each looked up as a message of its own.
#include "protocol.h"

#include "../hardware/handshake.h"
#include "../hardware/port_io.h"
#include "phase_entry.h"

void OstrelMessageIn(PADAPTER_EXTENSION Adapter)
{
    PUCHAR base = Adapter->BaseAddress;
    PLU_EXTENSION lu = Adapter->ActiveLu;
    UCHAR message;

    OstrelEnterPhase(Adapter, TCR_MESSAGE_IN, PHASE_CODE_MESSAGE_IN);

    if (!OstrelInByte(base, &message)) {
        return;
    }

    switch (message) {
    case MSG_COMMAND_COMPLETE:
    case MSG_LINKED_COMMAND_COMPLETE:
    case MSG_LINKED_COMMAND_COMPLETE_FLAG:
        lu->LuState = LU_FREE;
        OstrelNotifyCompletion(Adapter);
        break;
    case MSG_DISCONNECT:
        // The nexus ends, the request does not: it stays outstanding until a bus reset.
        lu->LuState = LU_DISCONNECTED;
        lu->SavedDataPointer = Adapter->DataPointer;
        lu->SavedDataCount = Adapter->DataCount;
        Adapter->ActiveLu = 0;
        break;
    case MSG_SAVE_DATA_POINTER:
        lu->SavedDataPointer = Adapter->DataPointer;
        lu->SavedDataCount = Adapter->DataCount;
        break;
    case MSG_RESTORE_POINTERS:
        Adapter->DataPointer = lu->SavedDataPointer;
        Adapter->DataCount = lu->SavedDataCount;
        break;
    case MSG_EXTENDED:
        // We take no extended message: ATN asks the target for a message-out phase.
        OstrelWrite(base, REG_ICR, ICR_ASSERT_ATN);
        ScsiPortStallExecution(10);
        break;
    default: // MESSAGE REJECT, NO OPERATION, IDENTIFY and anything else: nothing to do
        break;
    }
}
