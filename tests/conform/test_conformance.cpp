// The conformance check on a file the MXF library wrote: the untouched file conforms, with and without the
// clip's information; each fault built by editing its bytes gives its named failure; a file cut anywhere
// gives named failures and nothing worse.

#include "conform/Conformance.h"
#include "mxf/SMDKFooterPartitionOffsetRewriter.h"
#include "mxf/SMDKLibrary.h"
#include "tests/support/ClipSource.h"

#include <QTemporaryDir>
#include <algorithm>
#include <boost/make_shared.hpp>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kFrames = 4;
constexpr int kChannels = 2;

const conform::ExpectedEssence kExpected{.width = 1920,
                                         .height = 1080,
                                         .frameLayout = 0,
                                         .rateNumerator = 25,
                                         .rateDenominator = 1,
                                         .horizontalSubsampling = 2,
                                         .componentDepth = 10,
                                         .soundChannels = kChannels,
                                         .soundSamplingRate = 48000,
                                         .soundBits = 24};

// A finished file of kFrames frames with kChannels sound channels, as the MXF library writes it.
Bytes writtenFile() {
    QTemporaryDir directory;
    const std::string path = directory.filePath("clip.mxf").toStdString();
    auto metadata = boost::make_shared<ClipMetadata>();
    metadata->channels = kChannels;
    metadata->frames = kFrames;
    auto source = boost::make_shared<ClipSource>(metadata);
    auto stream = boost::make_shared<std::ofstream>(path, std::ios::binary);
    auto driver = createSMDKDriver(source);
    driver->attachWriter(
        boost::make_shared<SMDKFooterPartitionOffsetRewriter>(stream, createSMDKWriter(stream)));
    const Bytes picture(700, 0x55), sound(5760, 0x11), data(36, 0x77);
    for (int i = 0; i < kFrames; ++i) {
        source->setEditUnit(picture, {sound, sound}, data, {0x81});
        driver->processFrame();
    }
    driver->finish();
    stream->close();
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

const Bytes &goodFile() {
    static const Bytes file = writtenFile();
    return file;
}

std::vector<std::string> failedChecks(const Bytes &file) {
    std::vector<std::string> names;
    for (const conform::ConformanceFailure &failure : conform::checkConformance(file, kExpected).failures)
        names.push_back(failure.check.toStdString());
    return names;
}

// Where `pattern` first starts at or after `from`; the test fails when it is not there.
size_t find(const Bytes &file, const Bytes &pattern, size_t from = 0) {
    const auto at =
        std::search(file.begin() + std::ptrdiff_t(from), file.end(), pattern.begin(), pattern.end());
    EXPECT_NE(at, file.end());
    return at == file.end() ? 0 : size_t(at - file.begin());
}

const Bytes kPartitionKey{0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01, 0x0D, 0x01, 0x02, 0x01, 0x01};
const Bytes kIndexKey{0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01,
                      0x0D, 0x01, 0x02, 0x01, 0x01, 0x10, 0x01, 0x00};

size_t footerOffset(const Bytes &file) {
    Bytes footerKey = kPartitionKey;
    footerKey.push_back(0x04);
    return find(file, footerKey);
}

struct Fault {
    const char *what;
    std::function<void(Bytes &)> edit;
    std::vector<std::string> checks; // exactly these fail
};

TEST(Conformance, WrittenFileConformsWithAndWithoutTheClipInformation) {
    const conform::ConformanceResult compared = conform::checkConformance(goodFile(), kExpected);
    EXPECT_EQ(compared.lines().join('\n').toStdString(), "");
    EXPECT_TRUE(compared.descriptorsCompared);
    const conform::ConformanceResult alone = conform::checkConformance(goodFile(), std::nullopt);
    EXPECT_EQ(alone.lines().join('\n').toStdString(), "");
    EXPECT_FALSE(alone.descriptorsCompared);
}

TEST(Conformance, EachEditedFaultGivesItsNamedFailure) {
    const std::vector<Fault> faults{
        {"header left open", [](Bytes &f) { f[14] = 0x01; }, {"header-open"}},
        {"second index entry one byte on",
         [](Bytes &f) {
             // The entry array item: tag 3F0A, its length, count and size, then 11-byte entries whose
             // stream offset ends each one.
             const size_t array = find(f, {0x3F, 0x0A}, find(f, kIndexKey));
             ++f[array + 4 + 8 + 11 + 10];
         },
         {"index-offset"}},
        {"footer dropped",
         [](Bytes &f) { f.resize(footerOffset(f)); },
         {"footer-missing", "rip-missing", "index-missing"}},
        {"header's stored width changed",
         [](Bytes &f) {
             f[find(f, {0x32, 0x03, 0x00, 0x04, 0x00, 0x00, 0x07, 0x80}) + 7] = 0x7F;
         },
         {"metadata-footer", "descriptor-size"}},
        {"random index pack's length field", [](Bytes &f) { ++f.back(); }, {"rip-length"}},
        {"random index pack names another footer offset",
         [](Bytes &f) { ++f[f.size() - 5]; },
         {"rip-entries"}},
        {"a data element turned into a legacy fill item",
         [](Bytes &f) {
             const size_t data = find(f, {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x01, 0x0D, 0x01, 0x03,
                                          0x01, 0x17, 0x01, 0x02, 0x01});
             const Bytes legacyFill{0x06, 0x0E, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x01,
                                    0x03, 0x01, 0x02, 0x10, 0x01, 0x00, 0x00, 0x00};
             std::copy(legacyFill.begin(), legacyFill.end(), f.begin() + std::ptrdiff_t(data));
         },
         {"element-count", "track-duration", "fill-key"}},
    };
    for (const Fault &fault : faults) {
        SCOPED_TRACE(fault.what);
        Bytes file = goodFile();
        fault.edit(file);
        EXPECT_EQ(failedChecks(file), fault.checks);
    }
}

TEST(Conformance, FileCutAnywhereFailsByName) {
    const Bytes &good = goodFile();
    const size_t footer = footerOffset(good);
    for (size_t size = 0; size < good.size(); size += size < footer ? 97 : 7) {
        const Bytes cut(good.begin(), good.begin() + std::ptrdiff_t(size));
        const std::vector<std::string> checks = failedChecks(cut);
        ASSERT_FALSE(checks.empty()) << size;
        EXPECT_NE(std::find(checks.begin(), checks.end(), "rip-missing"), checks.end()) << size;
    }
}

} // namespace
