#pragma once

// What the integrity tests share: deliveries of dial plans in folders of their
// own, the built programs run in the foreground or side by side, the state a
// run leaves (every row of the host tables and every file but the logs), and
// the checks that hold in every sound state.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "installer/DialPlanName.h"
#include "support/Background.h"
#include "support/DialPlanModel.h"
#include "support/MachineTest.h"
#include "support/TestSupport.h"

namespace integrity_test {

using namespace zentra_test;

// The files of a dial plan as a publisher delivers them, by file name.
struct Delivery {
    std::string name;
    std::map<std::string, std::string> files;
};

// A version of the example dial plan (examples/v1, examples/v2).
inline Delivery ExampleDelivery(const std::string& version)
{
    Delivery delivery{"Example", {}};
    for (const char* file : {"Example.csv", "Example", "ExampleReadMe.txt"})
        delivery.files[file] = ReadFile(SourceDir() + "/examples/" + version + "/" + file);
    return delivery;
}

// A dial plan of the model; version tells its files apart from another
// version's.
inline Delivery ModelDelivery(const DialPlan& plan, const std::string& version)
{
    return {plan.name,
            {{plan.name + ".csv", CsvText(plan)},
             {plan.name, "dial plan " + plan.name + " " + version + "\r\n"},
             {plan.name + "ReadMe.txt", "Dial plan " + plan.name + " " + version + "\r\n"}}};
}

// What a run leaves behind: every row of the host tables, and every file of
// the stand-in machine and of the delivery folders but the logs, whose lines
// tell how a run went rather than what it left.
struct State {
    std::string rows;
    FileTree files;
    bool operator==(const State& other) const { return rows == other.rows && files == other.files; }
};

// A state to go back to: rows, the prefix folder and the delivery folders.
struct Saved {
    std::vector<std::string> rows;
    FileTree prefix, work;
};

class IntegrityTest : public MachineTest {
protected:
    // The delivery written into the folder work/<folder>, beside an uninstaller.
    void deliver(const std::string& folder, const Delivery& delivery) const
    {
        for (const auto& [file, content] : delivery.files)
            WriteFile(work->path() + "/" + folder + "/" + file, content);
        WriteFile(work->path() + "/" + folder + "/uninstall.exe", "uninstaller of " + delivery.name + "\n");
    }

