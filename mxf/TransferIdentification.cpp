#include "mxf/TransferIdentification.h"

namespace {

using ProductUid = std::array<uint8_t, 16>;

// The product UIDs differ in their third byte only, one per format letter.
constexpr ProductUid productUidWithFormat(uint8_t format) {
    return {0xc3, 0x37, format, 0x01, 0x62, 0x1f, 0x11, 0xdf, 0xa1, 0x0f, 0x08, 0x00, 0x46, 0x78, 0x03, 0x1c};
}

ProductUid productUidFor(char formatLetter) {
    switch (formatLetter) {
    case '!':
        return productUidWithFormat(0x12);
    case '1':
        return productUidWithFormat(0x13);
    case 'A':
        return productUidWithFormat(0x14);
    default:
        return {};
    }
}

} // namespace

IdentificationRecord transferIdentification(char formatLetter) {
    IdentificationRecord record;
    record.companyName = u"Vero";
    record.productName = u"DUDOVIDE";
    record.productVersion = {1, 0, 0, 0, 1};
    record.versionString = u"1.0";
    record.productUID = productUidFor(formatLetter);
    return record;
}
