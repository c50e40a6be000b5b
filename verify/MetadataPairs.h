#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <algorithm>
#include <optional>

// The operator's metadata of a clip: names with their values, in the order they are written into the file.
// Names are unique regardless of case.
using MetadataPairs = QList<QPair<QString, QString>>;

// The value named `name` (regardless of case); nothing when there is none.
inline std::optional<QString> metadataValue(const MetadataPairs &pairs, const QString &name) {
    const auto pair = std::find_if(pairs.cbegin(), pairs.cend(), [&](const auto &candidate) {
        return candidate.first.compare(name, Qt::CaseInsensitive) == 0;
    });
    return pair == pairs.cend() ? std::nullopt : std::optional<QString>(pair->second);
}
