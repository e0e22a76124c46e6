#pragma once

// A stand-in machine (MachineTest) that runs the built setup program on the
// example dial plan delivered in its working folder.

#include <filesystem>
#include <set>
#include <string>

#include "support/MachineTest.h"

namespace zentra_test {

class SetupMachineTest : public MachineTest {
protected:
    static std::string example(const std::string& version, const std::string& file)
    {
        return ExampleFile(version, file);
    }

    // Delivers a version of the example as the dial plan name, with csv in
    // place of its file when given, and an uninstaller; drops the file an
    // earlier run rewrote.
    void deliver(const std::string& version, const std::string& csv = "", const std::string& name = "Example")
    {
        WriteFile(name + ".csv", csv.empty() ? example(version, "Example.csv") : csv);
        WriteFile(name, example(version, "Example"));
        WriteFile(name + "ReadMe.txt", example(version, "ExampleReadMe.txt"));
        WriteFile("uninstall.exe", "uninstaller");
        std::filesystem::remove(name + "_new.csv");
    }

    // The files of drive C: and of the working folder by host path, with their
    // bytes; files of the names left out are not read.
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
