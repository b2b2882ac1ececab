#include <gtest/gtest.h>

#include "adapter/adapter.h"

using namespace bench;

namespace {

struct Model {
    Scheduler scheduler;
    ScsiBus bus{scheduler};
    Adapter adapter{bus};
    ScsiBus::PartyId target = bus.attach("target 0");
};

TEST(CoreModel, IcrDrivesTheInitiatorsLinesAndReadsThemBack)
{
    Model m;
    m.adapter.write8(1, 0x80);
    EXPECT_EQ(m.bus.signals(), line::RST);
    EXPECT_EQ(m.adapter.read8(4) & 0x80, 0x80);  // CSBS sees RST
    m.adapter.write8(1, 0x00);
    EXPECT_EQ(m.bus.signals(), 0);

    m.adapter.write8(0, 0x81);
    m.adapter.write8(1, 0x0F);  // BSY SEL ATN DATA BUS
    EXPECT_EQ(m.bus.signals(), line::BSY | line::SEL | line::ATN);
    EXPECT_EQ(m.adapter.read8(0), 0x81);
    EXPECT_EQ(m.adapter.read8(1), 0x0F);
    m.adapter.write8(1, 0x60);  // AIP and LA are not the host's to write
    EXPECT_EQ(m.adapter.read8(1), 0x00);
}

TEST(CoreModel, CsbsIsTheWiredOrOfEveryParty)
{
    Model m;
    m.bus.drive(m.target, line::BSY | line::REQ | line::CD);
    EXPECT_EQ(m.adapter.read8(4), 0x68);
    m.adapter.write8(1, 0x10);  // ACK is not a status bit
    EXPECT_EQ(m.adapter.read8(4), 0x68);
}

TEST(CoreModel, StopsDrivingDataWhileTheTargetDrivesIo)
{
    Model m;
    m.adapter.write8(0, 0xAA);
    m.adapter.write8(1, 0x01);
    EXPECT_EQ(m.bus.data(), 0xAA);
    m.bus.drive(m.target, line::BSY | line::IO);
    m.bus.drive_data(m.target, true, 0x11);
    m.scheduler.settle();
    EXPECT_EQ(m.bus.data(), 0x11);
}

TEST(BoardModel, HeldInResetWhileTheResetBitIsWritten)
{
    Model m;
    m.adapter.write8(9, 0x50);
    m.adapter.write8(2, 0x0E);
    m.adapter.write8(9, 0x80);
    EXPECT_TRUE(m.adapter.board().in_reset());
    EXPECT_EQ(m.adapter.read8(9), 0x00);
    EXPECT_EQ(m.adapter.read8(2), 0x00);
    m.adapter.write8(2, 0x0E);  // ignored by a core held in reset
    m.adapter.write8(9, 0x50);
    EXPECT_FALSE(m.adapter.board().in_reset());
    EXPECT_EQ(m.adapter.read8(2), 0x00);
    // Idle: latched enables, no whole block in the buffer, no receive ended.
    EXPECT_EQ(m.adapter.read8(9), 0x50 | bcr::BUFFER_BUSY);
}

TEST(BoardModel, InterruptPendingUntilTheCoreFlagIsReset)
{
    Model m;
    EXPECT_EQ(m.adapter.read8(9) & bcr::INT_PENDING, 0);
    m.adapter.raise_interrupt();
    EXPECT_TRUE(m.adapter.interrupt_line());
    EXPECT_EQ(m.adapter.read8(9) & bcr::INT_PENDING, bcr::INT_PENDING);
    (void)m.adapter.read8(7);
    EXPECT_FALSE(m.adapter.interrupt_line());
    EXPECT_EQ(m.adapter.read8(9) & bcr::INT_PENDING, 0);
}

TEST(BoardModel, BlockCounterTakesTwelveBits)
{
    Model m;
    m.adapter.write8(10, 0x01);
    m.adapter.write8(12, 0x10);
    EXPECT_EQ(m.adapter.board().block_count(), 0x101);
    m.adapter.write8(12, 0xF5);  // the low nibble is not part of the count
    EXPECT_EQ(m.adapter.board().block_count(), 0xF01);
}

}  // namespace
