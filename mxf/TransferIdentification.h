#pragma once

// Who writes a transferred clip: the identification record every file of a transfer carries. The product
// UID tells the clip's format apart by its format letter ("!", "1" or "A"); any other letter gets sixteen
// zero bytes.

#include "mxf/IdentificationRecord.h"

IdentificationRecord transferIdentification(char formatLetter);
