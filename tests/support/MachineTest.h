#pragma once

// A test on one backend run on a stand-in machine of its own: a prefix whose
// registry names a fresh database, a working folder made current, and message
// box capture. Every test of a machine or of a database stands on it; a
// fixture adds what its own tests share.

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace zentra_test {

// A case's backend as its name, in gtest's messages.
inline void PrintTo(Backend backend, std::ostream* out) { *out << BackendName(backend); }

class MachineTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        ZENTRA_REQUIRE_BACKEND(GetParam());
        prefix = std::make_unique<Prefix>(GetParam(), folders);
        db = std::make_unique<HostDatabase>(GetParam());
        prefix->registerDatabase(*db);
        work = std::make_unique<WorkFolder>();
        boxes = std::make_unique<MessageBoxCapture>();
    }

    // A fixture of a new machine, which has no program folders yet, sets
    // Missing in its constructor.
    Prefix::Folders folders = Prefix::Folders::Created;

    // A file of this machine by its Windows path: where it is, its content,
    // whether it is there.
    std::string hostPath(const std::string& windowsPath) const { return prefix->hostPath(windowsPath); }
    std::string machineFile(const std::string& windowsPath) const { return ReadFile(hostPath(windowsPath)); }
    bool onMachine(const std::string& windowsPath) const { return FileExists(hostPath(windowsPath)); }

    // The built programs, run in the working folder on this machine.
    ProgramResult runSetup(std::vector<std::string> arguments) const
    {
        arguments.insert(arguments.begin(), SetupProgramPath());
        return RunProgram(arguments, prefix->environment(), work->path());
    }
    ProgramResult runUninstall(std::vector<std::string> arguments) const
    {
        arguments.insert(arguments.begin(), UninstallProgramPath());
        return RunProgram(arguments, prefix->environment(), work->path());
    }

    std::unique_ptr<Prefix> prefix;
    std::unique_ptr<HostDatabase> db;
    std::unique_ptr<WorkFolder> work;
    std::unique_ptr<MessageBoxCapture> boxes;
};

// Names the cases of a suite on the stand-in machine by their backend.
#define ZENTRA_ON_EVERY_BACKEND(Suite)                                                                                 \
  INSTANTIATE_TEST_SUITE_P(Backends, Suite,                                                                            \
                           ::testing::Values(::zentra_test::Backend::SQLite, ::zentra_test::Backend::PostgreSQL),      \
                           [](const ::testing::TestParamInfo<::zentra_test::Backend>& param) {                         \
                           return ::zentra_test::BackendName(param.param);                                             \
                           })

}  // namespace zentra_test
