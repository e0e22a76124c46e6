#pragma once

#include <stdexcept>
#include <string>

#include "dialplanfile/DialPlanFile.h"

namespace odbc {
class Connection;
}

namespace quillet {

// A failure of the database while the file was being stored; nothing of the
// file is left in the database. what() names the file, the lines of the batch of rows
// that was refused, and the database's own message.
class DatabaseError : public std::runtime_error {
public:
    explicit DatabaseError(const std::string& message) : std::runtime_error(message) {}
};

// Inserts every row of a checked file, in the caller's transaction: DialPlan,
// then the tags, the instructions and the members. First looks again at the
// database: the dial plan must not be installed, and no instruction may hold a
// digit-analysis ID of the file (nor two of the file the same one). Each
// table's rows go in batches through statements prepared once, whose
// parameters take the values; no SQL text is built from the file. A value goes
// in as an integer when the host column is of an integer type, as text
// otherwise. Throws DatabaseError when anything fails; the caller then rolls
// its transaction back.
void InsertDialPlanRows(odbc::Connection& connection, const dialplan::DialPlanFile& file);

}  // namespace quillet
