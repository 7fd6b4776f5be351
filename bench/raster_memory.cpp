// Peak memory of raster re-rendering for a short and a long document. Each
// run is a child process so that its peak (ru_maxrss) is its own; pages are
// rendered one at a time, so the peak must not grow with the page count.
#include "benchpdf.h"
#include "filter/pdfdoc.h"
#include "testpdf.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

using namespace zlk::filter;

namespace {

// Child: 0 when the document was opened (and re-rendered when asked).
int Run(const zlk::test::TempDir& dir, int pages, bool render)
{
    std::string path = dir.file("doc" + std::to_string(pages) + ".pdf");
    zlk::bench::WriteOfficePdf(path, pages);
    PDFDocInfo info;
    pdfDocInfo_init(path.c_str(), info);
    if (info.pageCount != pages)
        return 1;
    if (!render)
        return 0;
    info.rasterMode = 1;
    zlk::common::UnnamedTempFile out;
    if (!PreProcess(info, out))
        return 1;
    return RasterPagesRendered() == pages ? 0 : 2;
}

}  // namespace

int main()
{
    zlk::test::TempDir dir;
    setenv("TMPDIR", dir.path().c_str(), 1);
    std::printf("%-28s %12s\n", "run", "peak RSS KiB");
    int failures = 0;
    for (bool render : {false, true}) {
        for (int pages : {2, 20}) {
            std::fflush(stdout);
            pid_t child = fork();
            if (child == 0)
                _exit(Run(dir, pages, render));
            int status = 0;
            rusage usage{};
            if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
                WEXITSTATUS(status) != 0) {
                std::printf("%s %d pages: failed\n", render ? "raster" : "open only", pages);
                ++failures;
                continue;
            }
            std::printf("%-28s %12ld\n",
                        ((render ? "raster, " : "open only, ") + std::to_string(pages) + " pages").c_str(),
                        usage.ru_maxrss);
        }
    }
    return failures ? 1 : 0;
}
