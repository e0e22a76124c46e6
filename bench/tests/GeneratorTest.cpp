// Checks of the benchmark generator: the files it writes are read by the
// system's own reader as the plans it built, the second version differs from
// the first only as intended, and the new installation's reference statements
// hold every row once.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "BenchOutput.h"
#include "BenchPlan.h"
#include "dialplanfile/DialPlanFile.h"
#include "support/DialPlanModel.h"

namespace {

using bench::Options;
using bench::Scenario;

Options Small()
{
    Options options;
    options.tags = 50;
    options.instructions = 20;
    options.members = 300;
    return options;
}

std::set<std::string> TagPkids(const bench::DialPlan& plan)
{
    std::set<std::string> pkids;
    for (const auto& tag : plan.tags)
        pkids.insert(tag.pkid);
    return pkids;
}

std::set<std::string> InstructionPkids(const bench::DialPlan& plan)
{
    std::set<std::string> pkids;
    for (const auto& instruction : plan.instructions)
        pkids.insert(instruction.pkid);
    return pkids;
}

std::size_t Count(const std::vector<std::string>& statements, const std::string& prefix)
{
    return static_cast<std::size_t>(std::count_if(statements.begin(), statements.end(), [&](const std::string& s) {
        return s.compare(0, prefix.size(), prefix) == 0;
    }));
}

// ---- The file ------------------------------------------------------------

// Sections, type rows, pkids in braces, the six predefined instructions at
// the head of theirs, and the values read are the plan's.
TEST(GeneratedFile, IsReadByTheSystemsReaderAsThePlan)
{
    const Scenario scenario = bench::BuildScenario(Small());
    for (const bench::DialPlan* plan : {&scenario.first, &scenario.second}) {
        const std::string csv = zentra_test::CsvText(*plan);
        // Every line ends in CR LF; no bare LF.
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), std::count(csv.begin(), csv.end(), '\r'));
        dialplan::DialPlanFile file;
        try {
            file.Parse(plan->name + ".csv", csv);
            file.CheckInstallable(plan->name);
        } catch (const dialplan::FileError& error) {
            FAIL() << error.what();
        }
        const std::pair<dialplan::Table, const char*> tables[] = {
            {dialplan::Table::DialPlan, "DialPlan"},
            {dialplan::Table::DialPlanTag, "Tag"},
            {dialplan::Table::DigitDiscardInstruction, "Instruction"},
            {dialplan::Table::DigitDiscardInstructionMember, "Member"},
        };
        zentra_test::RowList read;
        for (const auto& [table, label] : tables)
            for (const dialplan::Row& row : file.section(table).rows) {
                std::vector<std::string> values = {label};
                for (std::size_t k = 0; k < dialplan::Layout(table).columnCount; ++k)
                    values.emplace_back(row.values[k]);
                read.push_back(values);
            }
        std::sort(read.begin(), read.end());
        EXPECT_EQ(read, zentra_test::Rows({*plan}));
    }
}

TEST(GeneratedFile, SomeClausesHoldCommasAndTheDescriptionAQuote)
{
    const Scenario scenario = bench::BuildScenario(Small());
    std::size_t withComma = 0;
    for (const auto& instruction : scenario.first.instructions)
        withComma += instruction.clause.find(',') != std::string::npos ? 1 : 0;
    EXPECT_GT(withComma, 0u);
    EXPECT_NE(scenario.second.description.find('\''), std::string::npos);
}

TEST(GeneratedFile, SameOptionsGiveTheSameBytesAndAnotherSeedOthers)
{
    Options options = Small();
    const Scenario a = bench::BuildScenario(options);
    const Scenario b = bench::BuildScenario(options);
    EXPECT_EQ(zentra_test::CsvText(a.first), zentra_test::CsvText(b.first));
    EXPECT_EQ(zentra_test::CsvText(a.second), zentra_test::CsvText(b.second));
    EXPECT_EQ(bench::Script(bench::HostStatements(a)), bench::Script(bench::HostStatements(b)));
    options.seed += 1;
    const Scenario c = bench::BuildScenario(options);
    EXPECT_NE(zentra_test::CsvText(a.first), zentra_test::CsvText(c.first));
}

// ---- The plan's shape -----------------------------------------------------

