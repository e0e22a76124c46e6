#pragma once

// The data of one benchmark run: a dial plan in two versions (the one that is
// installed and the one that upgrades it), the other dial plans that the host
// database already holds, and the routing rows that refer to both.
//
// Everything is derived from a seed: the same options give the same bytes.

#include <cstdint>
#include <string>
#include <vector>

#include "support/DialPlanModel.h"

namespace bench {

// splitmix64: small, fast and good enough to pick rows and make GUIDs.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next();
    // A number in [0, bound); bound > 0.
    std::uint64_t Below(std::uint64_t bound);
    // count distinct numbers of [0, bound), in ascending order.
    std::vector<std::size_t> Choose(std::size_t count, std::size_t bound);

private:
    std::uint64_t state_;
};

// The GUID of row `index` of a kind of row, in the form the database prints:
// upper case hexadecimal, 8-4-4-4-12, no braces.
std::string MakeGuid(std::uint64_t seed, std::uint32_t kind, std::uint64_t index);
// The same GUID between curly braces, as the dial-plan file writes it.
std::string Braced(const std::string& guid);

// The dial plans of the tests' model: pkids bare and in upper case, the
// instructions with the six predefined ones first.
using zentra_test::DialPlan;
using zentra_test::Instruction;
using zentra_test::Member;
using zentra_test::Tag;

// Rows of the host product's routing tables.
struct RouteFilter {
    std::string pkid, name, dialPlan, clause;
};
struct RouteFilterMember {
    std::string pkid, routeFilter, tag, digits;
};
struct NumPlanRow {
    std::string pkid, pattern, dialPlan, instruction, routeFilter, description;
};
struct RouteListRow {
    std::string pkid, name, instruction, description;
};

struct Routing {
    std::vector<RouteFilter> filters;
    std::vector<RouteFilterMember> filterMembers;
    std::vector<NumPlanRow> patterns;
    std::vector<RouteListRow> routeLists;
};

struct Options {
    std::string name = "BenchPlan";
    std::size_t tags = 50;
    std::size_t instructions = 20;  // the six predefined ones included
    std::size_t members = 300;
    double change = 0.10;  // share of tags and other instructions replaced
    std::uint64_t seed = 20260108;
    std::size_t otherPlans = 5;
};

struct Scenario {
    Options options;
    DialPlan first;                // the version that is installed
    DialPlan second;               // the version that upgrades it
    std::vector<DialPlan> others;  // installed before the benchmark starts
    Routing otherRouting;          // routes of the other dial plans
    Routing planRouting;           // routes set up on the installed plan (kept rows only)
    std::size_t droppedTags = 0, addedTags = 0;
    std::size_t droppedInstructions = 0, addedInstructions = 0;
};

// Builds the whole scenario. Throws std::invalid_argument for options that
// cannot be met (fewer than six instructions, more members than pairs...).
Scenario BuildScenario(const Options& options);

}  // namespace bench
