// Two runs of the programs at once, started again and again with varied
// offsets between them: whatever the timing, they must end as if one had run
// after the other (rows, deployed files and exit statuses), with no row left
// pointing at a row that is gone and no digit-analysis ID given twice.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "integrity/IntegrityFixture.h"

namespace integrity_test {
namespace {

// Rounds of each case; ZENTRA_CONCURRENCY_ROUNDS sets more for a run by hand.
// The sanitized build, whose programs start several times slower, runs six:
// the optimised build's rounds are the ones that try the timings.
int Rounds()
{
#if defined(ZENTRA_SANITIZED_BUILD)
    constexpr int kRounds = 6;
#else
    constexpr int kRounds = 20;
#endif
    const char* text = std::getenv("ZENTRA_CONCURRENCY_ROUNDS");
    const int rounds = text != nullptr ? std::atoi(text) : 0;
    return rounds > kRounds ? rounds : kRounds;
}

// Whether a run met the other one: it waited for the database, or found the
// dial plan changed under it and decided again.
bool Met(const ProgramResult& end)
{
    return end.err.find("Waiting for another run") != std::string::npos ||
           end.out.find("meanwhile") != std::string::npos;
}

// One run of a program: zentra-setup NAME in a delivery folder, or the
// deployed uninstall.exe NAME.
struct Step {
    enum Program { Setup, Uninstall } program;
    std::string name;
    std::string folder;  // of zentra-setup
};

class Concurrency : public IntegrityTest {
protected:
    ProgramResult run(const Step& r) const
    {
        return r.program == Step::Setup ? setup(r.folder, {r.name}) : uninstall(r.name);
    }
    std::unique_ptr<BackgroundProgram> start(const Step& r) const
    {
        return r.program == Step::Setup ? startSetup(r.folder, {r.name}) : startUninstall(r.name);
    }

    // The end of the two runs, one after the other.
    struct Order {
        State state;
        int firstExit, secondExit;
        int seen = 0;
    };
    Order inTurn(const Saved& base, const Step& first, const Step& second, bool firstLeads)
    {
        restore(base);
        const ProgramResult leader = run(firstLeads ? first : second);
        const ProgramResult follower = run(firstLeads ? second : first);
        EXPECT_TRUE(unsoundRows().empty()) << ::testing::PrintToString(unsoundRows());
        Order order{capture(), firstLeads ? leader.exitCode : follower.exitCode,
                    firstLeads ? follower.exitCode : leader.exitCode};
        return order;
    }

