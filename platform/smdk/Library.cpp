// The entry points of the MXF library.

#include "mxf/SMDKLibrary.h"
#include "platform/smdk/FileReader.h"
#include "platform/smdk/OP1aDriver.h"
#include "platform/smdk/StreamWriter.h"

#include <boost/make_shared.hpp>

namespace {

// Package metadata item types (SMPTE 331M).
constexpr uint32_t umidItem = 0x83;
constexpr uint32_t klvMetadataItem = 0x88;

} // namespace

boost::shared_ptr<SMDKWriter> createSMDKWriter(boost::shared_ptr<std::ostream> stream) {
    return boost::make_shared<smdk::StreamWriter>(std::move(stream));
}

boost::shared_ptr<SMDKDriver> createSMDKDriver(boost::shared_ptr<SMDKSource> source) {
    return boost::make_shared<smdk::OP1aDriver>(std::move(source));
}

std::unique_ptr<SMDKReader> openSMDKReader(const std::string &path) {
    return std::make_unique<smdk::FileReader>(path);
}

std::unique_ptr<SMDKReader> openSMDKReader(std::istream &file) {
    return std::make_unique<smdk::FileReader>(file);
}

SMDKMetadataItems createSMDKPackageMetadata(const UMID &packageUmid,
                                            const std::vector<unsigned char> &klvMetadata) {
    SMDKMetadataItems items;
    items.emplace_back(umidItem, std::vector<uint8_t>(packageUmid.bytes.begin(), packageUmid.bytes.end()));
    if (!klvMetadata.empty())
        items.emplace_back(klvMetadataItem, klvMetadata);
    return items;
}
