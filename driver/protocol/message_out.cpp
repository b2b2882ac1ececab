// The message-out phase: whatever made the target ask, it gets IDENTIFY without disconnect (0x80).
#include "protocol.h"

#include "../hardware/port_io.h"
#include "../hardware/waits.h"

void OstrelMessageOut(PADAPTER_EXTENSION Adapter)
{
    PUCHAR base = Adapter->BaseAddress;

    OstrelWrite(base, REG_TCR, TCR_MESSAGE_OUT);
    OstrelWrite(base, REG_ODR, MSG_IDENTIFY);
    OstrelWrite(base, REG_ICR, ICR_ASSERT_DATA_BUS); // ATN drops before ACK
    ScsiPortStallExecution(10);
    OstrelWrite(base, REG_ICR, ICR_ASSERT_ACK | ICR_ASSERT_DATA_BUS);
    (void)WAIT_DE_REQ(base, WAIT_FOREVER);
    OstrelWrite(base, REG_ICR, 0x00);
}
