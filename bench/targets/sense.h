// Sense data as named (key, ASC, ASCQ) triplets, built in one place.
#pragma once

#include <array>
#include <cstdint>

namespace bench {

struct Sense {
    std::uint8_t key = 0, asc = 0, ascq = 0;
};

namespace sense {
constexpr Sense kNone{0x0, 0x00, 0x00};
constexpr Sense kInvalidOpcode{0x5, 0x20, 0x00};      // ILLEGAL REQUEST: invalid command operation code
constexpr Sense kLbaOutOfRange{0x5, 0x21, 0x00};      // ILLEGAL REQUEST: logical block address out of range
constexpr Sense kInvalidField{0x5, 0x24, 0x00};       // ILLEGAL REQUEST: invalid field in CDB
constexpr Sense kLunNotSupported{0x5, 0x25, 0x00};    // ILLEGAL REQUEST: logical unit not supported
constexpr Sense kWriteProtected{0x7, 0x27, 0x00};     // DATA PROTECT: write protected
constexpr Sense kIncompleteData{0xB, 0x00, 0x00};     // ABORTED COMMAND: the data phase ended early
}  // namespace sense

// Fixed-format sense data, 18 bytes.
inline std::array<std::uint8_t, 18> fixed_sense(Sense s)
{
    std::array<std::uint8_t, 18> d{};
    d[0] = 0x70;  // current error, fixed format
    d[2] = s.key;
    d[7] = 10;  // additional length
    d[12] = s.asc;
    d[13] = s.ascq;
    return d;
}

namespace scsi_status {
constexpr std::uint8_t kGood = 0x00;
constexpr std::uint8_t kCheckCondition = 0x02;
}  // namespace scsi_status

}  // namespace bench
