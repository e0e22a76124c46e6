// Checks of the benchmark generator: the files it writes follow the dial-plan
// file format, the second version differs from the first only as intended, and
// the reference statements are the ones the upgrade works out.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "BenchOutput.h"
#include "BenchPlan.h"

namespace {

using bench::Options;
using bench::Scenario;

// The file read back by the rules of the format: sections found by marker, the
// type row is the first line holding UNIQUEIDENTIFIER, rows up to an empty line.
struct Section {
    std::string typeRow;
    std::vector<std::string> rows;
};

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < text.size()) {
        const auto end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

Section ReadSection(const std::vector<std::string>& lines, const std::string& marker)
{
    Section section;
    std::size_t i = 0;
    while (i < lines.size() && lines[i].find(marker) == std::string::npos)
        ++i;
    ++i;
    while (i < lines.size() && lines[i].find("UNIQUEIDENTIFIER") == std::string::npos)
        ++i;
    if (i < lines.size())
        section.typeRow = lines[i++];
    while (i < lines.size() && !lines[i].empty())
        section.rows.push_back(lines[i++]);
    return section;
}

// Fields split at the first `count - 1` commas; the last field keeps the rest.
std::vector<std::string> Fields(const std::string& row, std::size_t count)
{
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (std::size_t k = 0; k + 1 < count; ++k) {
        const auto comma = row.find(',', start);
        if (comma == std::string::npos)
            break;
        fields.push_back(row.substr(start, comma - start));
        start = comma + 1;
    }
    fields.push_back(row.substr(start));
    return fields;
}

const std::regex kBracedGuid("\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}");

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

TEST(GeneratedFile, FollowsTheDialPlanFileFormat)
{
    const Scenario scenario = bench::BuildScenario(Small());
    for (const bench::DialPlan* plan : {&scenario.first, &scenario.second}) {
        const std::string csv = bench::DialPlanCsv(*plan);
        // Every line ends in CR LF; no bare LF.
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), std::count(csv.begin(), csv.end(), '\r'));
        const auto lines = Lines(csv);
        const std::string ddiType = "UNIQUEIDENTIFIER,VARCHAR(0),UNIQUEIDENTIFIER,INTEGER,UnknownText";
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [&](const std::string& l) { return l.find(ddiType) != std::string::npos; }),
                  1);
        // The DialPlan section comes first.
        const auto firstType = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
            return l.find("UNIQUEIDENTIFIER") != std::string::npos;
        });
        ASSERT_NE(firstType, lines.end());
        EXPECT_EQ(*firstType, "UNIQUEIDENTIFIER,VARCHAR(50),VARCHAR(200)");
        const auto dialPlanRow = Fields(*(firstType + 1), 3);
        EXPECT_EQ(dialPlanRow[0], bench::Braced(plan->pkid));
        EXPECT_EQ(dialPlanRow[2], plan->description);

        const Section tags = ReadSection(lines, "Table:DialPlanTag,,,,");
        const Section ddis = ReadSection(lines, "Table:DigitDiscardInstruction,,,,");
        const Section members = ReadSection(lines, "Table:DigitDiscardInstructionMember,,");
        EXPECT_EQ(ddis.typeRow, ddiType);
        ASSERT_EQ(tags.rows.size(), plan->tags.size());
        ASSERT_EQ(ddis.rows.size(), plan->instructions.size());
        ASSERT_EQ(members.rows.size(), plan->members.size());

        for (std::size_t i = 0; i < tags.rows.size(); ++i) {
            const auto f = Fields(tags.rows[i], 5);
            ASSERT_EQ(f.size(), 5u) << tags.rows[i];
            EXPECT_TRUE(std::regex_match(f[0], kBracedGuid)) << f[0];
            EXPECT_EQ(f[1], plan->tags[i].tag);
            EXPECT_EQ(f[2], bench::Braced(plan->pkid));
            EXPECT_EQ(f[4].size(), 1u);
            EXPECT_EQ(f[1].find(','), std::string::npos);
        }
        for (std::size_t i = 0; i < ddis.rows.size(); ++i) {
            const auto f = Fields(ddis.rows[i], 5);
            ASSERT_EQ(f.size(), 5u) << ddis.rows[i];
            EXPECT_TRUE(std::regex_match(f[0], kBracedGuid)) << f[0];
            EXPECT_EQ(f[1], plan->instructions[i].name);
            EXPECT_EQ(f[3], std::to_string(plan->instructions[i].daId));
            // The clause is the rest of the line, commas included.
            EXPECT_EQ(f[4], plan->instructions[i].clause);
            if (i < 6) {
                EXPECT_EQ(f[1], bench::kPredefinedNames[i]);
            }
        }
        for (const std::string& row : members.rows) {
            const auto f = Fields(row, 3);
            ASSERT_EQ(f.size(), 3u);
            for (const auto& field : f)
                EXPECT_TRUE(std::regex_match(field, kBracedGuid)) << row;
        }
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
    EXPECT_EQ(bench::DialPlanCsv(a.first), bench::DialPlanCsv(b.first));
    EXPECT_EQ(bench::DialPlanCsv(a.second), bench::DialPlanCsv(b.second));
    EXPECT_EQ(bench::Script(bench::HostStatements(a)), bench::Script(bench::HostStatements(b)));
    options.seed += 1;
    const Scenario c = bench::BuildScenario(options);
    EXPECT_NE(bench::DialPlanCsv(a.first), bench::DialPlanCsv(c.first));
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
        EXPECT_EQ(second.instructions[i].name, bench::kPredefinedNames[i]);
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
    const auto work = bench::UpgradeStatements(scenario);
    // Only the reads, the description and the six predefined clauses remain.
    EXPECT_EQ(work.statements.size(), 3u + 1u + 6u);
}

