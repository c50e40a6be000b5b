#include "mxf/SMDKDefaultWriterFilter.h"

#include "mxf/Assertion.h"

#include <utility>

SMDKDefaultWriterFilter::SMDKDefaultWriterFilter(boost::shared_ptr<SMDKWriter> writer)
    : next_(std::move(writer)) {}

void SMDKDefaultWriterFilter::writeElement(boost::shared_ptr<SMDKSourceBuffer> value, const MXFKey &key) {
    next().writeElement(std::move(value), key);
}

MXFStructureHandler *SMDKDefaultWriterFilter::structureHandler() {
    return next().structureHandler();
}

void SMDKDefaultWriterFilter::writeKLV(const MXFKey &key, std::span<const uint8_t> value) {
    next().writeKLV(key, value);
}

void SMDKDefaultWriterFilter::writeBytes(std::span<const uint8_t> bytes) {
    next().writeBytes(bytes);
}

uint64_t SMDKDefaultWriterFilter::position() {
    return next().position();
}

void SMDKDefaultWriterFilter::overwrite(uint64_t position, std::span<const uint8_t> bytes) {
    next().overwrite(position, bytes);
}

void SMDKDefaultWriterFilter::flush() {
    next().flush();
}

std::vector<MXFPartitionEntry> SMDKDefaultWriterFilter::partitions() {
    return next().partitions();
}

std::vector<uint64_t> SMDKDefaultWriterFilter::editUnitOffsets() {
    return next().editUnitOffsets();
}

void SMDKDefaultWriterFilter::setWrappedWriter(boost::shared_ptr<SMDKWriter> writer) {
    next_ = std::move(writer);
}

boost::shared_ptr<SMDKWriter> SMDKDefaultWriterFilter::wrappedWriter() const {
    return next_;
}

SMDKWriter &SMDKDefaultWriterFilter::next() const {
    util::require(next_ != nullptr, "has wrapped writer");
    return *next_;
}
