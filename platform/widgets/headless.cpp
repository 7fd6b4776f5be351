#include "platform/widgets/headless.h"

#include <algorithm>

namespace zlk::widgets {

HeadlessToolkit::~HeadlessToolkit() = default;

int HeadlessToolkit::RunModal(Window& window)
{
    window.Show();
    const std::size_t record = modalRuns_.size();
    modalRuns_.push_back({window.Title(), ModalDepth() + 1, false, false, kModalResponseAbort});
    sessions_.push_back({record});
    if (!modalScripts_.empty()) {
        ModalScript script = std::move(modalScripts_.front());
        modalScripts_.pop_front();
        modalRuns_[record].scripted = true;
        script(window);
    } else if (modalFallback_) {
        modalRuns_[record].scripted = true;
        modalFallback_(window);
    }
    // Runs nest strictly, so the innermost session is this run's.
    const Session session = sessions_.back();
    sessions_.pop_back();
    modalRuns_[record].stopped = session.stopped;
    modalRuns_[record].code = session.stopped ? session.code : kModalResponseAbort;
    return modalRuns_[record].code;
}

bool HeadlessToolkit::StopModal(int code)
{
    if (sessions_.empty()) {
        return false;
    }
    sessions_.back().stopped = true;
    sessions_.back().code = code;
    return true;
}

int HeadlessToolkit::RunAlert(const Alert& alert)
{
    AlertShown shown{alert, 0, false, ModalDepth()};
    if (!alertAnswers_.empty()) {
        const int answer = alertAnswers_.front();
        alertAnswers_.pop_front();
        const int buttons = std::max<int>(1, static_cast<int>(alert.buttons.size()));
        shown.scripted = true;
        shown.answer = answer >= 0 && answer < buttons ? answer : 0;
    }
    alerts_.push_back(shown);
    return shown.answer;
}

bool HeadlessToolkit::SetFocus(Widget* widget)
{
    if (widget == focus_) {
        return true;
    }
    if (widget != nullptr && (!widget->AcceptsFocus() || !widget->IsReachable())) {
        return false;
    }
    MoveFocus(focus_, widget);
    return true;
}

int HeadlessToolkit::OpenHelp(const std::string& book, const std::string& page, const std::string& anchor)
{
    helpRequests_.push_back({book, page, anchor});
    return 0;
}

int HeadlessToolkit::TextWidth(std::string_view text) const
{
    int width = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            width += 7;
        } else if ((byte & 0xC0) != 0x80) {
            width += 14;
        }
    }
    return width;
}

void HeadlessToolkit::WidgetDestroyed(const Widget& widget)
{
    if (focus_ == &widget) {
        focus_ = nullptr;
    }
}

}  // namespace zlk::widgets
