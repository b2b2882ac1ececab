// The data-in phase: the board takes the bytes off the bus into its 128-byte
// host buffer by itself; the driver drains each whole block as 32 words and
// the residue of a short phase through ForceSwarp.
#include "transfer.h"

#include "../hardware/port_io.h"
#include "../hardware/waits.h"

#define BLOCK_WAIT_BUDGET 0xFFFFFF
// The block counter has 12 bits: longer receives go in parts of at most this many blocks.
#define MAX_BLOCKS_PER_RECEIVE ((1u << BLOCK_COUNT_BITS) - 1)

typedef enum _BLOCK_WAIT { BlockReady, BlockShortEnd, BlockNexusGone } BLOCK_WAIT;
typedef enum _RECEIVE_END { ReceiveDone, ReceiveShort, ReceiveFailed } RECEIVE_END;

void EnableDMA(PUCHAR BaseAddress, UCHAR Direction, ULONG Blocks)
{
    OstrelWrite(BaseAddress, REG_TCR, TCR_DATA_IN);
    ScsiPortStallExecution(2);
    (void)OstrelRead(BaseAddress, REG_RPI);
    OstrelWrite(BaseAddress, REG_BUFCTL, BUFCTL_NORMAL);
    OstrelWrite(BaseAddress, REG_ICR, (UCHAR)(OstrelRead(BaseAddress, REG_ICR) | ICR_ASSERT_DATA_BUS));
    OstrelWrite(BaseAddress, REG_MR, MR_DMA_MODE | MR_MONITOR_BUSY | MR_ENABLE_EOP_INTERRUPT);
    OstrelWrite(BaseAddress, REG_BCR, Direction);
    OstrelWrite(BaseAddress, REG_SDIR, 0x00);
    OstrelWrite(BaseAddress, REG_BUFACC, BUFACC_IDLE);
    // The board takes the count when the first byte comes, so it may follow the start.
    if (Blocks < 256) {
        OstrelWrite(BaseAddress, REG_BCNT_LO, (UCHAR)Blocks);
    } else if (Blocks == 256) {
        OstrelWrite(BaseAddress, REG_BCNT_LO, 0x00);
    } else {
        OstrelWrite(BaseAddress, REG_BCNT_LO, (UCHAR)(Blocks % 256));
        OstrelWrite(BaseAddress, REG_BCNT_HI, (UCHAR)((Blocks / 256) << 4));
    }
}

void DisableDMA(PADAPTER_EXTENSION Adapter, UCHAR Direction)
{
    PUCHAR base = Adapter->BaseAddress;
    (void)Direction; // receive is the only direction
    OstrelWrite(base, REG_TCR, TCR_RECEIVE_END);
    OstrelWrite(base, REG_ICR, (UCHAR)(OstrelRead(base, REG_ICR) & ~ICR_ASSERT_DATA_BUS));
    ScsiPortStallExecution(1);
    OstrelWrite(base, REG_MR, (UCHAR)(OstrelRead(base, REG_MR) & ~(MR_DMA_MODE | MR_ENABLE_EOP_INTERRUPT)));
    ScsiPortStallExecution(2);
    OstrelWrite(base, REG_MR, (UCHAR)((OstrelRead(base, REG_MR) & ~MR_MONITOR_BUSY) | MR_DMA_MODE));
}

// Moves received bytes into the request's buffer, never more than it still wants.
static void OstrelDeliver(PADAPTER_EXTENSION Adapter, const UCHAR* Bytes, ULONG Count)
{
    if (Count > Adapter->DataCount) {
        Count = Adapter->DataCount; // what the board took beyond the request is dropped
    }
    PUCHAR to = Adapter->DataPointer;
    for (ULONG i = 0; i < Count; ++i) {
        to[i] = Bytes[i];
    }
    Adapter->DataPointer = to + Count;
    Adapter->DataCount = Adapter->DataCount - Count;
}

void ForceSwarp(PADAPTER_EXTENSION Adapter)
{
    PUCHAR base = Adapter->BaseAddress;
    ULONG local[HOST_BUFFER_WORDS];

    OstrelWrite(base, REG_BUFCTL, BUFCTL_RESIDUE_QUERY);
    UCHAR residue = (UCHAR)(OstrelRead(base, REG_BUFCTL) & BUFCTL_RESIDUE_MASK);
    if (residue == 0) {
        return;
    }
    OstrelWrite(base, REG_BUFCTL, BUFCTL_NORMAL);
    ScsiPortReadPortBufferUlong((PULONG)(base + REG_BUFFER), local, HOST_BUFFER_WORDS);
    OstrelDeliver(Adapter, (const UCHAR*)local, residue);
}

