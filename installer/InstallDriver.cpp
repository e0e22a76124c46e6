#include "installer/CZentraSetup.h"

#include "installer/SqlText.h"
#include "installer/run/Installation.h"
#include "installer/run/Session.h"
#include "loader/Quillet.h"
#include "odbc/odbc.h"

int CZentraSetup::DialPlanMain(std::string name) { return zentra_run::Installation(*this).main(name, {}); }

int CZentraSetup::UpgradeDialPlan(std::string name) { return zentra_run::Installation(*this).upgrade(name, {}); }

bool CZentraSetup::CheckNewDialPlan(std::string name)
{
    zentra_run::Session step(*this);
    step.log("\n\n");
    step.log("Before the start of CheckNewDialPlan");
    const std::string sql = "select * from DialPlan where name='" + SqlQuote(name) + "'";
    step.log(sql);
    odbc::ResultSet* rows = step.query(sql);
    step.log(sql);
    step.log("\n\n");
    step.log("The Dial Plan table entries are\n");
    step.log("pkid, name, description \n");

    if (rows->next()) {
        m_dialPlanPkid = rows->getString("pkid");
        step.log(m_dialPlanPkid);
        step.log(rows->getString("name"));
        step.log(rows->getString("description"));
        step.log("\n");
        return false;
    }
    step.log("New Installation");
    return true;
}

bool CZentraSetup::ZentraInstallCSVFile(std::string path)
{
    zentra_run::Session step(*this);
    step.log("Before calling ZentraInstallCSVFile\n");
    // The loader works on a connection of its own: no cursor of ours may hold
    // the tables it writes.
    step.release();
    const int result =
        CInstallCSVFile(m_server.c_str(), m_database.c_str(), m_dbUser.c_str(), m_dbPassword.c_str(), path.c_str());
    step.log("After calling ZentraInstallCSVFile\n");
    if (result != 0) {
        step.logFormat("The CSV loader failed with result %d: ", static_cast<long>(result));
        step.log(CInstallCSVFileLastError());
        step.log("\n");
    }
    return result == 0;
}
