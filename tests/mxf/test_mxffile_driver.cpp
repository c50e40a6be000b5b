// The driver's use of the writer chain: when the structure handler is called, what the file says when the
// clip's duration differs from the edit units written, and the guards of the calling order.

#include "mxf/Assertion.h"
#include "mxf/MXFStructureHandler.h"
#include "mxf/SMDKDefaultWriterFilter.h"
#include "mxf/SMDKFooterPartitionOffsetRewriter.h"
#include "mxf/SMDKLibrary.h"
#include "tests/support/AssertionMessage.h"
#include "tests/support/ClipSource.h"
#include "tests/support/MxfFileReader.h"

#include <boost/make_shared.hpp>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>

namespace {

using testsupport::assertionMessage;

// Records each structure callback with the stream's size at that moment, and passes it on.
class ObservingFilter : public SMDKDefaultWriterFilter, public MXFStructureHandler {
public:
    struct Event {
        std::string name;
        uint64_t streamSize;
    };

    ObservingFilter(boost::shared_ptr<std::stringstream> stream, boost::shared_ptr<SMDKWriter> writer)
        : SMDKDefaultWriterFilter(std::move(writer)), stream_(std::move(stream)) {}

    std::vector<Event> events;
    // An overwrite at this position throws, as a stream failing there would.
    std::optional<uint64_t> failOverwriteAt;

    void overwrite(uint64_t position, std::span<const uint8_t> bytes) override {
        note("overwrite " + std::to_string(position));
        util::require(position != failOverwriteAt, "successful write()");
        SMDKDefaultWriterFilter::overwrite(position, bytes);
    }
    void flush() override {
        note("flush");
        SMDKDefaultWriterFilter::flush();
    }
    MXFStructureHandler *structureHandler() override { return this; }
    void contentPackageStart(int64_t editUnit) override {
        note("contentPackageStart");
        next().structureHandler()->contentPackageStart(editUnit);
    }
    void streamStart() override {
        note("streamStart");
        next().structureHandler()->streamStart();
    }
    void streamEnd() override {
        note("streamEnd");
        next().structureHandler()->streamEnd();
    }
    void partitionStart(uint32_t index, const MXFPartitionDescription *description) override {
        note("partitionStart");
        next().structureHandler()->partitionStart(index, description);
    }
    void headerMetadataStart(uint32_t index) override {
        note("headerMetadataStart");
        next().structureHandler()->headerMetadataStart(index);
    }
    void indexTableStart(uint32_t index) override {
        note("indexTableStart");
        next().structureHandler()->indexTableStart(index);
    }

private:
    void note(const std::string &name) { events.push_back({name, stream_->str().size()}); }
    boost::shared_ptr<std::stringstream> stream_;
};

struct DriverFixture : ::testing::Test {
    boost::shared_ptr<ClipMetadata> metadata = boost::make_shared<ClipMetadata>();
    boost::shared_ptr<ClipSource> source;
    boost::shared_ptr<std::stringstream> stream = boost::make_shared<std::stringstream>();
    boost::shared_ptr<ObservingFilter> observer;
    boost::shared_ptr<SMDKDriver> driver;
    std::vector<uint8_t> picture = std::vector<uint8_t>(100, 0x5A);
    std::vector<uint8_t> samples = std::vector<uint8_t>(5760, 0x21);

