#include "mxf/PackageUmid.h"

namespace {

constexpr uint8_t firstPackageBit = 0x01;
constexpr uint8_t sourcePackageBit = 0x08;

UMID withMaterialBitInverted(UMID umid, uint8_t bit) {
    umid.bytes[UMID::materialNumberOffset] ^= bit;
    return umid;
}

} // namespace

UMID deriveClipUmid(const UMID &seed) {
    UMID clip(seed.bytes[UMID::materialTypeOffset]);
    clip.bytes[UMID::creationMethodsOffset] = seed.bytes[UMID::creationMethodsOffset];
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
