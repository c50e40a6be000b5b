#include "cli/ClipListing.h"

#include "batch/ClipRules.h"
#include "batch/SharedNames.h"
#include "verify/ClipRecordJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>

namespace {

QString text(const std::string &bytes) {
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

QJsonObject clipObject(const SRFileInfo &clip, bool sharesName) {
    QJsonObject object = clipRecordJson(clip);
    object["listed"] = isListed(clip);
    object["sharesFileName"] = sharesName;
    return object;
}

} // namespace

QString clipTable(const SRFileList &list) {
    std::vector<QStringList> rows;
    QStringList header;
    for (const std::string &name : list.columnNames)
        header << text(name);
    rows.push_back(header);
    for (const SRFileInfo &clip : list.files)
        rows.push_back({text(clip.fileName), text(clip.startText), text(clip.durationText),
                        text(clip.formatText), text(clip.dateText1)});
    std::vector<qsizetype> widths(header.size(), 0);
    for (const QStringList &row : rows)
        for (qsizetype c = 0; c < row.size() && c < qsizetype(widths.size()); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    QString table;
    const std::vector<bool> shared = sharesFileName(list.files);
    for (size_t r = 0; r < rows.size(); ++r) {
        QString line;
        for (qsizetype c = 0; c < rows[r].size(); ++c)
            line += rows[r][c].leftJustified(widths[c] + 2);
        QStringList notes;
        if (r > 0) {
            if (const auto problem = clipProblem(list.files[r - 1]))
                notes << "not transferable: " + *problem;
            if (shared[r - 1])
                notes << kSharedNameNote;
        }
        table += (line + notes.join("; ")).trimmed() + "\n";
    }
    if (list.files.empty())
        table += "(no clips)\n";
    return table;
}

QByteArray clipJson(const SRFileList &list) {
    QJsonArray clips;
    const std::vector<bool> shared = sharesFileName(list.files);
    for (size_t i = 0; i < list.files.size(); ++i)
        clips.append(clipObject(list.files[i], shared[i]));
    return QJsonDocument(clips).toJson(QJsonDocument::Indented);
}
