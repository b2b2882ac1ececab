#include "signals.h"

namespace bench {

std::string describe_signals(Signals s)
{
    static constexpr struct {
        Signals bit;
        const char* name;
    } kNames[] = {{line::RST, "RST"}, {line::BSY, "BSY"}, {line::SEL, "SEL"}, {line::ATN, "ATN"},
                  {line::REQ, "REQ"}, {line::ACK, "ACK"}, {line::MSG, "MSG"}, {line::CD, "C/D"},
                  {line::IO, "I/O"},  {line::DBP, "DBP"}};
    std::string text;
    for (const auto& n : kNames) {
        if (!(s & n.bit)) continue;
        if (!text.empty()) text += '+';
        text += n.name;
    }
    return text.empty() ? "-" : text;
}

}  // namespace bench
