#include "platform/smdk/SystemItem.h"

#include "bytes/ByteWriter.h"
#include "mxf/Assertion.h"
#include "platform/smdk/Labels.h"

#include <array>

namespace smdk {

namespace {

struct RateCode {
    SMDKRational rate;
    uint8_t code;
};

// 5-bit rate code shifted left by one, bit 0 set for the 1000/1001 rates.
constexpr std::array rateCodes{
    RateCode{{24, 1}, 0x02},       RateCode{{24000, 1001}, 0x03}, RateCode{{25, 1}, 0x04},
    RateCode{{30, 1}, 0x06},       RateCode{{30000, 1001}, 0x07}, RateCode{{48, 1}, 0x08},
    RateCode{{48000, 1001}, 0x09}, RateCode{{50, 1}, 0x0A},       RateCode{{60, 1}, 0x0C},
    RateCode{{60000, 1001}, 0x0D},
};

} // namespace

uint8_t contentPackageRate(SMDKRational editRate) {
    for (const RateCode &entry : rateCodes)
        if (int64_t(entry.rate.numerator) * editRate.denominator ==
            int64_t(editRate.numerator) * entry.rate.denominator)
            return entry.code;
    return 0;
}

std::vector<uint8_t> systemMetadataPack(uint8_t bitmap, uint8_t rate, int64_t editUnit,
                                        const SMDKUserTimestamp &userTimestamp) {
    std::vector<uint8_t> out;
    out.reserve(systemMetadataPackSize);
    ByteWriter writer(out);
    writer.u8(bitmap);
    writer.u8(rate);
    writer.u8(0);                     // content package type
    writer.u16BE(0);                  // channel handle
    writer.u16BE(uint16_t(editUnit)); // continuity count, modulo 65536
    writer.bytes(labels::multipleWrappings);
    writer.fill(0, userTimestamp.size()); // creation date/time stamp: absent
    util::require(out.size() == systemUserTimestampOffset, "the user date/time stamp where readers look");
    writer.bytes(userTimestamp);
    return out;
}

std::vector<uint8_t> packageMetadataSet(const SMDKMetadataItems &items) {
    std::vector<uint8_t> out;
    ByteWriter writer(out);
    for (const auto &[type, value] : items) {
        util::require(type <= 0xFF && value.size() <= 0xFFFF, "valid package metadata item");
        writer.u8(uint8_t(type));
        writer.u16BE(uint16_t(value.size()));
        writer.bytes(value);
    }
    return out;
}

} // namespace smdk
