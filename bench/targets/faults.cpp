#include "faults.h"

#include <array>
#include <utility>

namespace bench {

namespace {
constexpr std::array<std::pair<Point, const char*>, 7> kPoints{{{Point::Selection, "Selection"},
                                                                {Point::MessageOut, "MessageOut"},
                                                                {Point::Command, "Command"},
                                                                {Point::DataIn, "DataIn"},
                                                                {Point::DataOut, "DataOut"},
                                                                {Point::Status, "Status"},
                                                                {Point::MessageIn, "MessageIn"}}};
constexpr std::array<std::pair<Misbehaviour, const char*>, 11> kActions{
    {{Misbehaviour::IgnoreSelection, "IgnoreSelection"},
     {Misbehaviour::SkipMessageOut, "SkipMessageOut"},
     {Misbehaviour::HoldReq, "HoldReq"},
     {Misbehaviour::DropBsy, "DropBsy"},
     {Misbehaviour::HoldBsy, "HoldBsy"},
     {Misbehaviour::ShowPhase, "ShowPhase"},
     {Misbehaviour::StatusByte, "StatusByte"},
     {Misbehaviour::Messages, "Messages"},
     {Misbehaviour::LeaveAndReturn, "LeaveAndReturn"},
     {Misbehaviour::StopData, "StopData"},
     {Misbehaviour::ExtraData, "ExtraData"}}};

template <typename Table, typename T>
const char* name_of(const Table& table, T value)
{
    for (const auto& [v, name] : table)
        if (v == value) return name;
    return "?";
}

template <typename Table, typename T>
bool value_of(const Table& table, const std::string& text, T& value)
{
    for (const auto& [v, name] : table)
        if (text == name) {
            value = v;
            return true;
        }
    return false;
}
}  // namespace

const char* to_string(Point point) { return name_of(kPoints, point); }
const char* to_string(Misbehaviour what) { return name_of(kActions, what); }
bool parse(const std::string& text, Point& point) { return value_of(kPoints, text, point); }
bool parse(const std::string& text, Misbehaviour& what) { return value_of(kActions, text, what); }

}  // namespace bench
