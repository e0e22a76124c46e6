#include "odbc/odbc.h"

namespace odbc {

Transaction::Transaction(Connection& connection) : connection_(connection)
{
    previousAutoCommit_ = connection_.getAutoCommit();
    connection_.setAutoCommit(false);
}

Transaction::~Transaction()
{
    bool rolledBack = true;
    if (!done_) {
        try {
            connection_.rollback();
        } catch (...) {
            rolledBack = false;
        }
    }
    // Turning auto-commit on commits whatever is open, so after a failed
    // rollback it stays off: the connection rolls back when it goes.
    if (rolledBack && previousAutoCommit_) {
        try {
            connection_.setAutoCommit(true);
        } catch (...) {
        }
    }
}

void Transaction::commit()
{
    connection_.commit();
    done_ = true;
}

}  // namespace odbc
