// The widgets a person acts on. Code-side setters change state silently;
// the User* calls behave as a person clicking and typing: they do nothing
// (and answer false) on a widget that is disabled or not shown, and fire
// the widget's action when they act.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/widgets/widget.h"

namespace zlk::widgets {

// Check box and radio button states.
inline constexpr int kStateOff = 0;
inline constexpr int kStateOn = 1;
inline constexpr int kStateMixed = -1;

class Button : public Widget {
public:
    Button(CreationKey, Toolkit& toolkit, int tag, std::string title, const Rect& frame);

    bool UserClick();
    bool AcceptsFocus() const override { return true; }
};

class CheckBox : public Widget {
public:
    CheckBox(CreationKey, Toolkit& toolkit, int tag, std::string title, const Rect& frame);

    int State() const { return state_; }
    bool IsOn() const { return state_ == kStateOn; }
    // 0 is off, any positive value on, a negative value mixed (on when the
    // box does not allow the mixed state).
    void SetState(int state);
    bool AllowsMixed() const { return allowsMixed_; }
    void SetAllowsMixed(bool allows);

    // Toggles: off and mixed become on, on becomes off.
    bool UserClick();
    bool AcceptsFocus() const override { return true; }

private:
    int state_ = kStateOff;
    bool allowsMixed_ = false;
};

class RadioGroup;

// A radio button on its own or a cell of a RadioGroup. Each cell has its
// own tag, title, enabled and hidden flags and action.
class RadioButton : public Widget {
public:
    RadioButton(CreationKey, Toolkit& toolkit, int tag, std::string title, const Rect& frame);

    int State() const { return on_ ? kStateOn : kStateOff; }
    bool IsOn() const { return on_; }
    // Switching a cell on switches the other cells of its group off.
    void SetState(int state);
    RadioGroup* Group() const;

    // Turns the button on (a click on a button already on changes nothing
    // but still fires), then fires its action and its group's action.
    bool UserClick();
    bool AcceptsFocus() const override { return true; }

private:
    friend class RadioGroup;
    void SetOn(bool on);

    bool on_ = false;
};

// A matrix of radio cells with at most one cell on.
class RadioGroup : public Widget {
public:
    RadioGroup(CreationKey, Toolkit& toolkit, int tag, const Rect& frame);

    RadioButton& AddCell(std::unique_ptr<RadioButton> cell);
    RadioButton& AddCell(int tag, std::string title, const Rect& frame);
    int CellCount() const { return static_cast<int>(ChildCount()); }
    RadioButton& Cell(int index) const;
    int IndexOfTag(int tag) const;
    int SelectedIndex() const;
    RadioButton* SelectedCell() const;
    // -1 switches every cell off; false for an index out of range.
    bool Select(int index);

    // Refused for an index out of range and for a cell the person cannot reach.
    bool UserSelect(int index);
    bool UserSelect(const std::string& title);

private:
    friend class RadioButton;
    void CellSwitchedOn(const RadioButton& cell);
    void CellClicked() { SendAction(); }
};

struct PopUpItem {
    std::string title;
    std::string key;  // the attached key, a PPD choice keyword for instance
    bool enabled = true;
};

// A pop-up list. Items are never enabled automatically; a person cannot
// choose a disabled item, code can.
class PopUp : public Widget {
public:
    PopUp(CreationKey, Toolkit& toolkit, int tag, const Rect& frame);

    int ItemCount() const { return static_cast<int>(items_.size()); }
    const std::vector<PopUpItem>& Items() const { return items_; }
    // Out-of-range indexes read as an empty, disabled item.
    const PopUpItem& Item(int index) const;
    // The first item added to an empty list becomes selected.
    void AddItem(std::string title, std::string key = {}, bool enabled = true);
    bool InsertItem(int index, std::string title, std::string key = {}, bool enabled = true);
    // Removing the selected item selects the first remaining one.
    bool RemoveItem(int index);
    void RemoveAllItems();
    bool SetItemTitle(int index, std::string title);
    bool SetItemKey(int index, std::string key);
    bool SetItemEnabled(int index, bool enabled);
    bool IsItemEnabled(int index) const;
    int IndexOfTitle(const std::string& title) const;
    int IndexOfKey(const std::string& key) const;