// ---- The installation and the host database --------------------------------

TEST(Installation, TakesTheSmallestFreeIdsInFileOrder)
{
    const Scenario scenario = bench::BuildScenario(Small());
    std::set<long> used;
    for (const auto& plan : scenario.others)
        for (const auto& instruction : plan.instructions)
            EXPECT_TRUE(used.insert(instruction.daId).second) << "ID used twice by the other plans";
    const auto ids = bench::InstalledIds(scenario);
    ASSERT_EQ(ids.size(), scenario.first.instructions.size());
    ASSERT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    long expected = 1;
    for (long id : ids) {
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

// ---- The upgrade's statements ---------------------------------------------

TEST(UpgradeWork, MatchesTheChangesBetweenTheVersions)
{
    const Scenario scenario = bench::BuildScenario(Small());
    const auto work = bench::UpgradeStatements(scenario);
    const auto& s = work.statements;
    EXPECT_EQ(work.obsoleteTags, scenario.droppedTags);
    EXPECT_EQ(work.obsoleteInstructions, scenario.droppedInstructions);
    EXPECT_EQ(work.newTags, scenario.addedTags);
    EXPECT_EQ(work.newInstructions, scenario.addedInstructions);
    // Every new tag is joined to the six predefined instructions in the file.
    EXPECT_EQ(work.predefinedMembers, 6 * scenario.addedTags);
    EXPECT_EQ(Count(s, "Select * from RouteFilterMember where fkDialPlanTag = '"), scenario.droppedTags);
    EXPECT_EQ(Count(s, "select * from NumPlan where fkDigitDiscardInstruction = '"), scenario.droppedInstructions);
    EXPECT_EQ(Count(s, "select * from RouteList where fkDigitDiscardInstruction = '"), scenario.droppedInstructions);
    EXPECT_EQ(Count(s, "Delete from DialPlanTag where pkid = '"), scenario.droppedTags);
    EXPECT_EQ(Count(s, "Delete from DigitDiscardInstruction where pkid = '"), scenario.droppedInstructions);
    EXPECT_EQ(Count(s, "update DigitDiscardInstruction set clause = '"), 6u);
    EXPECT_EQ(Count(s, "insert into DialPlanTag "), scenario.addedTags);
    EXPECT_EQ(Count(s, "Insert into DigitDiscardInstruction "), scenario.addedInstructions);
    EXPECT_EQ(Count(s, "Insert into DigitDiscardInstructionMember "),
              work.predefinedMembers + work.newInstructionMembers);

    // The description's quote is doubled; the statement text is otherwise exact.
    const std::string plan = scenario.first.pkid;
    std::string quoted = scenario.second.description;
    for (std::string::size_type at = quoted.find('\''); at != std::string::npos; at = quoted.find('\'', at + 2))
        quoted.insert(at, 1, '\'');
    EXPECT_NE(
        std::find(s.begin(), s.end(), "update DialPlan set description = '" + quoted + "' where pkid='" + plan + "'"),
        s.end());
    EXPECT_NE(std::find(s.begin(), s.end(),
                        "update DigitDiscardInstruction set clause = '" + scenario.second.instructions[4].clause +
                            "' where fkDialPlan = '" + plan + "' and name = 'PreDot Trailing-#'"),
              s.end());
    // Members of the predefined instructions carry the installed pkid bare and
    // the file's member pkid and tag in braces; those of new instructions all
    // three values as the file writes them.
    const std::regex predefined("Insert into DigitDiscardInstructionMember \\( pkid, fkDigitDiscardInstruction, "
                                "fkDialPlanTag\\) VALUES \\( '\\{[0-9A-F-]{36}\\}', '[0-9A-F-]{36}', "
                                "'\\{[0-9A-F-]{36}\\}'\\)");
    const std::regex fileMember("Insert into DigitDiscardInstructionMember \\( pkid, fkDigitDiscardInstruction, "
                                "fkDialPlanTag\\) VALUES \\( '\\{[0-9A-F-]{36}\\}', '\\{[0-9A-F-]{36}\\}', "
                                "'\\{[0-9A-F-]{36}\\}'\\)");
    std::size_t predefinedRows = 0, fileRows = 0;
    for (const auto& statement : s) {
        predefinedRows += std::regex_match(statement, predefined) ? 1 : 0;
        fileRows += std::regex_match(statement, fileMember) ? 1 : 0;
    }
    EXPECT_EQ(predefinedRows, work.predefinedMembers);
    EXPECT_EQ(fileRows, work.newInstructionMembers);
}

TEST(UpgradeWork, TheInstructionWalkGrowsWithTheSquareOfTheInstructions)
{
    Options options = Small();
    options.change = 0.0;
    options.instructions = 20;
    const auto small = bench::UpgradeStatements(bench::BuildScenario(options)).walkLogLines;
    options.instructions = 40;
    options.members = 600;
    const auto twice = bench::UpgradeStatements(bench::BuildScenario(options)).walkLogLines;
    // Unchanged files: installed instruction i is found after i misses.
    EXPECT_EQ(small, 20u * 19u / 2u);
    EXPECT_EQ(twice, 40u * 39u / 2u);
}

TEST(Removal, UsesTheInstalledPkidAndTheName)
{
    const Scenario scenario = bench::BuildScenario(Small());
    const auto statements = bench::RemovalStatements(scenario);
    ASSERT_EQ(statements.size(), 8u);
    EXPECT_EQ(statements.front(), "select pkid from DialPlan where name='" + scenario.first.name + "'");
    EXPECT_EQ(statements.back(), "delete from DialPlan where Name='" + scenario.first.name + "'");
    EXPECT_EQ(statements[6], "delete from DialPlanTag where fkDialPlan='" + scenario.first.pkid + "'");
}

TEST(Script, WrapsTheStatementsInOneTransaction)
{
    EXPECT_EQ(bench::Script({"select 1", "select 2"}), "BEGIN;\nselect 1;\nselect 2;\nCOMMIT;\n");
    EXPECT_EQ(bench::Quote("it's"), "it''s");
}

}  // namespace
