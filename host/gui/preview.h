// The live print preview: the first sheets of the job as they will come
// out, front and back, with the pages placed and the staples and punch
// holes drawn. Pages are rendered once in a worker thread and kept; a change
// of settings only lays the sheets out again.
#pragma once

#include <QImage>
#include <QWidget>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/gui/previewlayout.h"

class QLabel;
class QToolButton;

namespace zlk::host::gui {

struct PreviewImages {
    struct Sheet {
        QImage front;
        QImage back;  // null when one-sided
    };
    std::vector<Sheet> sheets;  // the first sheets of the job
    int totalSheets = 0;  // of the whole job
    int documentPages = 0;
    std::string problem;  // why there is nothing to show; empty when fine
};

// Renders and lays out in its own thread; knows nothing of widgets.
class PreviewEngine {
public:
    // Called on the worker thread with the request's number, only for a
    // request no later one superseded before it was done.
    using Done = std::function<void(std::uint64_t request, std::shared_ptr<const PreviewImages> images)>;
    explicit PreviewEngine(Done done, int longSidePixels = 640);
    ~PreviewEngine();
    PreviewEngine(const PreviewEngine&) = delete;
    PreviewEngine& operator=(const PreviewEngine&) = delete;

    // Starts a preview, abandoning the one in progress; answers its number.
    std::uint64_t Request(const std::filesystem::path& document, const PreviewSettings& settings);
    // Pages rendered since the start (each page once per document).
    long PagesRendered() const;

    // The preview takes the first sheets while their source pages number at
    // most this (or one sheet side's worth); the first sheet always.
    static constexpr int kPreviewPages = 8;

private:
    struct Job {
        std::uint64_t number = 0;
        std::filesystem::path document;
        PreviewSettings settings;
    };
    struct Renderer;

    void Run();
    bool Superseded() const;
    std::shared_ptr<const PreviewImages> Work(const Job& job);

    Done done_;
    const int longSidePixels_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Job> pending_;
    std::uint64_t lastNumber_ = 0;
    bool stop_ = false;
    std::unique_ptr<Renderer> renderer_;  // the worker's only
    std::thread worker_;  // last: starts after everything it uses
};

class PreviewCanvas;

// The widget the print window embeds. Give it the document and the job's
// options in any order, and again whenever they change.
class PreviewWidget final : public QWidget {
public:
    explicit PreviewWidget(QWidget* parent = nullptr);
    ~PreviewWidget() override;

    void SetDocument(const std::filesystem::path& pdf);
    void SetSettings(const PreviewSettings& settings);
    void SetJobOptions(const std::vector<PreviewOption>& options, QSizeF pagePoints)
    {
        SetSettings(PreviewSettingsFrom(options, pagePoints));
    }
    void SetJobOptions(const std::vector<PreviewOption>& options, ppd_file_t* ppd)
    {
        SetSettings(PreviewSettingsFrom(options, ppd));
    }
    // Runs on the GUI thread each time the preview of the latest document
    // and settings is shown.
    void OnUpdated(std::function<void()> updated) { updated_ = std::move(updated); }

    // Whether the preview of the latest document and settings is still being made.
    bool Busy() const { return shown_ != requested_; }
    int SheetCount() const;  // sheets previewed
    int TotalSheets() const;  // of the whole job
    int CurrentSheet() const { return current_; }
    void ShowSheet(int index);
    QImage Front() const;
    QImage Back() const;  // null when one-sided
    QString Problem() const;

    QSize sizeHint() const override { return {360, 300}; }

private:
    void Update();
    void Receive(std::uint64_t request, std::shared_ptr<const PreviewImages> images);
    void ShowCurrent();

    std::optional<std::filesystem::path> document_;
    PreviewSettings settings_;
    std::uint64_t requested_ = 0;
    std::uint64_t shown_ = 0;
    std::shared_ptr<const PreviewImages> images_;
    int current_ = 0;
    std::function<void()> updated_;
    PreviewCanvas* canvas_ = nullptr;
    QToolButton* previous_ = nullptr;
    QToolButton* next_ = nullptr;
    QLabel* counter_ = nullptr;
    std::unique_ptr<PreviewEngine> engine_;  // last: stopped before the rest goes
};

}  // namespace zlk::host::gui