    // -1 when the list is empty.
    int SelectedIndex() const { return selected_; }
    // -1 selects nothing; false for an index out of range.
    bool Select(int index);
    std::string SelectedTitle() const;
    std::string SelectedKey() const;

    bool UserSelect(int index);
    bool UserSelect(const std::string& title);
    bool AcceptsFocus() const override { return true; }

private:
    std::vector<PopUpItem> items_;
    int selected_ = -1;
};

// An integer with a range and a step. Values are clamped, never wrapped.
class Stepper : public Widget {
public:
    Stepper(CreationKey, Toolkit& toolkit, int tag, const Rect& frame);

    int Value() const { return value_; }
    void SetValue(int value);
    int Min() const { return min_; }
    int Max() const { return max_; }
    // A maximum below the minimum is raised to it; the value is clamped anew.
    void SetRange(int min, int max);
    int Increment() const { return increment_; }
    // Below 1 counts as 1.
    void SetIncrement(int increment);

    // Each press fires the action, also when the value stays at a limit.
    bool UserIncrement();
    bool UserDecrement();
    bool UserSetValue(int value);
    bool AcceptsFocus() const override { return true; }

private:
    bool UserStep(long long to);

    int value_ = 0;
    int min_ = 0;
    int max_ = 100;
    int increment_ = 1;
};

// Judges every edit of a text field before it happens.
class EditFormatter {
public:
    virtual ~EditFormatter() = default;
    // proposed: the whole text the field would hold after the edit. Answer
    // false to refuse it; the field then beeps and keeps its text, and
    // error describes why.
    virtual bool IsPartialStringValid(const std::string& proposed, std::string& error) = 0;
};

class TextField : public Widget {
public:
    using TextChangeHandler = std::function<void(TextField& field)>;

    TextField(CreationKey, Toolkit& toolkit, int tag, const Rect& frame);

    const std::string& Text() const { return text_; }
    // Code-side: bypasses the formatter.
    void SetText(std::string text);
    bool IsEditable() const { return editable_; }
    void SetEditable(bool editable);
    // Masked entry.
    bool IsSecure() const { return secure_; }
    void SetSecure(bool secure);
    void SetFormatter(std::unique_ptr<EditFormatter> formatter) { formatter_ = std::move(formatter); }
    EditFormatter* Formatter() const { return formatter_.get(); }
    // Fired after every accepted keystroke.
    void SetTextChangeHandler(TextChangeHandler handler) { textChange_ = std::move(handler); }
    // The formatter's description of the last refused keystroke.
    const std::string& LastRefusal() const { return lastRefusal_; }

    // What a person may type or paste into a field, whatever its formatter
    // allows: every keystroke re-checks the whole text.
    static constexpr std::size_t kMaxFieldBytes = 1024;

    // Focuses the field, then types at the end of the text, one character
    // (UTF-8 code point) a keystroke; each keystroke proposes the new full
    // text to the formatter, and a refused one beeps and changes nothing.
    // False when a keystroke was refused or the field takes no typing.
    bool UserType(const std::string& text);
    // Backspace, count times, through the formatter like typing.
    bool UserDeleteBackward(int count = 1);
    // Select all and delete.
    bool UserClear();
    // Any other edit (a paste, a keystroke inside the text): the whole text
    // it leaves, judged by the formatter like typing.
    bool UserEdit(std::string proposed);
    // Return ends the editing: fires the action.
    bool UserPressReturn();
    bool AcceptsFocus() const override { return true; }

protected:
    // Leaving the field after an edit ends the editing and fires the action.
    void FocusChanged(bool gained) override;

private:
    bool BeginTyping();
    bool Propose(std::string proposed);

    std::string text_;
    bool editable_ = true;
    bool secure_ = false;
    bool edited_ = false;
    std::unique_ptr<EditFormatter> formatter_;
    TextChangeHandler textChange_;
    std::string lastRefusal_;
};

// Static text; the title is the text.
class Label : public Widget {
public:
    Label(CreationKey, Toolkit& toolkit, int tag, std::string text, const Rect& frame);
};

}  // namespace zlk::widgets
