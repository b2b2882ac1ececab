// The driver's two records and its callbacks. The port driver allocates and
// zero-fills both records; the driver keeps no other state.
#ifndef OSTREL_MINIPORT_OSTREL_H
#define OSTREL_MINIPORT_OSTREL_H

#include "../port/scsiport.h"

// LuState codes: where the unit's request stands (2, 3 and 10 are not used).
#define LU_UNKNOWN_PHASE 0
#define LU_START 1
#define LU_MESSAGE_IN 4
#define LU_MESSAGE_OUT 5
#define LU_COMMAND 6
#define LU_DATA_IN 7
#define LU_DATA_OUT 8
#define LU_DISCONNECTED 9
#define LU_STATUS 11
#define LU_FREE 12
#define LU_BUS_FREE 13

// CurrentPhase codes: the phase handler last entered.
#define PHASE_CODE_COMMAND 1
#define PHASE_CODE_MESSAGE_IN 2
#define PHASE_CODE_SELECTION_MESSAGE_OUT 3
#define PHASE_CODE_DATA_IN 4
#define PHASE_CODE_DATA_OUT 7
#define PHASE_CODE_STATUS 8

#define OSTREL_INITIATOR_ID 7
#define OSTREL_INITIATOR_ID_BIT 0x80

// Byte-packed: a 32-bit field may start at an odd offset, so no field is
// ever reached through a pointer that assumes alignment.
#pragma pack(push, 1)
typedef struct _LU_EXTENSION {
    ULONG LuState;
    PUCHAR SavedDataPointer;
    ULONG SavedDataCount;
    PSCSI_REQUEST_BLOCK ActiveSrb;
    UCHAR InquiryDone;
    UCHAR DeviceType;
} LU_EXTENSION, *PLU_EXTENSION;

typedef struct _ADAPTER_EXTENSION {
    PUCHAR BaseAddress;
    PUCHAR DataPointer;
    ULONG DataCount;
    PLU_EXTENSION ActiveLu;
    UCHAR PathId;
    UCHAR InitiatorIdBit;
    UCHAR Spare1;
    UCHAR Spare2;
    UCHAR InterruptLine;
    ULONG RequestLength;
    UCHAR RequestOpcode;
    UCHAR CurrentPhase;
} ADAPTER_EXTENSION, *PADAPTER_EXTENSION;
#pragma pack(pop)

#if defined(__i386__)
static_assert(sizeof(ADAPTER_EXTENSION) == 27, "ADAPTER_EXTENSION is registered as 27 bytes");
static_assert(sizeof(LU_EXTENSION) == 18, "LU_EXTENSION is registered as 18 bytes");
static_assert(__builtin_offsetof(ADAPTER_EXTENSION, RequestLength) == 21, "RequestLength sits unaligned");
static_assert(__builtin_offsetof(ADAPTER_EXTENSION, CurrentPhase) == 26, "packed order");
static_assert(__builtin_offsetof(LU_EXTENSION, DeviceType) == 17, "packed order");
#endif

// ---------------------------------------------------------------- callbacks
extern "C" {
ULONG STDCALL DriverEntry(PVOID DriverObject, PVOID RegistryPath);
}
ULONG STDCALL OstrelFindAdapter(PVOID HwDeviceExtension, PVOID HwContext, PVOID BusInformation, PCHAR ArgumentString,
                                PPORT_CONFIGURATION_INFORMATION ConfigInfo, PBOOLEAN Again);
BOOLEAN STDCALL OstrelInitialize(PVOID HwDeviceExtension);
BOOLEAN STDCALL OstrelStartIo(PVOID HwDeviceExtension, PSCSI_REQUEST_BLOCK Srb);
BOOLEAN STDCALL OstrelInterrupt(PVOID HwDeviceExtension);
BOOLEAN STDCALL OstrelResetBus(PVOID HwDeviceExtension, ULONG PathId);

void OstrelClearInterrupt(PUCHAR BaseAddress);
void OstrelAbort(PADAPTER_EXTENSION DeviceExtension, PLU_EXTENSION LuExtension, PSCSI_REQUEST_BLOCK Srb);

#endif