TEST(GeneratedPlan, HasTheRequestedSizeAndConsistentMembers)
{
    for (const Options& options : {Small(), [] {
                                       Options large;
                                       large.tags = 2000;
                                       large.instructions = 2000;
                                       large.members = 20000;
                                       return large;
                                   }()}) {
        const Scenario scenario = bench::BuildScenario(options);
        const auto& plan = scenario.first;
        EXPECT_EQ(plan.tags.size(), options.tags);
        EXPECT_EQ(plan.instructions.size(), options.instructions);
        EXPECT_EQ(plan.members.size(), options.members);
        const auto tags = TagPkids(plan);
        const auto ddis = InstructionPkids(plan);
        std::set<std::pair<std::string, std::string>> pairs;
        std::map<std::string, std::size_t> perInstruction;
        for (const auto& member : plan.members) {
            EXPECT_EQ(tags.count(member.tag), 1u);
            EXPECT_EQ(ddis.count(member.instruction), 1u);
            EXPECT_TRUE(pairs.insert({member.instruction, member.tag}).second) << "pair joined twice";
            ++perInstruction[member.instruction];
        }
        // Predefined instructions are joined to many tags, the others to a few.
        for (std::size_t i = 0; i < 6; ++i)
            EXPECT_GE(perInstruction[plan.instructions[i].pkid], options.tags / 2);
        for (std::size_t i = 6; i < plan.instructions.size(); ++i) {
            EXPECT_GE(perInstruction[plan.instructions[i].pkid], 1u);
            EXPECT_LE(perInstruction[plan.instructions[i].pkid], 12u);
        }
    }
}

TEST(GeneratedPlan, RefusesImpossibleSizes)
{
    Options options = Small();
    options.instructions = 5;
    EXPECT_THROW(bench::BuildScenario(options), std::invalid_argument);
    options = Small();
    options.members = options.tags * options.instructions + 1;
    EXPECT_THROW(bench::BuildScenario(options), std::invalid_argument);
}

// ---- The second version ---------------------------------------------------

TEST(SecondVersion, ReplacesTheChosenShareAndKeepsEverythingElse)
{
    Options options = Small();
    options.tags = 200;
    options.instructions = 106;
    options.members = 2000;
    const Scenario scenario = bench::BuildScenario(options);
    const auto& first = scenario.first;
    const auto& second = scenario.second;
    EXPECT_EQ(scenario.droppedTags, 20u);
    EXPECT_EQ(scenario.droppedInstructions, 10u);
    EXPECT_EQ(second.tags.size(), first.tags.size());
    EXPECT_EQ(second.instructions.size(), first.instructions.size());

    std::map<std::string, bench::Tag> firstTags;
    for (const auto& tag : first.tags)
        firstTags[tag.pkid] = tag;
    std::size_t keptTags = 0;
    for (const auto& tag : second.tags) {
        auto found = firstTags.find(tag.pkid);
        if (found == firstTags.end())
            continue;
        ++keptTags;
        EXPECT_EQ(found->second.tag, tag.tag);
        EXPECT_EQ(found->second.suppress, tag.suppress);
        EXPECT_EQ(found->second.operatorMax, tag.operatorMax);
    }
    EXPECT_EQ(keptTags, first.tags.size() - 20);

    // The six predefined instructions stay, by pkid, in front, with new clauses.
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(second.instructions[i].pkid, first.instructions[i].pkid);
        EXPECT_EQ(second.instructions[i].name, dialplan::kPredefinedInstructions[i]);
        EXPECT_NE(second.instructions[i].clause, first.instructions[i].clause);
    }
    EXPECT_NE(second.description, first.description);

    // Members of the second version point at rows of the second version only.
    const auto tags = TagPkids(second);
    const auto ddis = InstructionPkids(second);
    for (const auto& member : second.members) {
        EXPECT_EQ(tags.count(member.tag), 1u);
        EXPECT_EQ(ddis.count(member.instruction), 1u);
    }
}

TEST(SecondVersion, NeverDropsARowThatTheRoutesUse)
{
    Options options = Small();
    options.change = 0.9;  // drop nearly everything that may go
    const Scenario scenario = bench::BuildScenario(options);
    const auto tags = TagPkids(scenario.second);
    const auto ddis = InstructionPkids(scenario.second);
    ASSERT_FALSE(scenario.planRouting.filterMembers.empty());
    ASSERT_FALSE(scenario.planRouting.patterns.empty());
    ASSERT_FALSE(scenario.planRouting.routeLists.empty());
    for (const auto& member : scenario.planRouting.filterMembers)
        EXPECT_EQ(tags.count(member.tag), 1u);
    for (const auto& pattern : scenario.planRouting.patterns) {
        EXPECT_EQ(ddis.count(pattern.instruction), 1u);
        EXPECT_EQ(pattern.dialPlan, scenario.first.pkid);
    }
    for (const auto& list : scenario.planRouting.routeLists)
        EXPECT_EQ(ddis.count(list.instruction), 1u);
    EXPECT_GT(scenario.droppedTags, 0u);
}

