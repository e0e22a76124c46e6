#include <climits>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "TestDatabases.h"
#include "odbc/OdbcApi.h"
#include "odbc/odbc.h"

namespace odbc_test {
namespace {

using ResultSetTest = BackendTest;

// A text whose every stretch differs, so that a lost, repeated or shifted
// piece shows.
std::string numberedText(std::size_t length) {
    std::string text;
    text.reserve(length + 16);
    for (std::size_t i = 0; text.size() < length; ++i)
        text += "<" + std::to_string(i) + ">";
    text.resize(length);
    return text;
}

TEST_P(ResultSetTest, ColumnsAreFoundByNameInAnyCase) {
    execute(connection(), "INSERT INTO items (id, name, amount) VALUES (1, 'first', 11)");
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    // Unquoted names: SQLite keeps their case, PostgreSQL folds them to lower case.
    std::unique_ptr<odbc::ResultSet> result(
        statement->executeQuery("SELECT Id, NAME AS Label, amount AS TotalAmount FROM items"));
    ASSERT_TRUE(result->next());
    for (const char* name : {"label", "LABEL", "Label", "lAbEl"})
        EXPECT_EQ(result->getString(name), "first") << name;
    for (const char* name : {"id", "ID", "Id"})
        EXPECT_EQ(result->getInt(name), 1) << name;
    for (const char* name : {"totalamount", "TOTALAMOUNT", "TotalAmount"})
        EXPECT_EQ(result->getInt(name), 11) << name;
}

TEST_P(ResultSetTest, AMissingColumnRaisesNamingIt) {
    execute(connection(), "INSERT INTO items (id) VALUES (1)");
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery("SELECT id FROM items"));
    ASSERT_TRUE(result->next());
    try {
        result->getString("no_such_column");
        FAIL() << "a missing column was read";
    } catch (const odbc::SQLException& error) {
        EXPECT_NE(std::string(error.what()).find("no_such_column"), std::string::npos) << error.what();
    }
    EXPECT_THROW(result->getInt("identifier"), odbc::SQLException);
    EXPECT_THROW(result->getString("i"), odbc::SQLException) << "a prefix is not the name";
    EXPECT_EQ(result->getInt("id"), 1) << "the row is still readable";
}

TEST_P(ResultSetTest, ColumnIndexesOutOfRangeAndReadsWithoutARowRaise) {
    execute(connection(), "INSERT INTO items (id) VALUES (1)");
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery("SELECT id, name FROM items"));
    EXPECT_THROW(result->getString(1), odbc::SQLException) << "before the first next()";
    ASSERT_TRUE(result->next());
    EXPECT_THROW(result->getString(0), odbc::SQLException);
    EXPECT_THROW(result->getString(3), odbc::SQLException);
    EXPECT_THROW(result->getColumnName(0), odbc::SQLException);
    EXPECT_THROW(result->getColumnType(3), odbc::SQLException);
    EXPECT_EQ(result->getInt(1), 1);
    EXPECT_FALSE(result->next());
    EXPECT_THROW(result->getInt(1), odbc::SQLException) << "after the last row";
}

TEST_P(ResultSetTest, ColumnsCanBeReadInAnyOrderAndAgain) {
    execute(connection(), "INSERT INTO items (id, name, note, amount) VALUES (4, 'four', 'a note', 44)");
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery("SELECT id, name, note, amount FROM items"));
    ASSERT_TRUE(result->next());
    EXPECT_EQ(result->getInt(4), 44);
    EXPECT_EQ(result->getString(2), "four");
    EXPECT_EQ(result->getString("note"), "a note");
    EXPECT_EQ(result->getInt(1), 4);
    EXPECT_EQ(result->getInt(4), 44);
    EXPECT_EQ(result->getString("name"), "four");
}

TEST_P(ResultSetTest, ColumnMetadataComesFromTheDriver) {
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery("SELECT id, name, amount FROM items"));
    ASSERT_EQ(result->getColumnCount(), 3);
    EXPECT_EQ(result->getColumnName(1), "id");
    EXPECT_EQ(result->getColumnName(2), "name");
    EXPECT_EQ(result->getColumnName(3), "amount");
    EXPECT_EQ(result->getColumnType(1), SQL_INTEGER);
    EXPECT_EQ(result->getColumnType(2), SQL_VARCHAR);
    EXPECT_EQ(result->getColumnType(3), SQL_INTEGER);
    EXPECT_FALSE(result->next());
}

