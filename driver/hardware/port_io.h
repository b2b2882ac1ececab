// Every register access goes through the port driver's port I/O at base + offset.
#ifndef OSTREL_HARDWARE_PORT_IO_H
#define OSTREL_HARDWARE_PORT_IO_H

#include "registers.h"

static inline UCHAR OstrelRead(PUCHAR Base, ULONG Offset)
{
    return ScsiPortReadPortUchar(Base + Offset);
}

static inline void OstrelWrite(PUCHAR Base, ULONG Offset, UCHAR Value)
{
    ScsiPortWritePortUchar(Base + Offset, Value);
}

#endif
