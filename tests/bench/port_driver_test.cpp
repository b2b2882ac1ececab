#include <gtest/gtest.h>

#include "adapter/scripted_registers.h"
#include "port/port_driver.h"

using bench::PortDriver;
using bench::ScriptedRegisters;
using bench::Violation;

namespace {

struct Fixture {
    bench::Scheduler scheduler;
    ScriptedRegisters regs;
    PortDriver port{scheduler};
    PUCHAR base = port.map(regs, 0xC000);
};

std::vector<Violation::Kind> kinds(const PortDriver& port)
{
    std::vector<Violation::Kind> out;
    for (const Violation& v : port.violations()) out.push_back(v.kind);
    return out;
}

TEST(PortDriverClock, StallsAdvanceByMicrosecondsAndAccessesByTheAccessTime)
{
    Fixture f;
    f.port.set_access_time(250);
    ScsiPortStallExecution(7);
    EXPECT_EQ(f.port.now(), 7000u);
    (void)ScsiPortReadPortUchar(f.base + 4);
    ScsiPortWritePortUchar(f.base + 1, 0x80);
    EXPECT_EQ(f.port.now(), 7500u);
    ULONG words[3];
    ScsiPortReadPortBufferUlong(reinterpret_cast<PULONG>(f.base + 8), words, 3);
    EXPECT_EQ(f.port.now(), 8250u);  // each word is a port cycle
    EXPECT_EQ(f.port.reads(4), 1u);
    EXPECT_EQ(f.port.writes(1), 1u);
    EXPECT_EQ(f.port.reads(8), 3u);
}

TEST(PortDriverClock, EventsDueRunBeforeTheAccessReturns)
{
    Fixture f;
    f.regs.set(4, 0x00);
    f.scheduler.at(100, [&] { f.regs.set(4, 0x40); });
    f.port.set_access_time(100);
    EXPECT_EQ(ScsiPortReadPortUchar(f.base + 4), 0x40);
}

TEST(PortDriverVerifier, RecordsEachBreachOfTheContract)
{
    Fixture f;
    ScsiPortStallExecution(999);
    EXPECT_TRUE(f.port.violations().empty());

    ScsiPortStallExecution(1000);
    (void)ScsiPortReadPortUchar(f.base + 32);  // past the window
    (void)ScsiPortReadPortUchar(f.base + 5);   // no register there
    (void)ScsiPortReadPortUchar(f.base + 8);   // the buffer port is read as words
    ULONG word;
    ScsiPortReadPortBufferUlong(reinterpret_cast<PULONG>(f.base + 9), &word, 1);  // a byte register
    (void)ScsiPortReadPortUchar(f.base + 26);                                      // write only
    ScsiPortWritePortUchar(f.base + 8, 0);                                         // read only

    using K = Violation::Kind;
    EXPECT_EQ(kinds(f.port), (std::vector<K>{K::LongStall, K::OutsideWindow, K::NoSuchRegister, K::WrongWidth,
                                             K::WrongWidth, K::WrongDirection, K::WrongDirection}));
    // None of these reached a register.
    EXPECT_EQ(f.port.reads(8), 0u);
    EXPECT_EQ(f.port.writes(8), 0u);
}

TEST(PortDriverTrace, NamesRegistersAndKeepsTheNewestWhenFull)
{
    bench::Scheduler scheduler;
    ScriptedRegisters regs;
    PortDriver port{scheduler, bench::PortDriverOptions{.trace_capacity = 4}};
    PUCHAR base = port.map(regs, 0xC000);
    regs.script(4, {0x40, 0x60, 0x68});
    for (int i = 0; i < 3; ++i) (void)ScsiPortReadPortUchar(base + 4);
    ScsiPortWritePortUchar(base + 0, 0x81);
    ScsiPortWritePortUchar(base + 26, 0x22);
    ScsiPortStallExecution(3);  // rides on the access before it
    ScsiPortStallExecution(4);  // the access already carries a stall: an entry of its own
    EXPECT_EQ(port.steps(), (std::vector<std::string>{"R CSBS 0x68", "W ODR 0x81", "W BUFACC 0x22", "stall 3",
                                                      "stall 4"}));
    EXPECT_EQ(port.trace().recorded(), 6u);
}

TEST(PortDriverRequests, HandsBackOnlyOutstandingRequests)
{
    Fixture f;
    SCSI_REQUEST_BLOCK a{}, b{}, c{};
    b.TargetId = 3;
    c.TargetId = 3;
    c.Lun = 1;
    f.port.track(&a);
    f.port.track(&b);
    f.port.track(&c);

    ScsiPortCompleteRequest(nullptr, 0, 3, 0xFF, SRB_STATUS_BUS_RESET);  // every LUN of target 3
    EXPECT_EQ(b.SrbStatus, SRB_STATUS_BUS_RESET);
    EXPECT_EQ(c.SrbStatus, SRB_STATUS_BUS_RESET);
    EXPECT_TRUE(f.port.outstanding(&a));

    ScsiPortNotification(RequestComplete, nullptr, &a);
    EXPECT_TRUE(f.port.violations().empty());
    ScsiPortNotification(RequestComplete, nullptr, &a);  // twice
    ScsiPortNotification(RequestComplete, nullptr, &b);  // after the sweep took it
    EXPECT_EQ(kinds(f.port), (std::vector<Violation::Kind>(2, Violation::Kind::UnknownCompletion)));
}

TEST(PortDriverUnits, GivesEachAddressItsOwnZeroFilledExtension)
{
    Fixture f;
    auto* u1 = static_cast<unsigned char*>(ScsiPortGetLogicalUnit(nullptr, 0, 1, 0));
    auto* u2 = static_cast<unsigned char*>(ScsiPortGetLogicalUnit(nullptr, 0, 2, 0));
    ASSERT_NE(u1, nullptr);
    ASSERT_NE(u1, u2);
    for (int i = 0; i < 18; ++i) ASSERT_EQ(u1[i], 0);
    u1[0] = 9;
    EXPECT_EQ(ScsiPortGetLogicalUnit(nullptr, 0, 1, 0), u1);
    f.port.hide_unit(0, 4, 0);
    EXPECT_EQ(ScsiPortGetLogicalUnit(nullptr, 0, 4, 0), nullptr);
}

TEST(PortDriverCalls, RecordsLogEntriesAndDebugLinesInOrder)
{
    Fixture f;
    SCSI_REQUEST_BLOCK srb{};
    ScsiPortLogError(nullptr, &srb, 0, 2, 1, SP_PROTOCOL_ERROR, 6);
    ScsiDebugPrint(0, "\nReadDatablock error 1 ");
    ScsiPortNotification(NextRequest, nullptr);
    EXPECT_EQ(f.port.steps(),
              (std::vector<std::string>{"LogError 5 id 6", "DebugPrint 0 \"\nReadDatablock error 1 \"", "NextRequest"}));
    EXPECT_EQ(f.port.calls()[0].srb, &srb);
    EXPECT_EQ(f.port.calls()[0].target, 2);
}

}  // namespace
