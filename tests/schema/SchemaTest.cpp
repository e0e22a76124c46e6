// The stand-in host database: its tables and columns, and row identifiers that
// behave like SQL Server's UNIQUEIDENTIFIER, on every backend.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "odbc/odbc.h"
#include "support/TestSupport.h"

namespace zentra_test {
namespace {

struct TableIdentifiers {
    std::string table;
    std::vector<std::string> fkColumns;
    std::string requiredColumns;  // other columns an insert must give
    std::string requiredValues;
};

const std::vector<TableIdentifiers>& Tables() {
    static const std::vector<TableIdentifiers> tables = {
        {"DialPlan", {}, "name", "'Plan'"},
        {"DialPlanTag", {"fkDialPlan"}, "tag", "'INTERNATIONAL-ACCESS'"},
        {"DigitDiscardInstruction", {"fkDialPlan"}, "name, digitAnalysisID", "'PreDot', 3"},
        {"DigitDiscardInstructionMember", {"fkDigitDiscardInstruction", "fkDialPlanTag"}, "", ""},
        {"RouteFilter", {"fkDialPlan"}, "name", "'Filter'"},
        {"RouteFilterMember", {"fkRouteFilter", "fkDialPlanTag"}, "", ""},
        {"NumPlan", {"fkDialPlan", "fkDigitDiscardInstruction", "fkRouteFilter"}, "dnOrPattern",
         "'9.@'"},
        {"RouteList", {"fkDigitDiscardInstruction"}, "name", "'List'"},
    };
    return tables;
}

// A GUID in lower case, distinct per number; Stored() is how the database keeps it.
std::string Guid(int n) {
    char text[40];
    std::snprintf(text, sizeof text, "b3c1%04x-7d2e-4f6a-9c0b-%012x", static_cast<unsigned>(n),
                  static_cast<unsigned>(n) * 7919u);
    return text;
}

std::string Stored(const std::string& guid) {
    std::string upper = guid;
    upper.erase(std::remove(upper.begin(), upper.end(), '{'), upper.end());
    upper.erase(std::remove(upper.begin(), upper.end(), '}'), upper.end());
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Insert(const TableIdentifiers& t, const std::string& pkid,
                   const std::vector<std::string>& fkValues) {
    std::string columns = "pkid";
    std::string values = pkid == "NULL" ? pkid : "'" + pkid + "'";
    for (std::size_t i = 0; i < t.fkColumns.size(); ++i) {
        columns += ", " + t.fkColumns[i];
        values += fkValues[i] == "NULL" ? ", NULL" : ", '" + fkValues[i] + "'";
    }
    if (!t.requiredColumns.empty()) {
        columns += ", " + t.requiredColumns;
        values += ", " + t.requiredValues;
    }
    return "insert into " + t.table + " (" + columns + ") values (" + values + ")";
}

class SchemaTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        ZENTRA_REQUIRE_BACKEND(GetParam());
        db = std::make_unique<HostDatabase>(GetParam());
    }

    // Runs a statement that must fail; the driver's message.
    std::string Rejected(const std::string& sql) {
        try {
            db->exec(sql);
        } catch (const odbc::SQLException& error) {
            return error.getMessage();
        }
        ADD_FAILURE() << "accepted: " << sql;
        return "";
    }

