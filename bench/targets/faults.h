// Misbehaviour as data: where in its story a target strikes, and what it does.
// The story consults the list at named points; each fault strikes once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace bench {

enum class Point { Selection, MessageOut, Command, DataIn, DataOut, Status, MessageIn };

enum class Misbehaviour {
    IgnoreSelection,  // never answer the selection
    SkipMessageOut,   // answer without taking IDENTIFY: straight to the command phase
    HoldReq,          // assert REQ for byte `after` of the phase and never release it
    DropBsy,          // leave the bus at once (before byte `after` of the phase)
    HoldBsy,          // stay on the bus with BSY and nothing else, until a bus reset
    ShowPhase,        // show `phase` (MSG, C/D, I/O lines) with REQ, until a bus reset
    StatusByte,       // send bytes[0] as the status
    Messages,         // send `bytes` in the message-in phase instead of COMMAND COMPLETE, then leave the bus
    LeaveAndReturn,   // after `after` bytes, go to `phase` (sending `bytes` when it is an in phase) and come back
    StopData,         // end the data phase after `after` bytes
    ExtraData,        // after the last byte, send or ask for `count` bytes more (forever when count is max)
};

struct Fault {
    Point at;
    Misbehaviour what;
    std::size_t after = 0;
    std::size_t count = 0;
    std::uint8_t phase = 0;
    std::vector<std::uint8_t> bytes;
    bool used = false;
};

constexpr std::size_t kForever = std::numeric_limits<std::size_t>::max();

const char* to_string(Point point);
const char* to_string(Misbehaviour what);
// Parses the names above ("HoldReq", "DataIn"); false when there is no such name.
bool parse(const std::string& text, Point& point);
bool parse(const std::string& text, Misbehaviour& what);

}  // namespace bench
