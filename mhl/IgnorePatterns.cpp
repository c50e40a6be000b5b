#include "mhl/IgnorePatterns.h"

namespace mhl {

IgnorePatterns::IgnorePatterns(const QStringList &patterns) {
    for (QString pattern : patterns) {
        if (pattern.isEmpty() || pattern.startsWith('#'))
            continue;
        Rule rule;
        rule.foldersOnly = pattern.endsWith('/');
        if (rule.foldersOnly)
            pattern.chop(1);
        rule.fromRoot = pattern.contains('/');
        if (pattern.startsWith('/'))
            pattern.remove(0, 1);
        if (pattern.isEmpty())
            continue;
        rule.expression.setPattern(QRegularExpression::wildcardToRegularExpression(pattern));
        if (rule.expression.isValid())
            rules.push_back(std::move(rule));
    }
}

bool IgnorePatterns::matches(const QString &path) const {
    const QStringList names = path.split('/');
    for (const Rule &rule : rules) {
        // The last name is the file's own; the ones before it are its folders.
        const qsizetype candidates = rule.foldersOnly ? names.size() - 1 : names.size();
        for (qsizetype k = 0; k < candidates; ++k) {
            const QString subject = rule.fromRoot ? names.mid(0, k + 1).join('/') : names[k];
            if (rule.expression.match(subject).hasMatch())
                return true;
        }
    }
    return false;
}

} // namespace mhl
