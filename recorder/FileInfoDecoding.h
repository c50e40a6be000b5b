#pragma once

// Decoding of one file-information reply (command bytes F5 22) into an SRFileInfo record. The reply is
// the frame from its 0x30 on, without or with its checksum; it must hold at least up to byte 205.

#include "recorder/SRFileInfo.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

// Bytes a reply must hold to be decoded: offsets 0 to 205.
inline constexpr size_t kFileInfoReplyMinimumLength = 206;

// The record for reply[0, length), its sourcePath set to path. No value for a reply shorter than
// kFileInfoReplyMinimumLength, which is never read past its length. Codes outside the recorder's tables
// give the "??" texts and the default numbers; nothing else is rejected.
std::optional<SRFileInfo> decodeFileInfo(const uint8_t *reply, size_t length, const QString &path);

// The recorder volume a clip was read from: the status reply's seven volume bytes that begin its source
// path (up to the first "/"), less the padding after them.
QString volumeName(const SRFileInfo &clip);
