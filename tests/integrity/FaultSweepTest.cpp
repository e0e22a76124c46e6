// A write that fails at every point of a run: a new installation, an upgrade
// and a removal, each run once to count its writes and then once for every
// N from 1 to that count with its Nth write failing (WriteFault). Every run
// must leave the database and the files exactly as they were before it, or
// exactly as a run without a fault leaves them, and its exit status must say
// which.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <string>
#include <tuple>
#include <vector>

#include "integrity/IntegrityFixture.h"
#include "support/WriteFault.h"

namespace integrity_test {
namespace {

enum class Plan { Example, Generated };
enum class Operation { NewInstallation, Upgrade, Removal };

// A dial plan of a few hundred rows (329) and its next version: 40 tags, the
// six predefined instructions joined to every tag, 14 more instructions with
// two members each; the next version drops four tags and two instructions,
// adds as many, and rewrites the description and the predefined clauses.
struct Generated {
    DialPlan v1, v2;
    Generated() : v1(MakeDialPlan("Grid", 0x5A000000u, 40))
    {
        for (int k = 0; k < 14; ++k) {
            const std::string instruction =
                v1.addInstruction("Route-" + std::to_string(k), 7 + k, "Grid-TAG-" + std::to_string(k));
            v1.addMember(instruction, v1.tags[k].pkid);
            v1.addMember(instruction, v1.tags[k + 1].pkid);
        }
        v2 = v1;
        v2.description = "Grid, second edition";
        for (int k = 0; k < 4; ++k)
            v2.remove(v1.tags[k].pkid);
        for (int k = 0; k < 4; ++k) {
            const std::string tag = v2.addTag("GRID-NEW-" + std::to_string(k));
            for (int p = 0; p < 6; ++p)
                v2.addMember(v2.instructions[p].pkid, tag);
        }
        v2.remove(v1.instructions[6].pkid);
        v2.remove(v1.instructions[7].pkid);
        for (int k = 0; k < 2; ++k) {
            const std::string instruction = v2.addInstruction("Express-" + std::to_string(k), 30 + k, "GRID-NEW-0");
            v2.addMember(instruction, v2.tags[10].pkid);
            v2.addMember(instruction, v2.tags[11].pkid);
        }
        for (int p = 1; p < 6; ++p)
            v2.instructions[p].clause += " GRID";
    }
};

// The N to fail: every one from 1 to the count. SQLite counts rows, so that a
// generated plan's run writes hundreds; there about thirty, spread evenly with
// the first and last five whole, unless ZENTRA_FULL_SWEEP=1 asks for every one.
std::vector<int> FaultPoints(int writes, bool sample)
{
    std::vector<int> points;
    const char* full = std::getenv("ZENTRA_FULL_SWEEP");
    const int step = sample && !(full != nullptr && std::string(full) == "1") ? std::max(1, writes / 20) : 1;
    for (int n = 1; n <= writes; ++n)
        if (n <= 5 || n > writes - 5 || n % step == 0)
            points.push_back(n);
    return points;
}

class FaultSweep : public IntegrityTest {
protected:
    // Runs the operation on the plan with every fault point and checks each end.
    void sweep(Plan plan, Operation operation)
    {
#if defined(ZENTRA_SANITIZED_BUILD)
        if (plan == Plan::Generated)
            GTEST_SKIP() << "the generated plan's sweeps run in the optimised build; the example's take the same "
                            "paths under the sanitizers";
#endif
        const Generated generated;
        const std::string name = plan == Plan::Example ? "Example" : "Grid";
        const Delivery v1 = plan == Plan::Example ? ExampleDelivery("v1") : ModelDelivery(generated.v1, "v1");
        const Delivery v2 = plan == Plan::Example ? ExampleDelivery("v2") : ModelDelivery(generated.v2, "v2");
        deliver("v1", v1);
        deliver("v2", v2);
        if (operation != Operation::NewInstallation) {
            ASSERT_EQ(setup("v1", {name}).exitCode, 0);
        }

        const struct {
            const char* what;
            std::function<ProgramResult()> run;
            int failed;  // the exit status of a run that a fault stopped
        } operations[] = {
            {"new installation", [&] { return setup("v1", {name}); }, 6},
            {"upgrade", [&] { return setup("v2", {name}); }, 7},
            {"removal", [&] { return uninstall(name); }, 255},
        };
        const auto& op = operations[static_cast<int>(operation)];

        WriteFault fault(*db);
        const Saved base = save();
        const State before = capture();
        fault.arm(0);
        const ProgramResult clean = op.run();
        ASSERT_EQ(clean.exitCode, 0) << clean.out << clean.err;
        const State after = capture();
        const int writes = fault.writes();
        ASSERT_GT(writes, 0);
        ASSERT_FALSE(after == before);

        std::vector<int> points = FaultPoints(writes, GetParam() == Backend::SQLite && plan == Plan::Generated);
        // One past the last write: no fault is reached.
        points.push_back(writes + 1);
        int partial = 0, wrongExit = 0;
        bool asBase = false;  // whether the last run left the state as before
        for (const int n : points) {
            SCOPED_TRACE("write " + std::to_string(n) + " of " + std::to_string(writes) + " fails");
            if (!asBase) {
                fault.arm(0);
                restore(base);
            }
            fault.arm(n);
            const ProgramResult end = op.run();
            const State seen = capture();
            asBase = seen == before;

            const bool reached = n <= writes;
            const State& expected = reached ? before : after;
            const bool asBefore = seen == before, asAfter = seen == after;
            if (!asBefore && !asAfter)
                ++partial;
            if ((asBefore && end.exitCode != op.failed) || (asAfter && end.exitCode != 0))
                ++wrongExit;
            EXPECT_TRUE(seen == expected) << Difference(seen, expected);
            EXPECT_EQ(end.exitCode, reached ? op.failed : 0) << end.out << end.err;
            if (reached) {
                EXPECT_NE((end.out + end.err).find(WriteFault::kMessage), std::string::npos) << end.out << end.err;
            }
            EXPECT_TRUE(unsoundRows().empty()) << ::testing::PrintToString(unsoundRows());
            EXPECT_TRUE(filesAgree(name));
        }
        std::cout << "[ sweep ] " << BackendName(GetParam()) << ", " << name << ", " << op.what << ": " << writes
                  << (GetParam() == Backend::SQLite ? " rows written" : " write statements") << ", "
                  << points.size() << " runs, " << partial << " partial states, " << wrongExit
                  << " wrong exit statuses" << std::endl;
    }
};

TEST_P(FaultSweep, ExampleNewInstallation) { sweep(Plan::Example, Operation::NewInstallation); }
TEST_P(FaultSweep, ExampleUpgrade) { sweep(Plan::Example, Operation::Upgrade); }
TEST_P(FaultSweep, ExampleRemoval) { sweep(Plan::Example, Operation::Removal); }
TEST_P(FaultSweep, GeneratedNewInstallation) { sweep(Plan::Generated, Operation::NewInstallation); }
TEST_P(FaultSweep, GeneratedUpgrade) { sweep(Plan::Generated, Operation::Upgrade); }
TEST_P(FaultSweep, GeneratedRemoval) { sweep(Plan::Generated, Operation::Removal); }

INSTANTIATE_TEST_SUITE_P(Backends, FaultSweep, ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const ::testing::TestParamInfo<Backend>& param) { return BackendName(param.param); });

}  // namespace
}  // namespace integrity_test
