// Two runs of the programs at once, started again and again with varied
// offsets between them: whatever the timing, they must end as if one had run
// after the other (rows, deployed files and exit statuses), with no row left
// pointing at a row that is gone and no digit-analysis ID given twice.

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <utility>

#include "integrity/IntegrityFixture.h"

namespace integrity_test {
namespace {

// Rounds of each case; ZENTRA_CONCURRENCY_ROUNDS sets more for a run by hand.
// The sanitized build, whose programs start several times slower, runs six:
// the optimised build's rounds are the ones that try the timings.
int Rounds()
{
#if defined(ZENTRA_SANITIZED_BUILD)
    const int rounds = 6;
#else
    const int rounds = 20;
#endif
    const char* text = std::getenv("ZENTRA_CONCURRENCY_ROUNDS");
    return std::max(rounds, text != nullptr ? std::atoi(text) : 0);
}

class Concurrency : public IntegrityTest {
protected:
    // Runs first and second side by side from the current state, alternating
    // which one starts first and moving the other's start by 0-9 ms.
    void sideBySide(const std::vector<std::string>& names, const Command& first, const Command& second)
    {
        const Saved base = save();
        // The two ends to accept: the state and both exit statuses, in turn.
        struct Order {
            State state;
            int firstExit, secondExit;
            int seen = 0;  // rounds that ended so
        } orders[2];
        for (const bool firstLeads : {true, false}) {
            restore(base);
            ProgramResult ends[2];
            ends[firstLeads ? 0 : 1] = (firstLeads ? first : second).run();
            ends[firstLeads ? 1 : 0] = (firstLeads ? second : first).run();
            expectSound(names);
            orders[firstLeads ? 0 : 1] = {capture(), ends[0].exitCode, ends[1].exitCode};
        }

        int meetings = 0;  // rounds where a run waited for the other or decided again
        for (int round = 0; round < Rounds(); ++round) {
            restore(base);
            const bool firstLeads = round % 2 == 0;
            const auto offset = std::chrono::milliseconds((round / 2) % 10);
            SCOPED_TRACE("round " + std::to_string(round) + ": " + (firstLeads ? "first" : "second") + " starts " +
                         std::to_string(offset.count()) + " ms ahead");
            auto ends = RunBoth(firstLeads ? first : second, firstLeads ? second : first,
                                [&] { std::this_thread::sleep_for(offset); });
            if (!firstLeads)
                std::swap(ends[0], ends[1]);
            const auto met = [](const ProgramResult& end) {
                return end.err.find("Waiting for another run") != std::string::npos ||
                       end.out.find("meanwhile") != std::string::npos;
            };
            meetings += met(ends[0]) || met(ends[1]);
            const State seen = capture();
            bool inOneOrder = false;
            for (Order& order : orders)
                if (!inOneOrder && seen == order.state && ends[0].exitCode == order.firstExit &&
                    ends[1].exitCode == order.secondExit) {
                    inOneOrder = true;
                    ++order.seen;
                }
            EXPECT_TRUE(inOneOrder) << "neither order; against the first then the second: "
                                    << Difference(seen, orders[0].state) << "\nexit statuses " << ends[0].exitCode
                                    << " and " << ends[1].exitCode << "\n--- first:\n"
                                    << ends[0].out << ends[0].err << "--- second:\n"
                                    << ends[1].out << ends[1].err;
            expectSound(names);
        }
        std::cout << "[ rounds ] " << Rounds() << ": " << orders[0].seen << " ended as the first then the second, "
                  << orders[1].seen << " as the second then the first, " << meetings
                  << " where one run waited for the other or decided again" << std::endl;
    }
};

TEST_P(Concurrency, TwoNewInstallationsOfOnePlanLeaveOnePlan)
{
    deliver("a", ExampleDelivery("v1"));
    deliver("b", ExampleDelivery("v1"));
    sideBySide({"Example"}, setupIn("a", {"Example"}), setupIn("b", {"Example"}));
    EXPECT_EQ(db->count("DialPlan", "name = 'Example'"), 1);
}

TEST_P(Concurrency, TwoNewInstallationsOfDifferentPlansGetDisjointIds)
{
    deliver("a", ExampleDelivery("v1"));
    deliver("b", ModelDelivery(MakeDialPlan("Harbour", 0x4A000000u, 4), "v1"));
    sideBySide({"Example", "Harbour"}, setupIn("a", {"Example"}), setupIn("b", {"Harbour"}));
}

TEST_P(Concurrency, AnUpgradeAndARemovalOfOnePlan)
{
    deliver("v1", ExampleDelivery("v1"));
    ASSERT_EQ(setupIn("v1", {"Example"}).run().exitCode, 0);
    deliver("v2", ExampleDelivery("v2"));
    sideBySide({"Example"}, setupIn("v2", {"Example"}), uninstallOf("Example"));
}

// The dial plan Metro installed, and two upgrades of it that drop and add
// different rows.
TEST_P(Concurrency, TwoUpgradesOfOnePlan)
{
    DialPlan v1 = MakeDialPlan("Metro", 0x3A000000u, 5);
    const std::string local = v1.addInstruction("Local", 7, "METRO-TAG-0");
    v1.addMember(local, v1.tags[0].pkid);
    DialPlan dropsATag = v1, dropsAnInstruction = v1;
    dropsATag.remove(v1.tags[1].pkid);
    const std::string tag = dropsATag.addTag("METRO-EXPRESS");
    for (int k = 0; k < 6; ++k)
        dropsATag.addMember(dropsATag.instructions[k].pkid, tag);
    dropsAnInstruction.remove(local);
    dropsAnInstruction.addMember(dropsAnInstruction.addInstruction("Express", 8, "METRO-TAG-2"), v1.tags[2].pkid);
    dropsAnInstruction.description = "Metro, second edition";

    deliver("v1", ModelDelivery(v1, "v1"));
    ASSERT_EQ(setupIn("v1", {"Metro"}).run().exitCode, 0);
    deliver("a", ModelDelivery(dropsATag, "v2a"));
    deliver("b", ModelDelivery(dropsAnInstruction, "v2b"));
    sideBySide({"Metro"}, setupIn("a", {"Metro"}), setupIn("b", {"Metro"}));
}

ZENTRA_ON_EVERY_BACKEND(Concurrency);

}  // namespace
}  // namespace integrity_test
