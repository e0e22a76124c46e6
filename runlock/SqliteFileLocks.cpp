#include "runlock/SqliteFileLocks.h"

#include <memory>

#if !defined(_WIN32)
#  include <fcntl.h>
#  include <unistd.h>
#endif

namespace zentra_lock {

namespace {

#if !defined(_WIN32)
// SQLite's unix file locks lie just above the first gigabyte: the pending
// byte, the reserved byte, then the 510 bytes of the shared range.
constexpr off_t kPendingByte = 0x40000000;
constexpr off_t kSharedFirst = kPendingByte + 2;
constexpr off_t kSharedSize = 510;

// Whether a write lock on the bytes would conflict with a lock that another
// process holds (F_GETLK only looks; locks of this process never conflict).
bool Conflicts(int descriptor, off_t start, off_t length)
{
    if (descriptor < 0)
        return false;
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = start;
    probe.l_len = length;
    return ::fcntl(descriptor, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}
#endif

}  // namespace

std::string SqliteFile(odbc::Connection& connection)
{
    std::unique_ptr<odbc::Statement> statement(connection.createStatement());
    std::unique_ptr<odbc::ResultSet> rows(statement->executeQuery("PRAGMA database_list"));
    while (rows->next()) {
        if (rows->getString("name") == "main")
            return rows->getString("file");
    }
    return std::string();
}

#if !defined(_WIN32)
SqliteLockProbe::SqliteLockProbe(const std::string& file) : file_(file)
{
    if (!file_.empty())
        descriptor_ = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
}

SqliteLockProbe::~SqliteLockProbe()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

bool SqliteLockProbe::writerElsewhere() const { return Conflicts(descriptor_, kPendingByte, 2); }

bool SqliteLockProbe::readerElsewhere() const { return Conflicts(descriptor_, kSharedFirst, kSharedSize); }
#else
// Windows locks the bytes mandatorily and offers no look at them: the
// driver's bounded wait serves alone.
SqliteLockProbe::SqliteLockProbe(const std::string& file) : file_(file) {}

SqliteLockProbe::~SqliteLockProbe() = default;

bool SqliteLockProbe::writerElsewhere() const { return false; }

bool SqliteLockProbe::readerElsewhere() const { return false; }
#endif

}  // namespace zentra_lock