    std::unique_ptr<HostDatabase> db;
};

TEST_P(SchemaTest, TablesHaveTheColumnsTheSystemUses) {
    const char* queries[] = {
        "select pkid, name, description from DialPlan",
        "select pkid, tag, fkDialPlan, tkOperator_Max, suppressFromRouteFilter from DialPlanTag",
        "select pkid, name, fkDialPlan, digitAnalysisID, clause from DigitDiscardInstruction",
        "select pkid, fkDigitDiscardInstruction, fkDialPlanTag from DigitDiscardInstructionMember",
        "select pkid, name, fkDialPlan from RouteFilter",
        "select pkid, fkRouteFilter, fkDialPlanTag from RouteFilterMember",
        "select pkid, dnOrPattern, fkDialPlan, fkDigitDiscardInstruction from NumPlan",
        "select pkid, name, fkDigitDiscardInstruction from RouteList",
    };
    for (const char* sql : queries) {
        EXPECT_NO_THROW(EXPECT_TRUE(db->query(sql).empty()) << sql) << sql;
    }
    EXPECT_THROW(db->query("select noSuchColumn from DialPlan"), odbc::SQLException);
}

TEST_P(SchemaTest, BracedLowerCaseIdentifiersAreStoredInUpperCaseWithoutBraces) {
    int n = 1;
    for (const TableIdentifiers& t : Tables()) {
        const std::string pkid = "{" + Guid(n++) + "}";
        std::vector<std::string> fks;
        for (std::size_t i = 0; i < t.fkColumns.size(); ++i)
            fks.push_back(i % 2 == 0 ? "{" + Guid(n++) + "}" : Guid(n++));
        db->exec(Insert(t, pkid, fks));

        std::string columns = "pkid";
        for (const std::string& fk : t.fkColumns) columns += ", " + fk;
        const auto rows = db->query("select " + columns + " from " + t.table);
        ASSERT_EQ(rows.size(), 1u) << t.table;
        EXPECT_EQ(rows[0][0], Stored(pkid)) << t.table;
        for (std::size_t i = 0; i < fks.size(); ++i)
            EXPECT_EQ(rows[0][i + 1], Stored(fks[i])) << t.table << "." << t.fkColumns[i];
        // The stored form is what a lookup by the bare upper-case text finds.
        EXPECT_EQ(db->count(t.table, "pkid = '" + Stored(pkid) + "'"), 1) << t.table;
    }
}

TEST_P(SchemaTest, UpdatedIdentifiersAreStoredInUpperCaseWithoutBraces) {
    db->exec("insert into DialPlanTag (pkid, tag, fkDialPlan) values ('" + Stored(Guid(1)) +
             "', 'LOCAL', NULL)");
    db->exec("update DialPlanTag set fkDialPlan = '{" + Guid(2) + "}' where tag = 'LOCAL'");
    EXPECT_EQ(db->scalar("select fkDialPlan from DialPlanTag"), Stored(Guid(2)));
    db->exec("update DialPlanTag set pkid = '" + Guid(3) + "' where tag = 'LOCAL'");
    EXPECT_EQ(db->scalar("select pkid from DialPlanTag"), Stored(Guid(3)));
    EXPECT_EQ(db->count("DialPlanTag"), 1);

    db->exec("insert into NumPlan (pkid, dnOrPattern) values ('" + Guid(4) + "', '1000')");
    db->exec("update NumPlan set fkDigitDiscardInstruction = '{" + Guid(5) +
             "}', fkRouteFilter = '" + Guid(6) + "'");
    const auto rows = db->query("select fkDigitDiscardInstruction, fkRouteFilter from NumPlan");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], Stored(Guid(5)));
    EXPECT_EQ(rows[0][1], Stored(Guid(6)));
}

TEST_P(SchemaTest, NullForeignKeysStayNull) {
    db->exec("insert into DigitDiscardInstructionMember (pkid, fkDigitDiscardInstruction, "
             "fkDialPlanTag) values ('{" + Guid(1) + "}', NULL, '" + Guid(2) + "')");
    EXPECT_EQ(db->count("DigitDiscardInstructionMember", "fkDigitDiscardInstruction is null"), 1);
    EXPECT_EQ(db->scalar("select fkDialPlanTag from DigitDiscardInstructionMember"),
              Stored(Guid(2)));
    db->exec("update DigitDiscardInstructionMember set fkDialPlanTag = NULL");
    EXPECT_EQ(db->count("DigitDiscardInstructionMember", "fkDialPlanTag is null"), 1);
}

TEST_P(SchemaTest, TextThatIsNotAGuidIsRejected) {
    const std::string good = Guid(1);
    const std::vector<std::string> invalid = {
        "not a guid",
        "",
        "{" + good,                                  // opening brace only
        good + "}",                                  // closing brace only
        "{{" + good + "}}",                          // braces twice
        good.substr(0, 35),                          // one digit short
        good + "0",                                  // one digit more
        "b3c10001x7d2e-4f6a-9c0b-000000001eef",      // no hyphen where one belongs
        "g3c10001-7d2e-4f6a-9c0b-000000001eef",      // not a hex digit
        "b3c100017d2e4f6a9c0b000000001eef",          // no hyphens at all
        " " + good,                                  // a blank before it
    };
    for (const std::string& text : invalid) {
        const std::string message = Rejected(
            "insert into DialPlan (pkid, name) values ('" + text + "', 'Plan')");
        EXPECT_NE(Lower(message).find("uniqueidentifier"), std::string::npos)
            << "'" << text << "': " << message;
        Rejected("insert into DialPlanTag (pkid, tag, fkDialPlan) values ('" + Guid(2) +
                 "', 'T', '" + text + "')");
    }
    EXPECT_EQ(db->count("DialPlan"), 0);
    EXPECT_EQ(db->count("DialPlanTag"), 0);

    // An update to an invalid value leaves the row as it was.
    db->exec("insert into RouteList (pkid, name, fkDigitDiscardInstruction) values ('" + good +
             "', 'List', '" + Guid(3) + "')");
    Rejected("update RouteList set fkDigitDiscardInstruction = 'nope'");
    Rejected("update RouteList set pkid = '" + good.substr(1) + "'");
    const auto rows = db->query("select pkid, fkDigitDiscardInstruction from RouteList");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], Stored(good));
    EXPECT_EQ(rows[0][1], Stored(Guid(3)));
}

