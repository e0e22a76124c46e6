// zentra-bench-snapshot: times the snapshot that an upgrade and a removal take
// before their first change, as the run takes it: the installed dial plan's
// rows read from the database and written as a dial-plan file, and the deployed
// files copied, into a new folder of the dial plan's history.
//
//   zentra-bench-snapshot NAME [RUNS]
//
// It runs as zentra-setup does, on the machine that ZENTRA_PREFIX (and
// ODBCSYSINI) name, with NAME installed. Each snapshot it takes is deleted
// again. Prints "snapshot=<seconds>", the median of RUNS (default 5); exit
// status 1 when a snapshot could not be taken, 2 for a usage error.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "installer/CZentraSetup.h"
#include "installer/Results.h"
#include "installer/run/DialPlanPaths.h"
#include "installer/run/PlanFile.h"
#include "installer/run/PlanStatus.h"
#include "installer/run/Session.h"
#include "installer/run/Snapshot.h"
#include "platform/Platform.h"

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: zentra-bench-snapshot NAME [RUNS]\n");
        return 2;
    }
    const std::string name = argv[1];
    const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 5;
    // gethostname, which tells whether this machine is the publisher, needs it.
    const platform::SocketsLayer sockets;
    try {
        const std::optional<zentra_run::DialPlanPaths> paths = zentra_run::DialPlanPaths::Of(name, nullptr);
        CZentraSetup setup;
        if (!paths || setup.DBConnection() != zentra::kConnected) {
            std::fprintf(stderr, "zentra-bench-snapshot: no connection, or a name that cannot be used\n");
            return 1;
        }
        zentra_run::Session session(setup, zentra_run::Session::Log::Closed);
        const std::optional<zentra_run::DialPlanRow> found = zentra_run::FindDialPlan(session, name);
        if (!found) {
            std::fprintf(stderr, "zentra-bench-snapshot: %s is not installed\n", name.c_str());
            return 1;
        }
        std::vector<double> seconds;
        for (int run = 0; run < runs; ++run) {
            const auto start = std::chrono::steady_clock::now();
            const std::string id = zentra_run::TakeSnapshot(
                *paths, "bench", [&] { return zentra_run::PlanFileText(session, found->pkid); });
            seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            platform::RemoveFolderTree(paths->historyFolder() + id + "\\");
        }
        std::sort(seconds.begin(), seconds.end());
        std::printf("snapshot=%.6f\n", seconds[seconds.size() / 2]);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "zentra-bench-snapshot: %s\n", error.what());
        return 1;
    }
}
