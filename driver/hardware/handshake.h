// One byte over the bus with the REQ/ACK handshake driven through ICR. The
// caller has seen REQ, checked the phase and written TCR.
#ifndef OSTREL_HARDWARE_HANDSHAKE_H
#define OSTREL_HARDWARE_HANDSHAKE_H

#include "../port/scsiport.h"

BOOLEAN OstrelOutByte(PUCHAR BaseAddress, UCHAR Byte);
BOOLEAN OstrelInByte(PUCHAR BaseAddress, PUCHAR Byte);

#endif
