#pragma once

// The content packages of an MXF file as a test reads them back, by the published keys and on top of the
// independent KLV reader: the user time stamp of each package's system item, its picture, its sound
// elements by channel and its data element. The file is mapped, not read, so clips of a gigabyte cost no
// memory.

#include "tests/support/MxfFileReader.h"

#include <QFile>
#include <QString>
#include <map>
#include <optional>
#include <span>
#include <vector>

namespace mxftest {

struct ContentPackage {
    std::span<const uint8_t> userStamp; // the system metadata pack's 17-byte user date/time stamp
    std::span<const uint8_t> picture;
    std::map<uint8_t, std::span<const uint8_t>> sound; // by the element number of the key
    std::optional<std::span<const uint8_t>> data;
};

// SDTI-CP system metadata pack, and the Generic Container essence element key up to its item type.
inline constexpr Key kSystemMetadataPack{0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01,
                                         0x0D, 0x01, 0x03, 0x01, 0x04, 0x01, 0x01, 0x00};
inline constexpr uint8_t kPictureItem = 0x15, kSoundItem = 0x16, kDataItem = 0x17;
inline constexpr size_t kUserStampOffset = 40, kUserStampBytes = 17;

// Every package from its system item on; nullopt when the file does not split into KLV items, an essence
// element comes before the first system item or a package holds an element twice.
inline std::optional<std::vector<ContentPackage>> contentPackages(std::span<const uint8_t> file) {
    const auto items = splitKlv(file);
    if (!items)
        return std::nullopt;
    std::vector<ContentPackage> packages;
    for (const Klv &klv : *items) {
        const std::span<const uint8_t> value = file.subspan(klv.valueOffset, klv.length);
        if (klv.key == kSystemMetadataPack) {
            if (value.size() < kUserStampOffset + kUserStampBytes)
                return std::nullopt;
            packages.push_back({value.subspan(kUserStampOffset, kUserStampBytes), {}, {}, {}});
            continue;
        }
        if (!keyStartsWith(klv.key, {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x02, 0x01, 0x01, 0x0D, 0x01, 0x03, 0x01}))
            continue;
        const uint8_t item = klv.key[12];
        if (item != kPictureItem && item != kSoundItem && item != kDataItem)
            continue;
        if (packages.empty())
            return std::nullopt;
        ContentPackage &package = packages.back();
        if (item == kPictureItem && package.picture.empty())
            package.picture = value;
        else if (item == kSoundItem && !package.sound.contains(klv.key[15]))
            package.sound[klv.key[15]] = value;
        else if (item == kDataItem && !package.data)
            package.data = value;
        else
            return std::nullopt;
    }
    return packages;
}

// A file mapped into memory for reading; empty when it cannot be opened or is empty.
class MappedFile {
public:
    explicit MappedFile(const QString &path) : file(path) {
        if (file.open(QIODevice::ReadOnly) && file.size() > 0)
            data = file.map(0, file.size());
    }
    std::span<const uint8_t> bytes() const {
        return data == nullptr ? std::span<const uint8_t>{}
                               : std::span<const uint8_t>(data, size_t(file.size()));
    }

private:
    QFile file;
    const uint8_t *data = nullptr;
};

} // namespace mxftest
