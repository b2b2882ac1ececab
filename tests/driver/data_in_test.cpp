#include <gtest/gtest.h>

#include "driver/hardware/registers.h"
#include "driver/transfer/transfer.h"
#include "support/driver_bench.h"
#include "support/execute.h"
#include "support/request.h"

using bench::Fault;
using bench::Misbehaviour;
using bench::Point;
using testing_support::Execution;
using testing_support::pattern;
using testing_support::Request;
using testing_support::ScriptedBench;
using Steps = std::vector<std::string>;

namespace {

// ---------------------------------------------------------------- the receive set-up

struct CounterCase {
    ULONG bytes;
    Steps counter;
};

class BlockCounter : public ::testing::TestWithParam<CounterCase> {};

TEST_P(BlockCounter, IsWrittenAfterTheStartAsTheBlockCountNeeds)
{
    ScriptedBench b;
    b.regs.set(REG_ICR, 0x00);
    ULONG bytes = GetParam().bytes;
    EnableDMA(b.ext.BaseAddress, BCR_START_RECEIVE, bytes / 128 + (bytes % 128 != 0));
    Steps expected{"W TCR 0x01", "stall 2",    "R RPI 0x00",  "W BUFCTL 0x01", "R ICR 0x00",
                   "W ICR 0x01", "W MR 0x0E",  "W BCR 0x50", "W SDIR 0x00",   "W BUFACC 0x20"};
    expected.insert(expected.end(), GetParam().counter.begin(), GetParam().counter.end());
    EXPECT_EQ(b.steps(), expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BlockCounter,
                         ::testing::Values(CounterCase{129, {"W BCNT_LO 0x02"}}, CounterCase{4096, {"W BCNT_LO 0x20"}},
                                           CounterCase{32768, {"W BCNT_LO 0x00"}},
                                           CounterCase{32769, {"W BCNT_LO 0x01", "W BCNT_HI 0x10"}},
                                           CounterCase{65536, {"W BCNT_LO 0x00", "W BCNT_HI 0x20"}}),
                         [](const auto& info) { return "Bytes" + std::to_string(info.param.bytes); });

TEST(DisableDma, LeavesDmaModeSetAfterTakingMonitorBusyAway)
{
    ScriptedBench b;
    b.regs.script(REG_MR, {0x0E, 0x04});
    b.regs.set(REG_ICR, 0x01);
    DisableDMA(&b.ext, BCR_START_RECEIVE);
    EXPECT_EQ(b.steps(), (Steps{"W TCR 0x04", "R ICR 0x01", "W ICR 0x00", "stall 1", "R MR 0x0E", "W MR 0x04",
                                "stall 2", "R MR 0x04", "W MR 0x02"}));
}

// ---------------------------------------------------------------- failures

struct Reading : ScriptedBench {
    Request request{0, 0, {0x28}, 128};
    Reading() { request.make_active(ext); }
    std::size_t prints() const
    {
        std::size_t n = 0;
        for (const auto& c : port.calls())
            n += c.kind == bench::PortCall::Kind::DebugPrint && c.text == "\nReadDatablock error 1 " && c.code == 0;
        return n;
    }
};

TEST(ReadDataBlock, NothingWantedFailsWithoutTouchingTheBoard)
{
    Reading b;
    b.ext.DataCount = 0;
    EXPECT_EQ(OstrelReadDataBlock(&b.ext), FALSE);
    EXPECT_TRUE(b.steps().empty());
    EXPECT_EQ(b.ext.CurrentPhase, PHASE_CODE_DATA_IN);
}

TEST(ReadDataBlock, GivesUpWhenTheNexusIsGoneWhileItWaits)
{
    Reading b;
    b.ext.DataCount = 128;
    b.regs.set(REG_BCR, BCR_BUFFER_BUSY);
    b.ext.ActiveLu = nullptr;
    EXPECT_EQ(OstrelReadDataBlock(&b.ext), FALSE);
    EXPECT_EQ(b.port.reads(REG_BCR), 1u);
}

TEST(ReadDataBlock, NoCoreEnableAfterAShortEndPrintsOnceAndFails)
{
    Reading b;
    b.port.trace().resize(256);
    b.ext.DataPointer = b.request.buffer.data();
    b.ext.DataCount = 128;
    b.regs.set(REG_BCR, BCR_BUFFER_BUSY);  // no block, and the receive never ends
    EXPECT_EQ(OstrelReadDataBlock(&b.ext), FALSE);
    EXPECT_EQ(b.prints(), 1u);
    EXPECT_EQ(b.port.reads(REG_BCR), 0xFFFFFFu + 3000001u);  // the block wait's budget, then WAIT_5380_ENABLE
    EXPECT_EQ(ULONG(b.request.lu.SavedDataCount), 128u);         // not written
}

TEST(ReadDataBlock, NoCoreEnableAtTheFinishFailsSilently)
{
    Reading b;
    b.port.trace().resize(256);
    b.ext.DataPointer = b.request.buffer.data();
    b.ext.DataCount = 128;
    b.regs.set(REG_BCR, 0x00);  // a whole block at once, and the receive never ends
    EXPECT_EQ(OstrelReadDataBlock(&b.ext), FALSE);
    EXPECT_EQ(b.prints(), 0u);
    EXPECT_EQ(ULONG(b.ext.DataCount), 0u);  // the block was taken
    EXPECT_EQ(ULONG(b.request.lu.SavedDataCount), 128u);
}

// ---------------------------------------------------------------- on the bus

struct ShortCase {
    const char* name;
    std::size_t wanted;
    std::size_t sent;
    std::size_t whole_blocks;
    std::size_t disables;
    bool residue_read;
};

class DataIn : public ::testing::TestWithParam<ShortCase> {};

TEST_P(DataIn, DrainsWholeBlocksAndTheResidue)
{
    const ShortCase& c = GetParam();
    std::vector<Fault> faults;
    if (c.sent < c.wanted) faults.push_back(Fault{Point::DataIn, Misbehaviour::StopData, c.sent});
    Execution e(c.wanted, faults);
    std::vector<std::uint8_t> data = pattern(c.wanted);
    e.reads(data);
    e.run();

    EXPECT_EQ(e.srb.SrbStatus, SRB_STATUS_SUCCESS);
    EXPECT_EQ(std::vector<std::uint8_t>(e.buffer.data(), e.buffer.data() + c.sent),
              std::vector<std::uint8_t>(data.begin(), data.begin() + c.sent));
    for (std::size_t i = c.sent; i < c.wanted; ++i) ASSERT_EQ(e.buffer.data()[i], e.buffer.kFiller) << i;
    EXPECT_TRUE(e.buffer.canaries_intact());
    EXPECT_EQ(e.count("W BUFACC 0x22"), c.whole_blocks);
    EXPECT_EQ(e.count("R BUFFER 32 words"), c.whole_blocks + (c.residue_read ? 1 : 0));
    EXPECT_EQ(e.count("W TCR 0x04"), c.disables);
    EXPECT_EQ(PUCHAR(e.lu.SavedDataPointer), e.buffer.data() + c.sent);
    EXPECT_EQ(ULONG(e.lu.SavedDataCount), c.wanted - c.sent);
    EXPECT_TRUE(e.clean());
}

INSTANTIATE_TEST_SUITE_P(Lengths, DataIn,
                         ::testing::Values(ShortCase{"OneWholeBlock", 128, 128, 1, 1, false},
                                           ShortCase{"BlockAndResidue", 200, 200, 1, 2, true},
                                           ShortCase{"ResidueOnly", 36, 36, 0, 2, true},
                                           ShortCase{"HalfThenStatus", 256, 128, 1, 2, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DataInOnTheBus, AnEmptyResidueLeavesTheQuerySelected)
{
    Execution e(256, {Fault{Point::DataIn, Misbehaviour::StopData, 128}});
    e.reads(pattern(256));
    e.run();
    Steps steps = e.port.steps();
    auto query = std::find(steps.begin(), steps.end(), "W BUFCTL 0x02");
    ASSERT_NE(query, steps.end());
    EXPECT_EQ(std::find(query, steps.end(), "W BUFCTL 0x01"), steps.end());
}

TEST(DataInOnTheBus, ASlowTargetOutlastsTheBlockWaitAndIsStillDrained)
{
    // The second byte comes 5 s after the first, past the block wait's budget of
    // polls: the residue path waits for the receive to end and drains what came.
    bench::TargetTiming slow;
    slow.byte_cycle = 5 * bench::kSecond;
    Execution e(128, {Fault{Point::DataIn, Misbehaviour::StopData, 2}}, slow);
    e.port.trace().resize(1 << 10);
    std::vector<std::uint8_t> data = pattern(128);
    e.reads(data);
    e.run();
    EXPECT_EQ(e.srb.SrbStatus, SRB_STATUS_SUCCESS);
    EXPECT_EQ(e.buffer.data()[0], data[0]);
    EXPECT_EQ(e.buffer.data()[1], data[1]);
    EXPECT_EQ(e.buffer.data()[2], e.buffer.kFiller);
    EXPECT_GT(e.port.reads(REG_BCR), 0xFFFFFEu);  // the whole budget, and more
}

}  // namespace
