#pragma once

// The package identifiers of a clip's MXF file, derived from the clip's own identifier so that transferring
// the same clip twice gives the same package UMIDs. All results are basic (32-byte) UMIDs.

#include "mxf/SMDKMasterMetadata.h"
#include "mxf/UMID.h"

// The clip UMID: the standard label and length byte, with material type, creation methods, instance number
// and material number taken from the seed (bytes 10, 11, 13-15 and 16-31). The seed's other bytes are not
// used.
UMID deriveClipUmid(const UMID &seed);

// The metadata's secondPackageUmid with bit 0 of byte 16 inverted.
UMID deriveFirstPackageUmid(const SMDKMasterMetadata &metadata);

// The metadata's secondPackageUmid with bit 3 of byte 16 inverted.
UMID deriveSourcePackageUmid(const SMDKMasterMetadata &metadata);
