#pragma once

// The results of the installer's methods and the programs' exit statuses, by
// name. The exported methods return them as the plain integers they stand for.

namespace zentra {

// DBConnection.
enum ConnectionResult : long {
    kConnected = 0,
    // Also: no data source naming a server in the registry, or no host name to
    // compare it with.
    kConnectionFailed = 1,
    kNotPublisher = 8,
};

// CheckObsoleteTagInUse and CheckObsoleteDDIInUse.
enum CheckResult : int {
    kTagInUse = 2,
    kNoTagInUse = 3,
    kNoInstructionInUse = 4,
    kInstructionInUse = 5,
};

// DialPlanMain, and the upgrade that it runs.
enum MainResult : int {
    kUpgradeRefusedByTag = kTagInUse,
    kUpgradeRefusedByInstruction = kInstructionInUse,
    kNewInstallation = 6,
    kUpgraded = 7,
    // Refused before anything was touched: a name that cannot be used, no log,
    // a damaged delivered file, a snapshot that cannot be written.
    kRefusedBeforeChange = 12,
    // Another run removed the dial plan between the lookup and the upgrade's
    // transaction; nothing changed, and it is to be installed anew.
    kRemovedMeanwhile = 13,
};

// The database part of a new installation.
enum NewInstallationResult : int {
    kLoaded = 0,
    kDeliveredFileUnreadable = 3,
    // Another run installed the dial plan between the lookup and this run's
    // transaction; nothing changed.
    kInstalledMeanwhile = 14,
};

// UnInstallDialPlan.
enum RemovalResult : int {
    kRemoved = 0,  // or not installed: the log tells which
    kPatternsRefer = 9,
    kRouteListsRefer = 10,
    kRouteFiltersRefer = 11,
    kNameRefused = 12,
};

// A restore of a dial plan from one of its snapshots.
enum RestoreResult : int {
    kRestored = 0,
    // A route uses a tag, an instruction or the dial plan that the restore
    // would drop; told, nothing changed.
    kRestoreRefusedInUse = 5,
    // Another dial plan holds a pkid or a digit-analysis ID of the snapshot;
    // told, nothing changed.
    kRestoreRefusedByOtherPlan = 8,
    // The snapshot's deployed files could not all be put back after the
    // database was.
    kRestoreFilesNotPut = 9,
};

// zentra-setup's exit statuses; its usage text and docs/programs.md tell them.
enum SetupExit : int {
    kExitDone = 0,
    kExitUsage = 2,
    kExitFileMissing = 3,
    kExitConnectionFailed = 4,
    kExitUpgradeRefused = 5,
    kExitLoaderFailed = 6,
    kExitError = 7,
    kExitRefused = 8,
    kExitNotDeployed = 9,
    kExitNoFolder = 10,
    kExitBusy = 11,
};

// uninstall.exe's exit code.
enum UninstallExit : int {
    kUninstallDone = 0,
    kUninstallFailed = -1,
};

}  // namespace zentra
