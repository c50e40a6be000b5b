#pragma once

// Instance UIDs of the sets of one file. Each file draws one random base; the n-th UID asked for is the
// base with n in its last four bytes, so coding the header metadata again (the final copy in the footer,
// the closed header) gives every set the same UID as before.

#include "platform/smdk/LocalSet.h"

#include <cstdint>

namespace smdk {

// A random (version 4) UUID.
Uuid randomUuid();

class InstanceUids {
public:
    explicit InstanceUids(const Uuid &base) : base_(base) {}
    Uuid next();

private:
    Uuid base_;
    uint32_t count_ = 0;
};

} // namespace smdk
