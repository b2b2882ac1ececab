// Where a disk keeps its blocks: in memory, or in an image file read and
// written in place (never loaded whole).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace bench {

constexpr std::size_t kBlockSize = 512;

class BlockStore {
public:
    virtual ~BlockStore() = default;
    virtual std::uint64_t blocks() const = 0;
    virtual bool read_only() const = 0;
    // Whole blocks; the caller has checked the range.
    virtual void read(std::uint64_t lba, std::span<std::uint8_t> out) = 0;
    virtual void write(std::uint64_t lba, std::span<const std::uint8_t> in) = 0;
};

class MemoryStore final : public BlockStore {
public:
    explicit MemoryStore(std::uint64_t blocks) : bytes_(blocks * kBlockSize, 0) {}
    std::uint64_t blocks() const override { return bytes_.size() / kBlockSize; }
    bool read_only() const override { return false; }
    void read(std::uint64_t lba, std::span<std::uint8_t> out) override;
    void write(std::uint64_t lba, std::span<const std::uint8_t> in) override;

private:
    std::vector<std::uint8_t> bytes_;
};

// Throws std::runtime_error naming the problem: a missing or unreadable file,
// a size that is not a whole number of blocks, an empty image.
class FileStore final : public BlockStore {
public:
    FileStore(const std::string& path, bool read_only);
    ~FileStore() override;
    FileStore(const FileStore&) = delete;
    FileStore& operator=(const FileStore&) = delete;
    std::uint64_t blocks() const override { return blocks_; }
    bool read_only() const override { return read_only_; }
    void read(std::uint64_t lba, std::span<std::uint8_t> out) override;
    void write(std::uint64_t lba, std::span<const std::uint8_t> in) override;

private:
    std::string path_;
    int fd_ = -1;
    bool read_only_;
    std::uint64_t blocks_ = 0;
};

}  // namespace bench
