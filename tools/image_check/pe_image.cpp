#include "pe_image.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <stdexcept>

namespace imagecheck {

namespace {

struct Reader {
    std::span<const std::uint8_t> file;

    void need(std::size_t offset, std::size_t length, const char* what) const
    {
        if (offset > file.size() || length > file.size() - offset)
            throw std::runtime_error(std::string("image too short for its ") + what);
    }
    std::uint16_t u16(std::size_t offset, const char* what) const
    {
        need(offset, 2, what);
        return static_cast<std::uint16_t>(file[offset] | file[offset + 1] << 8);
    }
    std::uint32_t u32(std::size_t offset, const char* what) const
    {
        need(offset, 4, what);
        return static_cast<std::uint32_t>(file[offset]) | file[offset + 1] << 8 | file[offset + 2] << 16 |
               static_cast<std::uint32_t>(file[offset + 3]) << 24;
    }
    std::string text(std::size_t offset, const char* what) const
    {
        std::string s;
        for (std::size_t i = offset;; ++i) {
            need(i, 1, what);
            if (file[i] == 0) return s;
            s += static_cast<char>(file[i]);
            if (s.size() > 256) throw std::runtime_error(std::string("unterminated ") + what);
        }
    }
};

struct Section {
    std::uint32_t rva, virtual_size, raw_offset, raw_size;
};

std::size_t file_offset(const std::vector<Section>& sections, std::uint32_t rva, const char* what)
{
    for (const Section& s : sections) {
        std::uint32_t span = std::max(s.virtual_size, s.raw_size);
        if (rva >= s.rva && rva - s.rva < span && rva - s.rva < s.raw_size) return s.raw_offset + (rva - s.rva);
    }
    throw std::runtime_error(std::string(what) + " lies in no section of the file");
}

std::string upper(std::string s)
{
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

std::uint32_t pe_checksum(std::span<const std::uint8_t> file, std::size_t checksum_offset)
{
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < file.size(); i += 2) {
        if (i == checksum_offset || i == checksum_offset + 2) continue;
        std::uint32_t word = file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + file.size());
}

PeImage read_pe_image(std::span<const std::uint8_t> file)
{
    Reader r{file};
    PeImage image;
    if (r.u16(0, "DOS header") != 0x5A4D) throw std::runtime_error("no MZ signature");
    std::uint32_t pe = r.u32(0x3C, "DOS header");
    if (r.u32(pe, "PE signature") != 0x00004550) throw std::runtime_error("no PE signature at e_lfanew");
    std::size_t coff = pe + 4;
    image.machine = r.u16(coff, "file header");
    std::uint16_t section_count = r.u16(coff + 2, "file header");
    std::uint16_t optional_size = r.u16(coff + 16, "file header");
    image.characteristics = r.u16(coff + 18, "file header");

    std::size_t opt = coff + 20;
    image.magic = r.u16(opt, "optional header");
    if (image.magic != kPe32Magic) throw std::runtime_error("not a PE32 optional header");
    if (optional_size < 224) throw std::runtime_error("optional header too short for its data directories");
    image.entry_point = r.u32(opt + 16, "optional header");
    image.image_base = r.u32(opt + 28, "optional header");
    image.os_version[0] = r.u16(opt + 40, "optional header");
    image.os_version[1] = r.u16(opt + 42, "optional header");
    image.subsystem_version[0] = r.u16(opt + 48, "optional header");
    image.subsystem_version[1] = r.u16(opt + 50, "optional header");
    std::size_t checksum_offset = opt + 64;
    image.checksum = r.u32(checksum_offset, "optional header");
    image.subsystem = r.u16(opt + 68, "optional header");
    std::uint32_t directories = r.u32(opt + 92, "optional header");
    std::uint32_t import_rva = directories > 1 ? r.u32(opt + 104, "import directory") : 0;
    image.relocation_size = directories > 5 ? r.u32(opt + 136 + 4, "relocation directory") : 0;
    image.computed_checksum = pe_checksum(file, checksum_offset);

    std::vector<Section> sections;
    std::size_t table = opt + optional_size;
    for (unsigned i = 0; i < section_count; ++i) {
        std::size_t s = table + 40 * i;
        sections.push_back(Section{r.u32(s + 12, "section table"), r.u32(s + 8, "section table"),
                                   r.u32(s + 20, "section table"), r.u32(s + 16, "section table")});
    }

    if (import_rva == 0) return image;
    std::size_t descriptor = file_offset(sections, import_rva, "import table");
    for (;; descriptor += 20) {
        std::uint32_t lookup = r.u32(descriptor, "import descriptor");
        std::uint32_t name = r.u32(descriptor + 12, "import descriptor");
        std::uint32_t thunks = r.u32(descriptor + 16, "import descriptor");
        if (lookup == 0 && name == 0 && thunks == 0) break;
        image.import_dlls.push_back(r.text(file_offset(sections, name, "import DLL name"), "import DLL name"));
        std::size_t thunk = file_offset(sections, lookup ? lookup : thunks, "import lookup table");
        for (;; thunk += 4) {
            std::uint32_t entry = r.u32(thunk, "import lookup table");
            if (entry == 0) break;
            if (entry & 0x80000000u) {
                std::string ordinal = "#";
                ordinal += std::to_string(entry & 0xFFFF);
                image.imports.push_back(ordinal);
                continue;
            }
            image.imports.push_back(r.text(file_offset(sections, entry, "import name") + 2, "import name"));
        }
    }
    return image;
}

std::vector<std::string> check_driver_image(const PeImage& image, const std::vector<std::string>* expected_imports)
{
    std::vector<std::string> problems;
    auto expect = [&](bool ok, std::string what) {
        if (!ok) problems.push_back(std::move(what));
    };
    expect(image.machine == kMachineI386, "machine is not i386 (0x14C)");
    expect(image.subsystem == kSubsystemNative, "subsystem is not native (1)");
    expect(image.subsystem_version[0] == 4 && image.subsystem_version[1] == 0, "subsystem version is not 4.0");
    expect(image.os_version[0] == 4 && image.os_version[1] == 0, "operating system version is not 4.0");
    expect(!(image.characteristics & kCharacteristicDll), "the DLL bit is set");
    expect(image.characteristics & kCharacteristicExecutable, "not marked executable");
    expect(!(image.characteristics & kCharacteristicRelocsStripped), "relocations are stripped");
    expect(image.relocation_size > 0, "no base relocations");
    expect(image.entry_point != 0, "no entry point");
    expect(image.checksum == image.computed_checksum, "checksum does not match the file");
    expect(image.import_dlls.size() == 1 && upper(image.import_dlls[0]) == "SCSIPORT.SYS",
           "imports come from somewhere other than SCSIPORT.SYS alone");
    if (expected_imports) {
        std::set<std::string> have(image.imports.begin(), image.imports.end());
        std::set<std::string> want(expected_imports->begin(), expected_imports->end());
        for (const std::string& name : have)
            if (!want.count(name)) problems.push_back("imports " + name + ", which the driver does not call");
        for (const std::string& name : want)
            if (!have.count(name)) problems.push_back("does not import " + name);
        expect(have.size() == image.imports.size(), "a name is imported twice");
    }
    return problems;
}

}  // namespace imagecheck
