#include "RecordingWriter.h"
#include "mxf/SMDKFooterPartitionOffsetRewriter.h"
#include "tests/support/AssertionMessage.h"

#include <boost/make_shared.hpp>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <streambuf>

namespace {

using testsupport::assertionMessage;

// A growable in-memory stream buffer whose seeks or writes can be made to fail.
class FaultyBuffer : public std::streambuf {
public:
    bool failSeek = false;
    bool failWrite = false;
    bool failSync = false;
    // Bytes still accepted before writes start failing.
    size_t writeBudget = SIZE_MAX;

    const std::string &bytes() const { return bytes_; }

protected:
    int_type overflow(int_type c) override {
        if (failWrite || writeBudget == 0 || traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::eof();
        put(char(c));
        return c;
    }
    std::streamsize xsputn(const char *s, std::streamsize n) override {
        if (failWrite)
            return 0;
        std::streamsize written = 0;
        for (; written < n && writeBudget > 0; ++written, --writeBudget)
            put(s[written]);
        return written;
    }
    int sync() override { return failSync ? -1 : 0; }
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
        const off_type base = dir == std::ios_base::beg   ? 0
                              : dir == std::ios_base::end ? off_type(bytes_.size())
                                                          : off_type(position_);
        return seekpos(pos_type(base + off), std::ios_base::out);
    }
    pos_type seekpos(pos_type pos, std::ios_base::openmode) override {
        if (failSeek || off_type(pos) < 0)
            return pos_type(off_type(-1));
        position_ = size_t(off_type(pos));
        return pos;
    }

private:
    void put(char c) {
        if (position_ >= bytes_.size())
            bytes_.resize(position_ + 1);
        bytes_[position_++] = c;
    }
    std::string bytes_;
    size_t position_ = 0;
};

struct RewriterFixture : ::testing::Test {
    boost::shared_ptr<std::stringstream> stream = boost::make_shared<std::stringstream>();
    boost::shared_ptr<RecordingWriter> writer = boost::make_shared<RecordingWriter>(stream);
    SMDKFooterPartitionOffsetRewriter rewriter{stream, writer};
    MXFStructureHandler *handler = rewriter.structureHandler();

