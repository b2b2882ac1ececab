#include "demo.h"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/miniport/ostrel.h"
#include "outcome_text.h"
#include "port/request.h"
#include "targets/block_store.h"
#include "targets/disk.h"
#include "world.h"

namespace sim {

namespace {

using bench::Outcome;

const char* device_type(std::uint8_t first)
{
    if (first == 0x7F) return "no device";
    switch (first & 0x1F) {
    case 0x00: return "direct-access";
    case 0x01: return "sequential";
    case 0x05: return "CD-ROM";
    default: return "other";
    }
}

std::string srb_text(UCHAR status)
{
    switch (status) {
    case SRB_STATUS_SUCCESS: return "success";
    case SRB_STATUS_ERROR: return "error";
    case SRB_STATUS_BUSY: return "busy";
    case SRB_STATUS_SELECTION_TIMEOUT: return "selection timeout";
    case SRB_STATUS_BUS_RESET: return "bus reset";
    case SRB_STATUS_PHASE_SEQUENCE_FAILURE: return "phase sequence failure";
    default: return hex_byte(status);
    }
}

class Demo {
public:
    explicit Demo(const DemoOptions& o) : options_(o)
    {
        std::unique_ptr<bench::BlockStore> store;
        if (o.image.empty())
            store = std::make_unique<bench::MemoryStore>(64ull * 1024 * 1024 / bench::kBlockSize);
        else
            store = std::make_unique<bench::FileStore>(o.image, o.read_only);
        world_.add_target(0, std::make_unique<bench::Disk>(std::move(store)));
        progress_ = isatty(STDERR_FILENO);
    }

    int run()
    {
        ULONG status = world_.load(DriverEntry);
        std::printf("Driver loaded: DriverEntry returned 0x%08X", status);
        if (status != bench::status::kSuccess) {
            std::printf(" (%s)\n", world_.host.registration_error().c_str());
            return 1;
        }
        const ACCESS_RANGE& r = world_.host.access_range(0, 0);
        std::printf("; adapter found: I/O 0x%04X, %u ports, IRQ %u, initiator ID 7\n\n",
                    static_cast<unsigned>(r.RangeStart.QuadPart), r.RangeLength,
                    world_.host.configuration(0).BusInterruptLevel);

        std::vector<int> disks = scan();
        for (int id : disks) exercise(id);

        std::printf("\nSimulated time: %.3f s; port accesses: %llu", world_.port.now() / 1e9,
                    static_cast<unsigned long long>(world_.port.accesses()));
        std::size_t breaches = world_.port.violations().size() + world_.bus.violations().size();
        std::printf("; contract and bus-protocol breaches: %zu\n", breaches);
        for (const auto& v : world_.port.violations()) std::printf("  breach: %s (%s)\n", to_string(v.kind), v.detail.c_str());
        for (const auto& v : world_.bus.violations()) std::printf("  bus: %s\n", v.what.c_str());
        return breaches == 0 && failures_ == 0 ? 0 : 1;
    }

private:
    struct Timed {
        Outcome outcome;
        double seconds;
    };

    Timed execute(SCSI_REQUEST_BLOCK& srb)
    {
        bench::Nanoseconds start = world_.port.now();
        Outcome o = world_.execute(srb);
        return {o, (world_.port.now() - start) / 1e9};
    }

    void note(const char* what)
    {
        if (progress_) std::fprintf(stderr, "\r  ... %-40s\r", what);
    }

    std::vector<int> scan()
    {
        std::printf("Scanning IDs 0 to 6 with INQUIRY (LUN 0):\n");
        std::vector<int> disks;
        for (int id = 0; id <= 6; ++id) {
            note(("INQUIRY ID " + std::to_string(id)).c_str());
            auto inq = bench::inquiry(static_cast<UCHAR>(id), 0);
            Timed t = execute(inq->srb);
            if (t.outcome.srb_status != SRB_STATUS_SUCCESS) {
                std::printf("  ID %d: %s\n", id, srb_text(t.outcome.srb_status).c_str());
                continue;
            }
            std::string vendor(inq->data.begin() + 8, inq->data.begin() + 16);
            std::string product(inq->data.begin() + 16, inq->data.begin() + 32);
            std::printf("  ID %d: %-13s  %s %s\n", id, device_type(inq->data[0]), vendor.c_str(), product.c_str());
            if ((inq->data[0] & 0x1F) == 0 && inq->data[0] != 0x7F) disks.push_back(id);
        }
        return disks;
    }

