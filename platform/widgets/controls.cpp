#include "platform/widgets/controls.h"

#include <algorithm>

#include "common/utf8.h"
#include "platform/widgets/toolkit.h"

namespace zlk::widgets {

namespace {

bool IsContinuationByte(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Bytes of the UTF-8 character starting at text[at]; a malformed sequence
// counts one byte a character.
std::size_t CharacterLength(const std::string& text, std::size_t at)
{
    return std::max<std::size_t>(common::Utf8CharLength(text, at), 1);
}

int Clamp(long long value, int min, int max) { return static_cast<int>(std::clamp<long long>(value, min, max)); }

}  // namespace

Button::Button(CreationKey, Toolkit& toolkit, int tag, std::string title, const Rect& frame)
    : Widget(Kind::Button, toolkit, tag, std::move(title), frame)
{}

bool Button::UserClick()
{
    if (!IsReachable()) {
        return false;
    }
    SendAction();
    return true;
}

CheckBox::CheckBox(CreationKey, Toolkit& toolkit, int tag, std::string title, const Rect& frame)
    : Widget(Kind::CheckBox, toolkit, tag, std::move(title), frame)
{}

void CheckBox::SetState(int state)
{
    int next = kStateOn;
    if (state == 0) {
        next = kStateOff;
    } else if (state < 0 && allowsMixed_) {
        next = kStateMixed;
    }
    if (next != state_) {
        state_ = next;
        Notify(Aspect::State);
    }
}

void CheckBox::SetAllowsMixed(bool allows)
{
    allowsMixed_ = allows;
    if (!allows && state_ == kStateMixed) {
        SetState(kStateOn);
    }
}

bool CheckBox::UserClick()
{
    if (!IsReachable()) {
        return false;
    }
    state_ = state_ == kStateOn ? kStateOff : kStateOn;
    Notify(Aspect::State);
    SendAction();
    return true;
}

RadioButton::RadioButton(CreationKey, Toolkit& toolkit, int tag, std::string title, const Rect& frame)
    : Widget(Kind::RadioButton, toolkit, tag, std::move(title), frame)
{}

RadioGroup* RadioButton::Group() const { return dynamic_cast<RadioGroup*>(Parent()); }

void RadioButton::SetOn(bool on)
{
    if (on_ != on) {
        on_ = on;
        Notify(Aspect::State);
    }
}

void RadioButton::SetState(int state)
{
    if (state != 0) {
        if (RadioGroup* group = Group()) {
            group->CellSwitchedOn(*this);
        }
    }
    SetOn(state != 0);
}

bool RadioButton::UserClick()
{
    if (!IsReachable()) {
        return false;
    }
    RadioGroup* group = Group();
    if (group != nullptr) {
        group->CellSwitchedOn(*this);
    }
    SetOn(true);
    SendAction();
    if (group != nullptr) {
        group->CellClicked();
    }
    return true;
}

RadioGroup::RadioGroup(CreationKey, Toolkit& toolkit, int tag, const Rect& frame)
    : Widget(Kind::RadioGroup, toolkit, tag, {}, frame)
{}

RadioButton& RadioGroup::AddCell(std::unique_ptr<RadioButton> cell)
{
    auto& added = static_cast<RadioButton&>(Adopt(std::move(cell)));
    if (added.IsOn()) {
        CellSwitchedOn(added);
    }
    return added;
}

RadioButton& RadioGroup::AddCell(int tag, std::string title, const Rect& frame)
{
    return AddCell(GetToolkit().CreateRadioButton(tag, std::move(title), frame));
}

RadioButton& RadioGroup::Cell(int index) const
{
    return static_cast<RadioButton&>(ChildAt(static_cast<std::size_t>(index)));
}

int RadioGroup::IndexOfTag(int tag) const
{
    for (int i = 0; i < CellCount(); ++i) {
        if (Cell(i).Tag() == tag) {
            return i;
        }
    }
    return -1;
}

int RadioGroup::SelectedIndex() const
{
    for (int i = 0; i < CellCount(); ++i) {
        if (Cell(i).IsOn()) {
            return i;
        }
    }
    return -1;
}

RadioButton* RadioGroup::SelectedCell() const
{
    const int index = SelectedIndex();
    return index >= 0 ? &Cell(index) : nullptr;
}

bool RadioGroup::Select(int index)
{
    if (index < -1 || index >= CellCount()) {
        return false;
    }
    if (index < 0) {
        for (int i = 0; i < CellCount(); ++i) {
            Cell(i).SetOn(false);
        }
    } else {
        Cell(index).SetState(kStateOn);
    }
    return true;
}

bool RadioGroup::UserSelect(int index)
{
    if (index < 0 || index >= CellCount()) {
        return false;
    }
    return Cell(index).UserClick();
}

bool RadioGroup::UserSelect(const std::string& title)
{
    for (int i = 0; i < CellCount(); ++i) {
        if (Cell(i).Title() == title) {
            return UserSelect(i);
        }
    }
    return false;
}

void RadioGroup::CellSwitchedOn(const RadioButton& cell)
{
    for (int i = 0; i < CellCount(); ++i) {
        if (&Cell(i) != &cell) {
            Cell(i).SetOn(false);
        }
    }
}

PopUp::PopUp(CreationKey, Toolkit& toolkit, int tag, const Rect& frame) : Widget(Kind::PopUp, toolkit, tag, {}, frame)
{}

const PopUpItem& PopUp::Item(int index) const
{
    static const PopUpItem kNoItem{{}, {}, false};
    return index >= 0 && index < ItemCount() ? items_[static_cast<std::size_t>(index)] : kNoItem;
}

void PopUp::AddItem(std::string title, std::string key, bool enabled)
{
    InsertItem(ItemCount(), std::move(title), std::move(key), enabled);
}

bool PopUp::InsertItem(int index, std::string title, std::string key, bool enabled)
{
    if (index < 0 || index > ItemCount()) {
        return false;
    }
    items_.insert(items_.begin() + index, PopUpItem{std::move(title), std::move(key), enabled});
    if (items_.size() == 1) {
        selected_ = 0;
    } else if (selected_ >= index) {
        ++selected_;
    }
    Notify(Aspect::Items);
    return true;
}

bool PopUp::RemoveItem(int index)
{
    if (index < 0 || index >= ItemCount()) {
        return false;
    }
    items_.erase(items_.begin() + index);
    if (selected_ == index) {
        selected_ = items_.empty() ? -1 : 0;
    } else if (selected_ > index) {
        --selected_;
    }
    Notify(Aspect::Items);
    return true;
}

void PopUp::RemoveAllItems()
{
    items_.clear();
    selected_ = -1;
    Notify(Aspect::Items);
}

bool PopUp::SetItemTitle(int index, std::string title)
{
    if (index < 0 || index >= ItemCount()) {
        return false;
    }
    items_[static_cast<std::size_t>(index)].title = std::move(title);
    Notify(Aspect::Items);
    return true;
}

bool PopUp::SetItemKey(int index, std::string key)
{
    if (index < 0 || index >= ItemCount()) {
        return false;
    }
    items_[static_cast<std::size_t>(index)].key = std::move(key);
    return true;
}

bool PopUp::SetItemEnabled(int index, bool enabled)
{
    if (index < 0 || index >= ItemCount()) {
        return false;
    }
    items_[static_cast<std::size_t>(index)].enabled = enabled;
    Notify(Aspect::Items);
    return true;
}

bool PopUp::IsItemEnabled(int index) const { return Item(index).enabled; }

int PopUp::IndexOfTitle(const std::string& title) const
{
    for (int i = 0; i < ItemCount(); ++i) {
        if (items_[static_cast<std::size_t>(i)].title == title) {
            return i;
        }
    }
    return -1;
}

int PopUp::IndexOfKey(const std::string& key) const
{
    for (int i = 0; i < ItemCount(); ++i) {
        if (items_[static_cast<std::size_t>(i)].key == key) {
            return i;
        }
    }
    return -1;
}

bool PopUp::Select(int index) { return MoveSelection(selected_, index, ItemCount()); }

std::string PopUp::SelectedTitle() const { return Item(selected_).title; }

std::string PopUp::SelectedKey() const { return Item(selected_).key; }

bool PopUp::UserSelect(int index)
{
    if (!IsReachable() || !IsItemEnabled(index)) {
        return false;
    }
    Select(index);
    SendAction();
    return true;
}

bool PopUp::UserSelect(const std::string& title)
{
    const int index = IndexOfTitle(title);
    return index >= 0 && UserSelect(index);
}

Stepper::Stepper(CreationKey, Toolkit& toolkit, int tag, const Rect& frame)
    : Widget(Kind::Stepper, toolkit, tag, {}, frame)
{}

void Stepper::SetValue(int value)
{
    const int clamped = Clamp(value, min_, max_);
    if (clamped != value_) {
        value_ = clamped;
        Notify(Aspect::Value);
    }
}

void Stepper::SetRange(int min, int max)
{
    min_ = min;
    max_ = std::max(min, max);
    Notify(Aspect::Range);
    SetValue(value_);
}

void Stepper::SetIncrement(int increment)
{
    increment_ = std::max(1, increment);
    Notify(Aspect::Range);
}

bool Stepper::UserStep(long long to)
{
    if (!IsReachable()) {
        return false;
    }
    SetValue(Clamp(to, min_, max_));
    SendAction();
    return true;
}

bool Stepper::UserIncrement() { return UserStep(static_cast<long long>(value_) + increment_); }

bool Stepper::UserDecrement() { return UserStep(static_cast<long long>(value_) - increment_); }

bool Stepper::UserSetValue(int value) { return UserStep(value); }

TextField::TextField(CreationKey, Toolkit& toolkit, int tag, const Rect& frame)
    : Widget(Kind::TextField, toolkit, tag, {}, frame)
{}

void TextField::SetText(std::string text)
{
    text_ = std::move(text);
    Notify(Aspect::Text);
}

void TextField::SetEditable(bool editable)
{
    editable_ = editable;
    Notify(Aspect::Editable);
}

void TextField::SetSecure(bool secure)
{
    secure_ = secure;
    Notify(Aspect::Editable);
}

bool TextField::BeginTyping()
{
    if (!IsReachable() || (!HasFocus() && !UserFocus())) {
        return false;
    }
    if (!editable_) {
        GetToolkit().Beep();
        return false;
    }
    return true;
}

bool TextField::Propose(std::string proposed)
{
    if (proposed.size() > kMaxFieldBytes && proposed.size() > text_.size()) {
        lastRefusal_ = "the field holds at most " + std::to_string(kMaxFieldBytes) + " bytes";
        GetToolkit().Beep();
        return false;
    }
    if (formatter_) {
        std::string error;
        if (!formatter_->IsPartialStringValid(proposed, error)) {
            lastRefusal_ = std::move(error);
            GetToolkit().Beep();
            return false;
        }
    }
    text_ = std::move(proposed);
    edited_ = true;
    Notify(Aspect::Text);
    if (textChange_) {
        TextChangeHandler handler = textChange_;
        handler(*this);
    }
    return true;
}

bool TextField::UserType(const std::string& text)
{
    if (!BeginTyping()) {
        return false;
    }
    bool allAccepted = true;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = CharacterLength(text, at);
        if (text_.size() + length > kMaxFieldBytes) {
            // A full field refuses the rest: one refusal, not one a keystroke.
            return Propose(text_ + text.substr(at, length));
        }
        allAccepted = Propose(text_ + text.substr(at, length)) && allAccepted;
        at += length;
    }
    return allAccepted;
}

bool TextField::UserDeleteBackward(int count)
{
    if (!BeginTyping()) {
        return false;
    }
    bool allAccepted = true;
    for (int i = 0; i < count && !text_.empty(); ++i) {
        std::size_t start = text_.size() - 1;
        while (start > 0 && IsContinuationByte(static_cast<unsigned char>(text_[start]))) {
            --start;
        }
        // A stray continuation byte is one character of its own.
        if (CharacterLength(text_, start) != text_.size() - start) {
            start = text_.size() - 1;
        }
        allAccepted = Propose(text_.substr(0, start)) && allAccepted;
    }
    return allAccepted;
}

bool TextField::UserClear()
{
    if (!BeginTyping()) {
        return false;
    }
    return text_.empty() || Propose({});
}

bool TextField::UserEdit(std::string proposed)
{
    if (!BeginTyping()) {
        return false;
    }
    return proposed == text_ || Propose(std::move(proposed));
}

bool TextField::UserPressReturn()
{
    if (!IsReachable() || (!HasFocus() && !UserFocus())) {
        return false;
    }
    edited_ = false;
    SendAction();
    return true;
}

void TextField::FocusChanged(bool gained)
{
    const bool endsEdit = !gained && edited_;
    edited_ = false;
    if (endsEdit) {
        SendAction();
    }
    Widget::FocusChanged(gained);
}

Label::Label(CreationKey, Toolkit& toolkit, int tag, std::string text, const Rect& frame)
    : Widget(Kind::Label, toolkit, tag, std::move(text), frame)
{}

}  // namespace zlk::widgets
