// The port driver's operations as the driver links against them on the bench.
#include <cstdarg>

#include "port_driver.h"

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
    PortDriver::current().notification(NotificationType, args);
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

PVOID STDCALL ScsiPortGetLogicalUnit(PVOID, UCHAR PathId, UCHAR TargetId, UCHAR Lun)
{
    return PortDriver::current().logical_unit(PathId, TargetId, Lun);
}
}
