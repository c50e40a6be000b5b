#include "platform/srmodule/DemoMedia.h"

#include <QUuid>
#include <algorithm>

namespace {

// Bytes 8 to 15 of the clip's UMID as the recorder reports them: the end of the UMID label, material type,
// number creation method, length and a zero instance number.
constexpr std::array<uint8_t, 8> kIdentifierHead{0x01, 0x01, 0x0D, 0x23, 0x13, 0x00, 0x00, 0x00};

// The clip identifier: the fixed head and a material number derived from the file name, so the same demo
// clip always carries the same identifier.
std::array<uint8_t, kClipIdentifierSize> demoIdentifier(const std::string &fileName) {
    static const QUuid kDemoNamespace(QStringLiteral("{6b1f4a52-8d0e-4c1e-9a57-3f0c2d9e7b10}"));
    const QByteArray material =
        QUuid::createUuidV5(kDemoNamespace, QByteArray::fromStdString(fileName)).toRfc4122();
    std::array<uint8_t, kClipIdentifierSize> identifier{};
    std::copy(kIdentifierHead.begin(), kIdentifierHead.end(), identifier.begin());
    std::copy(material.begin(), material.end(), identifier.begin() + kIdentifierHead.size());
    return identifier;
}

struct DemoClip {
    const char *fileName;
    const char *secondName;
    uint32_t durationFrames;
    uint8_t dropFrame;
    ClipTimecode start;
    uint8_t rateIndex, scan, size, sampling, bitDepth, codec;
    uint8_t soundChannels;
    bool dataItems;
    ClipDateTime recorded;
};

constexpr DemoClip kDemoClips[] = {
    // 59.94i drop frame, 10 s, 8 channels.
    {"A001C001", "REEL01", 300, 1, {1, 0, 0, 0}, 3, 0, 1, 0, 1, 0, 8, true, {2012, 7, 15, 9, 30, 0, 0}},
    // 25 PsF 4:4:4 12-bit SQ, 20 s, 4 channels.
    {"A001C002", "REEL01", 500, 0, {10, 0, 0, 0}, 2, 1, 1, 1, 2, 1, 4, false, {2012, 7, 15, 10, 5, 12, 50}},
    // 50i 720 Lite, 5 s, 2 channels.
    {"A002C001", "REEL02", 125, 0, {2, 30, 0, 0}, 2, 0, 0, 0, 1, 2, 2, true, {2013, 2, 1, 17, 45, 0, 0}},
    // 23.98 PsF, 15 s, 6 channels.
    {"A002C002", "REEL02", 360, 0, {23, 59, 45, 0}, 0, 1, 1, 0, 1, 0, 6, false, {2013, 2, 1, 18, 2, 30, 0}},
    // 24 progressive: reported by the recorder, not listed by the window. 8 s, 2 channels.
    {"B001C001", "REEL03", 192, 0, {0, 0, 0, 0}, 1, 2, 1, 0, 1, 0, 2, false, {2014, 11, 30, 23, 59, 59, 99}},
};

} // namespace

ClipManifest demoManifest() {
    ClipManifest manifest;
    for (const DemoClip &demo : kDemoClips) {
        ManifestClip clip;
        ClipRecord &r = clip.record;
        r.fileName = demo.fileName;
        r.secondName = demo.secondName;
        r.durationFrames = demo.durationFrames;
        r.date1 = demo.recorded;
        r.date2 = demo.recorded;
        r.date2.minute = uint8_t((r.date2.minute + 1) % 60);
        r.dropFrame = demo.dropFrame;
        r.startTimecode = demo.start;
        r.rateIndex = demo.rateIndex;
        r.scan = demo.scan;
        r.size = demo.size;
        r.sampling = demo.sampling;
        r.bitDepth = demo.bitDepth;
        r.codec = demo.codec;
        r.soundChannels = demo.soundChannels;
        r.identifier = demoIdentifier(r.fileName);
        clip.essence.dataItems = demo.dataItems;
        manifest.clips.push_back(std::move(clip));
    }
    return manifest;
}