    void makeDriver(int32_t channels) {
        metadata->channels = channels;
        source = boost::make_shared<ClipSource>(metadata);
        observer = boost::make_shared<ObservingFilter>(stream, createSMDKWriter(stream));
        driver = createSMDKDriver(source);
        driver->attachWriter(boost::make_shared<SMDKFooterPartitionOffsetRewriter>(stream, observer));
    }
    void writeFrames(int count) {
        for (int i = 0; i < count; ++i) {
            source->setEditUnit(picture,
                                std::vector<std::span<const uint8_t>>(size_t(metadata->channels), samples),
                                {}, {0x81});
            driver->processFrame();
        }
    }
    std::vector<uint8_t> file() const {
        const std::string bytes = stream->str();
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    }
    // The component durations of the header metadata in the footer partition.
    std::vector<uint64_t> footerDurations() const {
        const std::vector<uint8_t> bytes = file();
        const auto items = mxftest::splitKlv(bytes);
        EXPECT_TRUE(items);
        std::vector<uint64_t> durations;
        bool inFooter = false;
        for (const mxftest::Klv &klv : *items) {
            if (mxftest::isPartitionPack(klv.key))
                inFooter = klv.key[13] == 0x04;
            else if (inFooter && klv.key[4] == 0x02 && klv.key[5] == 0x53 && klv.key[12] == 0x01 &&
                     klv.key[13] == 0x01) {
                const auto set = mxftest::decodeLocalSet(bytes, klv);
                EXPECT_TRUE(set);
                for (const auto &[tag, value] : set.value_or(decltype(set)::value_type{}))
                    if (tag == 0x0202)
                        durations.push_back(mxftest::u64At(value, 0));
            }
        }
        EXPECT_FALSE(durations.empty());
        return durations;
    }
};

TEST_F(DriverFixture, CallsTheStructureHandlerAtTheStartOfEachStructure) {
    makeDriver(1);
    writeFrames(3);
    metadata->frames = 3;
    driver->finish();
    const std::vector<uint8_t> bytes = file();

    const auto &events = observer->events;
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().name, "streamStart");
    EXPECT_EQ(events.front().streamSize, 0u) << "nothing written before streamStart";
    EXPECT_EQ(events.back().name, "streamEnd");
    EXPECT_EQ(events.back().streamSize, bytes.size()) << "nothing written after streamEnd";
    int partitions = 0, packages = 0;
    for (const auto &event : events) {
        if (event.name == "partitionStart") {
            ++partitions;
            ASSERT_LT(event.streamSize + 16, bytes.size());
            mxftest::Key key;
            std::copy_n(bytes.begin() + ptrdiff_t(event.streamSize), 16, key.begin());
            EXPECT_TRUE(mxftest::isPartitionPack(key)) << "a pack begins where partitionStart was called";
        } else if (event.name == "contentPackageStart") {
            ++packages;
            EXPECT_EQ(bytes[event.streamSize + 12], 0x04) << "a system item begins where the package starts";
        }
    }
    EXPECT_EQ(partitions, 3);
    EXPECT_EQ(packages, 3);
}

TEST_F(DriverFixture, FooterDurationsFollowTheMetadataWithinTheEditUnitsWritten) {
    makeDriver(0);
    writeFrames(5);
    metadata->frames = 4;
    driver->finish();
    for (uint64_t duration : footerDurations())
        EXPECT_EQ(duration, 4u);

    stream->str("");
    makeDriver(0);
    writeFrames(2);
    metadata->frames = 9;
    driver->finish();
    for (uint64_t duration : footerDurations())
        EXPECT_EQ(duration, 2u) << "no more than was written";
}

TEST_F(DriverFixture, FinishWithoutFramesWritesAWholeEmptyFile) {
    makeDriver(2);
    metadata->frames = 0;
    driver->finish();
    const std::vector<uint8_t> bytes = file();
    const auto items = mxftest::splitKlv(bytes);
    ASSERT_TRUE(items);
    std::vector<mxftest::PartitionPack> packs;
    for (const mxftest::Klv &klv : *items)
        if (mxftest::isPartitionPack(klv.key))
            packs.push_back(*mxftest::decodePartitionPack(bytes, klv));
    ASSERT_EQ(packs.size(), 3u);
    EXPECT_EQ(packs[2].indexSid, 0u) << "no index for no edit units";
    EXPECT_EQ(packs[2].indexByteCount, 0u);
    EXPECT_EQ(items->back().key[13], 0x11) << "Random Index Pack last";
}

