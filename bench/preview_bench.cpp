// The print preview of a 10-page office document: the first preview after
// opening (document loaded, pages rendered), and a change of settings once
// the pages are rendered, as the dialog sees it. Goal for a change: 150 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTest>
#include <condition_variable>
#include <mutex>

#include "benchpdf.h"
#include "host/gui/preview.h"
#include "testpdf.h"

using namespace zlk::host::gui;

namespace {

zlk::test::TempDir* gDir = nullptr;
const QSizeF kLetter{612, 792};

std::string Document()
{
    static const std::string path = [] {
        const std::string file = gDir->file("office10.pdf");
        zlk::bench::WriteOfficePdf(file, 10);
        return file;
    }();
    return path;
}

// Settings a person goes through in the dialog.
std::vector<PreviewSettings> Changes()
{
    const std::vector<std::vector<PreviewOption>> options = {
        {},
        {{"Duplex", "DuplexNoTumble"}, {"ZLKStaple", "UpperLeftSinglePort"}},
        {{"number-up", "2"}, {"Duplex", "DuplexNoTumble"}},
        {{"number-up", "4"}, {"orientation-requested", "4"}, {"ZLKPunch", "Left"}},
        {{"ZLKSignature", "LeftSigCenterStaple"}},
        {{"number-up", "16"}, {"ZLKStaple", "LeftDoublePort"}},
    };
    std::vector<PreviewSettings> settings;
    for (const auto& o : options) {
        settings.push_back(PreviewSettingsFrom(o, kLetter));
    }
    return settings;
}

class Waiter {
public:
    PreviewEngine::Done Sink()
    {
        return [this](std::uint64_t request, std::shared_ptr<const PreviewImages> images) {
            std::lock_guard lock(mutex_);
            last_ = request;
            images_ = std::move(images);
            arrived_.notify_all();
        };
    }
    std::shared_ptr<const PreviewImages> Wait(std::uint64_t request)
    {
        std::unique_lock lock(mutex_);
        arrived_.wait(lock, [&] { return last_ == request; });
        return images_;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::uint64_t last_ = 0;
    std::shared_ptr<const PreviewImages> images_;
};

// From a new engine to the first sheets shown: load, render, compose.
void BM_FirstPreview(benchmark::State& state)
{
    const std::string document = Document();
    const PreviewSettings settings = Changes()[static_cast<std::size_t>(state.range(0))];
    long pages = 0;
    for (auto _ : state) {
        Waiter waiter;
        PreviewEngine engine(waiter.Sink());
        if (!waiter.Wait(engine.Request(document, settings))->problem.empty()) {
            state.SkipWithError("no preview");
        }
        pages = engine.PagesRendered();
    }
    state.counters["pages rendered"] = static_cast<double>(pages);
}
BENCHMARK(BM_FirstPreview)->Arg(0)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

// From a change of settings to the new sheets, pages already rendered.
void BM_SettingChange(benchmark::State& state)
{
    const std::vector<PreviewSettings> changes = Changes();
    Waiter waiter;
    PreviewEngine engine(waiter.Sink());
    for (const PreviewSettings& s : changes) {
        waiter.Wait(engine.Request(Document(), s));
    }
    const long rendered = engine.PagesRendered();
    std::size_t next = 0;
    for (auto _ : state) {
        waiter.Wait(engine.Request(Document(), changes[next++ % changes.size()]));
    }
    if (engine.PagesRendered() != rendered) {
        state.SkipWithError("pages were rendered again");
    }
}
BENCHMARK(BM_SettingChange)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same through the widget, up to its update on the GUI thread.
void BM_WidgetSettingChange(benchmark::State& state)
{
    const std::vector<PreviewSettings> changes = Changes();
    PreviewWidget widget;
    widget.resize(520, 360);
    widget.SetDocument(Document());
    for (const PreviewSettings& s : changes) {
        widget.SetSettings(s);
        if (!QTest::qWaitFor([&] { return !widget.Busy(); }, 60000)) {
            state.SkipWithError("no preview");
            return;
        }
    }
    std::size_t next = 0;
    for (auto _ : state) {
        widget.SetSettings(changes[next++ % changes.size()]);
        if (!QTest::qWaitFor([&] { return !widget.Busy(); }, 60000)) {
            state.SkipWithError("no update");
        }
    }
}
BENCHMARK(BM_WidgetSettingChange)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    zlk::test::TempDir dir;
    gDir = &dir;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
