// The toolkit without a screen, for the tests and the headless host. A
// modal run executes the next script that the caller queued, which acts on
// the window as a person would; alerts take queued answers. Everything shown
// or requested is recorded.
#pragma once

#include <algorithm>
#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/widgets/toolkit.h"

namespace zlk::widgets {

class HeadlessToolkit final : public Toolkit {
public:
    using ModalScript = std::function<void(Window& window)>;

    struct ModalRun {
        std::string title;  // the window's title when the run began
        int depth = 0;  // 1 for a run that no other run encloses
        bool scripted = false;
        bool stopped = false;  // false: the script ended with the window left open
        int code = kModalResponseAbort;
    };
    struct AlertShown {
        Alert alert;
        int answer = 0;
        bool scripted = false;
        int modalDepth = 0;  // modal runs around it
    };
    struct HelpRequest {
        std::string book;
        std::string page;
        std::string anchor;
    };

    HeadlessToolkit() = default;
    ~HeadlessToolkit() override;

    // One script per coming modal run, used in order. The script runs to its
    // end; a StopModal from it (a button's action, say) ends the run with that
    // code. A script that never stops it, or a run without a script, leaves
    // the window open and answers kModalResponseAbort.
    void ScriptModal(ModalScript script) { modalScripts_.push_back(std::move(script)); }
    // Runs every modal run that has no queued script (a host that plays a
    // whole script of its own); none leaves such windows open.
    void SetModalFallback(ModalScript fallback) { modalFallback_ = std::move(fallback); }
    // The windows that exist now, in the order they were made.
    const std::vector<Window*>& Windows() const { return windows_; }
    // One answer (button index) per coming alert. An alert without an answer,
    // or with one out of its range, gets 0, the first button.
    void ScriptAlert(int buttonIndex) { alertAnswers_.push_back(buttonIndex); }
    std::size_t PendingModalScripts() const { return modalScripts_.size(); }
    std::size_t PendingAlertAnswers() const { return alertAnswers_.size(); }

    // In the order the runs began.
    const std::vector<ModalRun>& ModalRuns() const { return modalRuns_; }
    const std::vector<AlertShown>& Alerts() const { return alerts_; }
    const std::vector<HelpRequest>& HelpRequests() const { return helpRequests_; }
    int BeepCount() const { return beeps_; }

    int RunModal(Window& window) override;
    bool StopModal(int code = kModalResponseStop) override;
    int ModalDepth() const override { return static_cast<int>(sessions_.size()); }
    int RunAlert(const Alert& alert) override;
    void Beep() override { ++beeps_; }
    bool SetFocus(Widget* widget) override;
    Widget* FocusedWidget() const override { return focus_; }
    int OpenHelp(const std::string& book, const std::string& page, const std::string& anchor) override;
    // 7 points a character below U+0080, 14 for any other.
    int TextWidth(std::string_view text) const override;

protected:
    void WidgetDestroyed(const Widget& widget) override;
    void WindowCreated(Window& window) override { windows_.push_back(&window); }
    void WindowDestroyed(const Window& window) override { std::erase(windows_, &window); }

private:
    struct Session {
        std::size_t record;
        bool stopped = false;
        int code = kModalResponseAbort;
    };

    std::deque<ModalScript> modalScripts_;
    ModalScript modalFallback_;
    std::vector<Window*> windows_;
    std::deque<int> alertAnswers_;
    std::vector<Session> sessions_;
    std::vector<ModalRun> modalRuns_;
    std::vector<AlertShown> alerts_;
    std::vector<HelpRequest> helpRequests_;
    int beeps_ = 0;
    Widget* focus_ = nullptr;
};

}  // namespace zlk::widgets
