#include "mxf/OutputPath.h"

#include <QFile>
#include <cstdint>

namespace {

bool unsafe(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7f || c == u'/' || c == u'\\';
}

// The name for a log line: bytes outside printable ASCII as \xNN.
QString printable(const std::string &name) {
    QString text;
    for (const unsigned char byte : name)
        text += byte >= 0x20 && byte < 0x7f ? QString(QChar(byte))
                                            : QString("\\x%1").arg(byte, 2, 16, QChar('0'));
    return text;
}

// The length of the valid UTF-8 sequence at `bytes` (shortest form, no surrogate, at most U+10FFFF), or 0.
size_t validSequenceAt(const uint8_t *bytes, size_t left) {
    const uint8_t lead = bytes[0];
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    uint32_t low = 0, high = 0; // the second byte's range, which rules out overlong forms and surrogates
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        low = 0x80, high = 0xBF;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (left < length || bytes[1] < low || bytes[1] > high)
        return 0;
    for (size_t k = 2; k < length; ++k)
        if (bytes[k] < 0x80 || bytes[k] > 0xBF)
            return 0;
    return length;
}

} // namespace

QString safeNameComponent(const std::string &name) {
    QString safe;
    const auto bytes = reinterpret_cast<const uint8_t *>(name.data());
    for (size_t at = 0; at < name.size();) {
        const size_t length = validSequenceAt(bytes + at, name.size() - at);
        if (length == 0) {
            safe += QString("%%1").arg(bytes[at], 2, 16, QChar('0')).toUpper();
            ++at;
            continue;
        }
        const QString character = QString::fromUtf8(name.data() + at, qsizetype(length));
        at += length;
        if (character == "%")
            safe += "%25";
        else if (character.size() == 1 && unsafe(character[0]))
            safe += u'_';
        else
            safe += character;
    }
    if (safe.isEmpty() || safe == ".")
        return "_";
    if (safe == "..")
        return "__";
    return safe;
}

std::optional<OutputPath> outputPathFor(const QString &destination, const std::string &secondName,
                                        const std::string &fileName) {
    return outputPathFor(destination, std::vector<std::string>{secondName, fileName});
}

std::optional<OutputPath> outputPathFor(const QString &destination, const std::vector<std::string> &names) {
    if (destination.isEmpty() || names.empty())
        return std::nullopt;
    OutputPath path;
    QString base = destination;
    for (size_t k = 0; k < names.size(); ++k) {
        const std::string &name = names[k];
        const QString safe = safeNameComponent(name);
        if (QFile::encodeName(safe) != QByteArray(name.data(), qsizetype(name.size())))
            path.replacements << QString("unsafe %1 \"%2\" written as \"%3\"")
                                     .arg(k + 1 < names.size() ? "folder name" : "file name", printable(name),
                                          safe);
        if (k + 1 == names.size())
            path.folder = base;
        base += "/" + safe;
    }
    path.file = base + ".mxf";
    path.partFile = path.file + kInProgressSuffix;
    path.reportFile = base + ".json";
    path.checksumFile = path.file + ".sha256";
    path.frameMd5File = base + ".framemd5";
    return path;
}