    void line(const std::string& what, const Timed& t, std::size_t bytes, const char* verdict)
    {
        double mbps = t.seconds > 0 && bytes ? bytes / t.seconds / 1e6 : 0;
        std::printf("  %-28s %-9s %-6s %9zu %11.3f ms %8.3f  %s\n", what.c_str(), srb_text(t.outcome.srb_status).c_str(),
                    hex_byte(t.outcome.scsi_status).c_str(), bytes, t.seconds * 1e3, mbps, verdict);
        if (t.outcome.srb_status != SRB_STATUS_SUCCESS && std::string(verdict) != "refused, as asked") ++failures_;
    }

    void exercise(int id)
    {
        UCHAR target = static_cast<UCHAR>(id);
        auto cap = bench::read_capacity(target, 0);
        Timed t = execute(cap->srb);
        if (t.outcome.srb_status != SRB_STATUS_SUCCESS) {
            std::printf("\nDisk at ID %d: READ CAPACITY failed (%s)\n", id, srb_text(t.outcome.srb_status).c_str());
            ++failures_;
            return;
        }
        std::uint32_t last = std::uint32_t(cap->data[0]) << 24 | cap->data[1] << 16 | cap->data[2] << 8 | cap->data[3];
        std::uint64_t blocks = std::uint64_t(last) + 1;
        std::printf("\nDisk at ID %d: %llu blocks of 512 bytes (%.1f MiB)%s\n", id, static_cast<unsigned long long>(blocks),
                    blocks * 512 / 1048576.0, options_.image.empty() ? ", in memory" : (", image " + options_.image).c_str());
        std::printf("  %-28s %-9s %-6s %9s %14s %8s  %s\n", "request", "outcome", "status", "bytes", "sim. time", "MB/s",
                    "check");

        bool may_write = options_.image.empty() || options_.write || options_.read_only;
        for (std::uint16_t size : {1, 8, 128, 2048}) {  // 512 B, 4 KiB, 64 KiB, 1 MiB
            std::uint64_t count = size;
            if (count > blocks) break;
            std::uint32_t lba = static_cast<std::uint32_t>((blocks - count) / 3);
            note(("blocks " + std::to_string(lba) + " +" + std::to_string(size)).c_str());
            if (may_write)
                write_read_verify(target, lba, size);
            else
                read_only_pass(target, lba, size);
        }
        if (!may_write) std::printf("  (the image was only read: --write lets the demo write, restoring what it overwrote)\n");
        if (progress_) std::fprintf(stderr, "\r%50s\r", "");
    }

    // Writes a pattern stamped with each block's address, reads it back and compares.
    void write_read_verify(UCHAR target, std::uint32_t lba, std::uint16_t size)
    {
        std::string range = std::to_string(lba) + " +" + std::to_string(size);
        std::unique_ptr<bench::Request> original;
        if (!options_.image.empty() && !options_.read_only) {
            original = bench::read10(target, 0, lba, size);
            execute(original->srb);
        }
        auto w = bench::write10(target, 0, lba, size);
        for (std::size_t i = 0; i < w->data.size(); ++i)
            w->data[i] = static_cast<std::uint8_t>((lba + i / 512) * 131 + i * 7 + size);
        Timed tw = execute(w->srb);
        if (options_.read_only) {
            line("WRITE(10) LBA " + range, tw, w->data.size(),
                 tw.outcome.scsi_status == 0x02 ? "refused, as asked" : "NOT refused");
            if (tw.outcome.scsi_status != 0x02) ++failures_;
            return read_only_pass(target, lba, size);
        }
        line("WRITE(10) LBA " + range, tw, w->data.size(), "written");
        auto r = bench::read10(target, 0, lba, size);
        Timed tr = execute(r->srb);
        bool same = r->data == w->data;
        if (!same) ++failures_;
        line("READ(10)  LBA " + range, tr, r->data.size(), same ? "verified" : "MISMATCH");
        if (original) {
            auto put_back = bench::write10(target, 0, lba, size);
            put_back->data = original->data;
            put_back->srb.DataBuffer = put_back->data.data();
            Timed tp = execute(put_back->srb);
            line("WRITE(10) LBA " + range, tp, put_back->data.size(), "restored");
        }
    }

    void read_only_pass(UCHAR target, std::uint32_t lba, std::uint16_t size)
    {
        auto r = bench::read10(target, 0, lba, size);
        Timed t = execute(r->srb);
        line("READ(10)  LBA " + std::to_string(lba) + " +" + std::to_string(size), t, r->data.size(),
             ("fnv1a " + fnv1a(r->data)).c_str());
    }

    DemoOptions options_;
    bench::World world_;
    bool progress_ = false;
    int failures_ = 0;
};

}  // namespace

int run_demo(const DemoOptions& options)
{
    Demo demo(options);
    return demo.run();
}

}  // namespace sim
