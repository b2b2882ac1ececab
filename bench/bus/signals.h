// SCSI bus lines as bits. The low byte has the layout of the 5380's bus status
// register, so the core reads it straight off the bus.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

using Signals = std::uint16_t;

namespace line {
constexpr Signals RST = 0x80;
constexpr Signals BSY = 0x40;
constexpr Signals REQ = 0x20;
constexpr Signals MSG = 0x10;
constexpr Signals CD = 0x08;
constexpr Signals IO = 0x04;
constexpr Signals SEL = 0x02;
constexpr Signals DBP = 0x01;  // data-bus parity
constexpr Signals ACK = 0x100;
constexpr Signals ATN = 0x200;
constexpr Signals PHASE = MSG | CD | IO;
constexpr Signals ALL = 0x3FF;
}  // namespace line

// "BSY+REQ+C/D" and the like, for traces and messages.
std::string describe_signals(Signals s);

}  // namespace bench
