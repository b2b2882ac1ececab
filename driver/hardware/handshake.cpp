#include "handshake.h"

#include "port_io.h"
#include "waits.h"

BOOLEAN OstrelOutByte(PUCHAR BaseAddress, UCHAR Byte)
{
    OstrelWrite(BaseAddress, REG_ODR, Byte);
    OstrelWrite(BaseAddress, REG_ICR, ICR_ASSERT_DATA_BUS); // also drops an ATN the caller left up
    ScsiPortStallExecution(2);                               // data settles before ACK
    OstrelWrite(BaseAddress, REG_ICR, ICR_ASSERT_ACK | ICR_ASSERT_DATA_BUS);
    BOOLEAN released = WAIT_DE_REQ(BaseAddress, WAIT_FOREVER);
    OstrelWrite(BaseAddress, REG_ICR, 0x00); // never leave ACK up
    return released;
}

BOOLEAN OstrelInByte(PUCHAR BaseAddress, PUCHAR Byte)
{
    *Byte = OstrelRead(BaseAddress, REG_CSD); // valid while REQ is up, before our ACK
    OstrelWrite(BaseAddress, REG_ICR, ICR_ASSERT_ACK);
    BOOLEAN released = WAIT_DE_REQ(BaseAddress, WAIT_FOREVER);
    OstrelWrite(BaseAddress, REG_ICR, 0x00);
    return released;
}
