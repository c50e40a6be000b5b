#include "capture/BufferPool.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace bufferpool {

namespace {

// Buffers of 2 MB or more start on a 2 MB boundary, so that the kernel may back them with huge pages.
constexpr size_t kHugePageBytes = size_t(2) << 20;
constexpr size_t kAlignment = 64;

struct Pool {
    std::mutex lock;
    std::map<size_t, std::vector<uint8_t *>> free; // by size

    // What was given back is freed when the process ends, so that no kept buffer is lost memory.
    ~Pool() {
        for (auto &[bytes, buffers] : free)
            for (uint8_t *buffer : buffers)
                std::free(buffer);
    }
};

Pool &pool() {
    static Pool instance;
    return instance;
}

uint8_t *allocate(size_t bytes) {
    const size_t alignment = bytes >= kHugePageBytes ? kHugePageBytes : kAlignment;
    const size_t rounded = (bytes + alignment - 1) / alignment * alignment;
    auto *buffer = static_cast<uint8_t *>(std::aligned_alloc(alignment, rounded));
    if (buffer == nullptr)
        throw std::bad_alloc();
#if defined(__linux__)
    if (alignment == kHugePageBytes)
        madvise(buffer, rounded, MADV_HUGEPAGE);
#endif
    std::memset(buffer, 0, bytes);
    return buffer;
}

} // namespace

void Return::operator()(uint8_t *buffer) const {
    std::lock_guard guard(pool().lock);
    pool().free[bytes].push_back(buffer);
}

Buffer take(size_t bytes) {
    {
        std::lock_guard guard(pool().lock);
        std::vector<uint8_t *> &free = pool().free[bytes];
        if (!free.empty()) {
            uint8_t *buffer = free.back();
            free.pop_back();
            return Buffer(buffer, Return{bytes});
        }
    }
    return Buffer(allocate(bytes), Return{bytes});
}

} // namespace bufferpool
