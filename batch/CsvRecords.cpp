#include "batch/CsvRecords.h"

#include <QStringDecoder>

namespace {

constexpr char16_t kQuote = u'"';
constexpr char16_t kComma = u',';
constexpr char16_t kCarriageReturn = u'\r';
constexpr char16_t kLineFeed = u'\n';
constexpr char16_t kByteOrderMark = u'\uFEFF';

// The first line of `text` that is not valid UTF-8, or nothing when all of it is.
std::optional<int> firstInvalidUtf8Line(const QByteArray &text) {
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype k = 0; k < lines.size(); ++k) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = decoder.decode(lines[k]);
        if (decoder.hasError())
            return int(k + 1);
    }
    return std::nullopt;
}

class Splitter {
public:
    explicit Splitter(const QString &text) : text_(text) {}

    CsvRecords split() {
        CsvRecords result;
        if (!text_.isEmpty() && text_.front() == kByteOrderMark)
            ++at_;
        while (at_ < text_.size()) {
            if (atLineBreak()) {
                skipLineBreak();
                continue;
            }
            CsvRecord record{line_, {}};
            if (!readRecord(record.fields)) {
                result.problem = problem_;
                return result;
            }
            result.records.push_back(std::move(record));
        }
        return result;
    }

private:
    bool atLineBreak() const {
        return text_[at_] == kLineFeed ||
               (text_[at_] == kCarriageReturn && at_ + 1 < text_.size() && text_[at_ + 1] == kLineFeed);
    }

    void skipLineBreak() {
        at_ += text_[at_] == kCarriageReturn ? 2 : 1;
        ++line_;
    }

    // One record from the current position up to and including its line break (or the end).
    bool readRecord(QStringList &fields) {
        for (;;) {
            QString field;
            if (!(at_ < text_.size() && text_[at_] == kQuote ? readQuoted(field) : readPlain(field)))
                return false;
            fields << field;
            if (at_ >= text_.size())
                return true;
            if (text_[at_] == kComma) {
                ++at_;
                continue;
            }
            skipLineBreak();
            return true;
        }
    }

    bool readPlain(QString &field) {
        while (at_ < text_.size() && text_[at_] != kComma && !atLineBreak()) {
            if (text_[at_] == kQuote)
                return fail(line_, "a quote inside a field that does not begin with one (put the field in "
                                   "quotes and write the quote twice)");
            field += text_[at_++];
        }
        return true;
    }

    bool readQuoted(QString &field) {
        const int opened = line_;
        ++at_;
        for (;;) {
            if (at_ >= text_.size())
                return fail(opened, "a quoted field that begins on this line is never closed");
            const QChar c = text_[at_++];
            if (c == kLineFeed)
                ++line_;
            if (c != kQuote) {
                field += c;
                continue;
            }
            if (at_ < text_.size() && text_[at_] == kQuote) {
                field += kQuote;
                ++at_;
                continue;
            }
            if (at_ < text_.size() && text_[at_] != kComma && !atLineBreak())
                return fail(line_, "text after the closing quote of a field (a comma or the line's end must "
                                   "follow it)");
            return true;
        }
    }

    bool fail(int line, const QString &problem) {
        problem_ = CsvProblem{line, problem};
        return false;
    }

    const QString &text_;
    qsizetype at_ = 0;
    int line_ = 1;
    CsvProblem problem_;
};

} // namespace

CsvRecords readCsvRecords(const QByteArray &text) {
    if (const std::optional<int> line = firstInvalidUtf8Line(text))
        return CsvRecords{{}, CsvProblem{*line, "not UTF-8 text"}};
    const QString decoded = QString::fromUtf8(text);
    return Splitter(decoded).split();
}
