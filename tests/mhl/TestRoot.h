#pragma once

// A copied folder for the tests: files written under a temporary root, and generations describing them with
// hashes taken here (MD5 by Qt, xxh128 by the digest the format's tools agree on).

#include "mhl/History.h"
#include "verify/FileDigest.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace mhltest {

class TestRoot {
public:
    TestRoot() : root(temporary.filePath("A002_CARD")) { QDir().mkpath(root); }

    const QString &path() const { return root; }
    QString filePath(const QString &relative) const { return QDir(root).filePath(relative); }

    void write(const QString &relative, const QByteArray &bytes) const {
        QDir().mkpath(QFileInfo(filePath(relative)).absolutePath());
        QFile file(filePath(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    QByteArray read(const QString &relative) const {
        QFile file(filePath(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The entry of a file as a transfer records it, with the hash `format` (mhl::kMd5 or mhl::kXxh128).
    mhl::FileHash entry(const QString &relative, const char *format) const {
        const QByteArray bytes = read(relative);
        QString value;
        if (QLatin1String(format) == QLatin1String(mhl::kMd5)) {
            value = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
        } else {
            const auto digest = xxh128Digest();
            digest->update({reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size())});
            value = digest->result().value_or(QString());
        }
        const QDateTime modified = QFileInfo(filePath(relative)).lastModified().toUTC();
        return {relative, bytes.size(), modified, {{format, value, mhl::kOriginal, modified}}};
    }

    // A transfer generation of `files` (path, format), made `second` seconds after a fixed time.
    mhl::Generation generation(const std::vector<std::pair<QString, const char *>> &files,
                               int second = 0) const {
        mhl::Generation generation;
        generation.created =
            QDateTime(QDate(2026, 12, 7), QTime(23, 10, 42), QTimeZone::utc()).addSecs(second);
        generation.hostname = "ingest-2";
        generation.tool = "vantrel";
        generation.toolVersion = "1.4.0";
        generation.ignore = mhl::defaultIgnorePatterns();
        for (const auto &[relative, format] : files)
            generation.files.push_back(entry(relative, format));
        return generation;
    }

    // Appends `generation`; the manifest's path.
    QString append(const mhl::Generation &generation) const {
        QString error;
        const std::optional<QString> manifest = mhl::appendGeneration(root, generation, error);
        EXPECT_TRUE(manifest) << error.toStdString();
        return manifest.value_or(QString());
    }

private:
    QTemporaryDir temporary;
    QString root;
};

} // namespace mhltest
