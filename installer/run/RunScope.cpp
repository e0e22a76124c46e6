#include "installer/run/RunScope.h"

#include <vector>

#include "installer/SqlText.h"
#include "installer/run/PlanFile.h"
#include "installer/run/References.h"
#include "installer/run/Session.h"
#include "installer/run/Snapshot.h"

namespace zentra_run {

RunScope::RunScope(Session& session, const RunOptions& options)
    : session_(session), options_(options),
      transaction_((session.release(), session.connection()), [&session] { session.tellWaiting(); })
{
}

RunScope::~RunScope()
{
    // Statements go before the transaction ends, however it ends.
    session_.release();
}

bool RunScope::holdDialPlan(const std::string& pkid)
{
    return transaction_.lockRows("DialPlan", "pkid = '" + SqlQuote(pkid) + "'") == 1;
}

void RunScope::holdRoutes() { transaction_.lockTablesAgainstWrites(RouteTables()); }

void RunScope::rowsBefore(const std::string& pkid)
{
    if (report() != nullptr && options_.changes)
        before_ = ReadPlanRows(session_, pkid);
}

std::string RunScope::snapshot(const DialPlanPaths& paths, const char* operation, const std::string& pkid)
{
    if (options_.preview)
        return "";
    const RowsText rows = [this, &pkid] { return PlanFileText(session_, pkid); };
    const std::string id = TakeSnapshot(paths, operation, pkid.empty() ? RowsText() : rows);
    if (report() != nullptr)
        report()->snapshot = id;
    return id;
}

void RunScope::rowsAfter(const std::string& pkid)
{
    if (report() != nullptr && options_.changes)
        report()->changes = CompareRows(before_, ReadPlanRows(session_, pkid));
}

int RunScope::finish(const char* step, int result)
{
    // Statements go before the transaction ends.
    session_.release();
    if (options_.preview)
        transaction_.rollback();
    else
        transaction_.commit();
    return decided(step, result);
}

}  // namespace zentra_run