    // Runs first and second side by side kRounds times from the state base,
    // alternating which one starts first and moving the other's start.
    void sideBySide(const char* what, const Step& first, const Step& second)
    {
        const Saved base = save();
        Order orders[2] = {inTurn(base, first, second, true), inTurn(base, first, second, false)};

        const int rounds = Rounds();
        int met = 0;
        for (int round = 0; round < rounds; ++round) {
            restore(base);
            const bool firstLeads = round % 2 == 0;
            const auto offset = std::chrono::milliseconds((round / 2) % 10);
            SCOPED_TRACE(std::string(what) + ", round " + std::to_string(round) + ": " +
                         (firstLeads ? "first" : "second") + " starts " + std::to_string(offset.count()) +
                         " ms ahead");

            auto leader = start(firstLeads ? first : second);
            SleepFor(offset);
            auto follower = start(firstLeads ? second : first);
            const ProgramResult leaderEnd = leader->wait();
            const ProgramResult followerEnd = follower->wait();
            const ProgramResult& firstEnd = firstLeads ? leaderEnd : followerEnd;
            const ProgramResult& secondEnd = firstLeads ? followerEnd : leaderEnd;

            if (Met(firstEnd) || Met(secondEnd))
                ++met;
            const State seen = capture();
            Order* match = nullptr;
            for (Order& order : orders)
                if (match == nullptr && seen == order.state && firstEnd.exitCode == order.firstExit &&
                    secondEnd.exitCode == order.secondExit)
                    match = &order;
            if (match != nullptr)
                ++match->seen;
            EXPECT_NE(match, nullptr) << "neither order; against the first then the second: "
                                      << Difference(seen, orders[0].state) << "\nexit statuses " << firstEnd.exitCode
                                      << " and " << secondEnd.exitCode << "\n--- first:\n"
                                      << firstEnd.out << firstEnd.err << "--- second:\n"
                                      << secondEnd.out << secondEnd.err;
            EXPECT_TRUE(unsoundRows().empty()) << ::testing::PrintToString(unsoundRows());
            EXPECT_TRUE(filesAgree(first.name));
            EXPECT_TRUE(filesAgree(second.name));
        }
        std::cout << "[ rounds ] " << BackendName(GetParam()) << ", " << what << ": " << rounds << " rounds ("
                  << met << " where one run waited for the other or decided again), " << orders[0].seen << " ended as the first then the second, " << orders[1].seen
                  << " as the second then the first" << (orders[0].state == orders[1].state ? " (the same state)" : "")
                  << std::endl;
    }
};

// The dial plan Metro in three versions: v1 installed, and two upgrades of it
// that drop and add different rows.
struct Metro {
    DialPlan v1, dropsATag, dropsAnInstruction;
    Metro() : v1(MakeDialPlan("Metro", 0x3A000000u, 5))
    {
        const std::string local = v1.addInstruction("Local", 7, "METRO-TAG-0");
        v1.addMember(local, v1.tags[0].pkid);
        dropsATag = v1;
        dropsATag.remove(v1.tags[1].pkid);
        const std::string tag = dropsATag.addTag("METRO-EXPRESS");
        for (int k = 0; k < 6; ++k)
            dropsATag.addMember(dropsATag.instructions[k].pkid, tag);
        dropsAnInstruction = v1;
        dropsAnInstruction.remove(local);
        const std::string express = dropsAnInstruction.addInstruction("Express", 8, "METRO-TAG-2");
        dropsAnInstruction.addMember(express, v1.tags[2].pkid);
        dropsAnInstruction.description = "Metro, second edition";
    }
};

TEST_P(Concurrency, TwoNewInstallationsOfOnePlanLeaveOnePlan)
{
    deliver("a", ExampleDelivery("v1"));
    deliver("b", ExampleDelivery("v1"));
    sideBySide("two new installations of Example", {Step::Setup, "Example", "a"}, {Step::Setup, "Example", "b"});
}

TEST_P(Concurrency, TwoNewInstallationsOfDifferentPlansGetDisjointIds)
{
    deliver("a", ExampleDelivery("v1"));
    deliver("b", ModelDelivery(MakeDialPlan("Harbour", 0x4A000000u, 4), "v1"));
    sideBySide("new installations of Example and Harbour", {Step::Setup, "Example", "a"},
               {Step::Setup, "Harbour", "b"});
}

TEST_P(Concurrency, AnUpgradeAndARemovalOfOnePlan)
{
    deliver("v1", ExampleDelivery("v1"));
    ASSERT_EQ(setup("v1", {"Example"}).exitCode, 0);
    deliver("v2", ExampleDelivery("v2"));
    sideBySide("an upgrade and a removal of Example", {Step::Setup, "Example", "v2"}, {Step::Uninstall, "Example", ""});
}

TEST_P(Concurrency, TwoUpgradesOfOnePlan)
{
    const Metro metro;
    deliver("v1", ModelDelivery(metro.v1, "v1"));
    ASSERT_EQ(setup("v1", {"Metro"}).exitCode, 0);
    deliver("a", ModelDelivery(metro.dropsATag, "v2a"));
    deliver("b", ModelDelivery(metro.dropsAnInstruction, "v2b"));
    sideBySide("two upgrades of Metro to different versions", {Step::Setup, "Metro", "a"}, {Step::Setup, "Metro", "b"});
}

INSTANTIATE_TEST_SUITE_P(Backends, Concurrency, ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const ::testing::TestParamInfo<Backend>& param) { return BackendName(param.param); });

}  // namespace
}  // namespace integrity_test
