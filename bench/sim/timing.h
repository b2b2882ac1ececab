// Every delay of the bench in one table, each with the rule or the board behaviour it stands for.
#pragma once

#include <cstdint>

namespace bench {

using Nanoseconds = std::uint64_t;

constexpr Nanoseconds kMicrosecond = 1000;
constexpr Nanoseconds kMillisecond = 1000 * kMicrosecond;
constexpr Nanoseconds kSecond = 1000 * kMillisecond;

namespace timing {

// One byte of port I/O through the host bridge: about nine clocks of a 33 MHz PCI bus.
constexpr Nanoseconds kPortAccess = 270;

// SCSI-2 bus timing (section 5.2 of the standard), used by the bus and target models.
constexpr Nanoseconds kBusSettle = 400;          // bus settle delay
constexpr Nanoseconds kBusFree = 800;            // bus free delay
constexpr Nanoseconds kArbitrationDelay = 2400;  // arbitration delay
constexpr Nanoseconds kDeskew = 45;              // deskew delay
constexpr Nanoseconds kCableSkew = 10;           // cable skew delay
constexpr Nanoseconds kResetHold = 25 * kMicrosecond; // minimum RST assertion

// A target device's own pace (defaults near real devices; each is a setting of the target).
constexpr Nanoseconds kSelectionResponse = 3 * kMicrosecond;  // BSY after seeing its selection
constexpr Nanoseconds kPhaseChange = 2 * kMicrosecond;        // between the end of a phase and the next REQ
constexpr Nanoseconds kCommandLatency = 10 * kMicrosecond;    // from the last CDB byte to the next phase
constexpr Nanoseconds kDataSetup = kDeskew + kCableSkew;      // data valid before REQ
// A fast asynchronous SCSI-2 device: 5 MB/s, one byte each 200 ns at best.
constexpr Nanoseconds kAsyncByteCycle = 200;

// The board's receive engine: it answers a data-in REQ with ACK this long after
// REQ rises, and drops ACK this long after REQ falls.
constexpr Nanoseconds kBoardAckDelay = 90;
constexpr Nanoseconds kBoardAckRelease = 60;

// A stall at or above this breaks the port driver's documented contract.
constexpr std::uint32_t kLongestStallMicroseconds = 999;

}  // namespace timing
}  // namespace bench
