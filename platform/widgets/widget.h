// Toolkit-neutral widgets: plain objects holding their state. The dialog
// framework reads and writes them through this interface only; a native
// toolkit mirrors each widget through a Peer, and forwards what the person
// does through the same User* calls that the tests use.
//
// Ownership: a container owns its children through unique_ptr; everybody
// else holds plain references. Widgets come from a Toolkit and must not
// outlive it.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zlk::widgets {

class Toolkit;
class Widget;

// A frame in the parent's coordinates, as the layout gives it. Layouts are
// written bottom-up (y grows upwards from the parent's bottom edge); a
// native toolkit with top-down coordinates flips them.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

enum class Kind {
    View,
    Button,
    CheckBox,
    RadioButton,
    RadioGroup,
    PopUp,
    Stepper,
    TextField,
    Label,
    GroupBox,
    TabView,
    TabPage,
};

// The layout name of a kind ("button", "checkbox", ...).
const char* KindName(Kind kind);

// What changed on a widget; a native peer redraws that part.
enum class Aspect {
    Tag,
    Enabled,
    Hidden,
    Frame,
    Title,
    Children,
    State,
    Items,
    Selection,
    Value,
    Range,
    Text,
    Editable
};

// The native side of one widget (a Qt widget, say). The headless toolkit
// attaches none.
class Peer {
public:
    virtual ~Peer() = default;
    virtual void Sync(Widget& widget, Aspect what) = 0;
};

// Only a Toolkit can make one, so that every widget passes through the
// toolkit's factory and gets its peer.
class CreationKey {
    friend class Toolkit;
    CreationKey() = default;
};

class Widget {
public:
    // Fired when the person acts on the widget, never when code sets its state.
    using Action = std::function<void(Widget& sender)>;
    // Fired whenever the keyboard focus enters (true) or leaves (false).
    using FocusHandler = std::function<void(Widget& widget, bool gained)>;

    virtual ~Widget();
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;

    Kind GetKind() const { return kind_; }
    Toolkit& GetToolkit() const { return *toolkit_; }
    Widget* Parent() const { return parent_; }

    int Tag() const { return tag_; }
    void SetTag(int tag);
    bool IsEnabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool IsHidden() const { return hidden_; }
    void SetHidden(bool hidden);
    const Rect& Frame() const { return frame_; }
    void SetFrame(const Rect& frame);
    // Button, check box, radio button, label text, group box and tab titles.
    // Other kinds keep it without showing it.
    const std::string& Title() const { return title_; }
    void SetTitle(std::string title);
    // What the widget sets, for scripts and descriptions: a PPD option
    // keyword or a ticket key name. Not shown.
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    void SetAction(Action action) { action_ = std::move(action); }
    bool HasAction() const { return static_cast<bool>(action_); }
    void SetFocusHandler(FocusHandler handler) { focusHandler_ = std::move(handler); }

    // Shown on screen: neither it nor a container above it is hidden, and
    // every tab page on the way is the selected one.
    bool IsShown() const;
    // A person can act on it: shown, and it and every container above it enabled.
    bool IsReachable() const;

    // Keyboard focus.
    virtual bool AcceptsFocus() const { return false; }
    bool HasFocus() const;
    bool MakeFirstResponder();

    // Children, in the order they were added.
    std::size_t ChildCount() const { return children_.size(); }
    Widget& ChildAt(std::size_t index) const { return *children_.at(index); }
    // The first descendant (depth first, not this widget) carrying the tag.
    Widget* FindWidget(int tag) const;
    // The first descendant carrying the tag that is a T.
    template <class T>
    T* Find(int tag) const
    {
        return static_cast<T*>(
            FindMatching(tag, [](const Widget& w) { return dynamic_cast<const T*>(&w) != nullptr; }));
    }
    template <class T>
    T* As()
    {
        return dynamic_cast<T*>(this);
    }
    template <class T>
    const T* As() const
    {
        return dynamic_cast<const T*>(this);
    }
    // Visits every descendant, depth first.
    void ForEachDescendant(const std::function<void(Widget&)>& visit) const;

    void AttachPeer(std::unique_ptr<Peer> peer) { peer_ = std::move(peer); }
    Peer* GetPeer() const { return peer_.get(); }

    // The person clicks into the widget or tabs to it.
    bool UserFocus();

protected:
    Widget(Kind kind, Toolkit& toolkit, int tag, std::string title, const Rect& frame);

    void SendAction();
    void Notify(Aspect what);
    // Moves a list's selection, kept in selected, to index among count
    // entries (-1: none), notifying only on a change. False, and nothing
    // moved, for an index out of range.
    bool MoveSelection(int& selected, int index, int count);
    Widget& Adopt(std::unique_ptr<Widget> child);
    Widget& AdoptAt(std::size_t index, std::unique_ptr<Widget> child);
    std::unique_ptr<Widget> Release(Widget& child);
    void ReleaseAll();
    // Whether this container shows the child (a tab view shows one page).
    virtual bool ShowsChild(const Widget&) const { return true; }
    // The toolkit moved the focus onto (true) or away from (false) this widget.
    virtual void FocusChanged(bool gained);

private:
    friend class Toolkit;

    Widget* FindMatching(int tag, bool (*accept)(const Widget&)) const;

    Kind kind_;
    Toolkit* toolkit_;
    Widget* parent_ = nullptr;
    int tag_;
    bool enabled_ = true;
    bool hidden_ = false;
    Rect frame_;
    std::string title_;
    std::string name_;
    Action action_;
    FocusHandler focusHandler_;
    std::vector<std::unique_ptr<Widget>> children_;
    std::unique_ptr<Peer> peer_;
};

// A generic container of child widgets (a panel's content, a window's
// content, a tab page).
class View : public Widget {
public:
    View(CreationKey, Toolkit& toolkit, int tag, const Rect& frame);

    template <class T>
    T& Add(std::unique_ptr<T> child)
    {
        T& added = *child;
        Adopt(std::move(child));
        return added;
    }
    // Gives the direct child back to the caller; null when it is not one.
    std::unique_ptr<Widget> Remove(Widget& child) { return Release(child); }
    void RemoveAll() { ReleaseAll(); }

protected:
    View(Kind kind, Toolkit& toolkit, int tag, std::string title, const Rect& frame);
};

// A titled box around its children.
class GroupBox : public View {
public:
    GroupBox(CreationKey, Toolkit& toolkit, int tag, std::string title, const Rect& frame);
};

// One named page of a tab view; its frame is the tab view's content area.
class TabPage : public View {
public:
    TabPage(CreationKey, Toolkit& toolkit, int tag, std::string title);
};

// Named tabs, each holding a content view; only the selected page is shown.
class TabView : public Widget {
public:
    TabView(CreationKey, Toolkit& toolkit, int tag, const Rect& frame);

    TabPage& AddPage(std::unique_ptr<TabPage> page);
    TabPage& AddPage(std::string title, int tag = 0);
    void RemoveAllPages();
    int PageCount() const { return static_cast<int>(ChildCount()); }
    TabPage& Page(int index) const;
    int SelectedIndex() const { return selected_; }
    TabPage* SelectedPage() const;
    // -1 selects nothing; false for an index out of range.
    bool Select(int index);

    bool UserSelectTab(int index);
    bool UserSelectTab(const std::string& title);
    bool AcceptsFocus() const override { return true; }

protected:
    bool ShowsChild(const Widget& child) const override;

private:
    int selected_ = -1;
};

}  // namespace zlk::widgets