    std::vector<std::string> setupCommand(const std::vector<std::string>& arguments) const
    {
        std::vector<std::string> argv{SetupProgramPath()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return argv;
    }
    std::string zentraFolder(const std::string& name) const
    {
        return prefix->hostPath(std::string(kZentraFolder) + name);
    }
    std::map<std::string, std::string> environment(const std::map<std::string, std::string>& extra = {}) const
    {
        std::map<std::string, std::string> variables = prefix->environment();
        for (const auto& [name, value] : extra)
            variables[name] = value;
        return variables;
    }

    // zentra-setup in a delivery folder; uninstall.exe in the dial plan's
    // folder, where the installation deployed it.
    ProgramResult setup(const std::string& folder, const std::vector<std::string>& arguments,
                        const std::map<std::string, std::string>& extra = {}) const
    {
        return RunProgram(setupCommand(arguments), environment(extra), work->path() + "/" + folder);
    }
    ProgramResult uninstall(const std::string& name, const std::map<std::string, std::string>& extra = {}) const
    {
        return RunProgram({UninstallProgramPath(), name}, environment(extra), zentraFolder(name));
    }
    std::unique_ptr<BackgroundProgram> startSetup(const std::string& folder, const std::vector<std::string>& arguments,
                                                  const std::map<std::string, std::string>& extra = {}) const
    {
        return std::make_unique<BackgroundProgram>(setupCommand(arguments), environment(extra),
                                                   work->path() + "/" + folder);
    }
    std::unique_ptr<BackgroundProgram> startUninstall(const std::string& name,
                                                      const std::map<std::string, std::string>& extra = {}) const
    {
        return std::make_unique<BackgroundProgram>(std::vector<std::string>{UninstallProgramPath(), name},
                                                   environment(extra), zentraFolder(name));
    }

    State capture() const
    {
        State state{db->snapshot(), {}};
        const auto add = [&state](const std::string& root, const FileTree& tree) {
            // Logs differ with every run, and the machine's run lock, empty,
            // stays once a run has made it.
            for (const auto& [path, content] : tree) {
                const bool log = EndsWith(path, "_install.txt") || EndsWith(path, "_uninstall.txt");
                if (!log && !EndsWith(path, "Zentra.lock"))
                    state.files[root + path] = content;
            }
        };
        add("prefix/", ReadTree(prefix->path()));
        add("work/", ReadTree(work->path()));
        return state;
    }
    Saved save() const { return {db->saveRows(), ReadTree(prefix->path()), ReadTree(work->path())}; }
    void restore(const Saved& saved) const
    {
        db->restoreRows(saved.rows);
        WriteTree(prefix->path(), saved.prefix);
        WriteTree(work->path(), saved.work);
    }

    // What no sound state holds: rows that point at rows that are not there,
    // and a digit-analysis ID held by two instructions.
    std::vector<std::string> unsoundRows() const
    {
        const struct {
            const char* what;
            const char* query;
        } checks[] = {
            {"tag without its dial plan", "select pkid from DialPlanTag where fkDialPlan not in (select pkid from DialPlan)"},
            {"instruction without its dial plan",
             "select pkid from DigitDiscardInstruction where fkDialPlan not in (select pkid from DialPlan)"},
            {"member without its instruction",
             "select pkid from DigitDiscardInstructionMember where fkDigitDiscardInstruction not in "
             "(select pkid from DigitDiscardInstruction)"},
            {"member without its tag",
             "select pkid from DigitDiscardInstructionMember where fkDialPlanTag not in (select pkid from DialPlanTag)"},
            {"route filter without its dial plan",
             "select pkid from RouteFilter where fkDialPlan is not null and fkDialPlan not in (select pkid from DialPlan)"},
            {"route filter member without its tag",
             "select pkid from RouteFilterMember where fkDialPlanTag is not null and fkDialPlanTag not in "
             "(select pkid from DialPlanTag)"},
            {"pattern without its dial plan",
             "select pkid from NumPlan where fkDialPlan is not null and fkDialPlan not in (select pkid from DialPlan)"},
            {"pattern without its instruction",
             "select pkid from NumPlan where fkDigitDiscardInstruction is not null and fkDigitDiscardInstruction "
             "not in (select pkid from DigitDiscardInstruction)"},
            {"route list without its instruction",
             "select pkid from RouteList where fkDigitDiscardInstruction is not null and fkDigitDiscardInstruction "
             "not in (select pkid from DigitDiscardInstruction)"},
            {"digit-analysis ID held twice",
             "select digitAnalysisID from DigitDiscardInstruction group by digitAnalysisID having count(*) > 1"},
        };
        std::vector<std::string> found;
        for (const auto& check : checks)
            for (const auto& row : db->query(check.query))
                found.push_back(std::string(check.what) + ": " + row.at(0));
        return found;
    }

    // Whether the files that an installation deploys are there exactly when
    // the dial plan is installed.
    bool filesAgree(const std::string& name) const
    {
        const bool installed = db->count("DialPlan", "name = '" + name + "'") == 1;
        for (const std::string& file : {std::string(kDialPlanFolder) + name,
                                        std::string(kZentraFolder) + name + "\\uninstall.exe",
                                        std::string(kZentraFolder) + name + "\\ReadMe.txt"})
            if (FileExists(prefix->hostPath(file)) != installed)
                return false;
        return true;
    }

    static bool EndsWith(const std::string& text, const std::string& end)
    {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }
};

// A short description of how two states differ, for failure messages.
inline std::string Difference(const State& seen, const State& expected)
{
    if (seen.rows != expected.rows)
        return "rows differ:\n" + seen.rows + "\nexpected:\n" + expected.rows;
    for (const auto& [path, content] : expected.files) {
        const auto found = seen.files.find(path);
        if (found == seen.files.end())
            return "missing file " + path;
        if (found->second != content)
            return "file differs: " + path;
    }
    for (const auto& [path, content] : seen.files)
        if (expected.files.count(path) == 0)
            return "unexpected file " + path;
    return "none";
}

}  // namespace integrity_test
