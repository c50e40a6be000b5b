#include "verify/FileVerification.h"

#include "mxf/Assertion.h"
#include "mxf/SMDKReader.h"
#include "verify/ReadBackBuffer.h"

#include <cstring>
#include <istream>

namespace {

std::optional<QString> firstDifference(const FrameChecksum &found, const FrameChecksum &expected) {
    if (found.picture != expected.picture)
        return QString("picture");
    if (found.sound.size() != expected.sound.size())
        return QString("%1 sound channels instead of %2").arg(found.sound.size()).arg(expected.sound.size());
    for (size_t k = 0; k < found.sound.size(); ++k)
        if (found.sound[k] != expected.sound[k])
            return QString("sound channel %1").arg(k + 1);
    if (found.data != expected.data)
        return QString("data item");
    if (expected.timeStamp && found.timeStamp != expected.timeStamp)
        return QString("time code");
    return std::nullopt;
}

// Compares the file read through `in` with `expected`, frame by frame.
std::optional<QString> compareFrames(std::istream &in, const std::vector<FrameChecksum> &expected,
                                     std::stop_token stop) {
    try {
        const std::unique_ptr<SMDKReader> reader = openSMDKReader(in);
        if (!reader->headerClosedComplete())
            return QString("the file is not marked complete");
        if (reader->editUnitCount() != int64_t(expected.size()))
            return QString("the file holds %1 frames, %2 were written")
                .arg(reader->editUnitCount())
                .arg(expected.size());
        for (size_t frame = 0; frame < expected.size(); ++frame) {
            if (stop.stop_requested())
                return QString("the re-read was stopped at frame %1").arg(frame);
            const FrameChecksum found = checksumOf(reader->readEditUnit(int64_t(frame)));
            if (const auto difference = firstDifference(found, expected[frame]))
                return QString("frame %1 differs: %2").arg(frame).arg(*difference);
        }
    } catch (const std::exception &error) {
        return QString("the file cannot be read back: %1").arg(error.what());
    }
    return std::nullopt;
}

} // namespace

ReadBackResult readBack(const QString &path, const std::vector<FrameChecksum> *expected, std::stop_token stop,
                        bool direct, bool md5) {
    ReadBackResult result;
    ReadBackBuffer buffer(path, direct);
    if (!buffer.isOpen()) {
        result.problem = QString("the file cannot be read back: %1").arg(std::strerror(buffer.error()));
        return result;
    }
    const std::unique_ptr<WholeFileDigest> sha256 = sha256Digest();
    const std::unique_ptr<WholeFileDigest> xxh128 = xxh128Digest();
    const std::unique_ptr<WholeFileDigest> md5Sum = md5 ? md5Digest() : nullptr;
    buffer.addDigest(*sha256);
    buffer.addDigest(*xxh128);
    if (md5Sum)
        buffer.addDigest(*md5Sum);
    if (expected) {
        std::istream in(&buffer);
        result.problem = compareFrames(in, *expected, stop);
    }
    if (buffer.finish(stop)) {
        result.sha256 = sha256->result();
        result.xxh128 = xxh128->result();
        if (md5Sum)
            result.md5 = md5Sum->result();
    } else if (!result.problem && stop.stop_requested())
        result.problem = QString("the re-read was stopped");
    else if (!result.problem)
        result.problem = QString("the file cannot be read back: %1").arg(std::strerror(buffer.error()));
    result.bypassedCache = buffer.direct();
    return result;
}

std::optional<QString> verifyFile(const QString &path, const std::vector<FrameChecksum> &expected,
                                  std::stop_token stop) {
    return readBack(path, &expected, stop).problem;
}
