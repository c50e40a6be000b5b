#include "mxf/OutputPath.h"

#include <QFile>

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

} // namespace

QString safeNameComponent(const std::string &name) {
    QString safe = QFile::decodeName(QByteArray(name.data(), qsizetype(name.size())));
    for (QChar &c : safe)
        if (unsafe(c))
            c = u'_';
    if (safe.isEmpty() || safe == ".")
        return "_";
    if (safe == "..")
        return "__";
    return safe;
}

std::optional<OutputPath> outputPathFor(const QString &destination, const std::string &secondName,
                                        const std::string &fileName) {
    if (destination.isEmpty())
        return std::nullopt;
    OutputPath path;
    const QString folderName = safeNameComponent(secondName);
    const QString baseName = safeNameComponent(fileName);
    const auto noteIfChanged = [&path](const char *what, const std::string &name, const QString &safe) {
        if (QFile::encodeName(safe) != QByteArray(name.data(), qsizetype(name.size())))
            path.replacements
                << QString("unsafe %1 \"%2\" written as \"%3\"").arg(what, printable(name), safe);
    };
    noteIfChanged("folder name", secondName, folderName);
    noteIfChanged("file name", fileName, baseName);
    path.folder = destination + "/" + folderName;
    const QString base = path.folder + "/" + baseName;
    path.file = base + ".mxf";
    path.partFile = path.file + kInProgressSuffix;
    path.reportFile = base + ".json";
    path.checksumFile = path.file + ".sha256";
    path.frameMd5File = base + ".framemd5";
    return path;
}