TEST_P(ResultSetTest, NullReadsAsEmptyAndZeroAndWasNullTells) {
    execute(connection(), "INSERT INTO items (id, name, note, amount) VALUES (1, NULL, '', NULL)");
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery("SELECT id, name, note, amount FROM items"));
    ASSERT_TRUE(result->next());
    EXPECT_EQ(result->getInt("id"), 1);
    EXPECT_FALSE(result->wasNull());
    EXPECT_EQ(result->getString("name"), "");
    EXPECT_TRUE(result->wasNull());
    EXPECT_EQ(result->getString("note"), "");
    EXPECT_FALSE(result->wasNull()) << "an empty text is not NULL";
    EXPECT_EQ(result->getInt("amount"), 0);
    EXPECT_TRUE(result->wasNull());
    EXPECT_EQ(result->getString("amount"), "");
    EXPECT_TRUE(result->wasNull());
    // Read again after the value was kept.
    EXPECT_EQ(result->getInt("id"), 1);
    EXPECT_FALSE(result->wasNull());
    EXPECT_EQ(result->getString(2), "");
    EXPECT_TRUE(result->wasNull());
}

TEST_P(ResultSetTest, LongTextComesBackWhole) {
    // Lengths around the sizes drivers and this layer read in, and well past them.
    const std::size_t lengths[] = {0, 1, 255, 256, 4095, 4096, 8190, 8191, 8192, 8193, 16383, 16384, 16385, 100000};
    std::unique_ptr<odbc::PreparedStatement> insert(
        connection().prepareStatement("INSERT INTO items (id, note) VALUES (?, ?)"));
    int id = 0;
    for (std::size_t length : lengths) {
        insert->setInt(1, ++id);
        insert->setString(2, numberedText(length));
        ASSERT_EQ(insert->executeUpdate(), 1);
    }
    // Through literal SQL too: the text does not pass through a parameter.
    const std::string literal = numberedText(20000);
    execute(connection(), "INSERT INTO items (id, note) VALUES (999, '" + literal + "')");

    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> result(
        statement->executeQuery("SELECT id, note, LENGTH(note) AS length FROM items ORDER BY id"));
    id = 0;
    for (std::size_t length : lengths) {
        ASSERT_TRUE(result->next());
        EXPECT_EQ(result->getInt("id"), ++id);
        const std::string note = result->getString("note");
        EXPECT_FALSE(result->wasNull());
        EXPECT_EQ(note.size(), length);
        EXPECT_TRUE(note == numberedText(length)) << "text of " << length << " characters differs";
        EXPECT_EQ(result->getInt("length"), static_cast<int>(length));
    }
    ASSERT_TRUE(result->next());
    EXPECT_EQ(result->getInt("id"), 999);
    EXPECT_TRUE(result->getString("note") == literal);
    EXPECT_FALSE(result->next());
}

TEST_P(ResultSetTest, GetIntReadsIntegers) {
    const int values[] = {0, 1, -1, 42, -273, INT_MAX, INT_MIN};
    int id = 0;
    for (int value : values)
        execute(connection(), "INSERT INTO items (id, amount, name) VALUES (" + std::to_string(++id) + ", " +
                                  std::to_string(value) + ", '" + std::to_string(value) + "')");
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery("SELECT amount, name FROM items ORDER BY id"));
    for (int value : values) {
        ASSERT_TRUE(result->next());
        EXPECT_EQ(result->getInt("amount"), value);
        EXPECT_EQ(result->getInt("name"), value) << "an integer held as text";
    }
    EXPECT_FALSE(result->next());
}

TEST_P(ResultSetTest, GetIntOfANonIntegerTextRaises) {
    const char* texts[] = {"abc", "12x", "x12", "3.5", "1e3", "", " ", "-", "99999999999", "2147483648"};
    int id = 0;
    for (const char* text : texts)
        execute(connection(),
                "INSERT INTO items (id, name) VALUES (" + std::to_string(++id) + ", '" + std::string(text) + "')");
    std::unique_ptr<odbc::Statement> statement(connection().createStatement());
    std::unique_ptr<odbc::ResultSet> result(statement->executeQuery("SELECT name FROM items ORDER BY id"));
    for (const char* text : texts) {
        ASSERT_TRUE(result->next());
        try {
            const int value = result->getInt("name");
            ADD_FAILURE() << "\"" << text << "\" read as the integer " << value;
        } catch (const odbc::SQLException& error) {
            EXPECT_NE(std::string(error.what()).find("name"), std::string::npos) << error.what();
            EXPECT_EQ(error.getSQLState(), "22018");
        }
        EXPECT_EQ(result->getString("name"), text) << "the text itself is still readable";
    }
}

ODBC_TEST_INSTANTIATE(ResultSetTest);

}  // namespace
}  // namespace odbc_test
