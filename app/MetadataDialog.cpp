#include "app/MetadataDialog.h"

#include "batch/UserMetadata.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

const QStringList &MetadataDialog::fieldNames() {
    static const QStringList names{"Title", "Project", "Operator", "Notes"};
    return names;
}

MetadataDialog::MetadataDialog(const MetadataPairs &pairs, QWidget *parent) : QDialog(parent) {
    setWindowTitle(tr("Metadata of Every Clip"));
    auto *form = new QFormLayout;
    for (const QString &name : fieldNames()) {
        auto *field = new QLineEdit(this);
        field->setObjectName(name.toLower() + "Field");
        form->addRow(tr(name.toUtf8().constData()), field);
        fields << field;
    }
    lines = new QPlainTextEdit(this);
    lines->setObjectName("pairLines");
    lines->setPlaceholderText(tr("NAME=VALUE, one per line"));
    lines->setTabChangesFocus(true);
    form->addRow(tr("Further"), lines);
    QStringList other;
    for (const auto &[name, value] : pairs) {
        if (const qsizetype k = fieldNames().indexOf(name); k >= 0)
            fields[k]->setText(value);
        else
            other << name + "=" + value;
    }
    lines->setPlainText(other.join('\n'));

    problemLabel = new QLabel(this);
    problemLabel->setObjectName("problemLabel");
    problemLabel->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &MetadataDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &MetadataDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(tr("Written into every file of the window's batches and into their reports."), this));
    layout->addLayout(form);
    layout->addWidget(problemLabel);
    layout->addWidget(buttons);
}

QString MetadataDialog::problem() const {
    return problemLabel->text();
}

void MetadataDialog::accept() {
    MetadataPairs candidate;
    for (qsizetype k = 0; k < fields.size(); ++k)
        if (const QString value = fields[k]->text(); !value.isEmpty())
            candidate.append({fieldNames()[k], value});
    const QStringList typed = lines->toPlainText().split('\n');
    for (qsizetype k = 0; k < typed.size(); ++k) {
        if (typed[k].trimmed().isEmpty())
            continue;
        const ParsedSetting setting = parseSetting(typed[k]);
        if (!setting.pair) {
            problemLabel->setText(tr("Line %1: %2").arg(k + 1).arg(setting.problem));
            return;
        }
        candidate.append(*setting.pair);
    }
    UserMetadata check;
    if (const std::optional<QString> problem = check.setBatchPairs(candidate, tr("Metadata"))) {
        problemLabel->setText(*problem);
        return;
    }
    accepted = candidate;
    problemLabel->clear();
    QDialog::accept();
}
