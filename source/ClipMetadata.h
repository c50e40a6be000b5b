#pragma once

// Filling a clip's package metadata from the recorder's information about the clip. The identification
// record and the package UMIDs are not touched: the transfer source sets those.

#include "recorder/SRFileInfo.h"
#include "source/SMDKDefaultMetadata.h"

// Package names are exactly this many UTF-16 code units: longer paths are cut, shorter ones padded with NUL.
inline constexpr size_t kPackageNameLength = 40;
// Version of the metadata layout this system fills.
inline constexpr uint16_t kMetadataVersion = 0x103;

// Sets every value of the package metadata from the clip: picture format, coding, sound channels with their
// AES3 channel status, time code, dates, name and duration.
void fillFromClipInfo(SMDKMetadataValues &values, const SRFileInfo &info);
