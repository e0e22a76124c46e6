#pragma once

#include <stdexcept>
#include <string>

// A pkid of the dial-plan file with its braces removed: the character at the
// first "{" goes, then the one just before the first "}" of the unchanged text.
// Nothing else changes. A pkid without both braces cannot be made bare.
inline std::string BarePkid(std::string pkid)
{
    const std::string::size_type open = pkid.find('{');
    const std::string::size_type close = pkid.find('}');
    if (open == std::string::npos || close == std::string::npos)
        throw std::out_of_range("invalid string position");
    pkid.erase(open, 1);
    if (close == 0 || close - 1 >= pkid.size())
        throw std::out_of_range("invalid string position");
    pkid.erase(close - 1, 1);
    return pkid;
}
