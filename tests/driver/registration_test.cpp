#include <gtest/gtest.h>

#include <algorithm>

#include "driver/miniport/ostrel.h"
#include "world.h"

using namespace bench;

namespace {

std::size_t calls_of(const PortDriver& port, PortCall::Kind kind)
{
    return std::count_if(port.calls().begin(), port.calls().end(), [kind](const PortCall& c) { return c.kind == kind; });
}

struct Loading {
    std::unique_ptr<World> world;
    ULONG status;
    explicit Loading(PciDevice pci = {})
    {
        WorldOptions o;
        o.pci = pci;
        world = std::make_unique<World>(o);
        status = world->load(DriverEntry);
    }
    ADAPTER_EXTENSION& adapter() { return *static_cast<ADAPTER_EXTENSION*>(world->host.extension(0)); }
};

TEST(DriverEntry, RegistersTheDriverAsThePortDriverExpects)
{
    Loading l;
    ASSERT_EQ(l.status, status::kSuccess);
    const HW_INITIALIZATION_DATA& r = l.world->host.registration();
    EXPECT_EQ(r.HwInitializationDataSize, sizeof(HW_INITIALIZATION_DATA));  // 76 on the kernel image
    EXPECT_EQ(r.AdapterInterfaceType, PCIBus);
    EXPECT_EQ(r.HwDmaStarted, nullptr);
    EXPECT_EQ(r.HwAdapterState, nullptr);
    EXPECT_NE(r.HwInterrupt, nullptr);
    EXPECT_EQ(r.DeviceExtensionSize, sizeof(ADAPTER_EXTENSION));  // 27 on the kernel image
    EXPECT_EQ(r.SpecificLuExtensionSize, sizeof(LU_EXTENSION));   // 18 on the kernel image
    EXPECT_EQ(r.SrbExtensionSize, 0u);
    EXPECT_EQ(r.NumberOfAccessRanges, 2u);
    EXPECT_TRUE(r.MapBuffers && r.NeedPhysicalAddresses && r.AutoRequestSense);
    EXPECT_FALSE(r.TaggedQueuing || r.MultipleRequestPerLu || r.ReceiveEvent);
    EXPECT_EQ(r.VendorIdLength, 4);
    EXPECT_EQ(r.DeviceIdLength, 4);
    EXPECT_EQ(l.world->host.vendor_text(), "9E2D");
    EXPECT_EQ(l.world->host.device_text(), "0001");
}

TEST(FindAdapter, MapsThePortDriversRangeAndReportsThirtyTwoPortsBack)
{
    PciDevice pci;
    pci.io_port = 0xD800;
    pci.io_length = 256;
    pci.interrupt_line = 0x0B;
    Loading l(pci);
    ASSERT_EQ(l.status, status::kSuccess);
    const PortCall* map = nullptr;
    for (const PortCall& c : l.world->port.calls())
        if (c.kind == PortCall::Kind::GetDeviceBase) map = &c;
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->length, 256u);
    EXPECT_EQ(map->value, 0xD800u);

    const ACCESS_RANGE& r = l.world->host.access_range(0, 0);
    EXPECT_EQ(r.RangeStart.QuadPart, 0xD800);
    EXPECT_EQ(r.RangeLength, 32u);
    EXPECT_FALSE(r.RangeInMemory);
    const PORT_CONFIGURATION_INFORMATION& c = l.world->host.configuration(0);
    EXPECT_EQ(c.BusInterruptLevel, 11u);
    EXPECT_EQ(c.InterruptMode, LevelSensitive);
    EXPECT_TRUE(c.ScatterGather && c.NeedPhysicalAddresses && c.Dma32BitAddresses);
    EXPECT_FALSE(c.TaggedQueuing || c.Master);
    EXPECT_EQ(c.NumberOfPhysicalBreaks, 17u);
    EXPECT_EQ(c.InitiatorBusId[0], 7);
    EXPECT_EQ(c.MaximumTransferLength, 0xFFFFFFFFu);
    EXPECT_EQ(c.NumberOfBuses, 1);

