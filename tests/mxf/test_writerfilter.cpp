#include "RecordingWriter.h"
#include "mxf/SMDKDefaultWriterFilter.h"
#include "tests/support/AssertionMessage.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>
#include <sstream>

namespace {

using testsupport::assertionMessage;

class FixedBuffer : public SMDKSourceBuffer {
public:
    const uint8_t *data() const override { return bytes; }
    uint32_t size() const override { return 3; }
    uint8_t bytes[3] = {1, 2, 3};
};

TEST(DefaultWriterFilter, PassesEveryOperationAndResultThrough) {
    auto stream = boost::make_shared<std::stringstream>();
    auto writer = boost::make_shared<RecordingWriter>(stream);
    SMDKDefaultWriterFilter filter(writer);
    MXFKey key{};
    key[0] = 6;
    key[15] = 9;
    const std::vector<uint8_t> bytes{1, 2};

    filter.writeElement(boost::make_shared<FixedBuffer>(), key);
    EXPECT_EQ(filter.structureHandler(), writer.get());
    filter.writeKLV(key, bytes);
    filter.writeBytes(bytes);
    EXPECT_EQ(filter.position(), 77u);
    filter.overwrite(12, bytes);
    filter.flush();
    EXPECT_EQ(filter.partitions(), (std::vector<MXFPartitionEntry>{{1, 600}}));
    EXPECT_EQ(filter.editUnitOffsets(), (std::vector<uint64_t>{0, 5}));

    EXPECT_EQ(writer->calls,
              (std::vector<std::string>{"writeElement 3 9", "writeKLV 6 2", "writeBytes 2", "position",
                                        "overwrite 12 2", "flush", "partitions", "editUnitOffsets"}));
    EXPECT_EQ(stream->str(), std::string("\x01\x02", 2));
}

TEST(DefaultWriterFilter, SetReplacesAndGetReturnsTheWrappedWriter) {
    auto stream = boost::make_shared<std::stringstream>();
    auto first = boost::make_shared<RecordingWriter>(stream);
    auto second = boost::make_shared<RecordingWriter>(stream);
    SMDKDefaultWriterFilter filter(first);
    EXPECT_EQ(filter.wrappedWriter(), first);

    filter.setWrappedWriter(second);
    filter.flush();
    EXPECT_EQ(filter.wrappedWriter(), second);
    EXPECT_TRUE(first->calls.empty());
    EXPECT_EQ(second->calls, std::vector<std::string>{"flush"});
}

TEST(DefaultWriterFilter, WithoutWrappedWriterFailsCleanly) {
    SMDKDefaultWriterFilter filter;
    EXPECT_EQ(assertionMessage([&] { filter.flush(); }), "assertion failure: has wrapped writer");
}

} // namespace
