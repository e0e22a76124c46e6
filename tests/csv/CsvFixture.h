#pragma once

// What the dial-plan file tests share: building a file from its lines, the
// product's folders, and a fixture with a real database of each backend, a
// prefix that names it, a working folder and the message boxes shown.

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "installer/run/DialPlanPaths.h"
#include "support/MachineTest.h"
#include "support/TestSupport.h"

namespace csv_test {

using zentra_test::Backend;

using List = std::vector<std::string>;

using zentra_run::DialPlanPaths;
const std::string kZentra = zentra_run::kZentraFolder;
const std::string kDialPlan = zentra_run::kDialPlanFolder;

// The lines, each followed by the line end.
inline std::string Lines(const List& lines, const std::string& end = "\r\n")
{
    std::string text;
    for (const std::string& line : lines)
        text += line + end;
    return text;
}

inline List Concat(std::initializer_list<List> parts)
{
    List all;
    for (const List& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class DatabaseTest : public zentra_test::MachineTest {
protected:
    // Instructions of another dial plan that use the given digit-analysis IDs.
    void useIds(const std::vector<int>& ids)
    {
        for (int id : ids)
            db->exec("insert into DigitDiscardInstruction (pkid, name, fkDialPlan, digitAnalysisID, "
                     "clause) values ('{6C1F0E2A-0000-4000-8000-" +
                     std::to_string(100000000000 + id) + "}', 'Other', '{6C1F0E2A-0000-4000-8000-0000000000FF}', " +
                     std::to_string(id) + ", '')");
    }

    std::string logText(const std::string& name) { return machineFile(DialPlanPaths(name).installLog()); }

    // Destroyed in reverse order: the boxes and the folders before the database.
};

}  // namespace csv_test
