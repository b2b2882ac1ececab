// Our own declarations of the SCSI port driver's operations, records and codes.
// Written from the published facts; the layouts below are asserted for the
// 32-bit kernel image, where they must match the real port driver byte for byte.
#ifndef OSTREL_PORT_SCSIPORT_H
#define OSTREL_PORT_SCSIPORT_H

// ---------------------------------------------------------------- basic types
typedef unsigned char UCHAR;
typedef unsigned short USHORT;
typedef unsigned int ULONG; // 32 bits on the kernel image and on the 64-bit host alike
typedef int LONG;
typedef long long LONGLONG;
typedef unsigned char BOOLEAN;
typedef char CHAR;
typedef void* PVOID;
typedef UCHAR* PUCHAR;
typedef ULONG* PULONG;
typedef CHAR* PCHAR;
typedef BOOLEAN* PBOOLEAN;
typedef __UINTPTR_TYPE__ ULONG_PTR;

#define TRUE 1
#define FALSE 0

static_assert(sizeof(UCHAR) == 1 && sizeof(USHORT) == 2 && sizeof(ULONG) == 4, "fixed widths");
static_assert(sizeof(LONGLONG) == 8 && sizeof(ULONG_PTR) == sizeof(PVOID), "fixed widths");

// Port-driver operations and driver callbacks are stdcall on x86, except the
// two variadic ones; on the 64-bit host there is one convention and the
// attribute means nothing.
#if defined(__i386__)
#define STDCALL __attribute__((stdcall))
#define CDECL __attribute__((cdecl))
#else
#define STDCALL
#define CDECL
#endif

