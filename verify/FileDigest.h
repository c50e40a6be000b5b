#pragma once

// The whole-file SHA-256 of a finished file, for fixity checks long after the transfer, and its line in the
// layout `sha256sum -c` reads.

#include <QString>
#include <optional>
#include <stop_token>

// Lower-case hex, or nothing when the file cannot be read or a stop was requested through `stop`.
std::optional<QString> sha256OfFile(const QString &path, std::stop_token stop = {});
// "HEX  NAME\n": NAME is the file's name without its folder, so the check runs from the file's folder.
QString sha256sumLine(const QString &sha256, const QString &path);
