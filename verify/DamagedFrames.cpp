#include "verify/DamagedFrames.h"

#include <QJsonObject>

QJsonArray damagedFramesJson(const std::vector<DamagedFrame> &damaged) {
    QJsonArray entries;
    for (const DamagedFrame &entry : damaged)
        entries.append(QJsonObject{{"frame", qint64(entry.frame)},
                                   {"timeCode", entry.timeCode},
                                   {"channel", qint64(entry.channel)},
                                   {"samplesMissing", qint64(entry.samplesMissing)}});
    return entries;
}

uint64_t damagedFrameCount(const std::vector<DamagedFrame> &damaged) {
    uint64_t frames = 0;
    for (size_t i = 0; i < damaged.size(); ++i)
        if (i == 0 || damaged[i].frame != damaged[i - 1].frame)
            ++frames;
    return frames;
}
