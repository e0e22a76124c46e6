#include "support/WriteFault.h"

namespace zentra_test {

namespace {

const char* const kTables[] = {"DialPlan", "DialPlanTag", "DigitDiscardInstruction",
                               "DigitDiscardInstructionMember"};

}  // namespace

WriteFault::WriteFault(HostDatabase& db) : db_(db)
{
    db_.exec("CREATE TABLE ZentraWriteFault (writes integer NOT NULL, failAt integer NOT NULL)");
    db_.exec("INSERT INTO ZentraWriteFault (writes, failAt) VALUES (0, 0)");
    const std::string message = std::string("'") + kMessage + "'";
    if (db_.backend() == Backend::SQLite) {
        for (const char* table : kTables)
            for (const char* event : {"INSERT", "UPDATE", "DELETE"})
                db_.exec(std::string("CREATE TRIGGER ZentraWriteFault_") + table + "_" + event + " BEFORE " + event +
                         " ON " + table +
                         " BEGIN UPDATE ZentraWriteFault SET writes = writes + 1; "
                         "SELECT RAISE(ABORT, " + message + ") FROM ZentraWriteFault WHERE writes = failAt; END");
        return;
    }
    db_.exec("CREATE FUNCTION zentra_write_fault() RETURNS trigger LANGUAGE plpgsql AS $$ "
             "DECLARE counted integer; target integer; "
             "BEGIN UPDATE ZentraWriteFault SET writes = writes + 1 RETURNING writes, failAt INTO counted, target; "
             "IF counted = target THEN RAISE EXCEPTION " + message + "; END IF; RETURN NULL; END $$");
    for (const char* table : kTables)
        db_.exec(std::string("CREATE TRIGGER zentra_write_fault BEFORE INSERT OR UPDATE OR DELETE ON ") + table +
                 " FOR EACH STATEMENT EXECUTE FUNCTION zentra_write_fault()");
}

void WriteFault::arm(int n)
{
    db_.exec("UPDATE ZentraWriteFault SET writes = 0, failAt = " + std::to_string(n));
}

int WriteFault::writes()
{
    return std::stoi(db_.scalar("select writes from ZentraWriteFault"));
}

}  // namespace zentra_test
