// Several processes sharing the registry file.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/Win32.h"
#include "RegistryHelpers.h"
#include "ScopedPrefix.h"

using namespace zentra_test_local;

namespace {

// Runs body in a child process; true when it exited with 0.
template <typename Body>
pid_t Spawn(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body() ? 0 : 1);
    return pid;
}

bool Succeeded(pid_t pid) {
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

TEST(RegistryProcesses, AValueWrittenByOneProcessIsReadByAnother) {
    ScopedPrefix prefix;
    const pid_t writer = Spawn([] {
        return SetString("SOFTWARE\\Norvane Systems, Inc.\\Vantor", "DBConnection0", "SERVER=A;DATABASE=B") ==
               ERROR_SUCCESS;
    });
    ASSERT_TRUE(Succeeded(writer));
    EXPECT_EQ("SERVER=A;DATABASE=B", GetString("SOFTWARE\\Norvane Systems, Inc.\\Vantor", "DBConnection0"));

    const pid_t reader = Spawn([] {
        return GetString("SOFTWARE\\Norvane Systems, Inc.\\Vantor", "DBConnection0") == "SERVER=A;DATABASE=B";
    });
    EXPECT_TRUE(Succeeded(reader));
}

TEST(RegistryProcesses, ConcurrentWritersLoseNothing) {
    ScopedPrefix prefix;
    const int kWriters = 4;
    const int kValues = 40;
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.push_back(Spawn([w] {
            for (int i = 0; i < kValues; ++i) {
                const std::string name = "w" + std::to_string(w) + "v" + std::to_string(i);
                // Some in a shared key, some in a key of each writer's own.
                const std::string key = i % 2 == 0 ? "Shared" : "Own" + std::to_string(w);
                if (SetString(key.c_str(), name.c_str(), name) != ERROR_SUCCESS) return false;
            }
            return true;
        }));
    for (const pid_t pid : writers) EXPECT_TRUE(Succeeded(pid));

    for (int w = 0; w < kWriters; ++w)
        for (int i = 0; i < kValues; ++i) {
            const std::string name = "w" + std::to_string(w) + "v" + std::to_string(i);
            const std::string key = i % 2 == 0 ? "Shared" : "Own" + std::to_string(w);
            EXPECT_EQ(name, GetString(key.c_str(), name.c_str()));
        }
    EXPECT_EQ(std::vector<std::string>({"system.reg", "system.reg.lock"}), Entries(prefix.Path()));
}
