// The stand-in host database: its tables and columns, and row identifiers that
// behave like SQL Server's UNIQUEIDENTIFIER, on every backend; and the test
// support that reaches it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "odbc/odbc.h"
#include "support/MachineTest.h"
#include "support/TestSupport.h"

namespace zentra_test {
namespace {

struct TableIdentifiers {
    std::string table;
    std::vector<std::string> fkColumns;
    std::string requiredColumns;  // other columns an insert must give
    std::string requiredValues;
    std::string otherColumns;  // further columns the system reads or writes
};

const std::vector<TableIdentifiers>& Tables()
{
    static const std::vector<TableIdentifiers> tables = {
        {"DialPlan", {}, "name", "'Plan'", "description"},
        {"DialPlanTag", {"fkDialPlan"}, "tag", "'INTERNATIONAL-ACCESS'", "tkOperator_Max, suppressFromRouteFilter"},
        {"DigitDiscardInstruction", {"fkDialPlan"}, "name, digitAnalysisID", "'PreDot', 3", "clause"},
        {"DigitDiscardInstructionMember", {"fkDigitDiscardInstruction", "fkDialPlanTag"}, "", "", ""},
        {"RouteFilter", {"fkDialPlan"}, "name", "'Filter'", "clause"},
        {"RouteFilterMember", {"fkRouteFilter", "fkDialPlanTag"}, "", "", ""},
        {"NumPlan", {"fkDialPlan", "fkDigitDiscardInstruction", "fkRouteFilter"}, "dnOrPattern", "'9.@'", ""},
        {"RouteList", {"fkDigitDiscardInstruction"}, "name", "'List'", ""},
    };
    return tables;
}

// A GUID in lower case, distinct per number; Stored() is how the database keeps it.
std::string Guid(int n)
{
    char text[48];
    std::snprintf(text, sizeof text, "b3c1%04x-7d2e-4f6a-9c0b-%012x", static_cast<unsigned>(n),
                  static_cast<unsigned>(n) * 7919u);
    return text;
}

std::string Stored(std::string guid)
{
    guid.erase(std::remove_if(guid.begin(), guid.end(), [](char c) { return c == '{' || c == '}'; }), guid.end());
    for (char& c : guid)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return guid;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Value(const std::string& text) { return text == "NULL" ? text : "'" + text + "'"; }

// An insert of a row with the given identifiers, pkid first.
std::string Insert(const TableIdentifiers& t, const std::vector<std::string>& ids)
{
    std::string columns = "pkid", values = Value(ids[0]);
    for (std::size_t i = 0; i < t.fkColumns.size(); ++i) {
        columns += ", " + t.fkColumns[i];
        values += ", " + Value(ids[i + 1]);
    }
    if (!t.requiredColumns.empty()) {
        columns += ", " + t.requiredColumns;
        values += ", " + t.requiredValues;
    }
    return "insert into " + t.table + " (" + columns + ") values (" + values + ")";
}

class SchemaTest : public MachineTest {
protected:
    // Runs a statement that must fail; the driver's message.
    std::string Rejected(const std::string& sql)
    {
        try {
            db->exec(sql);
        } catch (const odbc::SQLException& error) {
            return error.getMessage();
        }
        ADD_FAILURE() << "accepted: " << sql;
        return "";
    }

    // The identifiers of the table's one row as stored, NULL as "NULL".
    std::vector<std::string> StoredIdentifiers(const TableIdentifiers& t)
    {
        std::string columns = "coalesce(pkid, 'NULL')";
        for (const std::string& fk : t.fkColumns)
            columns += ", coalesce(" + fk + ", 'NULL')";
        const auto rows = db->query("select " + columns + " from " + t.table);
        return rows.size() == 1 ? rows[0] : std::vector<std::string>{};
    }
};

TEST_P(SchemaTest, IdentifiersAreStoredInUpperCaseWithoutBracesOnInsertAndUpdate)
{
    int n = 1;
    for (const TableIdentifiers& t : Tables()) {
        SCOPED_TRACE(t.table);
        std::string used = "pkid";
        for (const std::string& column : {t.requiredColumns, t.otherColumns})
            if (!column.empty())
                used += ", " + column;
        EXPECT_NO_THROW(db->query("select " + used + " from " + t.table));

        // Inserted braced and in lower case, or only in lower case.
        std::vector<std::string> ids = {"{" + Guid(n++) + "}"};
        for (std::size_t i = 0; i < t.fkColumns.size(); ++i)
            ids.push_back(i % 2 == 0 ? "{" + Guid(n++) + "}" : Guid(n++));
        db->exec(Insert(t, ids));
        std::vector<std::string> stored;
        for (const std::string& id : ids)
            stored.push_back(Stored(id));
        EXPECT_EQ(StoredIdentifiers(t), stored);
        // The stored form is what a lookup by the bare upper-case text finds.
        EXPECT_EQ(db->count(t.table, "pkid = '" + stored[0] + "'"), 1);

        // Updated to other values, then the foreign keys to NULL.
        std::string set = "pkid = '" + Guid(n) + "'";
        stored = {Stored(Guid(n++))};
        for (std::size_t i = 0; i < t.fkColumns.size(); ++i) {
            set += ", " + t.fkColumns[i] + " = '{" + Guid(n) + "}'";
            stored.push_back(Stored(Guid(n++)));
        }
        db->exec("update " + t.table + " set " + set);
        EXPECT_EQ(StoredIdentifiers(t), stored);
        for (const std::string& fk : t.fkColumns) {
            db->exec("update " + t.table + " set " + fk + " = NULL");
            EXPECT_EQ(db->count(t.table, fk + " is null"), 1) << fk;
        }
    }
}

TEST_P(SchemaTest, TextThatIsNotAGuidIsRejected)
{
    const std::string good = Guid(1);
    const std::vector<std::string> invalid = {
        "not a guid",
        "",
        "{" + good,                              // opening brace only
        good + "}",                              // closing brace only
        "{{" + good + "}}",                      // braces twice
        good.substr(0, 35),                      // one digit short
        good + "0",                              // one digit more
        "b3c10001x7d2e-4f6a-9c0b-000000001eef",  // no hyphen where one belongs
        "g3c10001-7d2e-4f6a-9c0b-000000001eef",  // not a hex digit
        "b3c100017d2e4f6a9c0b000000001eef",      // no hyphens at all
        " " + good,                              // a blank before it
    };
    for (const std::string& text : invalid) {
        const std::string message = Rejected("insert into DialPlan (pkid, name) values ('" + text + "', 'Plan')");
        EXPECT_NE(Lower(message).find("uniqueidentifier"), std::string::npos) << "'" << text << "': " << message;
        Rejected("insert into DialPlanTag (pkid, tag, fkDialPlan) values ('" + Guid(2) + "', 'T', '" + text + "')");
    }
    EXPECT_EQ(db->count("DialPlan"), 0);
    EXPECT_EQ(db->count("DialPlanTag"), 0);

    // An update to an invalid value leaves the row as it was.
    db->exec("insert into RouteList (pkid, name, fkDigitDiscardInstruction) values ('" + good + "', 'List', '" +
             Guid(3) + "')");
    Rejected("update RouteList set fkDigitDiscardInstruction = 'nope'");
    Rejected("update RouteList set pkid = '" + good.substr(1) + "'");
    EXPECT_EQ(db->query("select pkid, fkDigitDiscardInstruction from RouteList"),
              (std::vector<std::vector<std::string>>{{Stored(good), Stored(Guid(3))}}));
}

TEST_P(SchemaTest, DuplicatesAreRejected)
{
    // The same GUID in another form.
    const std::string guid = Guid(7);
    db->exec("insert into DialPlanTag (pkid, tag) values ('" + Stored(guid) + "', 'A')");
    for (const std::string& other : {guid, "{" + guid + "}", "{" + Stored(guid) + "}"}) {
        const std::string message = Rejected("insert into DialPlanTag (pkid, tag) values ('" + other + "', 'B')");
        EXPECT_NE(Lower(message).find("unique"), std::string::npos) << other << ": " << message;
    }
    EXPECT_EQ(db->scalar("select tag from DialPlanTag"), "A");
    EXPECT_EQ(db->count("DialPlanTag"), 1);
    // Also when an update makes two rows equal.
    db->exec("insert into DialPlanTag (pkid, tag) values ('" + Guid(8) + "', 'C')");
    Rejected("update DialPlanTag set pkid = '{" + guid + "}' where tag = 'C'");
    EXPECT_EQ(db->scalar("select pkid from DialPlanTag where tag = 'C'"), Stored(Guid(8)));

    // Dial plan names.
    db->exec("insert into DialPlan (pkid, name, description) values ('" + Guid(1) + "', 'Example', 'first')");
    const std::string message =
        Rejected("insert into DialPlan (pkid, name, description) values ('" + Guid(2) + "', 'Example', 'second')");
    EXPECT_NE(Lower(message).find("unique"), std::string::npos) << message;
    db->exec("insert into DialPlan (pkid, name) values ('" + Guid(3) + "', 'Example2')");
    EXPECT_EQ(db->count("DialPlan"), 2);
    EXPECT_EQ(db->scalar("select description from DialPlan where name = 'Example'"), "first");
}

TEST_P(SchemaTest, DigitAnalysisIdIsARequiredInteger)
{
    const std::string insert =
        "insert into DigitDiscardInstruction (pkid, name, fkDialPlan, digitAnalysisID) values ('";
    Rejected("insert into DigitDiscardInstruction (pkid, name) values ('" + Guid(1) + "', 'A')");
    db->exec(insert + Guid(1) + "', 'NoDigits', '" + Guid(2) + "', 12)");
    db->exec(insert + Guid(3) + "', 'PreDot', '" + Guid(2) + "', 9)");
    // Numeric, not text: 12 is the largest.
    EXPECT_EQ(db->scalar("select max(digitAnalysisID) + 1 from DigitDiscardInstruction"), "13");
    EXPECT_EQ(db->scalar("select name from DigitDiscardInstruction order by digitAnalysisID"), "PreDot");
}

TEST_P(SchemaTest, RowsOfTagsCanGoBeforeTheirMembers)
{
    // No foreign keys: the product orders its deletes itself.
    db->exec("insert into DialPlanTag (pkid, tag) values ('" + Guid(1) + "', 'A')");
    EXPECT_EQ(db->count("DialPlanTag", "fkDialPlan is null"), 1);
    db->exec("insert into DigitDiscardInstructionMember (pkid, fkDigitDiscardInstruction, "
             "fkDialPlanTag) values ('" +
             Guid(2) + "', '" + Guid(3) + "', '" + Guid(1) + "')");
    db->exec("delete from DialPlanTag where pkid = '" + Stored(Guid(1)) + "'");
    EXPECT_EQ(db->count("DialPlanTag"), 0);
    EXPECT_EQ(db->count("DigitDiscardInstructionMember"), 1);
}

// The support: a row written through the prefix's "SQL Server" driver, by the
// connect string of the database, shows in the snapshot under its table.
TEST_P(SchemaTest, SupportReachesTheDatabaseAndSnapshotsEveryTable)
{
    std::unique_ptr<odbc::Connection> connection(odbc::DriverManager::getConnection(db->connectString()));
    std::unique_ptr<odbc::Statement> statement(connection->createStatement());
    int n = 0;
    for (const TableIdentifiers& t : Tables()) {
        std::vector<std::string> ids(t.fkColumns.size() + 1, "NULL");
        ids[0] = "{" + Guid(++n) + "}";
        statement->executeUpdate(Insert(t, ids));
        const std::string snapshot = db->snapshot();
        EXPECT_NE(snapshot.find("[" + t.table + "]\npkid=" + Stored(Guid(n)) + " | "), std::string::npos) << snapshot;
    }
}

ZENTRA_ON_EVERY_BACKEND(SchemaTest);

}  // namespace
}  // namespace zentra_test
