// The port driver's bus-reset, initialise and interrupt callbacks.
#include "ostrel.h"

#include "../hardware/board.h"
#include "../hardware/port_io.h"

BOOLEAN STDCALL OstrelResetBus(PVOID HwDeviceExtension, ULONG PathId)
{
    PADAPTER_EXTENSION adapter = (PADAPTER_EXTENSION)HwDeviceExtension;
    PUCHAR base = adapter->BaseAddress;

    OstrelWrite(base, REG_ICR, ICR_ASSERT_RST);
    ScsiPortStallExecution(100); // RST is held at least 25 us by the bus rules; we give it 100
    OstrelWrite(base, REG_ICR, 0x00);
    ScsiPortStallExecution(100);
    OstrelResetBoard(base);
    ScsiPortStallExecution(1);

    ScsiPortCompleteRequest(HwDeviceExtension, (UCHAR)PathId, 0xFF, 0xFF, SRB_STATUS_BUS_RESET);

    PLU_EXTENSION lu = adapter->ActiveLu;
    if (lu != 0) {
        lu->LuState = LU_FREE;
        lu->ActiveSrb = 0;
        adapter->ActiveLu = 0;
    }
    ScsiPortNotification(NextRequest, HwDeviceExtension);
    return TRUE;
}

BOOLEAN STDCALL OstrelInitialize(PVOID HwDeviceExtension)
{
    PADAPTER_EXTENSION adapter = (PADAPTER_EXTENSION)HwDeviceExtension;
    OstrelResetBoard(adapter->BaseAddress);
    return TRUE;
}

// Only acknowledges the board: every bus step is polled inside start-I/O, so
// the callback never claims the interrupt.
BOOLEAN STDCALL OstrelInterrupt(PVOID HwDeviceExtension)
{
    PADAPTER_EXTENSION adapter = (PADAPTER_EXTENSION)HwDeviceExtension;
    PUCHAR base = adapter->BaseAddress;

    UCHAR status = OstrelRead(base, REG_BCR);
    if (status & BCR_INT_PENDING) {
        // Bit 0x80 reads "core enabled" but writes "board reset": it is never written back.
        OstrelWrite(base, REG_BCR, (UCHAR)(status & ~(BCR_INT_ENABLE | BCR_BOARD_RESET)));
        OstrelClearInterrupt(base);
    }
    return FALSE;
}

void OstrelClearInterrupt(PUCHAR BaseAddress)
{
    (void)OstrelRead(BaseAddress, REG_RPI);
    (void)OstrelRead(BaseAddress, REG_BCR);
}
