#pragma once

// What the integrity tests share: deliveries of dial plans in folders of their
// own, the built programs run in the foreground or side by side, the state a
// run leaves (every row of the host tables and every file but the logs), and
// the checks that hold in every sound state.

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "installer/run/DialPlanPaths.h"
#include "support/DialPlanModel.h"
#include "support/MachineTest.h"
#include "support/TestSupport.h"

namespace integrity_test {

using namespace zentra_test;

// The files of a dial plan as a publisher delivers them: a version of the
// example (examples/v1, examples/v2), or a plan of the model, whose version
// tells its files apart from another version's.
inline FileTree ExampleDelivery(const std::string& version)
{
    FileTree files;
    for (const char* file : {"Example.csv", "Example", "ExampleReadMe.txt"})
        files[file] = ExampleFile(version, file);
    return files;
}
inline FileTree ModelDelivery(const DialPlan& plan, const std::string& version)
{
    return {{plan.name + ".csv", CsvText(plan)},
            {plan.name, "dial plan " + plan.name + " " + version + "\r\n"},
            {plan.name + "ReadMe.txt", "Dial plan " + plan.name + " " + version + "\r\n"}};
}

struct State {
    std::string rows;
    FileTree files;
    bool operator==(const State& other) const { return rows == other.rows && files == other.files; }
};

// How two states differ, for failure messages.
inline std::string Difference(const State& seen, const State& expected)
{
    if (seen.rows != expected.rows)
        return "rows differ:\n" + seen.rows + "\nexpected:\n" + expected.rows;
    for (const auto& [path, content] : expected.files)
        if (seen.files.count(path) == 0 || seen.files.at(path) != content)
            return "missing or different file " + path;
    return seen.files == expected.files ? "none" : "more files than expected";
}

// A program to run: argv (argv[0] its path), environment, working folder.
struct Command {
    std::vector<std::string> argv;
    std::map<std::string, std::string> environment;
    std::string folder;
    ProgramResult run() const { return RunProgram(argv, environment, folder); }
};

// A command run beside the test, on a thread of its own; its standard error
// goes to a file too, which the test can read while it runs.
class BackgroundProgram {
public:
    explicit BackgroundProgram(Command command)
        : errorFile_(std::filesystem::temp_directory_path() /
                     ("zentra-err-" + std::to_string(::getpid()) + "-" + std::to_string(++counter_)))
    {
        // The shell hands its place to the program: the exit status is the program's.
        command.argv.insert(command.argv.begin(),
                            {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>'" + errorFile_.string() + "'"});
        end_ = std::async(std::launch::async, [command] { return command.run(); });
    }
    ~BackgroundProgram()
    {
        if (end_.valid())
            end_.wait();
        std::error_code ignored;
        std::filesystem::remove(errorFile_, ignored);
    }
    std::string errors() const { return FileExists(errorFile_) ? ReadFile(errorFile_) : std::string(); }
    ProgramResult wait()
    {
        ProgramResult end = end_.get();
        end.err = errors() + end.err;
        return end;
    }

private:
    inline static std::atomic<int> counter_{0};
    std::filesystem::path errorFile_;
    std::future<ProgramResult> end_;
};

// Polls condition until it holds (true) or the limit passes (false).
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Starts first, and second once between() returns; their ends.
template <typename Between>
std::array<ProgramResult, 2> RunBoth(const Command& first, const Command& second, Between between)
{
    BackgroundProgram one(first);
    between();
    BackgroundProgram two(second);
    return {one.wait(), two.wait()};  // in this order: a braced list is evaluated left to right
}

class IntegrityTest : public MachineTest {
protected:
    struct Saved {
        std::vector<std::string> rows;
        FileTree prefix, work;
    };

    // A delivery written into the folder work/<folder>, beside an uninstaller.
    void deliver(const std::string& folder, FileTree files) const
    {
        files["uninstall.exe"] = "uninstaller\n";
        for (const auto& [file, content] : files)
            WriteFile(work->path() + "/" + folder + "/" + file, content);
    }

    // zentra-setup in a delivery folder; uninstall.exe in the dial plan's
    // folder, where the installation deployed it. extra adds to or overrides
    // the prefix's environment.
    Command setupIn(const std::string& folder, std::vector<std::string> arguments,
                    const std::map<std::string, std::string>& extra = {}) const
    {
        arguments.insert(arguments.begin(), SetupProgramPath());
        return {arguments, environment(extra), work->path() + "/" + folder};
    }
    Command uninstallOf(const std::string& name, const std::map<std::string, std::string>& extra = {}) const
    {
        return {{UninstallProgramPath(), name}, environment(extra), hostPath(zentra_run::DialPlanPaths(name).folder())};
    }

    // The last snapshot that the operation took of the dial plan; "" when none.
    std::string snapshotOf(const std::string& name, const std::string& operation) const
    {
        std::string last;
        const std::string history = hostPath(zentra_run::DialPlanPaths(name).historyFolder());
        if (!FileExists(history))
            return last;
        for (const auto& entry : std::filesystem::directory_iterator(history)) {
            const std::string id = entry.path().filename().string();
            if (id[0] != '.' && id.find("-" + operation) != std::string::npos && id > last)
                last = id;
        }
        return last;
    }

    // Logs, the journal and the snapshots (named by their time) differ with
    // every run, and the machine's run lock, empty, stays once a run has made it.
    State capture() const
    {
        State state{db->snapshot(), {}};
        const std::regex unstable(
            "(_install\\.txt|_uninstall\\.txt|_restore\\.txt|Zentra\\.lock|journal\\.jsonl)$|/history/");
        for (const auto& [root, folder] : {std::pair{"prefix/", prefix->path()}, std::pair{"work/", work->path()}})
            for (const auto& [path, content] : ReadTree(folder))
                if (!std::regex_search(path, unstable))
                    state.files[root + path] = content;
        return state;
    }
    Saved save() const { return {db->saveRows(), ReadTree(prefix->path()), ReadTree(work->path())}; }
    void restore(const Saved& saved) const
    {
        db->restoreRows(saved.rows);
        WriteTree(prefix->path(), saved.prefix);
        WriteTree(work->path(), saved.work);
    }

    // What every sound state holds: no row points at a row that is not there,
    // no digit-analysis ID is held by two instructions, and the files that an
    // installation deploys are there exactly while its dial plan is installed.
    void expectSound(const std::vector<std::string>& names) const
    {
        const char* const references[][3] = {
            {"DialPlanTag", "fkDialPlan", "DialPlan"},
            {"DigitDiscardInstruction", "fkDialPlan", "DialPlan"},
            {"DigitDiscardInstructionMember", "fkDigitDiscardInstruction", "DigitDiscardInstruction"},
            {"DigitDiscardInstructionMember", "fkDialPlanTag", "DialPlanTag"},
            {"RouteFilter", "fkDialPlan", "DialPlan"},
            {"RouteFilterMember", "fkDialPlanTag", "DialPlanTag"},
            {"NumPlan", "fkDialPlan", "DialPlan"},
            {"NumPlan", "fkDigitDiscardInstruction", "DigitDiscardInstruction"},
            {"RouteList", "fkDigitDiscardInstruction", "DigitDiscardInstruction"},
        };
        std::vector<std::string> faults;
        for (const auto& [table, column, parent] : references)
            for (const auto& row :
                 db->query(std::string("select pkid from ") + table + " where " + column + " is not null and " +
                           column + " not in (select pkid from " + parent + ")"))
                faults.push_back(std::string(table) + "." + column + " without its row: " + row.at(0));
        for (const auto& row : db->query("select digitAnalysisID from DigitDiscardInstruction group by "
                                         "digitAnalysisID having count(*) > 1"))
            faults.push_back("digit-analysis ID held twice: " + row.at(0));
        for (const std::string& name : names) {
            const bool installed = db->count("DialPlan", "name = '" + name + "'") == 1;
            const zentra_run::DialPlanPaths paths(name);
            for (const std::string& file :
                 {paths.deployedDialPlanFile(), paths.deployedUninstaller(), paths.deployedReadMe()})
                if (onMachine(file) != installed)
                    faults.push_back(file + (installed ? " missing" : " left behind"));
        }
        EXPECT_TRUE(faults.empty()) << ::testing::PrintToString(faults);
    }

private:
    std::map<std::string, std::string> environment(const std::map<std::string, std::string>& extra) const
    {
        std::map<std::string, std::string> variables = extra;
        for (const auto& variable : prefix->environment())
            variables.insert(variable);
        return variables;
    }
};

}  // namespace integrity_test