TEST(SecondVersion, ZeroChangeGivesTheSameRows)
{
    Options options = Small();
    options.change = 0.0;
    const Scenario scenario = bench::BuildScenario(options);
    EXPECT_EQ(scenario.droppedTags + scenario.droppedInstructions, 0u);
    EXPECT_EQ(TagPkids(scenario.first), TagPkids(scenario.second));
    EXPECT_EQ(InstructionPkids(scenario.first), InstructionPkids(scenario.second));
}

// ---- The installation and the host database --------------------------------

TEST(Installation, TakesTheSmallestFreeIdsInFileOrder)
{
    const Scenario scenario = bench::BuildScenario(Small());
    std::set<int> used;
    for (const auto& plan : scenario.others)
        for (const auto& instruction : plan.instructions)
            EXPECT_TRUE(used.insert(instruction.analysisId).second) << "ID used twice by the other plans";
    const auto ids = bench::InstalledIds(scenario);
    ASSERT_EQ(ids.size(), scenario.first.instructions.size());
    ASSERT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    int expected = 1;
    for (int id : ids) {
        while (used.count(expected) != 0)
            ++expected;
        EXPECT_EQ(id, expected++);
    }
    // The other plans' IDs leave gaps that the new plan fills.
    EXPECT_LT(ids.back(), *used.rbegin());

    // Every row once, in statements of at most 100 rows, as the loader sends them.
    const auto statements = bench::InstallStatements(scenario);
    auto rows = [&statements](const std::string& prefix) {
        std::size_t total = 0;
        for (const std::string& statement : statements) {
            if (statement.compare(0, prefix.size(), prefix) != 0)
                continue;
            std::size_t inStatement = 1;
            for (auto at = statement.find("), ("); at != std::string::npos; at = statement.find("), (", at + 1))
                ++inStatement;
            EXPECT_LE(inStatement, bench::kRowsPerInsert);
            total += inStatement;
        }
        return total;
    };
    EXPECT_EQ(rows("INSERT INTO DialPlan "), 1u);
    EXPECT_EQ(rows("INSERT INTO DialPlanTag "), scenario.first.tags.size());
    EXPECT_EQ(rows("INSERT INTO DigitDiscardInstruction "), scenario.first.instructions.size());
    EXPECT_EQ(rows("INSERT INTO DigitDiscardInstructionMember "), scenario.first.members.size());
    EXPECT_EQ(Count(statements, "INSERT INTO DigitDiscardInstructionMember "), 3u);  // 300 members
    for (std::size_t i = 0; i < scenario.first.instructions.size(); ++i)
        EXPECT_NE(statements[4].find(std::to_string(ids[i]) + ", '" + scenario.first.instructions[i].clause + "')"),
                  std::string::npos);
}

TEST(Installation, RoutingAndDetachCoverTheSameRows)
{
    const Scenario scenario = bench::BuildScenario(Small());
    const std::string routing = bench::Script(bench::PlanRoutingStatements(scenario));
    const std::string detach = bench::Script(bench::DetachStatements(scenario));
    for (const auto& row : scenario.planRouting.patterns) {
        EXPECT_NE(routing.find(row.pkid), std::string::npos);
        EXPECT_NE(detach.find(row.pkid), std::string::npos);
    }
    for (const auto& row : scenario.planRouting.routeLists)
        EXPECT_NE(detach.find(row.pkid), std::string::npos);
    for (const auto& row : scenario.planRouting.filters)
        EXPECT_NE(detach.find(row.pkid), std::string::npos);
    for (const auto& row : scenario.planRouting.filterMembers)
        EXPECT_NE(detach.find(row.pkid), std::string::npos);
}

TEST(Script, WrapsTheStatementsInOneTransaction)
{
    EXPECT_EQ(bench::Script({"select 1", "select 2"}), "BEGIN;\nselect 1;\nselect 2;\nCOMMIT;\n");
}

}  // namespace
