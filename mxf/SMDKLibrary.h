#pragma once

// Entry points of the MXF library. Its failures are util::assertion_failure (mxf/Assertion.h); the checked
// stream operations it and its writer filters use are in mxf/OutputStream.h.

#include "mxf/Assertion.h"
#include "mxf/OutputStream.h"
#include "mxf/SMDKDriver.h"
#include "mxf/SMDKReader.h"
#include "mxf/SMDKSource.h"
#include "mxf/SMDKTypes.h"
#include "mxf/SMDKWriter.h"
#include "mxf/UMID.h"

#include <boost/shared_ptr.hpp>
#include <ostream>
#include <vector>

// A writer that writes a file into `stream` (binary, positioned where the file begins).
boost::shared_ptr<SMDKWriter> createSMDKWriter(boost::shared_ptr<std::ostream> stream);
// A driver that writes the file described and supplied by `source`.
boost::shared_ptr<SMDKDriver> createSMDKDriver(boost::shared_ptr<SMDKSource> source);
// The package metadata items of a system item for the package `packageUmid`: the UMID item, then the KLV
// metadata item holding `klvMetadata` when it is not empty.
SMDKMetadataItems createSMDKPackageMetadata(const UMID &packageUmid,
                                            const std::vector<unsigned char> &klvMetadata);
