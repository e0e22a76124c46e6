#pragma once

// A run's report as JSON, for the programs that print one document and for
// the journal: texts that may be missing, and the rows that block a change,
// one object each. The installer library itself writes no JSON.

#include <string>

#include <nlohmann/json.hpp>

#include "installer/run/RunReport.h"

namespace zentra_run {

// A text, or null when there is none.
inline nlohmann::ordered_json TextOrNull(const std::string& text)
{
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

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