    void pad(size_t count) { rewriter.writeBytes(std::vector<uint8_t>(count, 0x11)); }
    // Header pack at 0, body pack at 600, footer pack at 900, each 100 bytes, as a writer would lay them out.
    void writeThreePartitions() {
        handler->partitionStart(0, nullptr);
        pad(500);
        handler->partitionStart(1, nullptr);
        pad(200);
        handler->partitionStart(2, nullptr);
    }
    std::string bytesAt(size_t offset, size_t count) const { return stream->str().substr(offset, count); }
};

const std::string footerAt900("\x00\x00\x00\x00\x00\x00\x03\x84", 8);

TEST_F(RewriterFixture, WritesFooterOffsetIntoEveryPackAndStopsAfterTheLastField) {
    handler->streamStart();
    writeThreePartitions();
    handler->streamEnd();

    EXPECT_EQ(bytesAt(44, 8), footerAt900);
    EXPECT_EQ(bytesAt(644, 8), footerAt900);
    EXPECT_EQ(bytesAt(944, 8), footerAt900);
    EXPECT_EQ(stream->tellp(), std::streampos(952));
    // Nothing else was touched.
    const std::string file = stream->str();
    ASSERT_EQ(file.size(), 1000u);
    for (size_t i = 0; i < file.size(); ++i) {
        const bool inField = (i >= 44 && i < 52) || (i >= 644 && i < 652) || (i >= 944 && i < 952);
        if (!inField) {
            ASSERT_NE(file[i], 0x00) << "byte " << i;
        }
    }
}

TEST_F(RewriterFixture, OffsetsCountFromTheStreamPositionAtStreamStart) {
    pad(10);
    handler->streamStart();
    writeThreePartitions();
    handler->streamEnd();

    EXPECT_EQ(bytesAt(10 + 44, 8), footerAt900);
    EXPECT_EQ(bytesAt(10 + 644, 8), footerAt900);
    EXPECT_EQ(bytesAt(10 + 944, 8), footerAt900);
    EXPECT_EQ(stream->tellp(), std::streampos(962));
}

TEST_F(RewriterFixture, SecondStreamStartDiscardsEarlierPacks) {
    handler->streamStart();
    handler->partitionStart(0, nullptr);
    handler->streamStart();
    pad(100);
    handler->partitionStart(1, nullptr);
    handler->streamEnd();

    // Only the pack noted after the second start (at 200, relative 100) is rewritten, with its own offset.
    EXPECT_EQ(bytesAt(44, 8), std::string(8, '\xAA'));
    EXPECT_EQ(bytesAt(244, 8), std::string("\x00\x00\x00\x00\x00\x00\x00\x64", 8));
}

TEST_F(RewriterFixture, WithoutPartitionsStreamEndWritesNothing) {
    handler->streamStart();
    pad(100);
    handler->streamEnd();

    EXPECT_EQ(stream->str(), std::string(100, '\x11'));
    EXPECT_EQ(stream->tellp(), std::streampos(100));
}

TEST_F(RewriterFixture, ForwardsEveryCallbackToTheWrappedHandlerUnchanged) {
    const auto *description = reinterpret_cast<const MXFPartitionDescription *>(&rewriter);
    handler->streamStart();
    handler->contentPackageStart(41);
    handler->partitionStart(3, description);
    handler->headerMetadataStart(4);
    handler->indexTableStart(5);
    handler->streamEnd();

    EXPECT_EQ(writer->lastDescription, description);
    EXPECT_EQ(writer->calls,
              (std::vector<std::string>{"streamStart", "contentPackageStart 41", "partitionStart 3",
                                        "headerMetadataStart 4", "indexTableStart 5", "streamEnd"}));
}

TEST_F(RewriterFixture, ForwardsStreamEndBeforeRewriting) {
    handler->streamStart();
    handler->partitionStart(0, nullptr);
    // The wrapped writer sees streamEnd while the stream still stands at the end of the file.
    handler->streamEnd();
    EXPECT_EQ(writer->calls.back(), "streamEnd");
    EXPECT_EQ(bytesAt(44, 8), std::string(8, '\x00'));
}

// A writer that offers no structure handler.
struct WriterWithoutHandler : RecordingWriter {
    using RecordingWriter::RecordingWriter;
    MXFStructureHandler *structureHandler() override { return nullptr; }
};

TEST(RewriterStreamFailure, WithoutStreamOrWrappedHandlerFailsCleanly) {
    auto stream = boost::make_shared<std::stringstream>();
    EXPECT_EQ(assertionMessage([] {
                  SMDKFooterPartitionOffsetRewriter(nullptr, boost::make_shared<RecordingWriter>(nullptr));
              }),
              "assertion failure: has output stream");

    SMDKFooterPartitionOffsetRewriter rewriter(stream, boost::make_shared<WriterWithoutHandler>(stream));
    const std::vector<std::function<void()>> callbacks{
        [&] { rewriter.streamStart(); },          [&] { rewriter.partitionStart(0, nullptr); },
        [&] { rewriter.headerMetadataStart(0); }, [&] { rewriter.indexTableStart(0); },
        [&] { rewriter.contentPackageStart(0); }, [&] { rewriter.streamEnd(); }};
    for (const auto &callback : callbacks)
        EXPECT_EQ(assertionMessage(callback), "assertion failure: has structure handler");
}

TEST(RewriterStreamFailure, ReportsEachFailedStreamOperation) {
    FaultyBuffer buffer;
    auto stream = boost::make_shared<std::ostream>(&buffer);
    auto writer = boost::make_shared<RecordingWriter>(stream);
    SMDKFooterPartitionOffsetRewriter rewriter(stream, writer);

    rewriter.streamStart();
    rewriter.partitionStart(0, nullptr);
    buffer.failWrite = true;
    EXPECT_EQ(assertionMessage([&] { rewriter.streamEnd(); }), "assertion failure: successful write()");

    stream->clear();
    buffer.failWrite = false;
    buffer.failSeek = true;
    EXPECT_EQ(assertionMessage([&] { rewriter.streamEnd(); }), "assertion failure: successful seekp()");

    stream->setstate(std::ios_base::badbit);
    EXPECT_EQ(assertionMessage([&] { rewriter.streamStart(); }), "assertion failure: successful tellp()");
    EXPECT_EQ(assertionMessage([&] { rewriter.partitionStart(1, nullptr); }),
              "assertion failure: successful tellp()");
}

TEST(RewriterStreamFailure, ReportsAFailedFlushOfTheRewrittenFields) {
    FaultyBuffer buffer;
    auto stream = boost::make_shared<std::ostream>(&buffer);
    auto writer = boost::make_shared<RecordingWriter>(stream);
    SMDKFooterPartitionOffsetRewriter rewriter(stream, writer);
    rewriter.streamStart();
    rewriter.partitionStart(0, nullptr);
    buffer.failSync = true;

    EXPECT_EQ(assertionMessage([&] { rewriter.streamEnd(); }), "assertion failure: successful flush()");
}

TEST(RewriterStreamFailure, StopsAtTheFirstFailedWriteKeepingEarlierFields) {
    FaultyBuffer buffer;
    auto stream = boost::make_shared<std::ostream>(&buffer);
    auto writer = boost::make_shared<RecordingWriter>(stream);
    SMDKFooterPartitionOffsetRewriter rewriter(stream, writer);
    rewriter.streamStart();
    rewriter.partitionStart(0, nullptr);
    rewriter.partitionStart(1, nullptr);
    buffer.writeBudget = 8;

    EXPECT_EQ(assertionMessage([&] { rewriter.streamEnd(); }), "assertion failure: successful write()");
    // The first pack got the footer's offset (100); the second pack's field is still as it was written.
    EXPECT_EQ(buffer.bytes().substr(44, 8), std::string("\x00\x00\x00\x00\x00\x00\x00\x64", 8));
    EXPECT_EQ(buffer.bytes().substr(144, 8), std::string(8, '\xAA'));
}

} // namespace
