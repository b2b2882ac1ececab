#include "board.h"

#include "port_io.h"

void OstrelResetBoard(PUCHAR BaseAddress)
{
    UCHAR kept = OstrelRead(BaseAddress, REG_BCR);
    OstrelWrite(BaseAddress, REG_BCR, BCR_BOARD_RESET);
    ScsiPortStallExecution(10); // the board needs reset held for 10 us
    OstrelWrite(BaseAddress, REG_BCR, (UCHAR)(kept & BCR_KEPT_BY_RESET));
    ScsiPortStallExecution(1);
    OstrelWrite(BaseAddress, REG_MR, 0x00);
    OstrelWrite(BaseAddress, REG_TCR, 0x00);
}

void OstrelQuiesce(PUCHAR BaseAddress)
{
    OstrelWrite(BaseAddress, REG_MR, 0x00);
    OstrelWrite(BaseAddress, REG_TCR, 0x00);
    OstrelWrite(BaseAddress, REG_ICR, 0x00);
    ScsiPortStallExecution(1);
}
