#pragma once

// Large buffers of the capture engine (ring slots, the staging buffer, the writer's frame buffers), kept by
// the process from one transfer to the next. A transfer uses some 170 MB; mapping that memory afresh for
// every transfer and every restart costs a page fault per page, which on a virtual machine can take longer
// than a second. A buffer taken goes back to the pool when its owner lets go of it, and the next transfer
// takes it again.
//
// A new buffer has all its pages mapped when take returns, before any capture starts (it is written through
// once, with zeros); a reused one holds what its last owner left in it. Buffers are at least 64-byte aligned.
//
// Threads: take and the release of a buffer are safe from any thread.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace bufferpool {

struct Return {
    size_t bytes = 0;
    void operator()(uint8_t *buffer) const;
};

using Buffer = std::unique_ptr<uint8_t[], Return>;

// A buffer of bytes bytes (more than zero).
Buffer take(size_t bytes);

} // namespace bufferpool
