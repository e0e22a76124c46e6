#pragma once

// What a run of zentra-setup did, or in a preview would do: said line by line
// to the person watching while it runs, and, with --json, given at the end as
// one JSON document on standard output (the lines then go to standard error).

#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "installer/run/RunReport.h"

namespace setup {

struct Outcome {
    std::string mode;  // "install", "dry-run", "restore", "export", "history", "status", "connect-only"
    std::string name;  // the dial plan, "" when none
    int exitStatus = 0;
    std::string result;              // what happened, in a word or two
    std::string road;                // "new installation", "upgrade", "files only" or ""
    std::string decidedBy;           // the step whose result decided the exit status
    std::string message;             // the last word for a person
    zentra_run::RunReport run;       // what the installer told
    nlohmann::ordered_json status;   // what --status found
    nlohmann::ordered_json history;  // what --history found
};

// How the run ends: its exit status, the step that decided it (the
// installer's own, as its report names it, when decidedBy is empty), what
// happened in a word or two, and the last word for a person.
void Decide(Outcome& outcome, int exitStatus, const std::string& decidedBy, const std::string& result,
            const std::string& message);

// The JSON document of an outcome (docs/json.md describes its fields).
nlohmann::ordered_json ToJson(const Outcome& outcome);

// Changes as JSON: for each table its added, deleted and changed rows, each
// row an object of its columns; and the counts alone.
nlohmann::ordered_json ChangesToJson(const zentra_run::PlanChanges& changes);
nlohmann::ordered_json CountsToJson(const zentra_run::PlanChanges& changes);

// The changes of a run as a person reads them, one line per added, deleted or
// changed tag and instruction, counts for the members.
void PrintChanges(std::ostream& out, const zentra_run::PlanChanges& changes);

// The lines for a person: standard output, or standard error under --json.
std::ostream& Say();
void SayToStandardError(bool toStandardError);

// A step begins ("text... ") and ends with its outcome on the same line.
void Step(const std::string& text);
void Done(const std::string& text);

}  // namespace setup
