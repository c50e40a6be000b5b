#pragma once

// The conformance check of a finished MXF file: what a strict reader relies on, read from the file's
// structure with the check's own reader (key and length of every item; partition packs, header metadata,
// index tables and the random index pack in full; never an essence value), so that it catches the
// writer's mistakes. Every byte is untrusted: a corrupt file gives named failures, never a crash, and
// nothing larger than the file's own structures is held.
//
// Failed checks, by their stable names:
//   file-unreadable, file-truncated, klv-key, klv-length, partition-pack: the file cannot be read, or does
//     not split into KLV items (the walk stops there)
//   header-partition, header-open, footer-missing: no header pack at byte 0, a header that is not closed
//     and complete, no footer pack
//   partition-this, partition-previous, partition-footer, partition-header-bytes, partition-index-bytes,
//   partition-body-offset: a pack's field differs from where the packs and spans really are
//   rip-missing, rip-not-last, rip-length, rip-entries: the random index pack
//   index-missing, index-segment, index-coverage, index-offset: the index table does not cover every
//     content package once, or an entry does not point at a content package's first key
//   element-count, track-duration, index-duration: a track's element count, its duration and the index's
//     edit units disagree
//   metadata-sets, metadata-footer: header metadata unreadable, or the footer's copy says otherwise
//   fill-key, kag-alignment: fill items with an unregistered key, items off the declared KLV grid
//   descriptor-missing, descriptor-size, descriptor-rate, descriptor-sampling, descriptor-channels,
//   descriptor-sound: the essence descriptors against the clip's information

#include "conform/ExpectedEssence.h"
#include "conform/MetadataFacts.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <span>
#include <vector>

namespace conform {

struct ConformanceFailure {
    QString check;  // stable name
    QString detail; // for the user
};

struct ConformanceResult {
    std::vector<ConformanceFailure> failures; // none: the file conforms
    bool descriptorsCompared = false;         // false when no clip information was given
    // The material package's UMID as the header metadata gives it; nothing when it could not be read.
    std::optional<PackageUmid> materialPackage;

    // One "check: detail" line per failure.
    QStringList lines() const;
};

// Checks the file's bytes; with `expected`, its essence descriptors against them too.
ConformanceResult checkConformance(std::span<const uint8_t> file,
                                   const std::optional<ExpectedEssence> &expected);

// Checks the file at `path`, mapped rather than read, so that only the pages of its structures are touched.
ConformanceResult checkFileConformance(const QString &path, const std::optional<ExpectedEssence> &expected);

} // namespace conform