// A physical address passed by value: 8 bytes on the stack, EDX:EAX as a result.
typedef union _SCSI_PHYSICAL_ADDRESS {
    struct {
        ULONG LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
} SCSI_PHYSICAL_ADDRESS;

// ---------------------------------------------------------------- enumerations
typedef enum _INTERFACE_TYPE {
    InterfaceTypeUndefined = -1,
    Internal = 0,
    Isa = 1,
    Eisa = 2,
    MicroChannel = 3,
    TurboChannel = 4,
    PCIBus = 5
} INTERFACE_TYPE;

typedef enum _BUS_DATA_TYPE {
    BusDataTypeUndefined = -1,
    Cmos = 0,
    EisaConfiguration = 1,
    Pos = 2,
    CbusConfiguration = 3,
    PCIConfiguration = 4
} BUS_DATA_TYPE;

typedef enum _KINTERRUPT_MODE { LevelSensitive = 0, Latched = 1 } KINTERRUPT_MODE;

typedef enum _SCSI_NOTIFICATION_TYPE {
    RequestComplete = 0,
    NextRequest = 1,
    NextLuRequest = 2,
    ResetDetected = 3,
    CallDisableInterrupts = 4,
    CallEnableInterrupts = 5,
    RequestTimerCall = 6
} SCSI_NOTIFICATION_TYPE;

typedef enum _DMA_WIDTH { Width8Bits = 0, Width16Bits = 1, Width32Bits = 2 } DMA_WIDTH;
typedef enum _DMA_SPEED { Compatible = 0, TypeA = 1, TypeB = 2, TypeC = 3, TypeF = 4 } DMA_SPEED;

// ---------------------------------------------------------------- request block
typedef struct _SCSI_REQUEST_BLOCK {
    USHORT Length;
    UCHAR Function;
    UCHAR SrbStatus;
    UCHAR ScsiStatus;
    UCHAR PathId;
    UCHAR TargetId;
    UCHAR Lun;
    UCHAR QueueTag;
    UCHAR QueueAction;
    UCHAR CdbLength;
    UCHAR SenseInfoBufferLength;
    ULONG SrbFlags;
    ULONG DataTransferLength;
    ULONG TimeOutValue; // seconds
    PVOID DataBuffer;
    PVOID SenseInfoBuffer;
    struct _SCSI_REQUEST_BLOCK* NextSrb;
    PVOID OriginalRequest;
    PVOID SrbExtension;
    ULONG InternalStatus; // a 32-bit union on the platform; we never touch it
    UCHAR Cdb[16];
} SCSI_REQUEST_BLOCK, *PSCSI_REQUEST_BLOCK;

// Function codes
#define SRB_FUNCTION_EXECUTE_SCSI 0x00
#define SRB_FUNCTION_IO_CONTROL 0x02
#define SRB_FUNCTION_RECEIVE_EVENT 0x03
#define SRB_FUNCTION_SHUTDOWN 0x07
#define SRB_FUNCTION_FLUSH 0x08
#define SRB_FUNCTION_ABORT_COMMAND 0x10
#define SRB_FUNCTION_RELEASE_RECOVERY 0x11
#define SRB_FUNCTION_RESET_BUS 0x12
#define SRB_FUNCTION_RESET_DEVICE 0x13
#define SRB_FUNCTION_TERMINATE_IO 0x14
#define SRB_FUNCTION_LOCK_QUEUE 0x18
#define SRB_FUNCTION_UNLOCK_QUEUE 0x19
#define SRB_FUNCTION_RESET_LOGICAL_UNIT 0x20

// SrbStatus
#define SRB_STATUS_PENDING 0x00
#define SRB_STATUS_SUCCESS 0x01
#define SRB_STATUS_ABORTED 0x02
#define SRB_STATUS_ABORT_FAILED 0x03
#define SRB_STATUS_ERROR 0x04
#define SRB_STATUS_BUSY 0x05
#define SRB_STATUS_INVALID_REQUEST 0x06
#define SRB_STATUS_INVALID_PATH_ID 0x07
#define SRB_STATUS_NO_DEVICE 0x08
#define SRB_STATUS_TIMEOUT 0x09
#define SRB_STATUS_SELECTION_TIMEOUT 0x0A
#define SRB_STATUS_COMMAND_TIMEOUT 0x0B
#define SRB_STATUS_MESSAGE_REJECTED 0x0D
#define SRB_STATUS_BUS_RESET 0x0E
#define SRB_STATUS_PARITY_ERROR 0x0F
#define SRB_STATUS_REQUEST_SENSE_FAILED 0x10
#define SRB_STATUS_NO_HBA 0x11
#define SRB_STATUS_DATA_OVERRUN 0x12
#define SRB_STATUS_UNEXPECTED_BUS_FREE 0x13
#define SRB_STATUS_PHASE_SEQUENCE_FAILURE 0x14
#define SRB_STATUS_BAD_SRB_BLOCK_LENGTH 0x15
#define SRB_STATUS_REQUEST_FLUSHED 0x16
#define SRB_STATUS_INVALID_LUN 0x20
#define SRB_STATUS_INVALID_TARGET_ID 0x21
#define SRB_STATUS_BAD_FUNCTION 0x22
#define SRB_STATUS_ERROR_RECOVERY 0x23
#define SRB_STATUS_QUEUE_FROZEN 0x40
#define SRB_STATUS_AUTOSENSE_VALID 0x80

// SrbFlags
#define SRB_FLAGS_QUEUE_ACTION_ENABLE 0x00000002
#define SRB_FLAGS_DISABLE_DISCONNECT 0x00000004
#define SRB_FLAGS_DISABLE_SYNCH_TRANSFER 0x00000008
#define SRB_FLAGS_BYPASS_FROZEN_QUEUE 0x00000010
#define SRB_FLAGS_DISABLE_AUTOSENSE 0x00000020
#define SRB_FLAGS_DATA_IN 0x00000040
#define SRB_FLAGS_DATA_OUT 0x00000080
#define SRB_FLAGS_UNSPECIFIED_DIRECTION 0x000000C0
#define SRB_FLAGS_NO_QUEUE_FREEZE 0x00000100
#define SRB_FLAGS_ADAPTER_CACHE_ENABLE 0x00000200

// ---------------------------------------------------------------- configuration
typedef struct _ACCESS_RANGE {
    SCSI_PHYSICAL_ADDRESS RangeStart;
    ULONG RangeLength;
    BOOLEAN RangeInMemory;
} ACCESS_RANGE, *PACCESS_RANGE;

typedef struct _PORT_CONFIGURATION_INFORMATION {
    ULONG Length;
    ULONG SystemIoBusNumber;
    INTERFACE_TYPE AdapterInterfaceType;
    ULONG BusInterruptLevel;
    ULONG BusInterruptVector;
    KINTERRUPT_MODE InterruptMode;
    ULONG MaximumTransferLength;
    ULONG NumberOfPhysicalBreaks;
    ULONG DmaChannel;
    ULONG DmaPort;
    DMA_WIDTH DmaWidth;
    DMA_SPEED DmaSpeed;
    ULONG AlignmentMask;
    ULONG NumberOfAccessRanges;
    ACCESS_RANGE (*AccessRanges)[];
    PVOID Reserved;
    UCHAR NumberOfBuses;
    UCHAR InitiatorBusId[8];
    BOOLEAN ScatterGather;
    BOOLEAN Master;
    BOOLEAN CachesData;
    BOOLEAN AdapterScansDown;
    BOOLEAN AtdiskPrimaryClaimed;
    BOOLEAN AtdiskSecondaryClaimed;
    BOOLEAN Dma32BitAddresses;
    BOOLEAN DemandMode;
    BOOLEAN MapBuffers;
    BOOLEAN NeedPhysicalAddresses;
    BOOLEAN TaggedQueuing;
    BOOLEAN AutoRequestSense;
    BOOLEAN MultipleRequestPerLu;
    BOOLEAN ReceiveEvent;
    BOOLEAN RealModeInitialized;
    BOOLEAN BufferAccessScsiPortControlled;
    UCHAR MaximumNumberOfTargets;
    UCHAR ReservedUchars[2];
    ULONG SlotNumber; // PCI: bits 0-4 device, 5-7 function
    ULONG BusInterruptLevel2;
    ULONG BusInterruptVector2;
    KINTERRUPT_MODE InterruptMode2;
    ULONG DmaChannel2;
    ULONG DmaPort2;
    DMA_WIDTH DmaWidth2;
    DMA_SPEED DmaSpeed2;
    ULONG DeviceExtensionSize;
    ULONG SpecificLuExtensionSize;
    ULONG SrbExtensionSize;
} PORT_CONFIGURATION_INFORMATION, *PPORT_CONFIGURATION_INFORMATION;

// ---------------------------------------------------------------- callbacks and registration
typedef BOOLEAN(STDCALL* PHW_INITIALIZE)(PVOID DeviceExtension);
typedef BOOLEAN(STDCALL* PHW_STARTIO)(PVOID DeviceExtension, PSCSI_REQUEST_BLOCK Srb);
typedef BOOLEAN(STDCALL* PHW_INTERRUPT)(PVOID DeviceExtension);
typedef ULONG(STDCALL* PHW_FIND_ADAPTER)(PVOID DeviceExtension, PVOID HwContext, PVOID BusInformation,
                                         PCHAR ArgumentString, PPORT_CONFIGURATION_INFORMATION ConfigInfo,
                                         PBOOLEAN Again);
typedef BOOLEAN(STDCALL* PHW_RESET_BUS)(PVOID DeviceExtension, ULONG PathId);
typedef void(STDCALL* PHW_DMA_STARTED)(PVOID DeviceExtension);
typedef BOOLEAN(STDCALL* PHW_ADAPTER_STATE)(PVOID DeviceExtension, PVOID Context, BOOLEAN SaveState);

// The NT 4.0 form (76 bytes), which every later port driver also accepts.
typedef struct _HW_INITIALIZATION_DATA {
    ULONG HwInitializationDataSize;
    INTERFACE_TYPE AdapterInterfaceType;
    PHW_INITIALIZE HwInitialize;
    PHW_STARTIO HwStartIo;
    PHW_INTERRUPT HwInterrupt;
    PHW_FIND_ADAPTER HwFindAdapter;
    PHW_RESET_BUS HwResetBus;
    PHW_DMA_STARTED HwDmaStarted;
    PHW_ADAPTER_STATE HwAdapterState;
    ULONG DeviceExtensionSize;
    ULONG SpecificLuExtensionSize;
    ULONG SrbExtensionSize;
    ULONG NumberOfAccessRanges;
    PVOID Reserved;
    BOOLEAN MapBuffers;
    BOOLEAN NeedPhysicalAddresses;
    BOOLEAN TaggedQueuing;
    BOOLEAN AutoRequestSense;
    BOOLEAN MultipleRequestPerLu;
    BOOLEAN ReceiveEvent;
    USHORT VendorIdLength;
    PVOID VendorId;
    USHORT ReservedUshort;
    USHORT DeviceIdLength;
    PVOID DeviceId;
} HW_INITIALIZATION_DATA, *PHW_INITIALIZATION_DATA;

// Find-routine results
#define SP_RETURN_NOT_FOUND 0
#define SP_RETURN_FOUND 1
#define SP_RETURN_ERROR 2
#define SP_RETURN_BAD_CONFIG 3

// Error-log codes
#define SP_BUS_PARITY_ERROR 1
#define SP_UNEXPECTED_DISCONNECT 2
#define SP_INVALID_RESELECTION 3
#define SP_BUS_TIME_OUT 4
#define SP_PROTOCOL_ERROR 5
#define SP_INTERNAL_ADAPTER_ERROR 6
#define SP_REQUEST_TIMEOUT 7

#define SP_UNTAGGED 0xFF
#define SP_UNINITIALIZED_VALUE 0xFFFFFFFF

// ---------------------------------------------------------------- operations
extern "C" {
ULONG STDCALL ScsiPortInitialize(PVOID Argument1, PVOID Argument2, PHW_INITIALIZATION_DATA HwInitializationData,
                                 PVOID HwContext);
ULONG STDCALL ScsiPortGetBusData(PVOID DeviceExtension, ULONG BusDataType, ULONG SystemIoBusNumber,
                                 ULONG SlotNumber, PVOID Buffer, ULONG Length);
PVOID STDCALL ScsiPortGetDeviceBase(PVOID HwDeviceExtension, INTERFACE_TYPE BusType, ULONG SystemIoBusNumber,
                                    SCSI_PHYSICAL_ADDRESS IoAddress, ULONG NumberOfBytes, BOOLEAN InIoSpace);
SCSI_PHYSICAL_ADDRESS STDCALL ScsiPortConvertUlongToPhysicalAddress(ULONG_PTR UlongAddress);
PVOID STDCALL ScsiPortGetLogicalUnit(PVOID HwDeviceExtension, UCHAR PathId, UCHAR TargetId, UCHAR Lun);
void STDCALL ScsiPortCompleteRequest(PVOID HwDeviceExtension, UCHAR PathId, UCHAR TargetId, UCHAR Lun,
                                     UCHAR SrbStatus);
void STDCALL ScsiPortLogError(PVOID HwDeviceExtension, PSCSI_REQUEST_BLOCK Srb, UCHAR PathId, UCHAR TargetId,
                              UCHAR Lun, ULONG ErrorCode, ULONG UniqueId);
UCHAR STDCALL ScsiPortReadPortUchar(PUCHAR Port);
void STDCALL ScsiPortWritePortUchar(PUCHAR Port, UCHAR Value);
void STDCALL ScsiPortReadPortBufferUlong(PULONG Port, PULONG Buffer, ULONG Count);
void STDCALL ScsiPortStallExecution(ULONG Delay);
void CDECL ScsiPortNotification(SCSI_NOTIFICATION_TYPE NotificationType, PVOID HwDeviceExtension, ...);
void CDECL ScsiDebugPrint(ULONG DebugPrintLevel, const CHAR* DebugMessage, ...);
}

// ---------------------------------------------------------------- layouts on the kernel image
#if defined(__i386__)
#define OSTREL_AT(type, member, offset) static_assert(__builtin_offsetof(type, member) == (offset), #type "." #member)
static_assert(sizeof(SCSI_PHYSICAL_ADDRESS) == 8, "physical address");
static_assert(sizeof(INTERFACE_TYPE) == 4 && sizeof(KINTERRUPT_MODE) == 4, "enums are 32-bit");

static_assert(sizeof(SCSI_REQUEST_BLOCK) == 64, "SCSI_REQUEST_BLOCK");
OSTREL_AT(SCSI_REQUEST_BLOCK, Function, 2);
OSTREL_AT(SCSI_REQUEST_BLOCK, SrbStatus, 3);
OSTREL_AT(SCSI_REQUEST_BLOCK, ScsiStatus, 4);
OSTREL_AT(SCSI_REQUEST_BLOCK, PathId, 5);
OSTREL_AT(SCSI_REQUEST_BLOCK, TargetId, 6);
OSTREL_AT(SCSI_REQUEST_BLOCK, Lun, 7);
OSTREL_AT(SCSI_REQUEST_BLOCK, CdbLength, 10);
OSTREL_AT(SCSI_REQUEST_BLOCK, SrbFlags, 12);
OSTREL_AT(SCSI_REQUEST_BLOCK, DataTransferLength, 16);
OSTREL_AT(SCSI_REQUEST_BLOCK, TimeOutValue, 20);
OSTREL_AT(SCSI_REQUEST_BLOCK, DataBuffer, 24);
OSTREL_AT(SCSI_REQUEST_BLOCK, NextSrb, 32);
OSTREL_AT(SCSI_REQUEST_BLOCK, InternalStatus, 44);
OSTREL_AT(SCSI_REQUEST_BLOCK, Cdb, 48);

static_assert(sizeof(ACCESS_RANGE) == 16, "ACCESS_RANGE");
OSTREL_AT(ACCESS_RANGE, RangeLength, 8);
OSTREL_AT(ACCESS_RANGE, RangeInMemory, 12);

OSTREL_AT(PORT_CONFIGURATION_INFORMATION, SystemIoBusNumber, 4);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, AdapterInterfaceType, 8);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, BusInterruptLevel, 12);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, InterruptMode, 20);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, MaximumTransferLength, 24);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, NumberOfPhysicalBreaks, 28);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, NumberOfAccessRanges, 52);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, AccessRanges, 56);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, NumberOfBuses, 64);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, InitiatorBusId, 65);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, ScatterGather, 73);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, Master, 74);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, Dma32BitAddresses, 79);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, NeedPhysicalAddresses, 82);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, TaggedQueuing, 83);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, MaximumNumberOfTargets, 89);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, SlotNumber, 92);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, DeviceExtensionSize, 124);
OSTREL_AT(PORT_CONFIGURATION_INFORMATION, SrbExtensionSize, 132);
static_assert(sizeof(PORT_CONFIGURATION_INFORMATION) == 136, "NT 4.0 form");

