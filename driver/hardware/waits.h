// Bounded polls of one register bit pattern, with a 1 us stall after each miss.
// A wait given count N reads its register at most N + 1 times.
#ifndef OSTREL_HARDWARE_WAITS_H
#define OSTREL_HARDWARE_WAITS_H

#include "../port/scsiport.h"

#define WAIT_FOREVER 0xFFFFFFFF // 4,294,967,296 polls: about 71.6 minutes

BOOLEAN WAIT_ARBIT_IN_PROG(PUCHAR BaseAddress);
BOOLEAN WAIT_BSY(PUCHAR BaseAddress);
BOOLEAN WAIT_REQ(PUCHAR BaseAddress, ULONG Count);
BOOLEAN WAIT_DE_REQ(PUCHAR BaseAddress, ULONG Count);
BOOLEAN WAIT_5380_ENABLE(PUCHAR BaseAddress);

#endif
