#pragma once

#include <string>

namespace quillet {

// The ODBC connection string for the database named by server and database:
// "Driver={SQL Server};" then "Server=<server>" when a server is given, then
// ";Database=<database>" when a database is given, then
// ";Trusted_Connection=yes", and ";UID=<user>;PWD=<password>" when a user or
// a password is given. A value that holds ';', '{' or '}', or begins or ends
// with a blank, is written in braces with its '}' doubled, so that it stays one
// value and cannot add attributes of its own; other values stand as they are.
std::string BuildConnectString(const std::string& server, const std::string& database, const std::string& user,
                               const std::string& password);

// A value of a connection string attribute, braced when it has to be.
std::string ConnectStringValue(const std::string& value);

}  // namespace quillet
