// The delivered library exports the installer class and its two companions,
// and nothing else of ours.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "support/TestSupport.h"

namespace {

std::string RunCommand(const std::string& command)
{
    std::string output;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return output;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe.get())) > 0)
        output.append(buffer, n);
    return output;
}

TEST(ExportsTest, OnlyTheInstallerIsExported)
{
    const std::string library = zentra_test::BinaryDir() + "/bin/libZentraSetup.so";
    ASSERT_TRUE(zentra_test::FileExists(library));
    const std::string symbols =
        RunCommand("nm -D --defined-only -C '" + library + "' | awk '{ $1=\"\"; $2=\"\"; print substr($0,3) }'");
    ASSERT_FALSE(symbols.empty());

    bool function = false, variable = false;
    std::string line;
    for (size_t start = 0, end; start < symbols.size(); start = end + 1) {
        end = symbols.find('\n', start);
        if (end == std::string::npos)
            end = symbols.size();
        line = symbols.substr(start, end - start);
        if (line.empty())
            continue;
        // Sanitizer builds add instrumentation symbols of their own.
        if (line.rfind("__odr_asan", 0) == 0 || line.rfind("__asan", 0) == 0 || line.rfind("__ubsan", 0) == 0 ||
            line.rfind("__sanitizer", 0) == 0)
            continue;
        if (line.rfind("CZentraSetup::", 0) == 0)
            continue;
        if (line == "fnZentraSetup()")
            function = true;
        else if (line == "nZentraSetup")
            variable = true;
        else if (line.find("std::") == std::string::npos && line.find("__gnu_cxx") == std::string::npos &&
                 line.rfind("_init", 0) != 0 && line.rfind("_fini", 0) != 0 && line.rfind("__bss", 0) != 0 &&
                 line.rfind("_edata", 0) != 0 && line.rfind("_end", 0) != 0)
            ADD_FAILURE() << "unexpected export: " << line;
    }
    EXPECT_TRUE(function);
    EXPECT_TRUE(variable);
    for (const char* method :
         {"CZentraSetup::DBConnection()", "CZentraSetup::ReplaceDAId(", "CZentraSetup::CopyDialPlanFile()",
          "CZentraSetup::UnInstallDialPlan(", "CZentraSetup::InsertDDIMNewDDI()", "CZentraSetup::operator=("})
        EXPECT_NE(std::string::npos, symbols.find(method)) << method;
}

}  // namespace
