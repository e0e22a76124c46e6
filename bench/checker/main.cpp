// zentra-bench-check: times the check that every delivered dial-plan file gets
// before either road, as the installer makes it: the whole file read and
// checked, then checked as the dial plan NAME.
//
//   zentra-bench-check FILE NAME [RUNS]
//
// Prints "check=<seconds>", the median of RUNS (default 9) checks, and exits 1
// when the file is refused.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dialplanfile/DialPlanFile.h"

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: zentra-bench-check FILE NAME [RUNS]\n");
        return 2;
    }
    const int runs = argc == 4 ? std::max(1, std::atoi(argv[3])) : 9;
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        try {
            dialplan::DialPlanFile file;
            file.Read(argv[1]);
            file.CheckInstallable(argv[2]);
        } catch (const dialplan::FileError& error) {
            std::fprintf(stderr, "zentra-bench-check: %s\n", error.what());
            return 1;
        }
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("check=%.6f\n", seconds[seconds.size() / 2]);
    return 0;
}
