// Selecting the target with ATN and sending IDENTIFY in its message-out phase.
#include "protocol.h"

#include "../hardware/port_io.h"
#include "../hardware/waits.h"

static BOOLEAN OstrelSelectWithIdentify(PADAPTER_EXTENSION Adapter, UCHAR Identify)
{
    PUCHAR base = Adapter->BaseAddress;
    PSCSI_REQUEST_BLOCK srb = Adapter->ActiveLu->ActiveSrb;

    OstrelWrite(base, REG_TCR, 0x00);

    // IDs 8 and up have no line on the data bus: nobody can answer them.
    UCHAR targetBit = srb->TargetId < 8 ? (UCHAR)(1u << srb->TargetId) : 0;
    if (targetBit == Adapter->InitiatorIdBit) {
        OstrelWrite(base, REG_ICR, 0x00);
        return FALSE;
    }
    Identify = (UCHAR)(Identify | srb->Lun);

    OstrelWrite(base, REG_ODR, (UCHAR)(Adapter->InitiatorIdBit | targetBit));
    OstrelWrite(base, REG_ICR, ICR_ASSERT_BSY | ICR_ASSERT_SEL | ICR_ASSERT_ATN | ICR_ASSERT_DATA_BUS);
    ScsiPortStallExecution(5);
    OstrelWrite(base, REG_SER, 0x00);
    OstrelWrite(base, REG_ICR, (UCHAR)(OstrelRead(base, REG_ICR) & ~ICR_ASSERT_BSY));
    ScsiPortStallExecution(2);

    if (!WAIT_BSY(base)) {
        OstrelWrite(base, REG_ICR, 0x00);
        return FALSE;
    }

    // Release SEL and the data bus; keep ATN so the target asks for a message.
    UCHAR atn = (UCHAR)(OstrelRead(base, REG_ICR) & ICR_ASSERT_ATN);
    OstrelWrite(base, REG_ICR, atn);
    if (!atn) {
        OstrelWrite(base, REG_ICR, 0x00);
        ScsiPortStallExecution(1);
        return TRUE;
    }

    if (!WAIT_REQ(base, WAIT_FOREVER)) {
        OstrelWrite(base, REG_ICR, 0x00);
        return TRUE;
    }
    if ((OstrelRead(base, REG_CSBS) & PHASE_MASK) != PHASE_MESSAGE_OUT) {
        // The target went elsewhere (straight to the command, say): the sequencer follows it.
        OstrelWrite(base, REG_ICR, 0x00);
        return TRUE;
    }

    OstrelWrite(base, REG_TCR, TCR_MESSAGE_OUT);
    Adapter->CurrentPhase = PHASE_CODE_SELECTION_MESSAGE_OUT;
    OstrelWrite(base, REG_ODR, Identify);
    OstrelWrite(base, REG_ICR, ICR_ASSERT_DATA_BUS); // ATN drops before ACK: this is the last message byte
    ScsiPortStallExecution(3);
    OstrelWrite(base, REG_ICR, ICR_ASSERT_ACK | ICR_ASSERT_DATA_BUS);

    if (!WAIT_DE_REQ(base, WAIT_FOREVER)) {
        OstrelWrite(base, REG_ICR, 0x00);
        return FALSE;
    }
    OstrelWrite(base, REG_ICR, 0x00);
    ScsiPortStallExecution(1);
    OstrelWrite(base, REG_SER, Adapter->InitiatorIdBit);
    return TRUE;
}

BOOLEAN OstrelSelect_Enable_Disconnect(PADAPTER_EXTENSION Adapter)
{
    return OstrelSelectWithIdentify(Adapter, MSG_IDENTIFY | MSG_IDENTIFY_DISCONNECT);
}

BOOLEAN OstrelSelect_Disable_Disconnect(PADAPTER_EXTENSION Adapter)
{
    return OstrelSelectWithIdentify(Adapter, MSG_IDENTIFY);
}

// Disconnect privilege needs an interrupt line; the flags must be exactly
// "disable disconnect" to withhold it.
BOOLEAN OstrelSelect(PADAPTER_EXTENSION Adapter, PLU_EXTENSION Lu, PSCSI_REQUEST_BLOCK Srb)
{
    (void)Lu;
    if (Srb->SrbFlags == SRB_FLAGS_DISABLE_DISCONNECT) {
        return OstrelSelect_Disable_Disconnect(Adapter);
    }
    if (Adapter->InterruptLine == 0) {
        return OstrelSelect_Disable_Disconnect(Adapter);
    }
    return OstrelSelect_Enable_Disconnect(Adapter);
}
