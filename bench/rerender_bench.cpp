// Re-rendering speed: pages copied with a turn (vector) and pages made into
// 300 dpi images (raster).
#include "benchpdf.h"
#include "filter/pdfdoc.h"
#include "testpdf.h"

#include <benchmark/benchmark.h>
#include <qpdf/QPDF.hh>

#include <unistd.h>

#include <cstdlib>

using namespace zlk::filter;

namespace {

zlk::test::TempDir* gDir = nullptr;

std::string Document(int pages)
{
    std::string path = gDir->file("office" + std::to_string(pages) + ".pdf");
    if (access(path.c_str(), F_OK) != 0)
        zlk::bench::WriteOfficePdf(path, pages);
    return path;
}

// Building the new document in memory: the page copies and their turns.
void BM_ProcessPDF(benchmark::State& state)
{
    PDFDocInfo info;
    pdfDocInfo_init(Document(static_cast<int>(state.range(0))).c_str(), info);
    info.rotation = 180;
    for (auto _ : state) {
        QPDF out;
        out.emptyPDF();
        if (processPDF(info, out) != 0)
            state.SkipWithError("processPDF failed");
    }
    state.counters["pages/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * info.pageCount, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ProcessPDF)->Arg(500)->Unit(benchmark::kMillisecond);

// The whole re-rendering step as the filter runs it, file written.
void BM_PreProcess(benchmark::State& state, int raster)
{
    PDFDocInfo info;
    pdfDocInfo_init(Document(static_cast<int>(state.range(0))).c_str(), info);
    info.rotation = 180;
    info.rasterMode = raster;
    long rendered = RasterPagesRendered();
    for (auto _ : state) {
        zlk::common::UnnamedTempFile out;
        if (!PreProcess(info, out)) {
            state.SkipWithError("PreProcess failed");
            break;
        }
    }
    state.counters["pages/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * info.pageCount, benchmark::Counter::kIsRate);
    if (raster)
        state.counters["renders/page"] =
            static_cast<double>(RasterPagesRendered() - rendered) / (state.iterations() * info.pageCount);
}
BENCHMARK_CAPTURE(BM_PreProcess, vector, 0)->Arg(500)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PreProcess, raster, 1)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    zlk::test::TempDir dir;
    gDir = &dir;
    setenv("TMPDIR", dir.path().c_str(), 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
