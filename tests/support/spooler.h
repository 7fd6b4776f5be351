// A spooler set-up for running the filter program: conversion tables, a
// filter directory with a conversion program of the test's own, a temp
// folder, and the environment CUPS gives a filter.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "process.h"
#include "testpdf.h"

namespace zlk::test {

std::string FixturePath(const std::string& relative);
std::string SamplePpd(const std::string& name);  // a PPD of data/ppd
std::string BuildDir();
std::string FilterProgram();  // the filter as installed
std::string FilterProgramWithCopy();  // the same, with the job copy enabled
// The build's plug-in bundles copied to folder/plugins as links to their
// files, so that a test can damage one; that plug-in folder.
std::string LinkedPlugins(const std::string& folder);

// Runs the job stream inspector with the development printer key on a
// stream; exitCode 0 means a valid stream, report in out, reason in err.
RunResult InspectStream(const std::string& stream);

// Records its arguments (in $FAKE_ARGS), then copies its input.
extern const char kRecordingConverter[];

class SpoolerRun {
public:
    TempDir root;
    std::string tmpdir = root.file("tmp");
    std::string argsFile = root.file("converter-args");
    std::map<std::string, std::string> env;
    std::string user = "alice";
    std::string title = "Quarterly report";
    std::string copies = "1";
    std::string options;
    std::string document;  // argv[6]; empty: the document comes on standard input
    std::string stdinPath = "/dev/null";
    // When set, asked every millisecond while the filter runs: true kills
    // it with SIGKILL (see RunOptions::killWhen).
    std::function<bool(pid_t)> killWhen;

    SpoolerRun();
    void Converter(const std::string& name, const std::string& script);
    std::string Pdf(int pages);
    RunResult Run(const std::string& program = FilterProgram(), bool closeStdout = false, int terminateAfterMs = 0);
    // Prints a two-page document (kept in document) with a test's job:
    // its options, title, user, copies and ppd (a fixture path).
    template <class Job>
    RunResult RunJob(const Job& job)
    {
        document = Pdf(2);
        options = job.options;
        title = job.title;
        user = job.user;
        copies = job.copies;
        env["PPD"] = FixturePath(job.ppd);
        return Run();
    }
    std::vector<std::string> TmpFiles() const;
};

// A job stream cut at its boundaries. ok is false when a part is missing.
struct JobStreamParts {
    bool ok = false;
    std::string header;  // UEL up to and including ENTER LANGUAGE
    std::string ticket;  // the XML ticket
    std::string pdf;  // the document
    std::string trailer;  // UEL to EOJ
};

JobStreamParts SplitJobStream(const std::string& stream);

std::vector<std::string> Lines(const std::string& text);

// The value of the header's job attribute (CNAM, DAID, ...), "<missing>"
// when it has none.
std::string Attribute(const std::string& header, const std::string& code);

}  // namespace zlk::test
