#pragma once

// The ignore patterns of an ASC MHL history, gitignore-style, matched against a file's path relative to the
// root ('/' between folders). A pattern without '/' matches the file's name or the name of any folder it is
// in; with a trailing '/' it matches folders only; with a '/' elsewhere it is taken from the root and matches
// the whole path or one of the folders it begins with. '*', '?' and [...] work within one name. Empty
// patterns and comments ('#') match nothing; negation ('!') is not supported (the pattern is taken
// literally).

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <vector>

namespace mhl {

class IgnorePatterns {
public:
    explicit IgnorePatterns(const QStringList &patterns);
    // Whether the file at `path` (relative to the root) is to be skipped.
    bool matches(const QString &path) const;

private:
    struct Rule {
        QRegularExpression expression;
        bool foldersOnly = false; // trailing '/'
        bool fromRoot = false;    // a '/' before the end: matched against leading folders and the path
    };
    std::vector<Rule> rules;
};

} // namespace mhl