TEST_F(DriverFixture, GuardsTheCallingOrder) {
    auto source = boost::make_shared<ClipSource>(metadata);
    auto lone = createSMDKDriver(source);
    EXPECT_EQ(assertionMessage([&] { lone->processFrame(); }), "assertion failure: has writer");

    makeDriver(0);
    writeFrames(1);
    EXPECT_EQ(assertionMessage([&] { driver->attachWriter(createSMDKWriter(stream)); }),
              "assertion failure: writer attached before the first frame");
    driver->finish();
    EXPECT_EQ(assertionMessage([&] { driver->finish(); }), "assertion failure: file not finished");
    EXPECT_EQ(assertionMessage([&] { driver->processFrame(); }), "assertion failure: file not finished");
}

TEST_F(DriverFixture, NeverFinishesAFileAfterAFrameFailedPartWay) {
    makeDriver(2);
    writeFrames(1);
    stream->setstate(std::ios::badbit);
    EXPECT_THROW(writeFrames(1), util::assertion_failure);
    stream->clear();
    EXPECT_EQ(assertionMessage([&] { driver->finish(); }), "assertion failure: no write failed part-way");
    EXPECT_EQ(assertionMessage([&] { driver->processFrame(); }),
              "assertion failure: no write failed part-way");
}

TEST_F(DriverFixture, ClosesTheHeaderOnlyOnceFooterIndexRipAndFooterOffsetsAreFlushed) {
    makeDriver(1);
    writeFrames(2);
    metadata->frames = 2;
    driver->finish();
    std::vector<std::string> tail;
    std::vector<uint64_t> packs;
    for (const auto &event : observer->events) {
        if (event.name == "partitionStart")
            packs.push_back(event.streamSize);
        if (event.name.starts_with("overwrite") || event.name == "flush" || event.name == "streamEnd")
            tail.push_back(event.name);
    }
    ASSERT_EQ(packs.size(), 3u);
    const uint64_t body = packs[1], footer = packs[2];
    const std::vector<std::string> expected{"overwrite 44",
                                            "overwrite " + std::to_string(body + 44),
                                            "overwrite " + std::to_string(footer + 44),
                                            "flush",
                                            "overwrite 0",
                                            "flush",
                                            "streamEnd"};
    EXPECT_EQ(tail, expected);
}

TEST_F(DriverFixture, AFinishThatFailsLeavesTheHeaderOpenAndIsNeverRepeated) {
    makeDriver(1);
    writeFrames(1);
    metadata->frames = 1;
    observer->failOverwriteAt = 0;
    EXPECT_THROW(driver->finish(), util::assertion_failure);
    const std::vector<uint8_t> failed = file();
    EXPECT_EQ(failed[14], 0x01) << "header still open and incomplete";
    observer->failOverwriteAt.reset();
    EXPECT_EQ(assertionMessage([&] { driver->finish(); }), "assertion failure: no write failed part-way");
    EXPECT_EQ(file(), failed) << "no second footer";
}

TEST(StreamWriterGuards, RefuseWritesOutsideTheStreamAndOutOfOrder) {
    auto stream = boost::make_shared<std::stringstream>();
    auto writer = createSMDKWriter(stream);
    MXFStructureHandler *handler = writer->structureHandler();
    const std::vector<uint8_t> bytes{1, 2, 3};
    EXPECT_EQ(assertionMessage([&] { writer->writeBytes(bytes); }),
              "assertion failure: stream started and not ended");

    handler->streamStart();
    writer->writeBytes(bytes);
    EXPECT_EQ(assertionMessage([&] { writer->overwrite(1, bytes); }),
              "assertion failure: overwrite what was written");
    EXPECT_EQ(assertionMessage([&] { handler->contentPackageStart(0); }),
              "assertion failure: content package in an essence partition");
    EXPECT_EQ(assertionMessage([&] { handler->partitionStart(0, nullptr); }),
              "assertion failure: partition in file order");
    handler->streamEnd();
    EXPECT_EQ(assertionMessage([&] { writer->writeBytes(bytes); }),
              "assertion failure: stream started and not ended");

    stream->setstate(std::ios_base::badbit);
    EXPECT_EQ(assertionMessage([&] { handler->streamStart(); }), "assertion failure: successful tellp()");
}

} // namespace
