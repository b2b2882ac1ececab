// The adapter's 32-byte I/O window: the 5380 core at 0..7, the board around it above.
#ifndef OSTREL_HARDWARE_REGISTERS_H
#define OSTREL_HARDWARE_REGISTERS_H

#include "../port/scsiport.h"

// ---------------------------------------------------------------- offsets
#define REG_CSD 0      // read: current SCSI data
#define REG_ODR 0      // write: output data
#define REG_ICR 1      // initiator command
#define REG_MR 2       // mode
#define REG_TCR 3      // target command: the phase the initiator expects
#define REG_CSBS 4     // read: current SCSI bus status
#define REG_SER 4      // write: select enable
#define REG_RPI 7      // read: reset parity/interrupt (value discarded)
#define REG_SDIR 7     // write: start DMA initiator receive
#define REG_BUFFER 8   // read: host buffer, as 32-bit words
#define REG_BCR 9      // board control register
#define REG_BCNT_LO 10 // block count bits 7..0
#define REG_BCNT_HI 12 // block count bits 11..8, in bits 7..4
#define REG_BUFCTL 13  // buffer control: mode (write), residue count (read)
#define REG_BUFACC 26  // write: buffer access

#define ADAPTER_WINDOW_LENGTH 32

// ---------------------------------------------------------------- ICR
#define ICR_ASSERT_RST 0x80
#define ICR_AIP 0x40 // read only: arbitration in progress
#define ICR_LA 0x20  // read only: lost arbitration
#define ICR_ASSERT_ACK 0x10
#define ICR_ASSERT_BSY 0x08
#define ICR_ASSERT_SEL 0x04
#define ICR_ASSERT_ATN 0x02
#define ICR_ASSERT_DATA_BUS 0x01

// ---------------------------------------------------------------- MR
#define MR_ARBITRATE 0x01
#define MR_DMA_MODE 0x02
#define MR_MONITOR_BUSY 0x04
#define MR_ENABLE_EOP_INTERRUPT 0x08

// ---------------------------------------------------------------- TCR
#define TCR_ASSERT_IO 0x01
#define TCR_ASSERT_CD 0x02
#define TCR_ASSERT_MSG 0x04

#define TCR_DATA_OUT 0x00
#define TCR_DATA_IN TCR_ASSERT_IO
#define TCR_COMMAND TCR_ASSERT_CD
#define TCR_STATUS (TCR_ASSERT_CD | TCR_ASSERT_IO)
#define TCR_RECEIVE_END TCR_ASSERT_MSG
#define TCR_MESSAGE_OUT (TCR_ASSERT_MSG | TCR_ASSERT_CD)
#define TCR_MESSAGE_IN (TCR_ASSERT_MSG | TCR_ASSERT_CD | TCR_ASSERT_IO)

// ---------------------------------------------------------------- CSBS
#define CSBS_RST 0x80
#define CSBS_BSY 0x40
#define CSBS_REQ 0x20
#define CSBS_MSG 0x10
#define CSBS_CD 0x08
#define CSBS_IO 0x04
#define CSBS_SEL 0x02
#define CSBS_DBP 0x01

// The bus phase is read as CSBS AND PHASE_MASK (BSY, REQ, MSG, C/D, I/O).
#define PHASE_MASK 0x7C
#define PHASE_BUS_FREE 0x00
#define PHASE_DATA_OUT 0x60
#define PHASE_DATA_IN 0x64
#define PHASE_COMMAND 0x68
#define PHASE_STATUS 0x6C
#define PHASE_MESSAGE_OUT 0x78
#define PHASE_MESSAGE_IN 0x7C
// BSY or SEL: the bus is not free for arbitration.
#define BUS_BUSY_MASK (CSBS_BSY | CSBS_SEL)

// ---------------------------------------------------------------- board control register
#define BCR_CORE_ENABLED 0x80 // read: the receive has ended, the core is the host's again
#define BCR_BOARD_RESET 0x80  // write: hold the board in reset
#define BCR_RECEIVE_ENABLE 0x40
#define BCR_INT_ENABLE 0x10 // written back as 0 when an interrupt is acknowledged
#define BCR_BUFFER_BUSY 0x04 // read: the host buffer does not hold a whole block
#define BCR_INT_PENDING 0x01 // read
// What a board reset keeps of the value it read.
#define BCR_KEPT_BY_RESET (BCR_RECEIVE_ENABLE | BCR_INT_ENABLE)
#define BCR_START_RECEIVE (BCR_RECEIVE_ENABLE | BCR_INT_ENABLE)

// ---------------------------------------------------------------- host buffer
#define BUFCTL_NORMAL 0x01
#define BUFCTL_RESIDUE_QUERY 0x02
#define BUFCTL_RESIDUE_MASK 0x7F // bit 7 of the residue read means nothing

#define BUFACC_IDLE 0x20
#define BUFACC_HOST_READ 0x22

#define HOST_BUFFER_BYTES 128
#define HOST_BUFFER_WORDS 32
#define BLOCK_COUNT_BITS 12

#endif
