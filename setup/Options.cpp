#include "setup/Options.h"

#include "platform/Platform.h"

namespace setup {

const char* const kUsageText =
    "Usage: zentra-setup [--json] [--lock-timeout SECONDS] [--dry-run] NAME\n"
    "  or:  zentra-setup [--json] [--lock-timeout SECONDS] [--dry-run] --restore NAME [SNAPSHOT]\n"
    "  or:  zentra-setup [--json] --status [NAME]\n"
    "  or:  zentra-setup [--json] --history NAME\n"
    "  or:  zentra-setup [--json] --export NAME [FILE]\n"
    "  or:  zentra-setup [--json] --connect-only\n"
    "  or:  zentra-setup --help | --version\n"
    "\n"
    "Installs the dial plan NAME into the Orvilex configuration database, or upgrades\n"
    "the installed one, from the files in the current folder: NAME.csv, NAME,\n"
    "NAMEReadMe.txt and uninstall.exe. On a machine that is not the database\n"
    "publisher it only deploys the dial plan's files. Every upgrade, removal and\n"
    "restore first keeps a snapshot of what it replaces in the dial plan's folder,\n"
    "from which --restore takes the change back.\n"
    "\n"
    "  --dry-run        do everything up to the changes, make them in a transaction\n"
    "                   that is rolled back, and tell what the run would change;\n"
    "                   nothing is kept (its log is NAME_preview.txt in the dial\n"
    "                   plan's folder, when that exists); exits as the run would\n"
    "  --restore NAME [SNAPSHOT]\n"
    "                   put the dial plan back to a snapshot, by default the latest:\n"
    "                   its rows and its deployed files exactly as they were\n"
    "  --status [NAME]  the installed dial plans; with NAME, that dial plan against\n"
    "                   NAME.csv of the current folder, and the routes that use it\n"
    "  --history NAME   every run of the dial plan, oldest first, and the snapshot\n"
    "                   that each took\n"
    "  --export NAME [FILE]\n"
    "                   write the installed dial plan as a dial-plan file, to FILE\n"
    "                   or to standard output\n"
    "  --connect-only   connect to the configuration database, print \"DBConnection: N\"\n"
    "                   and exit with N (0 connected, 1 failed, 8 not the publisher)\n"
    "  --json           one JSON document on standard output (docs/json.md)\n"
    "  --lock-timeout SECONDS\n"
    "                   how long to wait while another run or session holds the\n"
    "                   configuration database (default 30; ZENTRA_LOCK_TIMEOUT)\n"
    "  --help           print this text\n"
    "  --version        print the version\n"
    "\n"
    "Exit status:\n"
    "   0  installed, upgraded, restored, or files deployed on a machine that is not\n"
    "      the publisher (--dry-run: the run would do so; --status, --history,\n"
    "      --export: done)\n"
    "   2  usage error, or a dial plan name that cannot be used\n"
    "   3  the delivered file NAME.csv is missing, or could not be prepared for loading\n"
    "   4  the connection to the configuration database failed\n"
    "   5  the upgrade or the restore was refused: something it drops is still in\n"
    "      use; nothing changed\n"
    "   6  the CSV loader failed; no file was deployed\n"
    "   7  a database error or another error stopped the run\n"
    "   8  refused before anything was changed: a damaged NAME.csv, a snapshot that\n"
    "      cannot be written or read, rows of another dial plan in a restore's way,\n"
    "      a dial plan that is not installed (--export), or this machine is not the\n"
    "      publisher (--status, --restore, --export)\n"
    "   9  the dial-plan file could not be deployed, or a restore's files put back\n"
    "  10  a folder the files are deployed into could not be created\n"
    "  11  another run or session held the configuration database longer than the\n"
    "      wait allows; nothing changed\n";

namespace {

bool IsOption(const std::string& argument) { return argument.size() > 1 && argument[0] == '-'; }

// The options that choose what the program does, and how many names each takes.
const struct {
    const char* option;
    Mode mode;
    std::size_t fewestNames, mostNames;
} kModes[] = {
    {"--restore", Mode::Restore, 1, 2},          {"--export", Mode::Export, 1, 2},
    {"--history", Mode::History, 1, 1},          {"--status", Mode::Status, 0, 1},
    {"--connect-only", Mode::ConnectOnly, 0, 0},
};

// --lock-timeout SECONDS or --lock-timeout=SECONDS at arguments[k] (k moves
// past its value): applied here, since the library reads it from the
// environment. False, with the problem, when it cannot be used.
bool LockTimeout(const std::vector<std::string>& arguments, std::size_t& k, std::string& problem)
{
    const std::string& argument = arguments[k];
    std::string seconds;
    if (argument == "--lock-timeout") {
        if (++k == arguments.size()) {
            problem = "--lock-timeout needs a number of seconds";
            return false;
        }
        seconds = arguments[k];
    } else {
        seconds = argument.substr(argument.find('=') + 1);
    }
    if (seconds.empty() || seconds.find_first_not_of("0123456789") != std::string::npos || seconds.size() > 5) {
        problem = "--lock-timeout takes a whole number of seconds, not \"" + seconds + "\"";
        return false;
    }
    platform::SetProcessEnvironment("ZENTRA_LOCK_TIMEOUT", seconds);
    return true;
}

// One option or name; false, with the problem, when it cannot be used.
bool Take(const std::vector<std::string>& arguments, std::size_t& k, Options& options, bool& modeGiven,
          std::vector<std::string>& names, std::string& problem)
{
    const std::string& argument = arguments[k];
    if (argument == "--json") {
        options.json = true;
        return true;
    }
    if (argument == "--dry-run") {
        options.preview = true;
        return true;
    }
    if (argument == "--lock-timeout" || argument.rfind("--lock-timeout=", 0) == 0)
        return LockTimeout(arguments, k, problem);
    for (const auto& mode : kModes) {
        if (argument != mode.option)
            continue;
        if (modeGiven && options.mode != mode.mode) {
            problem = "choose one of --restore, --export, --history, --status and --connect-only";
            return false;
        }
        options.mode = mode.mode;
        modeGiven = true;
        return true;
    }
    if (IsOption(argument)) {
        problem = "unknown option " + argument;
        return false;
    }
    names.push_back(argument);
    return true;
}

// Whether the names given suit the mode.
bool CheckNames(const Options& options, const std::vector<std::string>& names, std::string& problem)
{
    std::size_t fewest = 1, most = 1;
    const char* what = "";
    for (const auto& mode : kModes)
        if (mode.mode == options.mode)
            fewest = mode.fewestNames, most = mode.mostNames, what = mode.option;
    if (options.preview && options.mode != Mode::Install && options.mode != Mode::Restore)
        problem = std::string("--dry-run goes with an installation or --restore, not with ") + what;
    else if (options.json && options.mode == Mode::Export && names.size() < 2)
        problem = "--export --json needs a FILE: the JSON document takes standard output";
    else if (names.size() < fewest)
        problem = "the dial plan's name is missing";
    else if (names.size() > most && most == 0)
        problem = std::string(what) + " takes no dial plan name";
    else if (names.size() > most && most == 1)
        problem = "one dial plan name at most";
    else if (names.size() > most)
        problem = std::string(what) + " takes a dial plan name and one more at most";
    return problem.empty();
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& arguments, Options& options, std::string& problem)
{
    bool modeGiven = false;
    std::vector<std::string> names;
    for (std::size_t k = 0; k < arguments.size(); ++k) {
        if (arguments[k] == "--help" || arguments[k] == "-h") {
            options.mode = Mode::Help;
            return true;
        }
        if (arguments[k] == "--version") {
            options.mode = Mode::Version;
            return true;
        }
        if (!Take(arguments, k, options, modeGiven, names, problem))
            return false;
    }
    if (!CheckNames(options, names, problem))
        return false;
    if (!names.empty())
        options.name = names.front();
    if (names.size() > 1)
        options.second = names[1];
    return true;
}

}  // namespace setup
