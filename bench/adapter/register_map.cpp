#include "register_map.h"

namespace bench {

const char* register_name(unsigned offset, bool write)
{
    static constexpr const char* kUnknown[kWindowLength] = {
        "reg0",  "reg1",  "reg2",  "reg3",  "reg4",  "reg5",  "reg6",  "reg7",  "reg8",  "reg9",  "reg10",
        "reg11", "reg12", "reg13", "reg14", "reg15", "reg16", "reg17", "reg18", "reg19", "reg20", "reg21",
        "reg22", "reg23", "reg24", "reg25", "reg26", "reg27", "reg28", "reg29", "reg30", "reg31"};
    if (offset >= kWindowLength) return "outside";
    const RegisterInfo& r = kAdapterRegisters[offset];
    const char* name = write ? r.write_name : r.read_name;
    if (!name) name = write ? r.read_name : r.write_name;
    return name ? name : kUnknown[offset];
}

}  // namespace bench
