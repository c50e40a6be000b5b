#include "platform/smdk/Klv.h"

namespace smdk {

size_t berLengthSize(uint64_t length) {
    return length < shortBerLimit ? shortBerSize : 9;
}

void appendBerLength(ByteWriter &out, uint64_t length) {
    if (length < shortBerLimit) {
        out.u8(0x83);
        out.u24BE(uint32_t(length));
    } else {
        out.u8(0x88);
        out.u64BE(length);
    }
}

void appendKlvHeader(ByteWriter &out, const UL &key, uint64_t length) {
    out.bytes(key);
    appendBerLength(out, length);
}

} // namespace smdk
