#pragma once

// A clip manifest written to a temporary folder for the simulated recorder, with helpers to describe
// clips and to place essence files next to it. The folder is removed with the object.

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// A clip with every key the manifest knows, the codes given explicitly.
inline QJsonObject clipJson(const QString &fileName, int durationFrames = 300) {
    return QJsonObject{{"fileName", fileName},
                       {"secondName", "REEL01"},
                       {"valid", 1},
                       {"durationFrames", durationFrames},
                       {"date1", "2012-07-15 09:30:00.00"},
                       {"date2", "2012-07-15 09:41:10.00"},
                       {"dropFrame", 1},
                       {"startTimecode", "01:00:00:00"},
                       {"rateIndex", 3},
                       {"scan", 0},
                       {"size", 1},
                       {"sampling", 0},
                       {"bitDepth", 1},
                       {"codec", 0},
                       {"stereo3D", 0},
                       {"soundChannels", 8},
                       {"dataChannelMask", 0},
                       {"emphasis", 0},
                       {"formatLetter", "1"},
                       {"identifier", "0101"
                                      "0d23"
                                      "1300"
                                      "0000"
                                      "0011"
                                      "2233"
                                      "4455"
                                      "6677"
                                      "8899"
                                      "aabb"
                                      "ccdd"
                                      "eeff"}};
}

// A short clip that transfers quickly: eight Lite pictures with two sound channels.
inline QJsonObject shortClip(const QString &fileName) {
    QJsonObject clip = clipJson(fileName, 8);
    clip["codec"] = 2;
    clip["soundChannels"] = 2;
    return clip;
}

// A manifest with the default volume and folder, the clips and, when given, faults of the whole recorder.
inline QJsonObject manifestWith(const QJsonArray &clips, const QJsonObject &faults = {}) {
    QJsonObject manifest{{"volume", "SRMEDIA"}, {"folder", "CLIPS"}, {"clips", clips}};
    if (!faults.isEmpty())
        manifest["faults"] = faults;
    return manifest;
}

class TempManifest {
public:
    // Writes manifest as manifest.json into a new temporary folder.
    explicit TempManifest(const QJsonObject &manifest) { rewrite(manifest); }

    void rewrite(const QJsonObject &manifest) const {
        writeFile(QStringLiteral("manifest.json"), QJsonDocument(manifest).toJson());
    }
    // Writes raw bytes into a file of the folder (e.g. a broken manifest or an essence file).
    void writeFile(const QString &name, const QByteArray &bytes) const {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }
    // Makes a file of the given size (sparse, zero-filled).
    void sizedFile(const QString &name, qint64 size) const {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.resize(size);
    }

    QString path() const { return dir.filePath(QStringLiteral("manifest.json")); }
    QString filePath(const QString &name) const { return dir.filePath(name); }

private:
    QTemporaryDir dir;
};

} // namespace testsupport
