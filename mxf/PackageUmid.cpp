#include "mxf/PackageUmid.h"

namespace {

constexpr size_t materialTypeOffset = 10;
constexpr size_t creationMethodsOffset = 11;
constexpr uint8_t firstPackageBit = 0x01;
constexpr uint8_t sourcePackageBit = 0x08;

UMID withMaterialBitInverted(UMID umid, uint8_t bit) {
    umid.bytes[UMID::materialNumberOffset] ^= bit;
    return umid;
}

} // namespace

UMID deriveClipUmid(const UMID &seed) {
    UMID clip(seed.bytes[materialTypeOffset]);
    clip.bytes[creationMethodsOffset] = seed.bytes[creationMethodsOffset];
    clip.setInstanceNumber(seed.instanceNumber());
    clip.setMaterialNumber(seed.materialNumber());
    return clip;
}

UMID deriveFirstPackageUmid(const SMDKMasterMetadata &metadata) {
    return withMaterialBitInverted(metadata.secondPackageUmid(), firstPackageBit);
}

UMID deriveSourcePackageUmid(const SMDKMasterMetadata &metadata) {
    return withMaterialBitInverted(metadata.secondPackageUmid(), sourcePackageBit);
}
