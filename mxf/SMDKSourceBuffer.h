#pragma once

// The MXF library's view of one essence buffer of an edit unit. The bytes belong to whoever filled the
// buffer and stay unchanged until the library's write of that edit unit has returned.

#include <cstdint>

class SMDKSourceBuffer {
public:
    virtual ~SMDKSourceBuffer() = default;

    // First byte of the buffer; null when the buffer is empty.
    virtual const uint8_t *data() const = 0;
    // Number of bytes at data().
    virtual uint32_t size() const = 0;
};
