// Registration with the port driver, and discovery of each matching PCI adapter.
#include "ostrel.h"

#define PCI_CONFIG_HEADER_BYTES 64
#define PCI_INTERRUPT_LINE 0x3C
#define ADAPTER_IO_PORTS 32

extern "C" ULONG STDCALL DriverEntry(PVOID DriverObject, PVOID RegistryPath)
{
    CHAR vendorId[4] = {'9', 'E', '2', 'D'}; // PCI identity as hex text, bounded by length, no NUL
    CHAR deviceId[4] = {'0', '0', '0', '1'};
    HW_INITIALIZATION_DATA init;
    ULONG context = 0;

    PUCHAR bytes = (PUCHAR)&init;
    for (ULONG i = 0; i < sizeof(init); ++i) {
        bytes[i] = 0;
    }
    init.HwInitializationDataSize = sizeof(HW_INITIALIZATION_DATA);
    init.AdapterInterfaceType = PCIBus;
    init.HwInitialize = OstrelInitialize;
    init.HwStartIo = OstrelStartIo;
    init.HwInterrupt = OstrelInterrupt;
    init.HwFindAdapter = OstrelFindAdapter;
    init.HwResetBus = OstrelResetBus;
    init.HwDmaStarted = 0;
    init.DeviceExtensionSize = sizeof(ADAPTER_EXTENSION);
    init.SpecificLuExtensionSize = sizeof(LU_EXTENSION);
    init.NumberOfAccessRanges = 2;
    init.MapBuffers = TRUE;
    init.NeedPhysicalAddresses = TRUE;
    init.TaggedQueuing = FALSE;
    init.AutoRequestSense = TRUE;
    init.MultipleRequestPerLu = FALSE;
    init.ReceiveEvent = FALSE;
    init.VendorIdLength = 4;
    init.VendorId = vendorId;
    init.DeviceIdLength = 4;
    init.DeviceId = deviceId;

    return ScsiPortInitialize(DriverObject, RegistryPath, &init, &context);
}

ULONG STDCALL OstrelFindAdapter(PVOID HwDeviceExtension, PVOID HwContext, PVOID BusInformation, PCHAR ArgumentString,
                                PPORT_CONFIGURATION_INFORMATION ConfigInfo, PBOOLEAN Again)
{
    PADAPTER_EXTENSION adapter = (PADAPTER_EXTENSION)HwDeviceExtension;
    PACCESS_RANGE range = &(*ConfigInfo->AccessRanges)[0];
    UCHAR config[PCI_CONFIG_HEADER_BYTES];
    (void)HwContext;
    (void)BusInformation;
    (void)ArgumentString;

    *Again = FALSE;
    ULONG ioPort = range->RangeStart.u.LowPart;
    if (ioPort == 0) {
        return SP_RETURN_NOT_FOUND;
    }

    // A short configuration read or no mapping: the adapter cannot be driven.
    if (ScsiPortGetBusData(adapter, PCIConfiguration, ConfigInfo->SystemIoBusNumber, ConfigInfo->SlotNumber, config,
                           PCI_CONFIG_HEADER_BYTES) < PCI_CONFIG_HEADER_BYTES) {
        return SP_RETURN_NOT_FOUND;
    }
    PUCHAR base = (PUCHAR)ScsiPortGetDeviceBase(adapter, ConfigInfo->AdapterInterfaceType,
                                                ConfigInfo->SystemIoBusNumber, range->RangeStart, range->RangeLength,
                                                TRUE);
    if (base == 0) {
        return SP_RETURN_NOT_FOUND;
    }
    adapter->BaseAddress = base;

    adapter->InterruptLine = config[PCI_INTERRUPT_LINE];
    ConfigInfo->BusInterruptLevel = config[PCI_INTERRUPT_LINE];
    ConfigInfo->InterruptMode = LevelSensitive;
    adapter->InitiatorIdBit = OSTREL_INITIATOR_ID_BIT;

    range->RangeStart = ScsiPortConvertUlongToPhysicalAddress(ioPort);
    range->RangeLength = ADAPTER_IO_PORTS;
    range->RangeInMemory = FALSE;

    ConfigInfo->ScatterGather = TRUE;
    ConfigInfo->NumberOfPhysicalBreaks = 17;
    ConfigInfo->NeedPhysicalAddresses = TRUE;
    ConfigInfo->TaggedQueuing = FALSE;
    ConfigInfo->Master = FALSE;
    ConfigInfo->Dma32BitAddresses = TRUE;
    ConfigInfo->InitiatorBusId[0] = OSTREL_INITIATOR_ID;
    ConfigInfo->MaximumTransferLength = 0xFFFFFFFF;
    ConfigInfo->NumberOfBuses = 1;
    return SP_RETURN_FOUND;
}
