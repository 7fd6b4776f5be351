// The toolkit behind the widgets: it makes every widget and window, runs
// modal windows and alerts, beeps, keeps the keyboard focus and opens help.
// The dialog framework talks to this interface only; HeadlessToolkit serves
// the tests and the headless host, a Qt toolkit the GUI host.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/widgets/controls.h"
#include "platform/widgets/widget.h"

namespace zlk::widgets {

// RunModal answers the code given to StopModal, or one of these.
inline constexpr int kModalResponseStop = -1000;  // StopModal() without a code
inline constexpr int kModalResponseAbort = -1001;  // the run ended without StopModal

class Window;

class WindowPeer {
public:
    virtual ~WindowPeer() = default;
    virtual void Sync(Window& window) = 0;
};

class Window {
public:
    Window(CreationKey, Toolkit& toolkit, std::string title, const Rect& frame);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    Toolkit& GetToolkit() const { return *toolkit_; }
    const std::string& Title() const { return title_; }
    void SetTitle(std::string title);
    const Rect& Frame() const { return frame_; }
    void SetFrame(const Rect& frame);
    View& Content() const { return *content_; }

    Widget* FindWidget(int tag) const { return content_->FindWidget(tag); }
    template <class T>
    T* Find(int tag) const
    {
        return content_->Find<T>(tag);
    }

    bool IsOpen() const { return open_; }
    void Show();
    // Hides the window; a focus inside it is dropped.
    void Close();

    // The buttons that Return and Escape press, by tag.
    void SetDefaultButton(std::optional<int> tag) { defaultButton_ = tag; }
    void SetCancelButton(std::optional<int> tag) { cancelButton_ = tag; }
    std::optional<int> DefaultButton() const { return defaultButton_; }
    std::optional<int> CancelButton() const { return cancelButton_; }
    // The Tab order by tag; empty means the order of the widgets in the window.
    void SetKeyOrder(std::vector<int> tags) { keyOrder_ = std::move(tags); }
    const std::vector<int>& KeyOrder() const { return keyOrder_; }

    // Return: ends the editing of the focused text field, then presses the
    // default button. False when neither happened.
    bool UserPressReturn();
    bool UserPressEscape();
    // Moves the focus to the next (or previous) widget of the key order that
    // a person can reach, wrapping around; the widget focused, or null.
    Widget* UserTab(bool backwards = false);

    void AttachPeer(std::unique_ptr<WindowPeer> peer) { peer_ = std::move(peer); }
    WindowPeer* GetPeer() const { return peer_.get(); }

private:
    void Notify();
    std::vector<Widget*> TabStops() const;

    Toolkit* toolkit_;
    std::string title_;
    Rect frame_;
    std::unique_ptr<View> content_;
    bool open_ = false;
    std::optional<int> defaultButton_;
    std::optional<int> cancelButton_;
    std::vector<int> keyOrder_;
    std::unique_ptr<WindowPeer> peer_;
};

enum class AlertStyle { Warning, Informational, Critical };

struct Alert {
    std::string message;
    std::string informative;
    std::vector<std::string> buttons;  // empty: one "OK" button
    AlertStyle style = AlertStyle::Warning;
};

class Toolkit {
public:
    Toolkit() = default;
    virtual ~Toolkit() = default;
    Toolkit(const Toolkit&) = delete;
    Toolkit& operator=(const Toolkit&) = delete;

    // Factories. The toolkit must outlive everything it makes.
    std::unique_ptr<View> CreateView(int tag = 0, const Rect& frame = {});
    std::unique_ptr<Button> CreateButton(int tag, std::string title, const Rect& frame);
    std::unique_ptr<CheckBox> CreateCheckBox(int tag, std::string title, const Rect& frame);
    std::unique_ptr<RadioButton> CreateRadioButton(int tag, std::string title, const Rect& frame);
    std::unique_ptr<RadioGroup> CreateRadioGroup(int tag, const Rect& frame);
    std::unique_ptr<PopUp> CreatePopUp(int tag, const Rect& frame);
    std::unique_ptr<Stepper> CreateStepper(int tag, const Rect& frame, int min = 0, int max = 100, int increment = 1);
    std::unique_ptr<TextField> CreateTextField(int tag, const Rect& frame);
    std::unique_ptr<Label> CreateLabel(int tag, std::string text, const Rect& frame);
    std::unique_ptr<GroupBox> CreateGroupBox(int tag, std::string title, const Rect& frame);
    std::unique_ptr<TabView> CreateTabView(int tag, const Rect& frame);
    std::unique_ptr<TabPage> CreateTabPage(int tag, std::string title);
    std::unique_ptr<Window> CreateWindow(std::string title, const Rect& frame);

    // Shows the window and runs it modally until StopModal; runs nest.
    virtual int RunModal(Window& window) = 0;
    // Ends the innermost modal run; false when none runs.
    virtual bool StopModal(int code = kModalResponseStop) = 0;
    virtual int ModalDepth() const = 0;
    // Runs the alert modally; the index of the button pressed.
    virtual int RunAlert(const Alert& alert) = 0;
    virtual void Beep() = 0;
    // Moves the keyboard focus (null drops it); false when the widget cannot
    // take it. Focus handlers fire on every move.
    virtual bool SetFocus(Widget* widget) = 0;
    virtual Widget* FocusedWidget() const = 0;
    // Opens a page of a help book at an anchor; 0 or the viewer's status.
    virtual int OpenHelp(const std::string& book, const std::string& page, const std::string& anchor) = 0;
    // Width in points of a text in the control font.
    virtual int TextWidth(std::string_view text) const = 0;

protected:
    // A native toolkit attaches its peers here.
    virtual void WidgetCreated(Widget&) {}
    virtual void WindowCreated(Window&) {}
    // A widget is going away; forget any reference to it.
    virtual void WidgetDestroyed(const Widget& widget) = 0;
    virtual void WindowDestroyed(const Window&) {}
    // Moves the toolkit's record of the focus to widget, then tells the
    // widget that lost it and the one that gained it (unless the loser's
    // handler has moved the focus on already).
    static void MoveFocus(Widget*& focus, Widget* widget)
    {
        Widget* previous = std::exchange(focus, widget);
        if (previous != nullptr) {
            previous->FocusChanged(false);
        }
        if (widget != nullptr && focus == widget) {
            widget->FocusChanged(true);
        }
    }

private:
    friend class Widget;
    friend class Window;

    template <class T, class... Args>
    std::unique_ptr<T> Make(Args&&... args);
};

}  // namespace zlk::widgets
