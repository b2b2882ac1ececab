// The two roads the driver's design is told by: a WRITE(10) of 512 bytes and
// a READ of 4,096 bytes, from start-I/O to completion, as the port driver sees them.
#include <gtest/gtest.h>

#include <algorithm>

#include "driver/miniport/ostrel.h"
#include "port/request.h"
#include "targets/block_store.h"
#include "targets/disk.h"
#include "world.h"

using namespace bench;

namespace {

struct Road {
    World world;
    Road()
    {
        world.add_target(2, std::make_unique<Disk>(std::make_unique<MemoryStore>(256)));
        EXPECT_EQ(world.load(DriverEntry), status::kSuccess);
        world.port.trace().clear();
    }
    std::vector<std::string> only(const std::string& prefix)
    {
        std::vector<std::string> out;
        for (const std::string& s : world.port.steps())
            if (s.rfind(prefix, 0) == 0) out.push_back(s);
        return out;
    }
    std::size_t count(const std::string& step)
    {
        auto steps = world.port.steps();
        return static_cast<std::size_t>(std::count(steps.begin(), steps.end(), step));
    }
};

TEST(Roads, Write10Of512Bytes)
{
    Road r;
    auto w = write10(2, 0, 17, 1);
    for (std::size_t i = 0; i < 512; ++i) w->data[i] = static_cast<std::uint8_t>(i ^ 0x3C);
    Outcome o = r.world.execute(w->srb);
    EXPECT_EQ(o.srb_status, SRB_STATUS_SUCCESS);
    EXPECT_EQ(o.scsi_status, 0x00);
    // Selection, IDENTIFY, command, data out, status, message in, quiesce.
    EXPECT_EQ(r.only("W TCR"),
              (std::vector<std::string>{"W TCR 0x00", "W TCR 0x06", "W TCR 0x02", "W TCR 0x00", "W TCR 0x03",
                                        "W TCR 0x07", "W TCR 0x00"}));
    EXPECT_EQ(r.only("Request").size() + r.only("Next").size(), 2u);
    EXPECT_TRUE(r.only("LogError").empty());
    const TargetLog& log = r.world.target(2)->log();
    EXPECT_EQ(log.messages_out, (std::vector<std::uint8_t>{0xC0}));  // IDENTIFY with disconnect privilege
    EXPECT_EQ(log.last_data_out, w->data);
    EXPECT_EQ(log.messages_in, (std::vector<std::uint8_t>{0x00}));
}

TEST(Roads, ReadOf4096Bytes)
{
    Road r;
    auto rd = read10(2, 0, 0, 8);
    Outcome o = r.world.execute(rd->srb);
    EXPECT_EQ(o.srb_status, SRB_STATUS_SUCCESS);
    EXPECT_EQ(r.only("W BCNT"), (std::vector<std::string>{"W BCNT_LO 0x20"}));
    EXPECT_EQ(r.count("W BUFACC 0x22"), 32u);
    EXPECT_EQ(r.count("R BUFFER 32 words"), 32u);
    EXPECT_EQ(r.count("W TCR 0x04"), 1u);  // closed once: no residue
    EXPECT_EQ(r.world.target(2)->log().data_in_bytes, 4096u);
    EXPECT_TRUE(r.world.port.violations().empty());
    EXPECT_TRUE(r.world.bus.violations().empty());
}

}  // namespace
