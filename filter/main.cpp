// ZLKPrintFilter: run by the spooler once per job, writes the printer's job
// stream to standard output.
//
//   ZLKPrintFilter job-id user title copies options [file]

#include <cstdio>
#include <string>
#include <vector>

#include "common/fd.h"
#include "common/ppdfile.h"
#include "filter/hostid.h"
#include "filter/jobstream.h"
#include "filter/options.h"
#include "filter/output.h"
#include "filter/passthrough.h"
#include "filter/pipeline.h"
#include "filter/signals.h"
#include "filter/standardattrs.h"
#include "filter/ticket.h"

using namespace zlk::filter;

namespace {

// The whole job, with every failure-prone step done before the first byte
// reaches standard output: the spooler then gets a whole job or nothing.
int RunJob(int argc, const char* const* argv)
{
    const FilterEnvironment env = FilterEnvironment::FromProcess();
    if (env.contentType == kJobStreamType) {
        // Made by the driver on the desktop: printed as it was made there.
        Report(Severity::Info, "The job is already a job stream for this printer: sent on unchanged.");
        return PassJobStreamThrough(argc, argv) ? 0 : 1;
    }
    JobCopy jobCopy;
    jobCopy.Open(ZLK_JOBCOPY_MARKER, env.tmpdir.c_str());

    printoptions options{};
    DocumentNames names{};
    PDFDocInfo docInfo;
    // Read once for every step: a big PPD takes longer to parse than the
    // rest of a small job's own work.
    const zlk::common::PPDHandle ppd = zlk::common::OpenPPD(env.ppdPath.c_str());
    GetPrintOptions(argv, ppd, options, names);
    // Before any conversion: a job that asked to be held must not print
    // openly, nor under a passcode other than the one asked for.
    const std::string refusal = ApplyStandardJobAttributes(argv[5], argv[2], ReadPasscodeRule(ppd), options);
    if (!refusal.empty()) {
        Report(Severity::Error, "The job is not printed: %s.", refusal.c_str());
        return 1;
    }

    // Unnamed (see ProcessData): gone with the process however it ends.
    zlk::common::UnnamedTempFile pdf;
    if (!ProcessData(argc, argv, env, ppd, pdf, docInfo)) {
        // Fixed diagnostic line after the failed step's own message (see output.h).
        Utlfputs("Process Data fail\n", stderr);
        return 1;
    }
    if (CancelJob) {
        Report(Severity::Error, "The job was cancelled.");
        return 1;
    }
    if (!pdf) {
        Report(Severity::Error, "Unable to read the document to print.");
        return 1;
    }

    char localHostName[kHostNameSize];
    JobHostName(argv[5], IsUTF8Printer(options), localHostName);
    OutputXPJLCommand(argv, options, names, localHostName);
    OutputPrintTicketCommand(argv, options, names);
    WritePDFData(pdf);
    pdf.reset();
    OutputXPJLTrailer(argv, options);

    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        Report(Severity::Error, "Unable to write the job to the printer.");
        return 1;
    }
    jobCopy.Close();
    return CancelJobForPipe ? 1 : 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    InstallSignalHandlers();
    if (argc < 6 || argc > 7) {
        std::fprintf(stderr, "Usage: %s job-id user title copies options [file]\n",
                     argc > 0 ? argv[0] : "ZLKPrintFilter");
        return 1;
    }
    // Copies reach the stream as a number whatever the command line said.
    const std::string copies = ReadCopies(argv[4]);
    std::vector<const char*> args(argv, argv + argc);
    args[4] = copies.c_str();
    args.push_back(nullptr);
    return RunJob(argc, args.data());
}
