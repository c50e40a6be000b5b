#pragma once

// Comma-separated values as RFC 4180 defines them, read from UTF-8 text: fields separated by commas,
// records by line breaks (CR LF or LF). A field in double quotes may hold commas, line breaks and quotes
// (written twice); outside quotes a field holds no quote. Blank lines are skipped, a UTF-8 byte order mark
// at the start is ignored, and a line break after the last record adds no record.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

struct CsvRecord {
    int line = 0; // 1-based line on which the record begins
    QStringList fields;
};

struct CsvProblem {
    int line = 0; // 1-based line of the problem
    QString problem;
};

struct CsvRecords {
    std::vector<CsvRecord> records;
    std::optional<CsvProblem> problem; // set when the text is not valid CSV; records is then empty
};

// Splits `text` into records. Invalid UTF-8, a quote inside an unquoted field, text after a closing quote
// and a quoted field that is never closed are problems, each with its line.
CsvRecords readCsvRecords(const QByteArray &text);