// One whole block out of the host buffer. Straight into the request's buffer
// while a whole block still fits; through a local block when less remains.
static void OstrelDrainBlock(PADAPTER_EXTENSION Adapter)
{
    PUCHAR base = Adapter->BaseAddress;
    OstrelWrite(base, REG_BUFACC, BUFACC_HOST_READ);
    if (Adapter->DataCount >= HOST_BUFFER_BYTES) {
        ScsiPortReadPortBufferUlong((PULONG)(base + REG_BUFFER), (PULONG)Adapter->DataPointer, HOST_BUFFER_WORDS);
        Adapter->DataPointer = Adapter->DataPointer + HOST_BUFFER_BYTES;
        Adapter->DataCount = Adapter->DataCount - HOST_BUFFER_BYTES;
    } else {
        ULONG local[HOST_BUFFER_WORDS];
        ScsiPortReadPortBufferUlong((PULONG)(base + REG_BUFFER), local, HOST_BUFFER_WORDS);
        OstrelDeliver(Adapter, (const UCHAR*)local, HOST_BUFFER_BYTES);
    }
    OstrelWrite(base, REG_BUFACC, BUFACC_IDLE);
}

// Polls without a stall: a full block is drained at the first poll that shows it.
static BLOCK_WAIT OstrelWaitBlock(PADAPTER_EXTENSION Adapter)
{
    PUCHAR base = Adapter->BaseAddress;
    BOOLEAN shortEnd = FALSE;
    ULONG budget = BLOCK_WAIT_BUDGET;
    UCHAR status = OstrelRead(base, REG_BCR);

    for (;;) {
        if (shortEnd) {
            return BlockShortEnd;
        }
        if (--budget == 0) {
            return BlockShortEnd; // a time-out is treated as the phase ending short
        }
        if (!(status & BCR_BUFFER_BUSY)) {
            return BlockReady;
        }
        if (Adapter->ActiveLu == 0) {
            return BlockNexusGone;
        }
        status = OstrelRead(base, REG_BCR);
        if (status & BCR_CORE_ENABLED) {
            // The receive has stopped; short only if the buffer still lacks a whole block.
            status = OstrelRead(base, REG_BCR);
            if (status & BCR_BUFFER_BUSY) {
                shortEnd = TRUE;
            }
        }
    }
}

// One receive of at most 4,095 blocks, from EnableDMA to the last DisableDMA.
static RECEIVE_END OstrelReceive(PADAPTER_EXTENSION Adapter, ULONG Blocks)
{
    PUCHAR base = Adapter->BaseAddress;
    RECEIVE_END end = ReceiveDone;

    EnableDMA(base, BCR_START_RECEIVE, Blocks);
    while (Blocks != 0) {
        BLOCK_WAIT wait = OstrelWaitBlock(Adapter);
        if (wait == BlockNexusGone) {
            return ReceiveFailed;
        }
        if (wait == BlockShortEnd) {
            if (!WAIT_5380_ENABLE(base)) {
                ScsiDebugPrint(0, "\nReadDatablock error 1 ");
                return ReceiveFailed;
            }
            ForceSwarp(Adapter);
            DisableDMA(Adapter, BCR_START_RECEIVE);
            end = ReceiveShort;
            break;
        }
        OstrelDrainBlock(Adapter);
        --Blocks;
    }

    if (!WAIT_5380_ENABLE(base)) {
        return ReceiveFailed;
    }
    DisableDMA(Adapter, BCR_START_RECEIVE);
    return end;
}

BOOLEAN OstrelReadDataBlock(PADAPTER_EXTENSION Adapter)
{
    ULONG count = Adapter->DataCount;
    Adapter->CurrentPhase = PHASE_CODE_DATA_IN;

    ULONG blocks = count / HOST_BUFFER_BYTES + (count % HOST_BUFFER_BYTES != 0 ? 1 : 0);
    if (blocks == 0) {
        return FALSE;
    }

    while (blocks != 0) {
        ULONG part = blocks > MAX_BLOCKS_PER_RECEIVE ? MAX_BLOCKS_PER_RECEIVE : blocks;
        blocks -= part;
        RECEIVE_END end = OstrelReceive(Adapter, part);
        if (end == ReceiveFailed) {
            return FALSE;
        }
        if (end == ReceiveShort) {
            break; // the target left the phase: no further part is awaited
        }
    }

    Adapter->ActiveLu->SavedDataPointer = Adapter->DataPointer;
    Adapter->ActiveLu->SavedDataCount = Adapter->DataCount;
    return TRUE;
}
