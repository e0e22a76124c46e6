#include "loader/ConnectString.h"

namespace quillet {

std::string ConnectStringValue(const std::string& value)
{
    const bool needsBraces = value.find_first_of(";{}") != std::string::npos ||
                             (!value.empty() && (value.front() == ' ' || value.back() == ' '));
    if (!needsBraces)
        return value;
    std::string braced = "{";
    for (char c : value) {
        braced += c;
        if (c == '}')
            braced += '}';
    }
    braced += '}';
    return braced;
}

std::string BuildConnectString(const std::string& server, const std::string& database, const std::string& user,
                               const std::string& password)
{
    std::string text = "Driver={SQL Server};";
    if (!server.empty())
        text += "Server=" + ConnectStringValue(server);
    if (!database.empty())
        text += ";Database=" + ConnectStringValue(database);
    text += ";Trusted_Connection=yes";
    if (!user.empty() || !password.empty())
        text += ";UID=" + ConnectStringValue(user) + ";PWD=" + ConnectStringValue(password);
    return text;
}

}  // namespace quillet
