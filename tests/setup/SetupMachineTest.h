#pragma once

// A stand-in machine (MachineTest) with the example dial plan delivered in its
// working folder, for tests that run the built setup program.

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/MachineTest.h"
#include "support/TestSupport.h"

namespace zentra_test {

class SetupMachineTest : public MachineTest {
protected:
    static std::string example(const std::string& version, const std::string& file)
    {
        return ReadFile(SourceDir() + "/examples/" + version + "/" + file);
    }

    // Delivers a version of the example as the dial plan name, with csv in
    // place of its file when given, and an uninstaller; no rewritten file of an
    // earlier run stays.
    void deliver(const std::string& version, const std::string& csv = "", const std::string& name = "Example")
    {
        WriteFile(name + ".csv", csv.empty() ? example(version, "Example.csv") : csv);
        WriteFile(name, example(version, "Example"));
        WriteFile(name + "ReadMe.txt", example(version, "ExampleReadMe.txt"));
        WriteFile("uninstall.exe", "uninstaller");
        std::filesystem::remove(name + "_new.csv");
    }

    ProgramResult setup(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), SetupProgramPath());
        return RunProgram(arguments, prefix->environment(), work->path());
    }

    // Every file of drive C: and of the working folder by host path, with its
    // bytes, but those whose names are left out.
    FileTree files(const std::set<std::string>& leftOut) const
    {
        FileTree all;
        for (const std::string& root : {prefix->path() + "/drive_c", work->path()})
            for (const auto& [path, bytes] : ReadTree(root))
                if (leftOut.count(std::filesystem::path(path).filename().string()) == 0)
                    all[root + "/" + path] = bytes;
        return all;
    }
};

}  // namespace zentra_test
