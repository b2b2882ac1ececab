#include "block_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace bench {

void MemoryStore::read(std::uint64_t lba, std::span<std::uint8_t> out)
{
    std::memcpy(out.data(), bytes_.data() + lba * kBlockSize, out.size());
}

void MemoryStore::write(std::uint64_t lba, std::span<const std::uint8_t> in)
{
    std::memcpy(bytes_.data() + lba * kBlockSize, in.data(), in.size());
}

FileStore::FileStore(const std::string& path, bool read_only) : path_(path), read_only_(read_only)
{
    fd_ = ::open(path.c_str(), read_only ? O_RDONLY : O_RDWR);
    if (fd_ < 0) throw std::runtime_error("cannot open disk image " + path + ": " + std::strerror(errno));
    struct stat st{};
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        throw std::runtime_error("disk image " + path + " is not a regular file");
    }
    if (st.st_size == 0 || st.st_size % kBlockSize != 0) {
        ::close(fd_);
        throw std::runtime_error("disk image " + path + " is " + std::to_string(st.st_size) +
                                 " bytes, not a whole number of 512-byte blocks");
    }
    blocks_ = static_cast<std::uint64_t>(st.st_size) / kBlockSize;
}

FileStore::~FileStore()
{
    if (fd_ >= 0) ::close(fd_);
}

void FileStore::read(std::uint64_t lba, std::span<std::uint8_t> out)
{
    std::size_t done = 0;
    while (done < out.size()) {
        ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(lba * kBlockSize + done));
        if (n <= 0) throw std::runtime_error("cannot read disk image " + path_ + ": " + std::strerror(errno));
        done += static_cast<std::size_t>(n);
    }
}

void FileStore::write(std::uint64_t lba, std::span<const std::uint8_t> in)
{
    if (read_only_) throw std::logic_error("write to a read-only disk image");
    std::size_t done = 0;
    while (done < in.size()) {
        ssize_t n = ::pwrite(fd_, in.data() + done, in.size() - done, static_cast<off_t>(lba * kBlockSize + done));
        if (n <= 0) {
            throw std::runtime_error("writing disk image " + path_ + " failed after " + std::to_string(done) +
                                     " of " + std::to_string(in.size()) + " bytes at block " + std::to_string(lba) +
                                     ": " + std::strerror(errno));
        }
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace bench
