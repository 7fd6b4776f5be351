#include "platform/widgets/widget.h"

#include <algorithm>

#include "platform/widgets/toolkit.h"

namespace zlk::widgets {

namespace {

bool IsWithin(const Widget* widget, const Widget& ancestor)
{
    for (; widget != nullptr; widget = widget->Parent()) {
        if (widget == &ancestor) {
            return true;
        }
    }
    return false;
}

// A person cannot keep typing into a widget that was just hidden or disabled.
void DropFocusIfUnreachable(Toolkit& toolkit)
{
    Widget* focused = toolkit.FocusedWidget();
    if (focused != nullptr && !focused->IsReachable()) {
        toolkit.SetFocus(nullptr);
    }
}

}  // namespace

const char* KindName(Kind kind)
{
    switch (kind) {
    case Kind::View: return "view";
    case Kind::Button: return "button";
    case Kind::CheckBox: return "checkbox";
    case Kind::RadioButton: return "radio";
    case Kind::RadioGroup: return "radiogroup";
    case Kind::PopUp: return "popup";
    case Kind::Stepper: return "stepper";
    case Kind::TextField: return "textfield";
    case Kind::Label: return "label";
    case Kind::GroupBox: return "groupbox";
    case Kind::TabView: return "tabview";
    case Kind::TabPage: return "tabpage";
    }
    return "?";
}

Widget::Widget(Kind kind, Toolkit& toolkit, int tag, std::string title, const Rect& frame)
    : kind_(kind),
      toolkit_(&toolkit),
      tag_(tag),
      frame_(frame),
      title_(std::move(title))
{}

Widget::~Widget() { toolkit_->WidgetDestroyed(*this); }

void Widget::SetTag(int tag)
{
    tag_ = tag;
    Notify(Aspect::Tag);
}

void Widget::SetEnabled(bool enabled)
{
    if (enabled_ == enabled) {
        return;
    }
    enabled_ = enabled;
    Notify(Aspect::Enabled);
    if (!enabled) {
        DropFocusIfUnreachable(*toolkit_);
    }
}

void Widget::SetHidden(bool hidden)
{
    if (hidden_ == hidden) {
        return;
    }
    hidden_ = hidden;
    Notify(Aspect::Hidden);
    if (hidden) {
        DropFocusIfUnreachable(*toolkit_);
    }
}

void Widget::SetFrame(const Rect& frame)
{
    frame_ = frame;
    Notify(Aspect::Frame);
}

void Widget::SetTitle(std::string title)
{
    title_ = std::move(title);
    Notify(Aspect::Title);
}

bool Widget::IsShown() const
{
    for (const Widget* w = this; w != nullptr; w = w->parent_) {
        if (w->hidden_ || (w->parent_ != nullptr && !w->parent_->ShowsChild(*w))) {
            return false;
        }
    }
    return true;
}

bool Widget::IsReachable() const
{
    for (const Widget* w = this; w != nullptr; w = w->parent_) {
        if (!w->enabled_) {
            return false;
        }
    }
    return IsShown();
}

bool Widget::HasFocus() const { return toolkit_->FocusedWidget() == this; }

bool Widget::MakeFirstResponder() { return toolkit_->SetFocus(this); }

bool Widget::UserFocus()
{
    if (!IsReachable() || !AcceptsFocus()) {
        return false;
    }
    return toolkit_->SetFocus(this);
}

Widget* Widget::FindWidget(int tag) const
{
    return FindMatching(tag, [](const Widget&) { return true; });
}

Widget* Widget::FindMatching(int tag, bool (*accept)(const Widget&)) const
{
    for (const auto& child : children_) {
        if (child->tag_ == tag && accept(*child)) {
            return child.get();
        }
        if (Widget* found = child->FindMatching(tag, accept)) {
            return found;
        }
    }
    return nullptr;
}

void Widget::ForEachDescendant(const std::function<void(Widget&)>& visit) const
{
    for (const auto& child : children_) {
        visit(*child);
        child->ForEachDescendant(visit);
    }
}

void Widget::SendAction()
{
    if (action_) {
        // A copy: the action may replace itself.
        Action action = action_;
        action(*this);
    }
}

void Widget::Notify(Aspect what)
{
    if (peer_) {
        peer_->Sync(*this, what);
    }
}

bool Widget::MoveSelection(int& selected, int index, int count)
{
    if (index < -1 || index >= count) {
        return false;
    }
    if (selected != index) {
        selected = index;
        Notify(Aspect::Selection);
    }
    return true;
}

Widget& Widget::Adopt(std::unique_ptr<Widget> child) { return AdoptAt(children_.size(), std::move(child)); }

Widget& Widget::AdoptAt(std::size_t index, std::unique_ptr<Widget> child)
{
    child->parent_ = this;
    Widget& adopted = *child;
    children_.insert(children_.begin() + static_cast<std::ptrdiff_t>(std::min(index, children_.size())),
                     std::move(child));
    Notify(Aspect::Children);
    return adopted;
}

std::unique_ptr<Widget> Widget::Release(Widget& child)
{
    auto it = std::find_if(children_.begin(), children_.end(), [&](const auto& c) { return c.get() == &child; });
    if (it == children_.end()) {
        return nullptr;
    }
    if (IsWithin(toolkit_->FocusedWidget(), child)) {
        toolkit_->SetFocus(nullptr);
    }
    std::unique_ptr<Widget> released = std::move(*it);
    children_.erase(it);
    released->parent_ = nullptr;
    Notify(Aspect::Children);
    return released;
}

void Widget::ReleaseAll()
{
    if (IsWithin(toolkit_->FocusedWidget(), *this) && !HasFocus()) {
        toolkit_->SetFocus(nullptr);
    }
    children_.clear();
    Notify(Aspect::Children);
}

void Widget::FocusChanged(bool gained)
{
    if (focusHandler_) {
        FocusHandler handler = focusHandler_;
        handler(*this, gained);
    }
}

View::View(CreationKey, Toolkit& toolkit, int tag, const Rect& frame) : Widget(Kind::View, toolkit, tag, {}, frame) {}

View::View(Kind kind, Toolkit& toolkit, int tag, std::string title, const Rect& frame)
    : Widget(kind, toolkit, tag, std::move(title), frame)
{}

GroupBox::GroupBox(CreationKey, Toolkit& toolkit, int tag, std::string title, const Rect& frame)
    : View(Kind::GroupBox, toolkit, tag, std::move(title), frame)
{}

TabPage::TabPage(CreationKey, Toolkit& toolkit, int tag, std::string title)
    : View(Kind::TabPage, toolkit, tag, std::move(title), {})
{}

TabView::TabView(CreationKey, Toolkit& toolkit, int tag, const Rect& frame)
    : Widget(Kind::TabView, toolkit, tag, {}, frame)
{}

TabPage& TabView::AddPage(std::unique_ptr<TabPage> page)
{
    page->SetFrame({0, 0, Frame().width, Frame().height});
    auto& added = static_cast<TabPage&>(Adopt(std::move(page)));
    if (selected_ < 0) {
        selected_ = 0;
        Notify(Aspect::Selection);
    }
    return added;
}

TabPage& TabView::AddPage(std::string title, int tag)
{
    return AddPage(GetToolkit().CreateTabPage(tag, std::move(title)));
}

void TabView::RemoveAllPages()
{
    ReleaseAll();
    selected_ = -1;
    Notify(Aspect::Selection);
}

TabPage& TabView::Page(int index) const { return static_cast<TabPage&>(ChildAt(static_cast<std::size_t>(index))); }

TabPage* TabView::SelectedPage() const { return selected_ >= 0 ? &Page(selected_) : nullptr; }

bool TabView::Select(int index)
{
    const int before = selected_;
    if (!MoveSelection(selected_, index, PageCount())) {
        return false;
    }
    // Focus inside the page that went out of sight goes with it.
    if (selected_ != before) {
        DropFocusIfUnreachable(GetToolkit());
    }
    return true;
}

bool TabView::UserSelectTab(int index)
{
    if (!IsReachable() || index < 0 || index >= PageCount() || !Page(index).IsEnabled()) {
        return false;
    }
    Select(index);
    SendAction();
    return true;
}

bool TabView::UserSelectTab(const std::string& title)
{
    for (int i = 0; i < PageCount(); ++i) {
        if (Page(i).Title() == title) {
            return UserSelectTab(i);
        }
    }
    return false;
}

bool TabView::ShowsChild(const Widget& child) const
{
    return selected_ >= 0 && &ChildAt(static_cast<std::size_t>(selected_)) == &child;
}

}  // namespace zlk::widgets
