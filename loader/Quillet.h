#pragma once

// The CSV-to-database loader: loads every section of a dial-plan file into the
// database named by server and database, in one transaction.

extern "C" {

// Results of CInstallCSVFile.
enum {
    QUILLET_OK = 0,               // every row of the file is in the database
    QUILLET_FILE_REFUSED = 1,     // the file is missing, unreadable or malformed; the database was not touched
    QUILLET_DATABASE_FAILED = 2,  // the connection or an insert failed; everything was rolled back
    QUILLET_FAILED = 3            // any other failure (out of memory); nothing was committed
};

// 0 when every row of the file is in the database; non-zero when nothing was
// inserted (the file was refused, or the database failed).
int CInstallCSVFile(const char* server, const char* database, const char* user, const char* password, const char* path);

// The message of the last failed CInstallCSVFile of this thread, "" after a success.
const char* CInstallCSVFileLastError(void);
}
