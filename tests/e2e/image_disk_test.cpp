// Many reads and writes of random sizes and addresses against a disk backed by
// an image file, every block stamped with its address and a generation number
// so that misplaced or stale data cannot pass; the file is checked at the end.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>

#include "driver/miniport/ostrel.h"
#include "port/request.h"
#include "targets/block_store.h"
#include "targets/disk.h"
#include "world.h"

using namespace bench;

namespace {

constexpr std::uint32_t kBlocks = 4096;  // 2 MiB

void stamp(std::uint8_t* block, std::uint32_t lba, std::uint32_t generation)
{
    std::memcpy(block, &lba, 4);
    std::memcpy(block + 4, &generation, 4);
    for (std::size_t i = 8; i < kBlockSize; ++i) block[i] = static_cast<std::uint8_t>(lba * 31 + generation * 7 + i);
}

bool stamped(const std::uint8_t* block, std::uint32_t lba, std::uint32_t generation)
{
    std::uint8_t want[kBlockSize] = {};
    if (generation) stamp(want, lba, generation);
    return std::memcmp(block, want, kBlockSize) == 0;
}

struct TempImage {
    std::string path;
    TempImage()
    {
        char name[] = "/tmp/ostrel-image-XXXXXX";
        int fd = mkstemp(name);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(ftruncate(fd, kBlocks * kBlockSize), 0);
        close(fd);
        path = name;
    }
    ~TempImage() { std::remove(path.c_str()); }
};

TEST(ImageDisk, RandomReadsAndWritesMatchTheFileBlockForBlock)
{
    TempImage image;
    std::vector<std::uint32_t> generation(kBlocks, 0);
    {
        World world;
        world.add_target(0, std::make_unique<Disk>(std::make_unique<FileStore>(image.path, false)));
        ASSERT_EQ(world.load(DriverEntry), status::kSuccess);
        std::mt19937 random(20261211);
        for (std::uint32_t round = 1; round <= 160; ++round) {
            std::uint32_t blocks = std::uniform_int_distribution<std::uint32_t>(1, round % 16 ? 16 : 256)(random);
            std::uint32_t lba = std::uniform_int_distribution<std::uint32_t>(0, kBlocks - blocks)(random);
            bool write = random() % 2;
            auto r = write ? write10(0, 0, lba, static_cast<std::uint16_t>(blocks))
                           : read10(0, 0, lba, static_cast<std::uint16_t>(blocks));
            if (write)
                for (std::uint32_t b = 0; b < blocks; ++b) stamp(&r->data[b * kBlockSize], lba + b, round);
            Outcome o = world.execute(r->srb);
            ASSERT_EQ(o.srb_status, SRB_STATUS_SUCCESS) << "round " << round;
            for (std::uint32_t b = 0; b < blocks; ++b) {
                if (write)
                    generation[lba + b] = round;
                else
                    ASSERT_TRUE(stamped(&r->data[b * kBlockSize], lba + b, generation[lba + b]))
                        << "block " << lba + b << " in round " << round;
            }
        }
        // Past the end: CHECK CONDITION, and the file is not touched.
        auto beyond = write10(0, 0, kBlocks - 1, 2);
        EXPECT_EQ(world.execute(beyond->srb).srb_status, SRB_STATUS_ERROR);
        EXPECT_TRUE(world.port.violations().empty());
        EXPECT_TRUE(world.bus.violations().empty());
    }
    std::ifstream file(image.path, std::ios::binary);
    std::vector<std::uint8_t> block(kBlockSize);
    for (std::uint32_t lba = 0; lba < kBlocks; ++lba) {
        file.read(reinterpret_cast<char*>(block.data()), kBlockSize);
        ASSERT_TRUE(stamped(block.data(), lba, generation[lba])) << "file block " << lba;
    }
}

TEST(ImageDisk, ReadOnlyRefusesWritesWithDataProtect)
{
    TempImage image;
    World world;
    world.add_target(0, std::make_unique<Disk>(std::make_unique<FileStore>(image.path, true)));
    ASSERT_EQ(world.load(DriverEntry), status::kSuccess);
    auto w = write10(0, 0, 0, 1);
    w->data.assign(kBlockSize, 0xEE);
    EXPECT_EQ(world.execute(w->srb).srb_status, SRB_STATUS_ERROR);
    Request sense(0, 0, {0x03, 0, 0, 0, 18, 0}, SRB_FLAGS_DATA_IN, 18);
    EXPECT_EQ(world.execute(sense.srb).srb_status, SRB_STATUS_SUCCESS);
    EXPECT_EQ(sense.data[2], 0x07);   // DATA PROTECT
    EXPECT_EQ(sense.data[12], 0x27);  // write protected
}

TEST(ImageDisk, BadImagesAreNamed)
{
    EXPECT_THROW(FileStore("/nonexistent/ostrel.img", true), std::runtime_error);
    char name[] = "/tmp/ostrel-odd-XXXXXX";
    int fd = mkstemp(name);
    ASSERT_EQ(ftruncate(fd, 1000), 0);
    close(fd);
    try {
        FileStore odd(name, true);
        ADD_FAILURE() << "a 1000-byte image was taken";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("not a whole number of 512-byte blocks"), std::string::npos);
    }
    std::remove(name);
}

}  // namespace
