// Winning the bus as ID 7.
#include "protocol.h"

#include "../hardware/port_io.h"
#include "../hardware/waits.h"

#define BUS_FREE_POLLS 1000000

static void OstrelSetArbitrate(PUCHAR Base)
{
    OstrelWrite(Base, REG_MR, (UCHAR)(OstrelRead(Base, REG_MR) | MR_ARBITRATE));
}

static void OstrelClearArbitrate(PUCHAR Base)
{
    OstrelWrite(Base, REG_MR, (UCHAR)(OstrelRead(Base, REG_MR) & ~MR_ARBITRATE));
}

BOOLEAN OstrelArbitrate(PADAPTER_EXTENSION Adapter)
{
    PUCHAR base = Adapter->BaseAddress;
    ULONG counter = BUS_FREE_POLLS;

    // Wait for a free bus, giving up as soon as the request is no longer ours to start.
    for (;;) {
        if (Adapter->ActiveLu->LuState != LU_START) {
            return FALSE;
        }
        if (counter == 0) {
            return FALSE;
        }
        if ((OstrelRead(base, REG_CSBS) & BUS_BUSY_MASK) == 0) {
            break;
        }
        ScsiPortStallExecution(1);
        --counter;
    }

    OstrelWrite(base, REG_ICR, 0x00);
    OstrelWrite(base, REG_ODR, Adapter->InitiatorIdBit);
    OstrelWrite(base, REG_ICR, ICR_ASSERT_DATA_BUS);
    ScsiPortStallExecution(3);
    OstrelSetArbitrate(base);

    if (!WAIT_ARBIT_IN_PROG(base)) {
        OstrelClearArbitrate(base);
        OstrelWrite(base, REG_MR, 0x00);
        OstrelWrite(base, REG_ICR, 0x00);
        return FALSE;
    }
    ScsiPortStallExecution(5); // past the arbitration delay, every contender's ID is on the bus

    if (OstrelRead(base, REG_ICR) & ICR_LA) {
        OstrelClearArbitrate(base);
        OstrelWrite(base, REG_ICR, 0x00);
        return FALSE;
    }
    // Any other ID bit on the data bus ends the attempt, whatever its priority.
    if (OstrelRead(base, REG_CSD) != Adapter->InitiatorIdBit) {
        OstrelClearArbitrate(base);
        OstrelWrite(base, REG_ICR, 0x00);
        return FALSE;
    }

    OstrelWrite(base, REG_ICR, ICR_ASSERT_BSY | ICR_ASSERT_SEL);
    ScsiPortStallExecution(2);
    OstrelClearArbitrate(base);
    return TRUE;
}
