#include "platform/widgets/toolkit.h"

#include <algorithm>

namespace zlk::widgets {

template <class T, class... Args>
std::unique_ptr<T> Toolkit::Make(Args&&... args)
{
    auto widget = std::make_unique<T>(CreationKey{}, *this, std::forward<Args>(args)...);
    WidgetCreated(*widget);
    return widget;
}

std::unique_ptr<View> Toolkit::CreateView(int tag, const Rect& frame) { return Make<View>(tag, frame); }

std::unique_ptr<Button> Toolkit::CreateButton(int tag, std::string title, const Rect& frame)
{
    return Make<Button>(tag, std::move(title), frame);
}

std::unique_ptr<CheckBox> Toolkit::CreateCheckBox(int tag, std::string title, const Rect& frame)
{
    return Make<CheckBox>(tag, std::move(title), frame);
}

std::unique_ptr<RadioButton> Toolkit::CreateRadioButton(int tag, std::string title, const Rect& frame)
{
    return Make<RadioButton>(tag, std::move(title), frame);
}

std::unique_ptr<RadioGroup> Toolkit::CreateRadioGroup(int tag, const Rect& frame)
{
    return Make<RadioGroup>(tag, frame);
}

std::unique_ptr<PopUp> Toolkit::CreatePopUp(int tag, const Rect& frame) { return Make<PopUp>(tag, frame); }

std::unique_ptr<Stepper> Toolkit::CreateStepper(int tag, const Rect& frame, int min, int max, int increment)
{
    auto stepper = Make<Stepper>(tag, frame);
    stepper->SetRange(min, max);
    stepper->SetIncrement(increment);
    return stepper;
}

std::unique_ptr<TextField> Toolkit::CreateTextField(int tag, const Rect& frame) { return Make<TextField>(tag, frame); }

std::unique_ptr<Label> Toolkit::CreateLabel(int tag, std::string text, const Rect& frame)
{
    return Make<Label>(tag, std::move(text), frame);
}

std::unique_ptr<GroupBox> Toolkit::CreateGroupBox(int tag, std::string title, const Rect& frame)
{
    return Make<GroupBox>(tag, std::move(title), frame);
}

std::unique_ptr<TabView> Toolkit::CreateTabView(int tag, const Rect& frame) { return Make<TabView>(tag, frame); }

std::unique_ptr<TabPage> Toolkit::CreateTabPage(int tag, std::string title)
{
    return Make<TabPage>(tag, std::move(title));
}

std::unique_ptr<Window> Toolkit::CreateWindow(std::string title, const Rect& frame)
{
    auto window = std::make_unique<Window>(CreationKey{}, *this, std::move(title), frame);
    WindowCreated(*window);
    return window;
}

Window::Window(CreationKey, Toolkit& toolkit, std::string title, const Rect& frame)
    : toolkit_(&toolkit),
      title_(std::move(title)),
      frame_(frame),
      content_(toolkit.CreateView(0, {0, 0, frame.width, frame.height}))
{}

Window::~Window() { toolkit_->WindowDestroyed(*this); }

void Window::SetTitle(std::string title)
{
    title_ = std::move(title);
    Notify();
}

void Window::SetFrame(const Rect& frame)
{
    frame_ = frame;
    content_->SetFrame({0, 0, frame.width, frame.height});
    Notify();
}

void Window::Show()
{
    open_ = true;
    Notify();
}

void Window::Close()
{
    for (const Widget* w = toolkit_->FocusedWidget(); w != nullptr; w = w->Parent()) {
        if (w == content_.get()) {
            toolkit_->SetFocus(nullptr);
            break;
        }
    }
    open_ = false;
    Notify();
}

void Window::Notify()
{
    if (peer_) {
        peer_->Sync(*this);
    }
}

bool Window::UserPressReturn()
{
    bool acted = false;
    Widget* focused = toolkit_->FocusedWidget();
    if (auto* field = dynamic_cast<TextField*>(focused)) {
        for (const Widget* w = field; w != nullptr; w = w->Parent()) {
            if (w == content_.get()) {
                acted = field->UserPressReturn();
                break;
            }
        }
    }
    if (defaultButton_) {
        if (auto* button = Find<Button>(*defaultButton_)) {
            acted = button->UserClick() || acted;
        }
    }
    return acted;
}

bool Window::UserPressEscape()
{
    if (cancelButton_) {
        if (auto* button = Find<Button>(*cancelButton_)) {
            return button->UserClick();
        }
    }
    return false;
}

std::vector<Widget*> Window::TabStops() const
{
    std::vector<Widget*> stops;
    if (keyOrder_.empty()) {
        content_->ForEachDescendant([&](Widget& w) {
            if (w.AcceptsFocus()) {
                stops.push_back(&w);
            }
        });
    } else {
        for (int tag : keyOrder_) {
            if (Widget* w = FindWidget(tag); w != nullptr && w->AcceptsFocus()) {
                stops.push_back(w);
            }
        }
    }
    return stops;
}

Widget* Window::UserTab(bool backwards)
{
    const std::vector<Widget*> stops = TabStops();
    const auto count = static_cast<long>(stops.size());
    const auto it = std::find(stops.begin(), stops.end(), toolkit_->FocusedWidget());
    // Not focused yet: as if the focus sat just before the first stop (or after the last).
    long current = it != stops.end() ? it - stops.begin() : (backwards ? count : -1);
    for (long step = 0; step < count; ++step) {
        current = ((backwards ? current - 1 : current + 1) % count + count) % count;
        if (stops[static_cast<std::size_t>(current)]->UserFocus()) {
            return stops[static_cast<std::size_t>(current)];
        }
    }
    return nullptr;
}

}  // namespace zlk::widgets
