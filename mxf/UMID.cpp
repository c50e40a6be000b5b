#include "mxf/UMID.h"

#include "mxf/Assertion.h"

#include <QByteArray>
#include <QUuid>
#include <algorithm>

namespace {

constexpr std::array<uint8_t, 10> universalLabel{0x06, 0x0A, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x05, 0x01, 0x01};
constexpr size_t lengthOffset = 12;
constexpr size_t instanceNumberOffset = 13;
// Material number made from a UUID, instance numbers counted locally.
constexpr uint8_t uuidCreationMethods = 0x23;
constexpr uint8_t basicLength = 0x13;
constexpr uint8_t extendedLength = 0x33;
constexpr uint8_t materialTypeNotIdentified = 0x0F;

} // namespace

UMID::UMID() : UMID(materialTypeNotIdentified) {}

UMID::UMID(uint8_t materialType) {
    make(materialType);
}

UMID UMID::fromBytes(const std::array<uint8_t, size> &bytes) {
    UMID umid{Unlabelled{}};
    umid.bytes = bytes;
    return umid;
}

void UMID::make(uint8_t type) {
    std::copy(universalLabel.begin(), universalLabel.end(), bytes.begin());
    bytes[materialTypeOffset] = type;
    bytes[creationMethodsOffset] = uuidCreationMethods;
    bytes[lengthOffset] = extended ? extendedLength : basicLength;
    setInstanceNumber(0);
    // toRfc4122() gives the UUID's fields big-endian, the last eight bytes as they are.
    const QByteArray uuid = QUuid::createUuid().toRfc4122();
    std::array<uint8_t, materialNumberSize> number{};
    std::copy_n(uuid.constData(), std::min<size_t>(number.size(), size_t(uuid.size())), number.begin());
    setMaterialNumber(number);
}

void UMID::setInstanceNumber(uint32_t number) {
    util::require(number < instanceNumberLimit, "valid instance number");
    bytes[instanceNumberOffset] = uint8_t(number >> 16);
    bytes[instanceNumberOffset + 1] = uint8_t(number >> 8);
    bytes[instanceNumberOffset + 2] = uint8_t(number);
}

void UMID::setMaterialNumber(std::span<const uint8_t, materialNumberSize> number) {
    std::copy(number.begin(), number.end(), bytes.begin() + materialNumberOffset);
}

uint32_t UMID::instanceNumber() const {
    return uint32_t(bytes[instanceNumberOffset]) << 16 | uint32_t(bytes[instanceNumberOffset + 1]) << 8 |
           bytes[instanceNumberOffset + 2];
}

std::span<const uint8_t, UMID::materialNumberSize> UMID::materialNumber() const {
    return std::span<const uint8_t, materialNumberSize>(bytes.data() + materialNumberOffset,
                                                        materialNumberSize);
}
