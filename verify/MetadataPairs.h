#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

// The operator's metadata of a clip: names with their values, in the order they are written into the file.
// Names are unique regardless of case.
using MetadataPairs = QList<QPair<QString, QString>>;

// The index of the pair named `name` (regardless of case), or -1.
inline qsizetype metadataIndex(const MetadataPairs &pairs, const QString &name) {
    for (qsizetype k = 0; k < pairs.size(); ++k)
        if (pairs[k].first.compare(name, Qt::CaseInsensitive) == 0)
            return k;
    return -1;
}

// The value named `name` (regardless of case); nothing when there is none.
inline std::optional<QString> metadataValue(const MetadataPairs &pairs, const QString &name) {
    const qsizetype k = metadataIndex(pairs, name);
    return k < 0 ? std::nullopt : std::optional<QString>(pairs[k].second);
}
