#pragma once

// The colour tokens of the dark and slate style sheets: ordered tables of token name and colour. Replacing
// the tokens in table order never cuts a longer token: a token that is the beginning of a longer one always
// comes after it.
//
// Threads: the tables are built on first use and kept until exit; safe from any thread.

#include <QColor>
#include <vector>

namespace qiro {

struct ColourToken {
    const char *name; // as it stands in the style sheet, case-sensitive
    QColor colour;
};

// The dark theme's 94 tokens.
const std::vector<ColourToken> &darkColourTokens();
// The slate theme's 105 tokens: its 14 own text, selection and control colours, then the dark tokens from
// the fourth on (the three dark text colours left out), in the dark order.
const std::vector<ColourToken> &slateColourTokens();

} // namespace qiro
