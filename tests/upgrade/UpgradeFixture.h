#pragma once

// An installed dial plan and the next version of its file, built from one
// model: installed with SQL, written in the delivered file format.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "installer/CZentraSetup.h"
#include "installer/SqlText.h"
#include "installer/run/DialPlanPaths.h"
#include "odbc/odbc.h"
#include "support/InstallerProbe.h"
#include "support/DialPlanModel.h"
#include "support/MachineTest.h"
#include "support/TestSupport.h"

namespace upgrade_test {

using namespace zentra_test;

class UpgradeTest : public zentra_test::MachineTest {
protected:
    const zentra_run::DialPlanPaths kFoo{"Foo"};

    void SetUp() override
    {
        MachineTest::SetUp();
        if (IsSkipped())
            return;
        std::filesystem::create_directories(hostPath(kFoo.folder()));
    }

    // into: the table and its columns.
    void insert(const std::string& into, const std::vector<std::string>& values)
    {
        std::string sql = "insert into " + into + " values ('" + SqlQuote(values.at(0)) + "'";
        for (std::size_t k = 1; k < values.size(); ++k)
            sql += ", '" + SqlQuote(values[k]) + "'";
        db->exec(sql + ")");
    }
    void install(const DialPlan& plan) { InsertDialPlan(*db, plan); }
    void writeFile(const DialPlan& plan) { writeText(CsvText(plan)); }
    void writeText(const std::string& text) { zentra_test::WriteFile(work->path() + "/Foo.csv", text); }
    std::string logText() const  // "" when there is none
    {
        const std::string path = hostPath(kFoo.installLog());
        return zentra_test::FileExists(path) ? zentra_test::ReadFile(path) : std::string();
    }
    void removeLog() const { std::remove(hostPath(kFoo.installLog()).c_str()); }

    // UpgradeDialPlan("Foo") on an installer object connected to the test
    // database, with the log path and dial plan pkid that the install driver
    // would have set.
    int upgrade(CZentraSetup& setup, const DialPlan& installed)
    {
        CZentraSetupTestProbe probe(setup);
        probe.connection().reset(odbc::DriverManager::getConnection(db->connectString()));
        probe.setLogPath(kFoo.installLog());
        probe.dialPlanPkid() = installed.pkid;
        return probe.UpgradeDialPlan("Foo");
    }

    RowList rows() { return db->dialPlanRows(); }
};

}  // namespace upgrade_test
