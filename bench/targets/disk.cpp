#include "disk.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace bench {

namespace {

std::uint32_t be32(const std::uint8_t* p) { return std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }
std::uint16_t be16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

void put_be32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = v >> 24, p[1] = v >> 16, p[2] = v >> 8, p[3] = static_cast<std::uint8_t>(v);
}

std::vector<std::uint8_t> trimmed(std::vector<std::uint8_t> data, std::size_t allocation)
{
    data.resize(std::min(data.size(), allocation));
    return data;
}

void put_text(std::vector<std::uint8_t>& d, std::size_t at, std::size_t width, const std::string& text)
{
    for (std::size_t i = 0; i < width; ++i) d[at + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ';
}

}  // namespace

struct Disk::Command {
    std::uint8_t opcode;
    std::size_t length;  // CDB bytes the command needs
    Exchange (Disk::*handler)(std::span<const std::uint8_t>);
};

const Disk::Command Disk::kCommands[] = {
    {0x00, 6, &Disk::test_unit_ready}, {0x03, 6, &Disk::request_sense},  {0x08, 6, &Disk::read6},
    {0x0A, 6, &Disk::write6},          {0x12, 6, &Disk::inquiry},        {0x1A, 6, &Disk::mode_sense6},
    {0x1B, 6, &Disk::start_stop},      {0x25, 10, &Disk::read_capacity}, {0x28, 10, &Disk::read10},
    {0x2A, 10, &Disk::write10},        {0x35, 10, &Disk::synchronize_cache},
};

Disk::Disk(std::unique_ptr<BlockStore> store, std::string product) : store_(std::move(store)), product_(std::move(product))
{
}

Exchange Disk::begin(std::uint8_t, std::span<const std::uint8_t> cdb)
{
    writing_ = false;
    status_ = scsi_status::kGood;
    if (cdb.empty()) return check(sense::kInvalidOpcode);
    // REQUEST SENSE reports the sense of the command before it; every other command starts afresh.
    if (cdb[0] != 0x03) sense_ = sense::kNone;
    for (const Command& c : kCommands) {
        if (c.opcode != cdb[0]) continue;
        if (cdb.size() < c.length) return check(sense::kInvalidField);
        return (this->*c.handler)(cdb);
    }
    return check(sense::kInvalidOpcode);
}

std::uint8_t Disk::finish(std::span<const std::uint8_t> data_out)
{
    if (writing_) {
        writing_ = false;
        // Nothing of a write whose data did not all arrive reaches the disk.
        if (data_out.size() != write_bytes_) {
            sense_ = sense::kIncompleteData;
            return scsi_status::kCheckCondition;
        }
        store_->write(write_lba_, data_out);
    }
    return status_;
}

Exchange Disk::check(Sense s)
{
    sense_ = s;
    status_ = scsi_status::kCheckCondition;
    return Exchange{};
}

Exchange Disk::good(std::vector<std::uint8_t> data)
{
    status_ = scsi_status::kGood;
    if (data.empty()) return Exchange{};
    return Exchange{Exchange::Direction::In, std::move(data), 0};
}

bool Disk::in_range(std::uint64_t lba, std::uint64_t blocks) const
{
    return lba <= store_->blocks() && blocks <= store_->blocks() - lba;
}

Exchange Disk::test_unit_ready(std::span<const std::uint8_t>) { return good(); }

Exchange Disk::request_sense(std::span<const std::uint8_t> cdb)
{
    std::size_t allocation = cdb[4] ? cdb[4] : 4;  // SCSI-2: zero asks for four bytes
    auto d = fixed_sense(sense_);
    sense_ = sense::kNone;
    return good(trimmed({d.begin(), d.end()}, allocation));
}

Exchange Disk::inquiry(std::span<const std::uint8_t> cdb)
{
    if (cdb[1] & 0x01) return check(sense::kInvalidField);  // no vital product data pages
    std::vector<std::uint8_t> d(36, 0);
    d[0] = 0x00;  // direct-access device
    d[2] = 0x02;  // SCSI-2
    d[3] = 0x02;  // response data format
    d[4] = 31;    // additional length
    put_text(d, 8, 8, "OSTREL");
    put_text(d, 16, 16, product_);
    put_text(d, 32, 4, "1.0");
    return good(trimmed(std::move(d), cdb[4]));
}

Exchange Disk::read_capacity(std::span<const std::uint8_t> cdb)
{
    if (!(cdb[8] & 0x01) && be32(&cdb[2]) != 0) return check(sense::kInvalidField);
    std::vector<std::uint8_t> d(8);
    std::uint64_t last = store_->blocks() - 1;
    put_be32(&d[0], last > 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<std::uint32_t>(last));
    put_be32(&d[4], kBlockSize);
    return good(std::move(d));
}

Exchange Disk::read6(std::span<const std::uint8_t> cdb)
{
    std::uint64_t lba = (cdb[1] & 0x1Fu) << 16 | cdb[2] << 8 | cdb[3];
    return read(lba, cdb[4] ? cdb[4] : 256);  // zero blocks means 256 in a READ(6)
}

Exchange Disk::read10(std::span<const std::uint8_t> cdb) { return read(be32(&cdb[2]), be16(&cdb[7])); }

Exchange Disk::write6(std::span<const std::uint8_t> cdb)
{
    std::uint64_t lba = (cdb[1] & 0x1Fu) << 16 | cdb[2] << 8 | cdb[3];
    return write(lba, cdb[4] ? cdb[4] : 256);
}

Exchange Disk::write10(std::span<const std::uint8_t> cdb) { return write(be32(&cdb[2]), be16(&cdb[7])); }

Exchange Disk::read(std::uint64_t lba, std::uint64_t blocks)
{
    if (!in_range(lba, blocks)) return check(sense::kLbaOutOfRange);
    std::vector<std::uint8_t> data(blocks * kBlockSize);
    if (blocks) store_->read(lba, data);
    return good(std::move(data));
}

Exchange Disk::write(std::uint64_t lba, std::uint64_t blocks)
{
    if (store_->read_only()) return check(sense::kWriteProtected);
    if (!in_range(lba, blocks)) return check(sense::kLbaOutOfRange);
    if (blocks == 0) return good();
    writing_ = true;
    write_lba_ = lba;
    write_bytes_ = blocks * kBlockSize;
    return Exchange{Exchange::Direction::Out, {}, write_bytes_};
}

Exchange Disk::mode_sense6(std::span<const std::uint8_t> cdb)
{
    std::uint8_t page = cdb[2] & 0x3F;
    if (page != 0x3F && page != 0x08) return check(sense::kInvalidField);
    std::vector<std::uint8_t> d(4 + 8 + 20, 0);
    d[0] = static_cast<std::uint8_t>(d.size() - 1);
    d[2] = store_->read_only() ? 0x80 : 0x00;  // write protected
    d[3] = 8;                                  // one block descriptor
    std::uint64_t blocks = std::min<std::uint64_t>(store_->blocks(), 0xFFFFFF);
    d[5] = blocks >> 16, d[6] = blocks >> 8, d[7] = static_cast<std::uint8_t>(blocks);
    d[10] = kBlockSize >> 8;
    d[12] = 0x08;  // caching page
    d[13] = 18;
    return good(trimmed(std::move(d), cdb[4]));
}

Exchange Disk::start_stop(std::span<const std::uint8_t>) { return good(); }

Exchange Disk::synchronize_cache(std::span<const std::uint8_t> cdb)
{
    if (!in_range(be32(&cdb[2]), be16(&cdb[7]))) return check(sense::kLbaOutOfRange);
    return good();
}

}  // namespace bench
