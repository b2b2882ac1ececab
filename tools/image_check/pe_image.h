// Reads the headers of a 32-bit PE image and checks it as the kernel's loader
// would check a driver.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace imagecheck {

struct PeImage {
    std::uint16_t machine = 0;
    std::uint16_t characteristics = 0;
    std::uint16_t magic = 0;
    std::uint16_t subsystem = 0;
    std::uint16_t os_version[2] = {};
    std::uint16_t subsystem_version[2] = {};
    std::uint32_t entry_point = 0;
    std::uint32_t image_base = 0;
    std::uint32_t checksum = 0;           // as stored
    std::uint32_t computed_checksum = 0;  // as the loader computes it
    std::uint32_t relocation_size = 0;
    std::vector<std::string> import_dlls;
    std::vector<std::string> imports;  // names imported, from every DLL
};

constexpr std::uint16_t kMachineI386 = 0x14C;
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kSubsystemNative = 1;
constexpr std::uint16_t kCharacteristicRelocsStripped = 0x0001;
constexpr std::uint16_t kCharacteristicExecutable = 0x0002;
constexpr std::uint16_t kCharacteristicDll = 0x2000;

// The PE checksum: the file summed as 16-bit words with the CheckSum field
// skipped, carries folded back in, plus the file's length.
std::uint32_t pe_checksum(std::span<const std::uint8_t> file, std::size_t checksum_offset);

// Throws std::runtime_error naming what is malformed.
PeImage read_pe_image(std::span<const std::uint8_t> file);

// What makes the image unfit to load as a driver below the SCSI port driver;
// empty when it is fit. `expected_imports`, when given, is the exact set of
// names the image may import.
std::vector<std::string> check_driver_image(const PeImage& image, const std::vector<std::string>* expected_imports);

}  // namespace imagecheck
