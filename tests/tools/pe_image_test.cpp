#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "image_check/pe_image.h"

using namespace imagecheck;

namespace {

// A minimal driver-shaped PE32: one section holding the import table of
// SCSIPORT.SYS, a relocation directory and a correct checksum.
class TinyImage {
public:
    static constexpr std::size_t kOpt = 0x58;
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(0x400, 0);

    TinyImage()
    {
        put16(0, 0x5A4D);
        put32(0x3C, 0x40);
        put32(0x40, 0x00004550);
        put16(0x44, kMachineI386);
        put16(0x46, 1);               // one section
        put16(0x54, 224);             // optional header size
        put16(0x56, 0x0102);          // executable, 32-bit
        put16(kOpt, kPe32Magic);
        put32(kOpt + 16, 0x1000);     // entry point
        put32(kOpt + 28, 0x10000);    // image base
        put16(kOpt + 40, 4);          // OS version 4.0
        put16(kOpt + 48, 4);          // subsystem version 4.0
        put16(kOpt + 68, kSubsystemNative);
        put32(kOpt + 92, 16);         // data directories
        put32(kOpt + 104, 0x1000);    // import table
        put32(kOpt + 108, 40);
        put32(kOpt + 136, 0x1100);    // base relocations
        put32(kOpt + 140, 12);
        std::size_t sec = kOpt + 224;
        std::memcpy(&bytes[sec], ".idata", 6);
        put32(sec + 8, 0x200);
        put32(sec + 12, 0x1000);
        put32(sec + 16, 0x200);
        put32(sec + 20, 0x200);
        // import descriptor at RVA 0x1000 (file 0x200)
        put32(0x200, 0x1040);
        put32(0x200 + 12, 0x1080);
        put32(0x200 + 16, 0x1060);
        for (std::size_t table : {0x240u, 0x260u}) {
            put32(table, 0x10A0);
            put32(table + 4, 0x10C0);
        }
        std::strcpy(reinterpret_cast<char*>(&bytes[0x280]), "SCSIPORT.SYS");
        std::strcpy(reinterpret_cast<char*>(&bytes[0x2A2]), "ScsiPortStallExecution");
        std::strcpy(reinterpret_cast<char*>(&bytes[0x2C2]), "ScsiPortNotification");
        seal();
    }
    void put16(std::size_t at, std::uint16_t v) { bytes[at] = v & 0xFF, bytes[at + 1] = v >> 8; }
    void put32(std::size_t at, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) bytes[at + i] = (v >> (8 * i)) & 0xFF;
    }
    void seal() { put32(kOpt + 64, pe_checksum(bytes, kOpt + 64)); }
    std::vector<std::string> problems(const std::vector<std::string>* imports = nullptr) const
    {
        return check_driver_image(read_pe_image(bytes), imports);
    }
};

TEST(PeChecksum, SumsWordsFoldsCarriesAndAddsTheLength)
{
    std::vector<std::uint8_t> file{0x01, 0x00, 0x02, 0x00, 0xAA, 0xBB, 0xCC, 0xDD};
    EXPECT_EQ(pe_checksum(file, 4), 3u + 8u);  // the field at 4..7 is skipped
    std::vector<std::uint8_t> carry{0xFF, 0xFF, 0x02, 0x00, 0, 0, 0, 0};
    EXPECT_EQ(pe_checksum(carry, 4), 0x0002u + 8u);  // 0x10001 folds to 0x0002
}

TEST(DriverImageCheck, AcceptsAWellFormedImageAndListsItsImports)
{
    TinyImage image;
    PeImage pe = read_pe_image(image.bytes);
    EXPECT_EQ(pe.imports, (std::vector<std::string>{"ScsiPortStallExecution", "ScsiPortNotification"}));
    std::vector<std::string> both{"ScsiPortNotification", "ScsiPortStallExecution"};
    EXPECT_TRUE(image.problems(&both).empty());
}

struct Fault {
    const char* name;
    void (*apply)(TinyImage&);
    const char* problem;
};

class DriverImageFault : public ::testing::TestWithParam<Fault> {};

TEST_P(DriverImageFault, IsNamed)
{
    TinyImage image;
    GetParam().apply(image);
    std::vector<std::string> found = image.problems();
    ASSERT_EQ(found.size(), 1u) << GetParam().name;
    EXPECT_NE(found[0].find(GetParam().problem), std::string::npos) << found[0];
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DriverImageFault,
    ::testing::Values(
        Fault{"Amd64", [](TinyImage& i) { i.put16(0x44, 0x8664), i.seal(); }, "machine"},
        Fault{"Console", [](TinyImage& i) { i.put16(TinyImage::kOpt + 68, 3), i.seal(); }, "not native"},
        Fault{"Dll", [](TinyImage& i) { i.put16(0x56, 0x2102), i.seal(); }, "DLL bit"},
        Fault{"NoRelocations", [](TinyImage& i) { i.put32(TinyImage::kOpt + 140, 0), i.seal(); }, "relocations"},
        Fault{"OldSubsystem", [](TinyImage& i) { i.put16(TinyImage::kOpt + 48, 3), i.seal(); }, "subsystem version"},
        Fault{"StaleChecksum", [](TinyImage& i) { i.bytes[0x3F0] = 1; }, "checksum"},
        Fault{"OtherDll", [](TinyImage& i) { std::memcpy(&i.bytes[0x280], "HAL.DLL\0", 8), i.seal(); },
              "SCSIPORT.SYS alone"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DriverImageCheck, NamesImportsTheDriverDoesNotCallAndOnesItLacks)
{
    TinyImage image;
    std::vector<std::string> calls{"ScsiPortStallExecution", "ScsiPortReadPortUchar"};
    std::vector<std::string> found = image.problems(&calls);
    EXPECT_EQ(found, (std::vector<std::string>{"imports ScsiPortNotification, which the driver does not call",
                                               "does not import ScsiPortReadPortUchar"}));
}

TEST(DriverImageCheck, RefusesATruncatedFileByName)
{
    TinyImage image;
    image.bytes.resize(0x100);
    EXPECT_THROW(
        {
            try {
                read_pe_image(image.bytes);
            } catch (const std::runtime_error& e) {
                EXPECT_NE(std::string(e.what()).find("image too short for its section table"), std::string::npos) << e.what();
                throw;
            }
        },
        std::runtime_error);
}

}  // namespace
