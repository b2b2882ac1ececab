// How a phase handler takes over the bus: expect the phase, note it, and clear
// the core's parity and interrupt flags.
#ifndef OSTREL_PROTOCOL_PHASE_ENTRY_H
#define OSTREL_PROTOCOL_PHASE_ENTRY_H

#include "../hardware/port_io.h"
#include "../miniport/ostrel.h"

static inline void OstrelEnterPhase(PADAPTER_EXTENSION Adapter, UCHAR Tcr, UCHAR PhaseCode)
{
    OstrelWrite(Adapter->BaseAddress, REG_TCR, Tcr);
    Adapter->CurrentPhase = PhaseCode;
    (void)OstrelRead(Adapter->BaseAddress, REG_RPI);
}

#endif
