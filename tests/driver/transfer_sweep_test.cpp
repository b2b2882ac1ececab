// Transfers of many lengths against targets that stop early, go on too long or
// take a detour: what arrives is exactly the target's, in order, and nothing
// outside the request's buffer is touched.
#include <gtest/gtest.h>

#include <random>

#include "support/execute.h"

using bench::Fault;
using bench::Misbehaviour;
using bench::Point;
using testing_support::Execution;
using testing_support::pattern;

namespace {

enum class Ending { Exact, StopsShort, SendsMore, Detour };

struct Sweep {
    std::size_t length;
    Ending ending;
};

std::string name(const Sweep& s)
{
    static const char* kEndings[] = {"Exact", "StopsShort", "SendsMore", "Detour"};
    return "Bytes" + std::to_string(s.length) + kEndings[static_cast<int>(s.ending)];
}

std::vector<Sweep> data_in_cases()
{
    std::vector<Sweep> cases;
    for (std::size_t length : {1, 127, 128, 129, 255, 256, 257, 4095, 4096, 32768, 32769, 65536, 524160, 524161})
        for (Ending e : {Ending::Exact, Ending::StopsShort, Ending::SendsMore, Ending::Detour})
            cases.push_back({length, e});
    for (std::size_t length : {1048576, 1048577}) cases.push_back({length, Ending::Exact});
    cases.push_back({1048577, Ending::StopsShort});
    return cases;
}

class DataInSweep : public ::testing::TestWithParam<Sweep> {};

TEST_P(DataInSweep, DeliversExactlyTheTargetsBytes)
{
    const Sweep& s = GetParam();
    std::mt19937 random(static_cast<unsigned>(s.length * 7 + static_cast<int>(s.ending)));
    std::size_t stop = s.length;
    std::vector<Fault> faults;
    switch (s.ending) {
    case Ending::Exact: break;
    case Ending::StopsShort:
        stop = std::uniform_int_distribution<std::size_t>(0, s.length - 1)(random);
        faults.push_back(Fault{Point::DataIn, Misbehaviour::StopData, stop});
        break;
    case Ending::SendsMore: {
        Fault more{Point::DataIn, Misbehaviour::ExtraData};
        more.count = 200;
        faults.push_back(more);
        break;
    }
    case Ending::Detour: {
        // SAVE DATA POINTER part way, as a target that pauses would, then on with the data.
        Fault detour{Point::DataIn, Misbehaviour::LeaveAndReturn,
                     std::uniform_int_distribution<std::size_t>(0, s.length - 1)(random)};
        detour.phase = bench::phase::MESSAGE_IN;
        detour.bytes = {0x02};
        faults.push_back(detour);
        break;
    }
    }
    Execution e(s.length, faults);
    e.port.trace().resize(1 << 12);
    std::vector<std::uint8_t> data = pattern(s.length, static_cast<unsigned>(s.length));
    e.reads(data);
    e.run();

    std::size_t moved = std::min(stop, s.length);
    ASSERT_TRUE(std::equal(data.begin(), data.begin() + moved, e.buffer.data()));
    for (std::size_t i = moved; i < s.length; ++i) ASSERT_EQ(e.buffer.data()[i], e.buffer.kFiller) << i;
    EXPECT_TRUE(e.buffer.canaries_intact());
    EXPECT_TRUE(e.clean());
    EXPECT_FALSE(e.port.outstanding(&e.srb));

    if (s.ending == Ending::SendsMore) {
        // The request's buffer is full and the target goes on: the data phase fails, the bus is reset.
        EXPECT_EQ(e.srb.SrbStatus, SRB_STATUS_PHASE_SEQUENCE_FAILURE);
        EXPECT_EQ(e.log_ids(), (std::vector<unsigned>{4}));
        EXPECT_EQ(ULONG(e.ext.DataCount), 0u);
    } else {
        EXPECT_EQ(e.srb.SrbStatus, SRB_STATUS_SUCCESS);
        EXPECT_EQ(PUCHAR(e.lu.SavedDataPointer), e.buffer.data() + moved);
        EXPECT_EQ(ULONG(e.lu.SavedDataCount), s.length - moved);
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, DataInSweep, ::testing::ValuesIn(data_in_cases()),
                         [](const auto& info) { return name(info.param); });

class DataOutSweep : public ::testing::TestWithParam<Sweep> {};

TEST_P(DataOutSweep, SendsExactlyTheRequestsBytes)
{
    const Sweep& s = GetParam();
    std::size_t stop = s.ending == Ending::StopsShort ? s.length / 2 : s.length;
    std::vector<Fault> faults;
    if (s.ending == Ending::StopsShort) faults.push_back(Fault{Point::DataOut, Misbehaviour::StopData, stop});
    Execution e(s.length, faults);
    e.port.trace().resize(1 << 12);
    std::vector<std::uint8_t> data = pattern(s.length, 3);
    e.writes(data, s.length);
    e.run();
    EXPECT_EQ(e.srb.SrbStatus, SRB_STATUS_SUCCESS);
    EXPECT_EQ(e.target->log().last_data_out, std::vector<std::uint8_t>(data.begin(), data.begin() + stop));
    EXPECT_EQ(ULONG(e.lu.SavedDataCount), s.length - stop);
    EXPECT_TRUE(e.clean());
}

INSTANTIATE_TEST_SUITE_P(Lengths, DataOutSweep,
                         ::testing::Values(Sweep{1, Ending::Exact}, Sweep{129, Ending::Exact},
                                           Sweep{129, Ending::StopsShort}, Sweep{4097, Ending::Exact},
                                           Sweep{4097, Ending::StopsShort}, Sweep{65537, Ending::Exact}),
                         [](const auto& info) { return name(info.param); });

}  // namespace
