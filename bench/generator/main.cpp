// zentra-bench-gen: writes the files of one benchmark run.
//
//   zentra-bench-gen --out DIR [--name NAME] [--tags N] [--instructions N]
//                    [--members N] [--change SHARE] [--seed N] [--other-plans N]
//
// DIR/v1 and DIR/v2 hold what a user runs zentra-setup in: NAME.csv, the
// dial-plan file NAME, NAMEReadMe.txt. v1 is installed, v2 upgrades it: a share
// of the tags and of the non-predefined instructions (default 0.10) replaced by
// as many new ones, a new description and new predefined clauses.
// DIR/host.sql fills a fresh database of the stand-in schema with other dial
// plans and their routes; DIR/routing.sql sets up routes on the installed plan
// (they use only rows that v2 keeps) and DIR/detach.sql removes them again.
// DIR/install.sql is the new installation's reference script: the rows the
// loader inserts, in one transaction, for sqlite3/psql (the upgrade's and the
// removal's are recorded from the installer by zentra-bench-record).
// DIR/summary.txt lists the counts as key=value lines.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>

#include "BenchOutput.h"
#include "BenchPlan.h"

namespace {

void MakeFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
}

void Write(const std::string& path, const std::string& content)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    if (std::fclose(file) != 0 || !written)
        throw std::runtime_error("cannot write " + path);
}

// The dial-plan file that the call-processing service loads: its content is
// the service's business; one line per tag gives it a plausible size.
std::string ServiceFile(const bench::DialPlan& plan, const char* version)
{
    std::string text = "# Dial plan " + plan.name + ", " + version + "\r\n";
    for (const zentra_test::Tag& tag : plan.tags)
        text += "tag " + tag.tag + " operator-max " + tag.operatorMax + "\r\n";
    return text;
}

std::string ReadMe(const bench::DialPlan& plan, const char* version)
{
    return "Dial plan " + plan.name + " (" + version + ")\r\n\r\n" + plan.description + "\r\n\r\nRun uninstall.exe " +
           plan.name + " to remove it.\r\n";
}

void WriteVersion(const std::string& folder, const bench::DialPlan& plan, const char* version)
{
    MakeFolder(folder);
    Write(folder + "/" + plan.name + ".csv", zentra_test::CsvText(plan));
    Write(folder + "/" + plan.name, ServiceFile(plan, version));
    Write(folder + "/" + plan.name + "ReadMe.txt", ReadMe(plan, version));
}

std::size_t Count(const char* option, const char* value)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long long number = std::strtoull(value, &end, 10);
    if (errno != 0 || end == value || *end != '\0' || value[0] == '-')
        throw std::invalid_argument(std::string(option) + " wants a number, not \"" + value + "\"");
    return static_cast<std::size_t>(number);
}

const char* const kUsage = "usage: zentra-bench-gen --out DIR [--name NAME] [--tags N] [--instructions N]\n"
                           "                        [--members N] [--change SHARE] [--seed N] [--other-plans N]\n";

}  // namespace

int main(int argc, char** argv)
{
    try {
        bench::Options options;
        std::string out;
        for (int i = 1; i < argc; ++i) {
            const std::string option = argv[i];
            if (option == "--help" || option == "-h") {
                std::cout << kUsage;
                return 0;
            }
            if (i + 1 >= argc)
                throw std::invalid_argument(option + " wants a value");
            const char* value = argv[++i];
            if (option == "--out")
                out = value;
            else if (option == "--name")
                options.name = value;
            else if (option == "--tags")
                options.tags = Count(argv[i - 1], value);
            else if (option == "--instructions")
                options.instructions = Count(argv[i - 1], value);
            else if (option == "--members")
                options.members = Count(argv[i - 1], value);
            else if (option == "--seed")
                options.seed = Count(argv[i - 1], value);
            else if (option == "--other-plans")
                options.otherPlans = Count(argv[i - 1], value);
            else if (option == "--change") {
                char* end = nullptr;
                options.change = std::strtod(value, &end);
                if (end == value || *end != '\0')
                    throw std::invalid_argument("--change wants a share such as 0.1");
            } else
                throw std::invalid_argument("unknown option " + option);
        }
        if (out.empty())
            throw std::invalid_argument("--out is required");

        const bench::Scenario scenario = bench::BuildScenario(options);
        const auto install = bench::InstallStatements(scenario);

        MakeFolder(out);
        WriteVersion(out + "/v1", scenario.first, "first version");
        WriteVersion(out + "/v2", scenario.second, "second version");
        Write(out + "/host.sql", bench::Script(bench::HostStatements(scenario)));
        Write(out + "/routing.sql", bench::Script(bench::PlanRoutingStatements(scenario)));
        Write(out + "/detach.sql", bench::Script(bench::DetachStatements(scenario)));
        Write(out + "/install.sql", bench::Script(install));

        const bench::DialPlan& first = scenario.first;
        const bench::DialPlan& second = scenario.second;
        std::string summary;
        auto add = [&summary](const std::string& key, const std::string& value) {
            summary += key + "=" + value + "\n";
        };
        add("name", first.name);
        add("plan_pkid", first.pkid);
        add("tags", std::to_string(first.tags.size()));
        add("instructions", std::to_string(first.instructions.size()));
        add("members", std::to_string(first.members.size()));
        add("rows", std::to_string(1 + first.tags.size() + first.instructions.size() + first.members.size()));
        add("v2_tags", std::to_string(second.tags.size()));
        add("v2_instructions", std::to_string(second.instructions.size()));
        add("v2_members", std::to_string(second.members.size()));
        add("dropped_tags", std::to_string(scenario.droppedTags));
        add("dropped_instructions", std::to_string(scenario.droppedInstructions));
        add("other_plans", std::to_string(scenario.others.size()));
        add("routing_rows",
            std::to_string(scenario.planRouting.filters.size() + scenario.planRouting.filterMembers.size() +
                           scenario.planRouting.patterns.size() + scenario.planRouting.routeLists.size()));
        add("install_statements", std::to_string(install.size()));
        Write(out + "/summary.txt", summary);
        return 0;
    } catch (const std::invalid_argument& error) {
        std::cerr << "zentra-bench-gen: " << error.what() << "\n" << kUsage;
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "zentra-bench-gen: " << error.what() << "\n";
        return 1;
    }
}
