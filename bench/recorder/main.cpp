// zentra-bench-record: makes the upgrade or the removal of a dial plan with the
// installer itself and writes every statement that the installer ran, in its
// order, as one script for the database's own client: the baseline that the
// benchmark times against the programs.
//
//   zentra-bench-record upgrade NAME SCRIPT
//   zentra-bench-record removal NAME SCRIPT
//
// It runs as zentra-setup and uninstall.exe do: on the machine that
// ZENTRA_PREFIX (and ODBCSYSINI) name, the upgrade in the folder of the
// delivered files. The operation is made: run it on a copy of the environment.
// Exit status: 0 when the operation was made and the script written, 1 when it
// was not, 2 for a usage error.

#include <cstdio>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchOutput.h"
#include "installer/CZentraSetup.h"
#include "installer/Results.h"
#include "installer/run/Session.h"
#include "platform/Platform.h"

namespace {

const char* const kUsage = "usage: zentra-bench-record upgrade|removal NAME SCRIPT\n";

void Write(const std::string& path, const std::string& content)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        throw std::runtime_error("cannot write " + path);
    const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    if (std::fclose(file) != 0 || !written)
        throw std::runtime_error("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() != 3 || (arguments[0] != "upgrade" && arguments[0] != "removal")) {
        std::cerr << kUsage;
        return 2;
    }
    const bool upgrade = arguments[0] == "upgrade";
    const std::string& name = arguments[1];
    // gethostname, which tells whether this machine is the publisher, needs it.
    const platform::SocketsLayer sockets;
    try {
        CZentraSetup setup;
        const long connected = setup.DBConnection();
        if (connected != zentra::kConnected) {
            std::cerr << "zentra-bench-record: DBConnection gave " << connected << "\n";
            return 1;
        }
        std::vector<std::string> statements;
        zentra_run::Session::SetRecorder([&statements](const std::string& sql) { statements.push_back(sql); });
        const int result = upgrade ? setup.DialPlanMain(name) : setup.UnInstallDialPlan(name);
        zentra_run::Session::SetRecorder({});
        const int made = upgrade ? int{zentra::kUpgraded} : int{zentra::kRemoved};
        if (result != made) {
            std::cerr << "zentra-bench-record: the " << arguments[0] << " of " << name << " gave " << result
                      << " where " << made << " was expected\n";
            return 1;
        }
        Write(arguments[2], bench::Script(statements));
        std::cout << "statements=" << statements.size() << "\n";
        return 0;
    } catch (const std::exception& error) {
        zentra_run::Session::SetRecorder({});
        std::cerr << "zentra-bench-record: " << error.what() << "\n";
        return 1;
    }
}
