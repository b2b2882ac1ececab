// The two register sequences that several callers share.
#ifndef OSTREL_HARDWARE_BOARD_H
#define OSTREL_HARDWARE_BOARD_H

#include "../port/scsiport.h"

// Pulse the board's reset, keeping its receive and interrupt enables, and idle the core.
void OstrelResetBoard(PUCHAR BaseAddress);

// Idle the core: no arbitration or DMA, no expected phase, no signal driven.
void OstrelQuiesce(PUCHAR BaseAddress);

#endif