TEST_P(SchemaTest, TheSameGuidInAnotherFormIsADuplicate) {
    const std::string guid = Guid(7);
    db->exec("insert into DialPlanTag (pkid, tag) values ('" + Stored(guid) + "', 'A')");
    for (const std::string& other : {guid, "{" + guid + "}", "{" + Stored(guid) + "}"}) {
        const std::string message =
            Rejected("insert into DialPlanTag (pkid, tag) values ('" + other + "', 'B')");
        EXPECT_NE(Lower(message).find("unique"), std::string::npos) << other << ": " << message;
    }
    EXPECT_EQ(db->count("DialPlanTag"), 1);
    EXPECT_EQ(db->scalar("select tag from DialPlanTag"), "A");

    // Also when an update makes two rows equal.
    db->exec("insert into DialPlanTag (pkid, tag) values ('" + Guid(8) + "', 'C')");
    Rejected("update DialPlanTag set pkid = '{" + guid + "}' where tag = 'C'");
    EXPECT_EQ(db->scalar("select pkid from DialPlanTag where tag = 'C'"), Stored(Guid(8)));
}

TEST_P(SchemaTest, DialPlanNamesAreUnique) {
    db->exec("insert into DialPlan (pkid, name, description) values ('" + Guid(1) +
             "', 'Example', 'first')");
    const std::string message = Rejected("insert into DialPlan (pkid, name, description) values ('" +
                                         Guid(2) + "', 'Example', 'second')");
    EXPECT_NE(Lower(message).find("unique"), std::string::npos) << message;
    db->exec("insert into DialPlan (pkid, name) values ('" + Guid(3) + "', 'Example2')");
    EXPECT_EQ(db->count("DialPlan"), 2);
    EXPECT_EQ(db->scalar("select description from DialPlan where name = 'Example'"), "first");
}

TEST_P(SchemaTest, DigitAnalysisIdIsARequiredInteger) {
    Rejected("insert into DigitDiscardInstruction (pkid, name, fkDialPlan) values ('" + Guid(1) +
             "', 'NoDigits', '" + Guid(2) + "')");
    db->exec("insert into DigitDiscardInstruction (pkid, name, fkDialPlan, digitAnalysisID, clause) "
             "values ('" + Guid(1) + "', 'NoDigits', '" + Guid(2) + "', 12, '')");
    db->exec("insert into DigitDiscardInstruction (pkid, name, fkDialPlan, digitAnalysisID, clause) "
             "values ('" + Guid(3) + "', 'PreDot', '" + Guid(2) + "', 9, '1:PreDot')");
    const auto rows = db->query(
        "select name, digitAnalysisID from DigitDiscardInstruction order by digitAnalysisID");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "PreDot");
    EXPECT_EQ(rows[0][1], "9");
    EXPECT_EQ(rows[1][1], "12");
    EXPECT_EQ(db->scalar("select max(digitAnalysisID) + 1 from DigitDiscardInstruction"), "13");
}

TEST_P(SchemaTest, RowsOfTagsCanGoBeforeTheirMembers) {
    // No foreign keys: the product orders its deletes itself.
    db->exec("insert into DialPlanTag (pkid, tag) values ('" + Guid(1) + "', 'A')");
    db->exec("insert into DigitDiscardInstructionMember (pkid, fkDigitDiscardInstruction, "
             "fkDialPlanTag) values ('" + Guid(2) + "', '" + Guid(3) + "', '" + Guid(1) + "')");
    db->exec("delete from DialPlanTag where pkid = '" + Stored(Guid(1)) + "'");
    EXPECT_EQ(db->count("DialPlanTag"), 0);
    EXPECT_EQ(db->count("DigitDiscardInstructionMember"), 1);
}

TEST_P(SchemaTest, SnapshotShowsEveryTableInIdentifierOrder) {
    const std::string empty = db->snapshot();
    db->exec("insert into RouteFilter (pkid, name, fkDialPlan) values ('" + Guid(2) +
             "', 'Second', NULL)");
    db->exec("insert into RouteFilter (pkid, name, fkDialPlan) values ('{" + Guid(1) +
             "}', 'First', '" + Guid(9) + "')");
    const std::string filled = db->snapshot();
    EXPECT_NE(filled, empty);
    for (const char* table : {"[DialPlan]", "[DialPlanTag]", "[DigitDiscardInstruction]",
                              "[DigitDiscardInstructionMember]", "[RouteFilter]",
                              "[RouteFilterMember]", "[NumPlan]", "[RouteList]"})
        EXPECT_NE(filled.find(table), std::string::npos) << table;
    const auto first = filled.find(Stored(Guid(1)));
    const auto second = filled.find(Stored(Guid(2)));
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(second, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_NE(filled.find("=NULL"), std::string::npos);
    EXPECT_EQ(db->snapshot(), filled);
}

INSTANTIATE_TEST_SUITE_P(Backends, SchemaTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const ::testing::TestParamInfo<Backend>& param) {
                             return BackendName(param.param);
                         });

}  // namespace
}  // namespace zentra_test
