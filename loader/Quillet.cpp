#include "loader/Quillet.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "loader/ConnectString.h"
#include "loader/DatabaseLoad.h"
#include "dialplanfile/DialPlanFile.h"
#include "odbc/odbc.h"
#include "platform/Platform.h"
#include "runlock/BoundedWaits.h"
#include "runlock/LockedTransaction.h"
#include "runlock/WaitLimit.h"

namespace {

thread_local std::string t_lastError;

std::string Text(const char* text) { return text ? std::string(text) : std::string(); }

int Fail(int code, const char* message) noexcept
{
    try {
        t_lastError = message;
    } catch (...) {
        t_lastError.clear();
    }
    return code;
}

}  // namespace

extern "C" int CInstallCSVFile(const char* server, const char* database, const char* user, const char* password,
                               const char* path)
{
    t_lastError.clear();
    try {
        const std::string filePath = Text(path);
        if (filePath.empty())
            return Fail(QUILLET_FILE_REFUSED, "no dial-plan file was named");

        // The whole file is read and checked before the database is touched.
        dialplan::DialPlanFile file;
        file.Read(filePath);

        platform::UseDriverConfiguration();
        std::unique_ptr<odbc::Connection> connection;
        try {
            connection.reset(zentra_lock::ConnectBounded(
                quillet::BuildConnectString(Text(server), Text(database), Text(user), Text(password))));
        } catch (const odbc::SQLException& error) {
            const std::string message = filePath + ": cannot connect to the database \"" + Text(database) +
                                        "\" on the server \"" + Text(server) + "\": " + error.getMessage();
            return Fail(QUILLET_DATABASE_FAILED, message.c_str());
        }
        // Like every run that changes the database, under the run lock and in
        // one transaction: every row or none.
        zentra_lock::LockedTransaction run(*connection,
                                           [] { zentra_lock::TellWaiting(zentra_lock::WaitFor::Database); });
        quillet::InsertDialPlanRows(*connection, file);
        try {
            run.commit();
        } catch (const odbc::SQLException& error) {
            throw quillet::DatabaseError(filePath + ": the database cannot commit the rows: " + error.getMessage());
        }
        return QUILLET_OK;
    } catch (const dialplan::FileError& error) {
        return Fail(QUILLET_FILE_REFUSED, error.what());
    } catch (const quillet::DatabaseError& error) {
        return Fail(QUILLET_DATABASE_FAILED, error.what());
    } catch (const odbc::SQLException& error) {
        return Fail(QUILLET_DATABASE_FAILED, error.what());
    } catch (const std::exception& error) {
        try {
            return Fail(QUILLET_FAILED, (Text(path) + ": " + error.what()).c_str());
        } catch (...) {
            return Fail(QUILLET_FAILED, error.what());
        }
    } catch (...) {
        return Fail(QUILLET_FAILED, "unknown failure");
    }
}

extern "C" const char* CInstallCSVFileLastError(void) { return t_lastError.c_str(); }
