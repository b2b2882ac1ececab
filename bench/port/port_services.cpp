// The port driver's operations as the driver links against them on the bench.
#include <cstdarg>

#include "host.h"
#include "port_driver.h"

#include <stdexcept>

using bench::PortDriver;

extern "C" {

UCHAR STDCALL ScsiPortReadPortUchar(PUCHAR Port)
{
    return PortDriver::current().read_uchar(Port);
}

void STDCALL ScsiPortWritePortUchar(PUCHAR Port, UCHAR Value)
{
    PortDriver::current().write_uchar(Port, Value);
}

void STDCALL ScsiPortReadPortBufferUlong(PULONG Port, PULONG Buffer, ULONG Count)
{
    PortDriver::current().read_buffer_ulong(Port, Buffer, Count);
}

void STDCALL ScsiPortStallExecution(ULONG Delay)
{
    PortDriver::current().stall(Delay);
}

void CDECL ScsiPortNotification(SCSI_NOTIFICATION_TYPE NotificationType, PVOID HwDeviceExtension, ...)
{
    va_list args;
    va_start(args, HwDeviceExtension);
    PortDriver::current().notification(NotificationType, HwDeviceExtension, args);
    va_end(args);
}

void CDECL ScsiDebugPrint(ULONG DebugPrintLevel, const CHAR* DebugMessage, ...)
{
    va_list args;
    va_start(args, DebugMessage);
    PortDriver::current().debug_print(DebugPrintLevel, DebugMessage, args);
    va_end(args);
}

void STDCALL ScsiPortCompleteRequest(PVOID, UCHAR PathId, UCHAR TargetId, UCHAR Lun, UCHAR SrbStatus)
{
    PortDriver::current().complete_request(PathId, TargetId, Lun, SrbStatus);
}

void STDCALL ScsiPortLogError(PVOID, PSCSI_REQUEST_BLOCK Srb, UCHAR PathId, UCHAR TargetId, UCHAR Lun,
                              ULONG ErrorCode, ULONG UniqueId)
{
    PortDriver::current().log_error(Srb, PathId, TargetId, Lun, ErrorCode, UniqueId);
}

PVOID STDCALL ScsiPortGetLogicalUnit(PVOID HwDeviceExtension, UCHAR PathId, UCHAR TargetId, UCHAR Lun)
{
    return PortDriver::current().logical_unit(HwDeviceExtension, PathId, TargetId, Lun);
}

// The configuration calls go to the loader; with none, the bench has no PCI bus.
static bench::Host& host()
{
    bench::Host* h = PortDriver::current().host;
    if (!h) throw std::logic_error("the driver asked for configuration, but no loader stands in for the system");
    return *h;
}

ULONG STDCALL ScsiPortInitialize(PVOID Argument1, PVOID Argument2, PHW_INITIALIZATION_DATA HwInitializationData,
                                 PVOID HwContext)
{
    return host().initialize(Argument1, Argument2, HwInitializationData, HwContext);
}

ULONG STDCALL ScsiPortGetBusData(PVOID DeviceExtension, ULONG BusDataType, ULONG SystemIoBusNumber, ULONG SlotNumber,
                                 PVOID Buffer, ULONG Length)
{
    return host().bus_data(DeviceExtension, BusDataType, SystemIoBusNumber, SlotNumber, Buffer, Length);
}

PVOID STDCALL ScsiPortGetDeviceBase(PVOID HwDeviceExtension, INTERFACE_TYPE BusType, ULONG SystemIoBusNumber,
                                    SCSI_PHYSICAL_ADDRESS IoAddress, ULONG NumberOfBytes, BOOLEAN InIoSpace)
{
    return host().device_base(HwDeviceExtension, BusType, SystemIoBusNumber, IoAddress, NumberOfBytes, InIoSpace);
}

SCSI_PHYSICAL_ADDRESS STDCALL ScsiPortConvertUlongToPhysicalAddress(ULONG_PTR UlongAddress)
{
    SCSI_PHYSICAL_ADDRESS address;
    address.QuadPart = static_cast<LONGLONG>(static_cast<ULONG>(UlongAddress));
    return address;
}
}
