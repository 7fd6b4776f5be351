// Opens the panels' help pages with xdg-open, and tells the person when no
// viewer could open one: xdg-open missing, or ending with a failure (no
// browser), brings an alert naming the page. xdg-open is watched without
// blocking the dialog and is nobody's child here, so closing the dialog
// never takes the browser with it.
#pragma once

#include <QObject>
#include <QString>
#include <string>
#include <vector>

#include "platform/widgets/qt/qttoolkit.h"

namespace zlk::host::gui {

class HelpOpener final : public QObject {
public:
    explicit HelpOpener(widgets::QtToolkit& toolkit);
    ~HelpOpener() override;
    HelpOpener(const HelpOpener&) = delete;
    HelpOpener& operator=(const HelpOpener&) = delete;

    // Makes this the toolkit's help opener; it must outlive the toolkit's use.
    void Install();
    // Starts xdg-open (found on PATH) on a file: URL. 0 when it started; -1
    // when it could not, with the alert already on its way.
    int Open(const std::string& url);
    // Pages whose viewer has not said yet whether it opened them.
    int Pending() const { return static_cast<int>(readEnds_.size()); }

private:
    void Watch(int readEnd, const QString& page);
    void Tell(const QString& page);

    widgets::QtToolkit& toolkit_;
    std::vector<int> readEnds_;  // one pipe from each watcher still running
};

// The alert's text and advice, in the desktop's language.
QString NoHelpViewerText(const QString& page);
QString NoHelpViewerAdvice();

}  // namespace zlk::host::gui
