// The reference checks of the upgrade: one query per obsolete tag or
// instruction, asking whether a route still uses it.

#include <string>
#include <vector>

#include "installer/CZentraSetup.h"
#include "installer/SqlText.h"
#include "odbc/odbc.h"

std::vector<std::string> CZentraSetup::NamesInUse(const char* heading, const std::string& queryStart,
                                                  const std::vector<std::string>& pkids,
                                                  const std::vector<std::string>& names)
{
    std::vector<std::string> inUse;
    OpenLog();
    Log(heading);
    for (std::size_t i = 0; i < pkids.size(); ++i) {
        const std::string query = queryStart + SqlQuote(pkids[i]) + "'";
        Log("\n\n");
        Log(query);
        if (RunQuery(query)->next())
            inUse.push_back(names.at(i));
    }
    CloseLog();
    return inUse;
}
