// The actions a person takes in a print dialog, written down: zlk-print
// plays them on the panels and on the windows they open.
//
// One action a line; "#" starts a comment line. CONTROL is a tag number, or
// the name of what the control sets (a PPD option keyword such as ZLKStaple,
// or a ticket key name such as PrintTypeTicketKey), or a window button's
// name: ok, cancel, restore. PANEL/CONTROL names the control of one panel
// (PrintType/101) where several panels have one of that tag or name; PANEL
// is the panel's kind (PrintType, JobAccounting, PrintFeatures).
//   choose CONTROL ITEM   an item of a list, by key, title or #position
//   check CONTROL         a check box on (uncheck: off)
//   type CONTROL TEXT     the text typed into a field (the rest of the line;
//                         \s a space at either end, \t, \\); nothing clears it
//   step CONTROL NUMBER   a stepper to that value
//   press CONTROL         a button, or a radio button
//   ok, cancel, restore   the open window's button
//   answer N              the next alert is answered with its N-th button
//   show PANEL            the panel shown again (it applies what the other
//                         panels were given since)
//   print                 the actions after it are for the windows that open
//                         when the job is printed
// Actions run in the window a previous action opened until it closes; a
// window that opens when no action is left is cancelled.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/printdialog.h"
#include "platform/widgets/headless.h"

namespace zlk::host {

struct ScriptStep {
    int line = 0;
    std::string verb;
    std::string control;
    std::string value;
};

// The steps of a script; nothing, with "line N: why", when a line is not an
// action or the text is not UTF-8.
std::optional<std::vector<ScriptStep>> ParseScript(std::string_view text, std::string* error);

class ScriptRunner {
public:
    ScriptRunner(widgets::HeadlessToolkit& toolkit, PrintDialog& dialog, std::vector<ScriptStep> steps);
    ~ScriptRunner();
    // The actions up to "print" (or all); false with the reason when one
    // names no control or an item that cannot be chosen.
    bool RunPanelSteps();
    const std::string& Error() const { return error_; }
    // Windows that opened with no action left for them.
    const std::vector<std::string>& Cancelled() const { return cancelled_; }

private:
    void RunIn(widgets::Window* window);
    bool Do(const ScriptStep& step, widgets::Window* window);
    // The control of that tag or name (PANEL/CONTROL: of that panel only).
    // Where several panels have one, the one that fits the action; null,
    // with a problem, when several fit or the panel is unknown.
    widgets::Widget* Find(const std::string& control, widgets::Window* window, std::string* problem,
                          const std::function<bool(const widgets::Widget&)>& fits);
    platform::PDEPanel* FindPanel(const std::string& name) const;
    bool Fail(const ScriptStep& step, const std::string& why);

    widgets::HeadlessToolkit& toolkit_;
    PrintDialog& dialog_;
    std::vector<ScriptStep> steps_;
    std::size_t next_ = 0;
    bool printing_ = false;
    std::string error_;
    std::vector<std::string> cancelled_;
};

}  // namespace zlk::host
