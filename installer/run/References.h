#pragma once

// What keeps a row of a dial plan from being dropped: one table of the kinds
// of rows that use a tag, a digit discard instruction or the dial plan itself.
// Both what the installer asks before it drops anything (the queries it logs,
// one per used row for an upgrade, one per kind for a removal) and the listing
// of the blocking rows for a person are built from this table alone, so that
// the two can never disagree.

#include <string>
#include <vector>

#include "installer/run/RunReport.h"

namespace zentra_run {

class Session;

enum class Used { Tag, Instruction, DialPlan };

struct Reference {
    Used used;
    // The kind of the using row, as a person reads it.
    const char* user;
    // The table of the using rows and its column that holds the used row's pkid.
    const char* table;
    const char* column;
    // The column of the using row that names the user (its own pkid, or a
    // member's route filter), and where the user's name is.
    const char* userKey;
    const char* nameTable;
    const char* nameColumn;
    // How the upgrade's check query begins ("Select" or "select").
    const char* select;
};

extern const Reference kTagInRouteFilter;        // RouteFilterMember.fkDialPlanTag
extern const Reference kInstructionInPattern;    // NumPlan.fkDigitDiscardInstruction
extern const Reference kInstructionInRouteList;  // RouteList.fkDigitDiscardInstruction
extern const Reference kDialPlanInPattern;       // NumPlan.fkDialPlan
extern const Reference kDialPlanInRouteFilter;   // RouteFilter.fkDialPlan

// Every table that a check or a listing reads, once each: the routes that a
// run holds against writes until it commits.
const std::vector<std::string>& RouteTables();

// The upgrade's check of one used row: a row of the query means the row is in
// use.
std::string CheckQuery(const Reference& reference, const std::string& usedPkid);

// The removal's checks, in the order in which the first one that finds a row
// decides the removal's result (patterns, route lists, route filters).
struct RemovalCheck {
    const Reference* reference;
    int result;  // a zentra::RemovalResult
    std::string query(const std::string& dialPlanPkid) const;
};
const std::vector<RemovalCheck>& RemovalChecks();

// The rows that use one row (given with its name), or that use the dial plan or
// its rows for a removal's result, for a person.
std::vector<BlockingRow> UsersOf(Session& session, const Reference& reference, const std::string& usedPkid);
std::vector<BlockingRow> UsersOfDialPlan(Session& session, int result, const std::string& dialPlanPkid,
                                         const std::string& name);

// Logs heading, then for each pkid logs and runs the check query of the
// reference; the names of the rows that are in use, in order.
std::vector<std::string> NamesInUse(Session& session, const char* heading, const Reference& reference,
                                    const std::vector<std::string>& pkids, const std::vector<std::string>& names);

}  // namespace zentra_run
