#include "waits.h"

#include "port_io.h"

#define ARBITRATION_POLLS 1000
#define SELECTION_POLLS 5000000 // the target has about 5 s to answer its selection
#define CORE_ENABLE_POLLS 3000000

// The one poll loop: TRUE at the first read showing (value & Mask) == Wanted;
// the count is unsigned throughout, so 0xFFFFFFFF is simply the largest.
static BOOLEAN OstrelPoll(PUCHAR Base, ULONG Offset, UCHAR Mask, UCHAR Wanted, ULONG Count)
{
    for (;;) {
        if ((OstrelRead(Base, Offset) & Mask) == Wanted) {
            return TRUE;
        }
        ScsiPortStallExecution(1);
        if (Count == 0) {
            return FALSE;
        }
        --Count;
    }
}

BOOLEAN WAIT_ARBIT_IN_PROG(PUCHAR BaseAddress)
{
    return OstrelPoll(BaseAddress, REG_ICR, ICR_AIP, ICR_AIP, ARBITRATION_POLLS);
}

BOOLEAN WAIT_BSY(PUCHAR BaseAddress)
{
    return OstrelPoll(BaseAddress, REG_CSBS, CSBS_BSY, CSBS_BSY, SELECTION_POLLS);
}

// A target that is not on the bus will never raise REQ: give up at once.
BOOLEAN WAIT_REQ(PUCHAR BaseAddress, ULONG Count)
{
    if (!(OstrelRead(BaseAddress, REG_CSBS) & CSBS_BSY)) {
        return FALSE;
    }
    return OstrelPoll(BaseAddress, REG_CSBS, CSBS_BSY | CSBS_REQ, CSBS_BSY | CSBS_REQ, Count);
}

BOOLEAN WAIT_DE_REQ(PUCHAR BaseAddress, ULONG Count)
{
    return OstrelPoll(BaseAddress, REG_CSBS, CSBS_REQ, 0, Count);
}

BOOLEAN WAIT_5380_ENABLE(PUCHAR BaseAddress)
{
    return OstrelPoll(BaseAddress, REG_BCR, BCR_CORE_ENABLED, BCR_CORE_ENABLED, CORE_ENABLE_POLLS);
}
