#include "installer/DialPlanName.h"

std::string CheckDialPlanName(const std::string& name)
{
    if (name.empty())
        return "The dial plan name is empty.";
    if (name.size() > kMaxDialPlanNameLength)
        return "The dial plan name is longer than " + std::to_string(kMaxDialPlanNameLength) + " characters.";
    if (name == "." || name == "..")
        return "The dial plan name \"" + name + "\" names no folder of its own.";
    const char last = name.back();
    if (last == ' ' || last == '.')
        return "The dial plan name \"" + name + "\" ends in a blank or a dot.";
    for (unsigned char c : name) {
        if (c < 32)
            return "The dial plan name holds a control character.";
        switch (c) {
        case '<':
        case '>':
        case ':':
        case '"':
        case '/':
        case '\\':
        case '|':
        case '?':
        case '*':
            return "The dial plan name \"" + name + "\" holds the character '" + std::string(1, static_cast<char>(c)) +
                   "', which a file name cannot hold.";
        default:
            break;
        }
    }
    return "";
}
