#pragma once

// A non-owning view of one essence buffer: a byte pointer and a size into memory that belongs to the writer
// thread. The transfer source re-points it for every edit unit; a new view is empty. Destroying a view never
// frees the bytes.

#include "mxf/SMDKSourceBuffer.h"

#include <cstdint>

class QIROSimpleSourceBuffer final : public SMDKSourceBuffer {
public:
    const uint8_t *data() const override { return dataPointer; }
    uint32_t size() const override { return byteCount; }

private:
    friend class QIROSRTransferSource;

    const uint8_t *dataPointer = nullptr;
    uint32_t byteCount = 0;
};
