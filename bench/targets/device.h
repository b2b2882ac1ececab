// What a SCSI device answers, apart from how it talks on the bus: a command
// becomes a data exchange and a status byte. The bus story carries it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace bench {

struct Exchange {
    enum class Direction { None, In, Out };
    Direction direction = Direction::None;
    std::vector<std::uint8_t> data_in;  // what the target sends, for In
    std::size_t data_out_length = 0;    // what the target takes, for Out
};

class ScsiDevice {
public:
    virtual ~ScsiDevice() = default;
    // The command has arrived: what moves.
    virtual Exchange begin(std::uint8_t lun, std::span<const std::uint8_t> cdb) = 0;
    // The data phase is over (with the bytes taken, for Out): the status byte.
    virtual std::uint8_t finish(std::span<const std::uint8_t> data_out) = 0;
};

// The length of a CDB by its group code.
inline std::size_t cdb_length(std::uint8_t opcode)
{
    switch (opcode >> 5) {
    case 0: return 6;
    case 1:
    case 2:
    case 3: return 10;
    case 4: return 16;
    case 5: return 12;
    default: return 6;  // vendor specific groups: a 6-byte CDB
    }
}

}  // namespace bench
