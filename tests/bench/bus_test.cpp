#include <gtest/gtest.h>

#include "bus/scsi_bus.h"

using namespace bench;

namespace {

struct Bus {
    Scheduler scheduler;
    ScsiBus bus{scheduler};
    ScsiBus::PartyId initiator = bus.attach("initiator");
    ScsiBus::PartyId target = bus.attach("target");
};

TEST(ScsiBus, WhatAnyoneSeesIsTheWiredOr)
{
    Bus b;
    b.bus.drive(b.initiator, line::SEL | line::ATN);
    b.bus.drive_data(b.initiator, true, 0x80);
    b.bus.drive_data(b.target, true, 0x04);
    b.bus.drive(b.target, line::BSY);
    EXPECT_EQ(b.bus.signals(), line::SEL | line::ATN | line::BSY);
    EXPECT_EQ(b.bus.data(), 0x84);
    b.bus.release(b.initiator);
    EXPECT_EQ(b.bus.signals(), line::BSY);
    EXPECT_EQ(b.bus.data(), 0x04);
}

TEST(ScsiBus, WhenFiresOnceAtTheFirstStateThatHolds)
{
    Bus b;
    int fired = 0;
    b.bus.when([&] { return (b.bus.signals() & line::ACK) != 0; }, [&] { ++fired; });
    b.scheduler.advance(10);
    EXPECT_EQ(fired, 0);
    b.bus.drive(b.initiator, line::ACK);
    b.scheduler.advance(10);
    b.bus.drive(b.initiator, 0);
    b.bus.drive(b.initiator, line::ACK);
    b.scheduler.advance(10);
    EXPECT_EQ(fired, 1);
}

TEST(ScsiBusAnalyser, FlagsAckWithoutReqAndDataChangedUnderAck)
{
    Bus b;
    b.bus.drive(b.target, line::BSY | line::REQ);
    b.bus.drive_data(b.initiator, true, 0x12);
    b.bus.drive(b.initiator, line::ACK);        // a proper handshake
    b.bus.drive(b.target, line::BSY);
    b.bus.drive(b.initiator, 0);
    EXPECT_TRUE(b.bus.violations().empty());

    b.bus.drive(b.initiator, line::ACK);        // no REQ
    b.bus.drive_data(b.initiator, true, 0x34);  // and the data moves under ACK
    ASSERT_EQ(b.bus.violations().size(), 2u);
    EXPECT_EQ(b.bus.violations()[0].what, "ACK asserted without REQ");
    EXPECT_EQ(b.bus.violations()[1].what, "data changed while ACK was asserted");
}

TEST(ScsiBusAnalyser, ResetEndsEveryHandshake)
{
    Bus b;
    b.bus.drive(b.initiator, line::RST | line::ACK);
    b.bus.drive_data(b.target, true, 0x55);
    EXPECT_TRUE(b.bus.violations().empty());
}

}  // namespace
