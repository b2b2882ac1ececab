// The SCSI protocol engine: winning the bus, selecting the target, and one
// routine per information phase.
#ifndef OSTREL_PROTOCOL_PROTOCOL_H
#define OSTREL_PROTOCOL_PROTOCOL_H

#include "../miniport/ostrel.h"

BOOLEAN OstrelArbitrate(PADAPTER_EXTENSION Adapter);
BOOLEAN OstrelSelect(PADAPTER_EXTENSION Adapter, PLU_EXTENSION Lu, PSCSI_REQUEST_BLOCK Srb);
BOOLEAN OstrelSelect_Enable_Disconnect(PADAPTER_EXTENSION Adapter);
BOOLEAN OstrelSelect_Disable_Disconnect(PADAPTER_EXTENSION Adapter);

void OstrelCommand(PADAPTER_EXTENSION Adapter);
void OstrelStatus(PADAPTER_EXTENSION Adapter);
void OstrelMessageIn(PADAPTER_EXTENSION Adapter);
void OstrelMessageOut(PADAPTER_EXTENSION Adapter);
void OstrelNotifyCompletion(PADAPTER_EXTENSION Adapter);

void OstrelStartExecution(PADAPTER_EXTENSION Adapter, PLU_EXTENSION Lu, PSCSI_REQUEST_BLOCK Srb);
void OstrelRunPhase(PADAPTER_EXTENSION Adapter);
void OstrelDetermineNextPhase(PADAPTER_EXTENSION Adapter);

// SCSI-2 message codes the message-in phase acts on.
#define MSG_COMMAND_COMPLETE 0x00
#define MSG_EXTENDED 0x01
#define MSG_SAVE_DATA_POINTER 0x02
#define MSG_RESTORE_POINTERS 0x03
#define MSG_DISCONNECT 0x04
#define MSG_REJECT 0x07
#define MSG_NO_OPERATION 0x08
#define MSG_LINKED_COMMAND_COMPLETE 0x0A
#define MSG_LINKED_COMMAND_COMPLETE_FLAG 0x0B
#define MSG_IDENTIFY 0x80
#define MSG_IDENTIFY_DISCONNECT 0x40

// SCSI-2 status bytes.
#define SCSISTAT_GOOD 0x00
#define SCSISTAT_CHECK_CONDITION 0x02
#define SCSISTAT_CONDITION_MET 0x04
#define SCSISTAT_INTERMEDIATE 0x10
#define SCSISTAT_INTERMEDIATE_COND_MET 0x14
#define SCSISTAT_COMMAND_TERMINATED 0x22

#define SCSIOP_INQUIRY 0x12

#endif
