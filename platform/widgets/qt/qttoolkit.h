// The toolkit on a desktop: every widget gets a Qt 6 widget as its peer,
// placed where its layout frame says (flipped to Qt's top-down coordinates
// and scaled to the desktop's font). What a person does to the Qt widget
// reaches the dialog framework through the same User* calls the tests use,
// so the framework and the plug-ins never see Qt.
//
// One QtToolkit needs a QApplication that outlives it. Modal windows run in
// a nested event loop; alerts are message boxes.
#pragma once

#include <QMetaObject>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/widgets/toolkit.h"

class QWidget;
class QEventLoop;

namespace zlk::widgets {

class QtToolkit final : public Toolkit {
public:
    // A hook the event loop calls once a modal window or an alert is on
    // screen (tests act on it there, as a person would).
    using ShownHook = std::function<void(QWidget& shown)>;
    // Opens a help page; the default runs xdg-open.
    using HelpOpener = std::function<int(const std::string& url)>;

    QtToolkit();
    ~QtToolkit() override;

    // Layout points to pixels: 1.0 for a font of the size the layouts were
    // drawn for, more for a larger desktop font.
    double Scale() const { return scale_; }
    int ToPixels(int points) const;

    // The Qt widget behind a widget; a panel's view is placed by the host.
    QWidget* NativeWidget(const Widget& widget) const;
    // The widget behind a Qt widget (or one of its parts); null for none.
    Widget* WidgetOf(const QWidget* native) const;
    // The dialog behind a window.
    QWidget* NativeWindow(const Window& window) const;

    void SetModalShownHook(ShownHook hook) { modalShown_ = std::move(hook); }
    void SetAlertShownHook(ShownHook hook) { alertShown_ = std::move(hook); }
    void SetHelpOpener(HelpOpener opener) { helpOpener_ = std::move(opener); }
    // Called after every action a person takes on a widget, once the
    // plug-in has answered it: a host showing the same settings elsewhere
    // follows what the panel changed.
    void SetUserActedHook(std::function<void()> hook) { userActed_ = std::move(hook); }
    void UserActed() const
    {
        if (userActed_) {
            userActed_();
        }
    }
    int BeepCount() const { return beeps_; }

    int RunModal(Window& window) override;
    bool StopModal(int code = kModalResponseStop) override;
    int ModalDepth() const override { return static_cast<int>(loops_.size()); }
    int RunAlert(const Alert& alert) override;
    void Beep() override;
    bool SetFocus(Widget* widget) override;
    Widget* FocusedWidget() const override { return focus_; }
    int OpenHelp(const std::string& book, const std::string& page, const std::string& anchor) override;
    int TextWidth(std::string_view text) const override;

    // Qt moved the keyboard focus (a click or Tab); keeps the widgets' view
    // of it in step.
    void NativeFocusChanged(QWidget* now);

protected:
    void WidgetCreated(Widget& widget) override;
    void WindowCreated(Window& window) override;
    void WidgetDestroyed(const Widget& widget) override;

private:
    friend class QtPeer;
    friend class QtWindowPeer;

    void Register(QWidget* native, Widget* widget) { widgets_[native] = widget; }
    bool IsAlive(const QWidget* native) const { return widgets_.count(native) != 0; }

    double scale_ = 1.0;
    std::unordered_map<const QWidget*, Widget*> widgets_;
    std::vector<QEventLoop*> loops_;
    Widget* focus_ = nullptr;
    ShownHook modalShown_;
    ShownHook alertShown_;
    HelpOpener helpOpener_;
    std::function<void()> userActed_;
    int beeps_ = 0;
    bool settingFocus_ = false;
    QMetaObject::Connection focusConnection_;
};

}  // namespace zlk::widgets
