// What the disk answers to each command, apart from the bus.
#include <gtest/gtest.h>

#include "targets/block_store.h"
#include "targets/disk.h"
#include "targets/logical_units.h"

using namespace bench;

namespace {

struct Answer {
    const char* name;
    std::vector<std::uint8_t> cdb;
    std::uint8_t status;
    Sense sense;
    std::size_t data_in;
    std::size_t data_out;
};

class DiskCommand : public ::testing::TestWithParam<Answer> {};

TEST_P(DiskCommand, AnswersWithStatusSenseAndData)
{
    const Answer& a = GetParam();
    Disk disk(std::make_unique<MemoryStore>(1000));
    Exchange e = disk.begin(0, a.cdb);
    EXPECT_EQ(e.data_in.size(), a.data_in);
    EXPECT_EQ(e.data_out_length, a.data_out);
    std::vector<std::uint8_t> out(e.data_out_length, 0xAB);
    EXPECT_EQ(disk.finish(out), a.status);
    EXPECT_EQ(disk.sense().key, a.sense.key);
    EXPECT_EQ(disk.sense().asc, a.sense.asc);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, DiskCommand,
    ::testing::Values(
        Answer{"TestUnitReady", {0x00, 0, 0, 0, 0, 0}, 0, sense::kNone, 0, 0},
        Answer{"Inquiry", {0x12, 0, 0, 0, 36, 0}, 0, sense::kNone, 36, 0},
        Answer{"InquiryShortAllocation", {0x12, 0, 0, 0, 5, 0}, 0, sense::kNone, 5, 0},
        Answer{"InquiryVitalData", {0x12, 1, 0x80, 0, 36, 0}, 2, sense::kInvalidField, 0, 0},
        Answer{"ReadCapacity", {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, sense::kNone, 8, 0},
        Answer{"ReadCapacityLbaWithoutPmi", {0x25, 0, 0, 0, 0, 5, 0, 0, 0, 0}, 2, sense::kInvalidField, 0, 0},
        Answer{"Read6ZeroMeans256", {0x08, 0, 0, 0, 0, 0}, 0, sense::kNone, 256 * 512, 0},
        Answer{"Read10", {0x28, 0, 0, 0, 0, 10, 0, 0, 4, 0}, 0, sense::kNone, 4 * 512, 0},
        Answer{"Read10PastTheEnd", {0x28, 0, 0, 0, 0x03, 0xE7, 0, 0, 2, 0}, 2, sense::kLbaOutOfRange, 0, 0},
        Answer{"Write6", {0x0A, 0, 0, 9, 2, 0}, 0, sense::kNone, 0, 2 * 512},
        Answer{"Write10PastTheEnd", {0x2A, 0, 0, 0, 0x03, 0xE8, 0, 0, 1, 0}, 2, sense::kLbaOutOfRange, 0, 0},
        Answer{"ModeSenseAllPages", {0x1A, 0, 0x3F, 0, 255, 0}, 0, sense::kNone, 32, 0},
        Answer{"ModeSenseUnknownPage", {0x1A, 0, 0x19, 0, 255, 0}, 2, sense::kInvalidField, 0, 0},
        Answer{"StartStopUnit", {0x1B, 0, 0, 0, 1, 0}, 0, sense::kNone, 0, 0},
        Answer{"SynchronizeCache", {0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0, sense::kNone, 0, 0},
        Answer{"UnknownOpcode", {0xC7, 0, 0, 0, 0, 0}, 2, sense::kInvalidOpcode, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Disk, RequestSenseReportsTheLastErrorOnce)
{
    Disk disk(std::make_unique<MemoryStore>(8));
    disk.begin(0, std::vector<std::uint8_t>{0x28, 0, 0, 0, 0, 8, 0, 0, 1, 0});
    EXPECT_EQ(disk.finish({}), 0x02);
    std::vector<std::uint8_t> cdb{0x03, 0, 0, 0, 18, 0};
    Exchange e = disk.begin(0, cdb);
    ASSERT_EQ(e.data_in.size(), 18u);
    EXPECT_EQ(e.data_in[0], 0x70);
    EXPECT_EQ(e.data_in[2], 0x05);
    EXPECT_EQ(e.data_in[12], 0x21);
    e = disk.begin(0, cdb);
    EXPECT_EQ(e.data_in[2], 0x00);  // reported once
}

TEST(Disk, WritesLandOnlyWhenAllTheirDataArrived)
{
    Disk disk(std::make_unique<MemoryStore>(8));
    disk.begin(0, std::vector<std::uint8_t>{0x2A, 0, 0, 0, 0, 1, 0, 0, 1, 0});
    EXPECT_EQ(disk.finish(std::vector<std::uint8_t>(100, 0x77)), 0x02);  // short
    disk.begin(0, std::vector<std::uint8_t>{0x2A, 0, 0, 0, 0, 1, 0, 0, 1, 0});
    EXPECT_EQ(disk.finish(std::vector<std::uint8_t>(512, 0x77)), 0x00);
    Exchange e = disk.begin(0, std::vector<std::uint8_t>{0x28, 0, 0, 0, 0, 1, 0, 0, 1, 0});
    EXPECT_EQ(e.data_in, std::vector<std::uint8_t>(512, 0x77));
}

TEST(LogicalUnits, AnAbsentUnitSaysSoToInquiryAndFailsTheRest)
{
    LogicalUnits units;
    units.add(0, std::make_unique<Disk>(std::make_unique<MemoryStore>(8)));
    Exchange e = units.begin(3, std::vector<std::uint8_t>{0x12, 0, 0, 0, 36, 0});
    ASSERT_FALSE(e.data_in.empty());
    EXPECT_EQ(e.data_in[0], 0x7F);
    EXPECT_EQ(units.finish({}), 0x00);
    units.begin(3, std::vector<std::uint8_t>{0x00, 0, 0, 0, 0, 0});
    EXPECT_EQ(units.finish({}), 0x02);
}

}  // namespace
