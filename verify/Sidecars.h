#pragma once

// The files beside a finished NAME.mxf other than its report, checked against the file: NAME.mxf.sha256 (the
// line `sha256sum -c` reads) and NAME.framemd5 (FFmpeg's framemd5 layout, see FrameMd5.h). Both are read as
// untrusted text.

#include <QString>
#include <optional>

// The SHA-256 file beside `mxfPath`: nothing when it holds one line naming the file (without its folder)
// with `sha256` (lower-case hex, the file's digest); otherwise which part disagrees. A missing file is a
// problem too.
std::optional<QString> sha256FileProblem(const QString &mxfPath, const QString &sha256);
// NAME.framemd5 beside `mxfPath`, when there is one: nothing when every line's size and MD5 are those of the
// element of the file it names (stream and time stamp) and the list covers every element; otherwise the
// first line that disagrees, or what is missing. No list: nothing.
std::optional<QString> frameMd5Problem(const QString &mxfPath);
