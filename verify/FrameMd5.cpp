#include "verify/FrameMd5.h"

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <openssl/evp.h>

namespace {

std::array<uint8_t, 16> md5Of(std::span<const uint8_t> bytes) {
    std::array<uint8_t, 16> digest{};
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_md5(), nullptr);
    return digest;
}

QByteArray hex(const std::array<uint8_t, 16> &digest) {
    return QByteArray(reinterpret_cast<const char *>(digest.data()), qsizetype(digest.size())).toHex();
}

// What FFmpeg takes as an MPEG-4 stream's extradata: the bytes before the first group-of-VOP or VOP start
// code (00 00 01 B3 or B6); none when the picture begins with one or holds neither.
std::span<const uint8_t> extradataOf(std::span<const uint8_t> picture) {
    for (size_t i = 0; i + 3 < picture.size(); ++i)
        if (picture[i] == 0 && picture[i + 1] == 0 && picture[i + 2] == 1 &&
            (picture[i + 3] == 0xB3 || picture[i + 3] == 0xB6))
            return picture.first(i);
    return {};
}

} // namespace

FrameMd5List::FrameMd5List(const QStringList &paths, FrameMd5Layout layout)
    : layout(std::move(layout)), last(this->layout.soundChannels + 2) {
    for (const QString &path : paths)
        files.push_back(std::make_unique<SyncedFileWriter>(path));
}

FrameMd5List::~FrameMd5List() {
    if (!committed)
        for (const auto &file : files)
            QFile::remove(file->path());
}

void FrameMd5List::write(const QByteArray &bytes) {
    for (const auto &file : files)
        file->write(bytes);
}

void FrameMd5List::writeHeader(std::span<const uint8_t> firstPicture) {
    QByteArray header = "#format: frame checksums\n#version: 2\n#hash: MD5\n";
    if (const std::span<const uint8_t> extradata = extradataOf(firstPicture); !extradata.empty())
        header += QString::asprintf("#extradata 0, %31d, ", int(extradata.size())).toLatin1() +
                  hex(md5Of(extradata)) + "\n";
    header += "#software: " + layout.software.toUtf8() + "\n";
    const QByteArray editUnit =
        QByteArray::number(layout.editRateDenominator) + "/" + QByteArray::number(layout.editRateNumerator);
    // FFmpeg's sample aspect ratio: the display aspect ratio over the frame's.
    const int64_t sarNumerator = int64_t(layout.aspectNumerator) * layout.height;
    const int64_t sarDenominator = int64_t(layout.aspectDenominator) * layout.width;
    const int64_t divisor = std::max<int64_t>(std::gcd(sarNumerator, sarDenominator), 1);
    header += "#tb 0: " + editUnit + "\n#media_type 0: video\n#codec_id 0: mpeg4\n";
    header += QString::asprintf("#dimensions 0: %dx%d\n#sar 0: %lld/%lld\n", layout.width, layout.height,
                                static_cast<long long>(sarNumerator / divisor),
                                static_cast<long long>(sarDenominator / divisor))
                  .toLatin1();
    for (uint32_t k = 1; k <= layout.soundChannels; ++k)
        header += QString::asprintf("#tb %u: 1/%d\n#media_type %u: audio\n#codec_id %u: pcm_s24le\n"
                                    "#sample_rate %u: %d\n#channel_layout_name %u: mono\n",
                                    k, layout.soundSamplingRate, k, k, k, layout.soundSamplingRate, k)
                      .toLatin1();
    const uint32_t data = layout.soundChannels + 1;
    header += QString::asprintf("#tb %u: ", data).toLatin1() + editUnit +
              QString::asprintf("\n#media_type %u: data\n#codec_id %u: none\n", data, data).toLatin1();
    header += "#stream#, dts,        pts, duration,     size, hash\n";
    write(header);
    headerWritten = true;
}

void FrameMd5List::addEditUnit(std::span<const uint8_t> picture,
                               const std::vector<std::span<const uint8_t>> &sound,
                               std::span<const uint8_t> data) {
    if (!headerWritten)
        writeHeader(picture);
    add(0, editUnits, 1, picture);
    int64_t samples = 0;
    for (uint32_t k = 0; k < layout.soundChannels && k < sound.size(); ++k) {
        samples = int64_t(sound[k].size() / layout.soundSampleBytes);
        add(k + 1, soundSamples, samples, sound[k]);
    }
    add(layout.soundChannels + 1, editUnits, 1, data);
    ++editUnits;
    soundSamples += samples;
    release(false);
}

void FrameMd5List::add(uint32_t stream, int64_t dts, int64_t duration, std::span<const uint8_t> bytes) {
    held.push_back(Packet{stream, dts, duration, uint32_t(bytes.size()), md5Of(bytes)});
    last[stream] = held.back();
}

// FFmpeg's interleaving order: the earlier time first (time stamps in their streams' time bases), the lower
// stream number on a tie.
bool FrameMd5List::before(const Packet &a, const Packet &b) const {
    const auto unit = [this](const Packet &packet) {
        const bool sound = packet.stream >= 1 && packet.stream <= layout.soundChannels;
        return sound ? std::pair<int64_t, int64_t>{1, layout.soundSamplingRate}
                     : std::pair<int64_t, int64_t>{layout.editRateDenominator, layout.editRateNumerator};
    };
    const auto [aNumerator, aDenominator] = unit(a);
    const auto [bNumerator, bDenominator] = unit(b);
    const int64_t left = a.dts * aNumerator * bDenominator, right = b.dts * bNumerator * aDenominator;
    return left != right ? left < right : a.stream < b.stream;
}

// Every stream's packets come in time order, so a held packet that is not after the latest packet of any
// stream has nothing left to wait for.
void FrameMd5List::release(bool all) {
    std::sort(held.begin(), held.end(), [this](const Packet &a, const Packet &b) { return before(a, b); });
    size_t ready = held.size();
    if (!all)
        ready =
            size_t(std::find_if(held.begin(), held.end(),
                                [this](const Packet &packet) {
                                    return std::any_of(last.begin(), last.end(), [&](const Packet &latest) {
                                        return before(latest, packet);
                                    });
                                }) -
                   held.begin());
    QByteArray lines;
    for (size_t i = 0; i < ready; ++i) {
        const Packet &packet = held[i];
        lines += QString::asprintf("%u, %10lld, %10lld, %8lld, %8u, ", packet.stream,
                                   static_cast<long long>(packet.dts), static_cast<long long>(packet.dts),
                                   static_cast<long long>(packet.duration), packet.size)
                     .toLatin1() +
                 hex(packet.md5) + "\n";
    }
    write(lines);
    held.erase(held.begin(), held.begin() + std::ptrdiff_t(ready));
}

std::vector<std::optional<QString>> FrameMd5List::commit() {
    release(true);
    committed = true;
    std::vector<std::optional<QString>> problems;
    for (const auto &file : files)
        problems.push_back(file->finish());
    return problems;
}
