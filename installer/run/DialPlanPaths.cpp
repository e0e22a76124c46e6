#include "installer/run/DialPlanPaths.h"

#include <algorithm>
#include <cstring>

namespace zentra_run {

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

std::optional<DialPlanPaths> DialPlanPaths::Of(const std::string& name, std::string* problem)
{
    const std::string refusal = CheckDialPlanName(name);
    if (problem != nullptr)
        *problem = refusal;
    if (!refusal.empty())
        return std::nullopt;
    return DialPlanPaths(name);
}

void CopyToBuffer(const std::string& path, char (&buffer)[kPathBufferSize])
{
    std::memset(buffer, 0, kPathBufferSize);
    std::memcpy(buffer, path.data(), std::min(path.size(), kPathBufferSize - 1));
}

}  // namespace zentra_run
