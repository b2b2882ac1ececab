// A request's data buffer with a page of no access right after its last byte
// and canaries right before its first, so that any write outside it is caught.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <stdexcept>

namespace testing_support {

class FencedBuffer {
public:
    static constexpr std::size_t kCanary = 64;
    static constexpr unsigned char kCanaryByte = 0xC5;
    static constexpr unsigned char kFiller = 0x5C;

    explicit FencedBuffer(std::size_t size) : size_(size)
    {
        page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        std::size_t body = (size + kCanary + page_ - 1) / page_ * page_;
        mapping_size_ = body + page_;
        void* m = mmap(nullptr, mapping_size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED) throw std::runtime_error("cannot map a fenced buffer");
        mapping_ = static_cast<unsigned char*>(m);
        if (mprotect(mapping_ + body, page_, PROT_NONE) != 0) throw std::runtime_error("cannot fence the buffer");
        data_ = mapping_ + body - size;
        std::memset(data_ - kCanary, kCanaryByte, kCanary);
        std::memset(data_, kFiller, size);
    }
    ~FencedBuffer() { munmap(mapping_, mapping_size_); }
    FencedBuffer(const FencedBuffer&) = delete;
    FencedBuffer& operator=(const FencedBuffer&) = delete;

    unsigned char* data() { return data_; }
    std::size_t size() const { return size_; }
    bool canaries_intact() const
    {
        for (std::size_t i = 1; i <= kCanary; ++i)
            if (data_[-static_cast<std::ptrdiff_t>(i)] != kCanaryByte) return false;
        return true;
    }

private:
    std::size_t size_;
    std::size_t page_;
    std::size_t mapping_size_;
    unsigned char* mapping_;
    unsigned char* data_;
};

}  // namespace testing_support
