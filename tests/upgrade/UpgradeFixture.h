#pragma once

// An installed dial plan and the next version of its file, built from one
// model: installed with SQL, written in the delivered file format.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "installer/CZentraSetup.h"
#include "support/InstallerProbe.h"
#include "support/TestSupport.h"

namespace upgrade_test {

struct Tag {
    std::string pkid, tag, suppress, operatorMax;
};
struct Instruction {
    std::string pkid, name;
    int analysisId;
    std::string clause;
};
struct Member {
    std::string pkid, instruction, tag;
};
// Pkids are held bare; the file writes them in braces.
struct DialPlan {
    std::string pkid, name, description;
    std::vector<Tag> tags;
    std::vector<Instruction> instructions;
    std::vector<Member> members;

    const Instruction& instructionNamed(const std::string& name) const;
    std::string addTag(const std::string& tag, const std::string& suppress = "t", const std::string& operatorMax = "2");
    std::string addInstruction(const std::string& name, int analysisId, const std::string& clause);
    std::string addMember(const std::string& instruction, const std::string& tag);
    void removeTag(const std::string& pkid);          // with its members
    void removeInstruction(const std::string& pkid);  // with its members
};

extern const char* const kPredefined[6];

// Upper-case GUID text as the host database prints it.
std::string Guid(unsigned group, unsigned number);
// The six predefined instructions (digit-analysis IDs from firstId) and tagCount
// tags, each tag joined to each predefined instruction.
DialPlan MakeDialPlan(const std::string& name, unsigned group, int tagCount, int firstId);
std::string CsvText(const DialPlan& plan);

class UpgradeTest : public ::testing::TestWithParam<zentra_test::Backend> {
protected:
    void SetUp() override;

    void install(const DialPlan& plan);
    void writeFile(const DialPlan& plan) { writeText(plan.name, CsvText(plan)); }
    void writeText(const std::string& name, const std::string& text);
    std::string logPath(const std::string& name) const;
    std::string logText(const std::string& name) const;
    // An installer object connected to the test database, with the log path
    // and dial plan pkid that the install driver would have set.
    void prepare(CZentraSetup& setup, const DialPlan& plan);
    // Member rows of the database as "member|instruction|tag", sorted.
    std::vector<std::string> memberRows(const std::string& where = "");

    std::unique_ptr<zentra_test::Prefix> prefix;
    std::unique_ptr<zentra_test::HostDatabase> db;
    std::unique_ptr<zentra_test::WorkFolder> work;
    std::unique_ptr<zentra_test::MessageBoxCapture> boxes;
};

std::string BackendTestName(const ::testing::TestParamInfo<zentra_test::Backend>& info);

#define UPGRADE_INSTANTIATE(Suite)                                                                  \
    INSTANTIATE_TEST_SUITE_P(Backends, Suite,                                                       \
                             ::testing::Values(zentra_test::Backend::SQLite,                        \
                                               zentra_test::Backend::PostgreSQL),                   \
                             ::upgrade_test::BackendTestName)

}  // namespace upgrade_test
