#pragma once

namespace setup {

// What to look at when the connection fails.
constexpr const char* kConnectionHint =
    "zentra-setup: could not connect to the configuration database. Check the registry value\n"
    "DBConnection0 under HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvane Systems, Inc.\\Vantor: it must\n"
    "name the server (SERVER=...) and the database (DATABASE=...), and the database must be\n"
    "reachable through the ODBC driver \"SQL Server\".\n";

}  // namespace setup
