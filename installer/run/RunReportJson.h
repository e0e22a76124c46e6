#pragma once

// A run's report as JSON, for the programs that print one document: the rows
// that block a change, one object each. Only the programs include this; the
// library itself writes no JSON.

#include <nlohmann/json.hpp>

#include "installer/run/RunReport.h"

namespace zentra_run {

inline nlohmann::ordered_json BlockingRowsJson(const std::vector<BlockingRow>& rows)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const BlockingRow& row : rows)
        list.push_back({{"used", row.used},
                        {"usedName", row.usedName},
                        {"usedPkid", row.usedPkid},
                        {"user", row.user},
                        {"userName", row.userName},
                        {"userPkid", row.userPkid},
                        {"text", row.text()}});
    return list;
}

}  // namespace zentra_run
