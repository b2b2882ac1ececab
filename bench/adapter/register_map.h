// The adapter's window as the port driver's verifier sees it: which offsets
// exist, in which direction and width, and what they are called.
#pragma once

#include <array>
#include <cstdint>

namespace bench {

enum Access : std::uint8_t {
    kRead8 = 1,
    kWrite8 = 2,
    kRead32 = 4,
};

struct RegisterInfo {
    const char* read_name;   // null: no read at this offset
    const char* write_name;  // null: no write at this offset
    std::uint8_t access;
};

constexpr std::size_t kWindowLength = 32;

constexpr std::array<RegisterInfo, kWindowLength> kAdapterRegisters = [] {
    std::array<RegisterInfo, kWindowLength> r{};
    r[0] = {"CSD", "ODR", kRead8 | kWrite8};
    r[1] = {"ICR", "ICR", kRead8 | kWrite8};
    r[2] = {"MR", "MR", kRead8 | kWrite8};
    r[3] = {"TCR", "TCR", kRead8 | kWrite8};
    r[4] = {"CSBS", "SER", kRead8 | kWrite8};
    r[7] = {"RPI", "SDIR", kRead8 | kWrite8};
    r[8] = {"BUFFER", nullptr, kRead32};
    r[9] = {"BCR", "BCR", kRead8 | kWrite8};
    r[10] = {"BCNT_LO", "BCNT_LO", kRead8 | kWrite8};
    r[12] = {"BCNT_HI", "BCNT_HI", kRead8 | kWrite8};
    r[13] = {"BUFCTL", "BUFCTL", kRead8 | kWrite8};
    r[26] = {nullptr, "BUFACC", kWrite8};
    return r;
}();

// The offsets that have an access of this kind, as a bit mask.
constexpr std::uint32_t offsets_with(Access access)
{
    std::uint32_t mask = 0;
    for (unsigned i = 0; i < kWindowLength; ++i)
        if (kAdapterRegisters[i].access & access) mask |= 1u << i;
    return mask;
}

// Register name for a trace line; "reg5" and the like for offsets that do not exist.
const char* register_name(unsigned offset, bool write);

}  // namespace bench
