#pragma once

#include <string>

// A value to be put between single quotes in a statement: its own single
// quotes doubled, so that it cannot change the statement's meaning.
inline std::string SqlQuote(const std::string& value)
{
    std::string quoted;
    quoted.reserve(value.size());
    for (char c : value) {
        quoted += c;
        if (c == '\'')
            quoted += '\'';
    }
    return quoted;
}

// The value as a literal of a statement: quoted, between single quotes.
inline std::string SqlLiteral(const std::string& value) { return "'" + SqlQuote(value) + "'"; }
