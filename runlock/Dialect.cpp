#include "runlock/Dialect.h"

#include <string>

namespace zentra_lock {

Dialect DialectOf(odbc::Connection& connection)
{
    const std::string product = connection.getDatabaseProductName();
    if (product.find("SQLite") != std::string::npos)
        return Dialect::SQLite;
    if (product.find("PostgreSQL") != std::string::npos)
        return Dialect::PostgreSQL;
    if (product.find("SQL Server") != std::string::npos)
        return Dialect::SqlServer;
    return Dialect::Other;
}

}  // namespace zentra_lock
