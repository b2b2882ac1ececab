// The driver loaded as the port driver would load it, against a disk.
#include <gtest/gtest.h>

#include "driver/miniport/ostrel.h"
#include "port/request.h"
#include "targets/block_store.h"
#include "targets/disk.h"
#include "world.h"

using namespace bench;

namespace {

struct LoadedDisk {
    World world;
    Disk* disk;
    LoadedDisk(std::uint64_t blocks = 2048)
    {
        auto d = std::make_unique<Disk>(std::make_unique<MemoryStore>(blocks));
        disk = d.get();
        world.add_target(0, std::move(d));
        EXPECT_EQ(world.load(DriverEntry), status::kSuccess);
    }
};

TEST(DiskEndToEnd, InquiryCapacityWriteAndReadBack)
{
    LoadedDisk l;
    auto inq = inquiry(0, 0);
    Outcome o = l.world.execute(inq->srb);
    EXPECT_TRUE(o.completed);
    EXPECT_EQ(o.srb_status, SRB_STATUS_SUCCESS);
    EXPECT_EQ(std::string(inq->data.begin() + 8, inq->data.begin() + 14), "OSTREL");

    auto cap = read_capacity(0, 0);
    o = l.world.execute(cap->srb);
    EXPECT_EQ(o.srb_status, SRB_STATUS_SUCCESS);
    EXPECT_EQ(cap->data[2] << 8 | cap->data[3], 2047);

    auto w = write10(0, 0, 100, 8);
    for (std::size_t i = 0; i < w->data.size(); ++i) w->data[i] = static_cast<std::uint8_t>(i * 7);
    o = l.world.execute(w->srb);
    EXPECT_EQ(o.srb_status, SRB_STATUS_SUCCESS);
    auto r = read10(0, 0, 100, 8);
    o = l.world.execute(r->srb);
    EXPECT_EQ(o.srb_status, SRB_STATUS_SUCCESS);
    EXPECT_EQ(r->data, w->data);
    EXPECT_TRUE(l.world.port.violations().empty());
    EXPECT_TRUE(l.world.bus.violations().empty());
}

}  // namespace
