// A request as start-I/O would leave it: the request block, its unit's record
// naming it, and the adapter's ActiveLu naming the unit.
#pragma once

#include <cstring>
#include <initializer_list>
#include <vector>

#include "driver/miniport/ostrel.h"

namespace testing_support {

struct Request {
    SCSI_REQUEST_BLOCK srb{};
    LU_EXTENSION lu{};
    std::vector<unsigned char> buffer;

    Request(UCHAR target, UCHAR lun, std::initializer_list<UCHAR> cdb, ULONG length = 0)
    {
        srb.Length = sizeof(SCSI_REQUEST_BLOCK);
        srb.TargetId = target;
        srb.Lun = lun;
        srb.CdbLength = static_cast<UCHAR>(cdb.size());
        if (cdb.size()) std::memcpy(srb.Cdb, cdb.begin(), cdb.size());
        buffer.assign(length, 0);
        srb.DataTransferLength = length;
        srb.DataBuffer = length ? buffer.data() : nullptr;
        lu.ActiveSrb = &srb;
        lu.LuState = LU_START;
        lu.SavedDataPointer = static_cast<PUCHAR>(srb.DataBuffer);
        lu.SavedDataCount = length;
    }
    void make_active(ADAPTER_EXTENSION& ext) { ext.ActiveLu = &lu; }
};

}  // namespace testing_support