    // Everything in the adapter's record is zero but what the find routine sets,
    // and the board reset of initialisation has run.
    ADAPTER_EXTENSION& a = l.adapter();
    EXPECT_NE(PUCHAR(a.BaseAddress), nullptr);
    EXPECT_EQ(a.InterruptLine, 0x0B);
    EXPECT_EQ(a.InitiatorIdBit, 0x80);
    EXPECT_EQ(PLU_EXTENSION(a.ActiveLu), nullptr);
    EXPECT_EQ(ULONG(a.DataCount), 0u);
    EXPECT_EQ(ULONG(a.RequestLength), 0u);
    EXPECT_EQ(a.PathId | a.Spare1 | a.Spare2 | a.RequestOpcode | a.CurrentPhase, 0);
    EXPECT_EQ(l.world->adapter.board().resets(), 1u);
}

TEST(FindAdapter, WithoutAnInterruptLineOffersNoDisconnect)
{
    PciDevice pci;
    pci.interrupt_line = 0;
    Loading l(pci);
    ASSERT_EQ(l.status, status::kSuccess);
    EXPECT_EQ(l.adapter().InterruptLine, 0);
}

struct NotFoundCase {
    const char* name;
    void (*set)(PciDevice&);
    std::size_t bus_reads;
};

class FindAdapterNotFound : public ::testing::TestWithParam<NotFoundCase> {};

TEST_P(FindAdapterNotFound, MapsNothing)
{
    PciDevice pci;
    GetParam().set(pci);
    Loading l(pci);
    EXPECT_EQ(l.status, status::kNoSuchDevice);
    EXPECT_EQ(l.world->host.adapters(), 0u);
    EXPECT_EQ(calls_of(l.world->port, PortCall::Kind::GetBusData), GetParam().bus_reads);
    EXPECT_EQ(l.world->port.accesses(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, FindAdapterNotFound,
    ::testing::Values(NotFoundCase{"ZeroRangeStart", [](PciDevice& p) { p.io_port = 0; }, 0},
                      NotFoundCase{"ShortConfigurationRead", [](PciDevice& p) { p.config_bytes = 40; }, 1},
                      NotFoundCase{"NoMapping", [](PciDevice& p) { p.refuse_mapping = true; }, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FindAdapter, ZeroRangeStartTouchesNothingAndSaysNoMore)
{
    PciDevice pci;
    pci.io_port = 0;
    Loading l(pci);
    EXPECT_EQ(calls_of(l.world->port, PortCall::Kind::GetDeviceBase), 0u);
}

// The port driver refuses a record it cannot use, as the real one does.
TEST(PortDriverInitialize, RefusesABadRecordWithAStatus)
{
    struct Case {
        void (*spoil)(HW_INITIALIZATION_DATA&);
        ULONG status;
    };
    static char vendor[] = "9E2D", device[] = "0001", bad[] = "9EZD";
    for (Case c : {Case{[](HW_INITIALIZATION_DATA& d) { d.HwInitializationDataSize = 80; }, status::kRevisionMismatch},
                   Case{[](HW_INITIALIZATION_DATA& d) { d.HwStartIo = nullptr; }, status::kInvalidParameter},
                   Case{[](HW_INITIALIZATION_DATA& d) { d.AdapterInterfaceType = Isa; }, status::kInvalidParameter},
                   Case{[](HW_INITIALIZATION_DATA& d) { d.DeviceExtensionSize = 0; }, status::kInvalidParameter},
                   Case{[](HW_INITIALIZATION_DATA& d) { d.VendorId = bad; }, status::kInvalidParameter},
                   Case{[](HW_INITIALIZATION_DATA& d) { d.DeviceIdLength = 0; }, status::kInvalidParameter}}) {
        HW_INITIALIZATION_DATA d{};
        d.HwInitializationDataSize = sizeof d;
        d.AdapterInterfaceType = PCIBus;
        d.HwInitialize = OstrelInitialize;
        d.HwStartIo = OstrelStartIo;
        d.HwFindAdapter = OstrelFindAdapter;
        d.HwResetBus = OstrelResetBus;
        d.DeviceExtensionSize = sizeof(ADAPTER_EXTENSION);
        d.NumberOfAccessRanges = 2;
        d.VendorIdLength = d.DeviceIdLength = 4;
        d.VendorId = vendor;
        d.DeviceId = device;
        ULONG context = 0;
        {
            World world;
            ASSERT_EQ(ScsiPortInitialize(nullptr, nullptr, &d, &context), status::kSuccess);
        }
        World world;
        c.spoil(d);
        EXPECT_EQ(ScsiPortInitialize(nullptr, nullptr, &d, &context), c.status) << world.host.registration_error();
    }
}

}  // namespace
