// The data phases: in through the board's host buffer, out one byte a handshake.
#ifndef OSTREL_TRANSFER_TRANSFER_H
#define OSTREL_TRANSFER_TRANSFER_H

#include "../miniport/ostrel.h"

// The direction code is what EnableDMA writes to the board control register;
// the board only receives, so the driver passes BCR_START_RECEIVE (0x50).
BOOLEAN OstrelReadDataBlock(PADAPTER_EXTENSION Adapter);
BOOLEAN OstrelWriteDataByte(PADAPTER_EXTENSION Adapter);

void EnableDMA(PUCHAR BaseAddress, UCHAR Direction, ULONG Blocks);
void DisableDMA(PADAPTER_EXTENSION Adapter, UCHAR Direction);
void ForceSwarp(PADAPTER_EXTENSION Adapter);

#endif