static_assert(sizeof(HW_INITIALIZATION_DATA) == 76, "HW_INITIALIZATION_DATA");
OSTREL_AT(HW_INITIALIZATION_DATA, AdapterInterfaceType, 4);
OSTREL_AT(HW_INITIALIZATION_DATA, HwInitialize, 8);
OSTREL_AT(HW_INITIALIZATION_DATA, HwStartIo, 12);
OSTREL_AT(HW_INITIALIZATION_DATA, HwInterrupt, 16);
OSTREL_AT(HW_INITIALIZATION_DATA, HwFindAdapter, 20);
OSTREL_AT(HW_INITIALIZATION_DATA, HwResetBus, 24);
OSTREL_AT(HW_INITIALIZATION_DATA, HwDmaStarted, 28);
OSTREL_AT(HW_INITIALIZATION_DATA, HwAdapterState, 32);
OSTREL_AT(HW_INITIALIZATION_DATA, DeviceExtensionSize, 36);
OSTREL_AT(HW_INITIALIZATION_DATA, SpecificLuExtensionSize, 40);
OSTREL_AT(HW_INITIALIZATION_DATA, SrbExtensionSize, 44);
OSTREL_AT(HW_INITIALIZATION_DATA, NumberOfAccessRanges, 48);
OSTREL_AT(HW_INITIALIZATION_DATA, Reserved, 52);
OSTREL_AT(HW_INITIALIZATION_DATA, MapBuffers, 56);
OSTREL_AT(HW_INITIALIZATION_DATA, NeedPhysicalAddresses, 57);
OSTREL_AT(HW_INITIALIZATION_DATA, TaggedQueuing, 58);
OSTREL_AT(HW_INITIALIZATION_DATA, AutoRequestSense, 59);
OSTREL_AT(HW_INITIALIZATION_DATA, MultipleRequestPerLu, 60);
OSTREL_AT(HW_INITIALIZATION_DATA, ReceiveEvent, 61);
OSTREL_AT(HW_INITIALIZATION_DATA, VendorIdLength, 62);
OSTREL_AT(HW_INITIALIZATION_DATA, VendorId, 64);
OSTREL_AT(HW_INITIALIZATION_DATA, ReservedUshort, 68);
OSTREL_AT(HW_INITIALIZATION_DATA, DeviceIdLength, 70);
OSTREL_AT(HW_INITIALIZATION_DATA, DeviceId, 72);
#undef OSTREL_AT
#endif

#endif
