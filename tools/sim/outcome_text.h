// Small formatting helpers shared by the demo and the scenario runner.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace sim {

inline std::string hex_byte(unsigned v)
{
    char t[8];
    std::snprintf(t, sizeof t, "0x%02X", v & 0xFF);
    return t;
}

// FNV-1a, 64 bits: a stable fingerprint of data for replayable output.
inline std::string fnv1a(std::span<const std::uint8_t> data)
{
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (std::uint8_t b : data) h = (h ^ b) * 0x100000001B3ull;
    char t[24];
    std::snprintf(t, sizeof t, "%016llx", static_cast<unsigned long long>(h));
    return t;
}

}  // namespace sim
