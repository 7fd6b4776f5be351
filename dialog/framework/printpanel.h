// The container of controls and child windows that fans every whole-panel
// operation out to them, and the modal set-up window built on it.
#pragma once

#include <cups/ppd.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "dialog/framework/basecontrol.h"
#include "platform/printing/pde.h"
#include "platform/printing/printsettings.h"
#include "platform/printing/session.h"
#include "platform/system/bundle.h"
#include "platform/widgets/toolkit.h"
#include "ppd/quickxppd.h"

namespace zlk::framework {

class PopupWinInPanel;
using PreferenceDictionary = std::map<std::string, std::string>;

// The contract every panel and set-up window inherits. The panel owns its
// controls and child windows; it only refers to the host's callback, print
// settings, session, PPD and the constraint table. Every whole-panel
// operation visits the controls in creation order, then the child windows
// in order, and a window's result can stop the walk (see the fan-out
// helpers below); a window is itself a panel, so the walk recurses. Nothing
// throws; the only reported failure is a printer string that cannot be had.
class BasePrintPanel {
public:
    // initWithCallback:
    explicit BasePrintPanel(platform::PDEPlugInCallback* callback);
    virtual ~BasePrintPanel();
    // Not copyable: its controls and windows point back at it.
    BasePrintPanel(const BasePrintPanel&) = delete;
    BasePrintPanel& operator=(const BasePrintPanel&) = delete;

    virtual void CreatePanel(widgets::View* view);
    // The index the control got; a control without a widget is dropped.
    std::uint32_t RunTimeAddNewControl(std::unique_ptr<BaseControl> control);
    std::uint32_t RunTimeAddNewInstallableControl(std::unique_ptr<BaseControl> control);
    std::uint32_t RunTimeAddNewWindow(std::unique_ptr<PopupWinInPanel> window);

    virtual int InitializeUserPane(const platform::Bundle* bundle, ppd_file_t* withPPD);
    void InitializeUserPaneControl(const platform::Bundle* bundle, ppd_file_t* withPPD);
    void SetControlEventHandler();
    void InitilaizeChildWindow(const platform::Bundle* bundle, ppd_file_t* withPPD);
    int ConstrainPanelControlFromPPD(ppd_file_t* ppd);

    virtual bool SetCurrentPrintSettings(platform::PMPrintSettings* settings, ppd_file_t* andPPD,
                                         platform::PDEPlugInCallback* andCallbackObj,
                                         platform::PMPrintSession* withPrintSession);
    virtual bool SetCurrentPrinterString(platform::PMPrintSession* session);
    void SetxppdPtr(const ppd::XConstraintTable* table);
    virtual void setPreferDictionary(const PreferenceDictionary& dictionary,
                                     const PreferenceDictionary& anyUserDictionary);

    platform::PMPrintSession* GetCurrentPrintSession() const { return currentPrintSession; }
    void SetCurrentPrintSession(platform::PMPrintSession* session) { currentPrintSession = session; }
    virtual std::string GetCurrentPrinterString() const { return currentPrintString; }
    platform::PMPrintSettings* GetCurrentPMPrintSettings() const { return m_pSettings; }
    void SetCurrentPMPrintSettings(platform::PMPrintSettings* settings) { m_pSettings = settings; }
    ppd_file_t* GetCurrentPPD() const { return m_ptCurrentPPD; }
    void SetCurrentPPD(ppd_file_t* ppd) { m_ptCurrentPPD = ppd; }
    platform::PDEPlugInCallback* GetCurrentPDECallbackObj() const { return m_pPDECallbackObj; }
    void SetCurrentPDECallbackObj(platform::PDEPlugInCallback* callback) { m_pPDECallbackObj = callback; }
    const ppd::XConstraintTable* Getxppd() const { return xppd; }
    const platform::Bundle* GetPDEBundleRef() const { return pdeBundleRef; }
    std::vector<std::string>& getGroupNameStrArrayRef() { return AllGroupNameStrArray; }
    std::vector<std::unique_ptr<BaseControl>>& getCtrlGroupArrayRef() { return fCtrlGroupArray; }
    const PreferenceDictionary& getPreferenceDictionaryRef() const { return preferenceDictionaryRef; }
    const PreferenceDictionary& getPreferenceDictionaryAnyUserRef() const { return preferenceDictionaryAnyUserRef; }
    void SetPanelControlPtr(widgets::View* view) { windowRef = view; }
    widgets::View* GetPanelView() const { return windowRef; }
    void SetParenetPane(BasePrintPanel* parent) { pParentPane = parent; }
    BasePrintPanel* GetParentWnd() const { return pParentPane; }
    void* GetPrinterSupporttedListRef() const { return nullptr; }
    void* GetErrMsgPanel() const { return nullptr; }
    ppd_file_t* GetPPDRefFromCurrentPrintSession() const;
    const std::string& GetLocalizeTableName() const { return LocalizeTableName; }
    void SetLocalizeTableName(std::string table) { LocalizeTableName = std::move(table); }
    // The number of controls and of child windows added (the arrays' sizes).
    std::uint32_t ControlCount() const { return static_cast<std::uint32_t>(fCtrlGroupArray.size()); }
    std::uint32_t WindowCount() const { return static_cast<std::uint32_t>(fWindowGroupArray.size()); }

    // The control whose widget carries the identifier: own controls, then
    // installable ones, then each child window in order.
    BaseControl* GetPanelControl(const ControlID* identifier) const;
    BaseControl* GetPanelControl(ControlID identifier) const { return GetPanelControl(&identifier); }

    // Loads a layout resource of the bundle into the panel's view, once.
    // False when it is missing or damaged; LayoutProblem() then names the
    // bundle, the layout and what is wrong, for the host to show.
    bool loadNibNamed(const std::string& name, widgets::View* owner);
    const std::string& LayoutProblem() const { return layoutProblem_; }
    void SetLayoutProblem(std::string problem) { layoutProblem_ = std::move(problem); }

    // Whether the current user may write any-user preferences. A seam so
    // hosts and tests can answer for a user other than the process's.
    virtual bool IsUserAdmin() const;

    // Whole-panel operations: controls in order, then child windows.
    virtual int Open();
    virtual int Close();
    virtual int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray);
    virtual int SetUIDataToIniData();
    virtual int SetDefaultValueToUI();
    virtual int SetCurrentValueToUI();
    virtual int SetValueFromUIToControl();
    virtual int GetValueFromPreference();
    virtual int GetValueFromPreferenceWithPrinterSettings();
    virtual bool GetValueFromPreset();
    virtual int SetValueToPreference();
    virtual int SetValueToPreferenceWithPrinterSettings();
    virtual int SetValueToTicket(platform::PMPrintSettings* settings, bool withParam);
    virtual int SetValueToTicket(platform::PMPrintSettings* settings, bool withParam,
                                 const std::vector<widgets::Widget*>* encryptArray);
    virtual void ReInitializeUserPaneControl(const platform::Bundle* bundle, ppd_file_t* withPPD);
    virtual int ResetControlStatus();
    virtual int ResetCurrentControlStatus();
    virtual int UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd);

    // The base answers of the host protocol.
    virtual bool shouldHide() { return true; }
    virtual void willShow() {}

    // Empties the arrays without destroying the controls: they go to the caller.
    std::vector<std::unique_ptr<BaseControl>> terminate();

protected:
    // The fan-out every whole-panel operation is built from. A step is a
    // member function pointer or a callable; args are passed to each call.
    // ForEachControl: every control of fCtrlGroupArray, in order.
    template <class Step, class... Args>
    void ForEachControl(Step step, Args&&... args);
    // ForEachWindowWhile: every child window in order while the step's
    // result lets the walk go on (an int result of 0, a bool result of true,
    // any void step); false when a window stopped it.
    template <class Step, class... Args>
    bool ForEachWindowWhile(Step step, Args&&... args);
    // The common shape: every control, then every window while it lets the
    // walk go on. 0: the base panel reports no failure from a fan-out.
    template <class ControlStep, class WindowStep, class... Args>
    int ControlsThenWindows(ControlStep controlStep, WindowStep windowStep, Args&&... args);

    std::string currentPrintString;
    std::vector<std::unique_ptr<BaseControl>> fCtrlGroupArray;
    std::vector<std::unique_ptr<BaseControl>> fCtrlInstallableGroupArray;
    std::vector<PopupWinInPanel*> fWindowGroupArray;  // the windows of ownedWindows_, in order
    std::vector<std::string> AllGroupNameStrArray;
    std::vector<std::string> GeneralGroupOptionArray;
    PreferenceDictionary preferenceDictionaryRef;
    PreferenceDictionary preferenceDictionaryAnyUserRef;
    BasePrintPanel* pParentPane = nullptr;
    widgets::View* windowRef = nullptr;
    const platform::Bundle* pdeBundleRef = nullptr;
    platform::PMPrintSession* currentPrintSession = nullptr;
    const ppd::XConstraintTable* xppd = nullptr;
    platform::PMPrintSettings* m_pSettings = nullptr;
    ppd_file_t* m_ptCurrentPPD = nullptr;
    platform::PDEPlugInCallback* m_pPDECallbackObj = nullptr;
    std::string LocalizeTableName;

private:
    // Empties currentPrintString and refills it with the session's printer;
    // false when the session names none.
    bool TakePrinterString(platform::PMPrintSession* session);
    // The host's PPD, the one installable options are read from.
    ppd_file_t* CallbackPPD() const;
    // The preference stores' result: without child windows, 0 when the last
    // control's store succeeded and 1 otherwise; with child windows, the
    // first non-zero window result, else 0.
    template <class ControlStore, class WindowStore>
    int StoreAll(ControlStore controlStore, WindowStore windowStore);

    // Owns the child windows; fWindowGroupArray lists them for the walks
    // and is emptied by terminate without destroying them.
    std::vector<std::unique_ptr<PopupWinInPanel>> ownedWindows_;
    bool nibLoaded_ = false;
    std::string layoutProblem_;
};

// A modal set-up window: a panel of its own (its controls answer the
// owning panel's lookups and fan-outs) shown by ActivateWindow until one of
// its buttons ends the run. OK commits only when every control accepts its
// value; Cancel never changes a committed value.
class PopupWinInPanel : public BasePrintPanel {
public:
    // PopupWinInPanel:theWinTitleStr:
    PopupWinInPanel(std::unique_ptr<widgets::Window> window, std::string theWinTitleStr);
    ~PopupWinInPanel() override;

    int InitializeUserPane(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    void InitializeUserPaneTitle(const platform::Bundle* bundle);
    void ReInitializeUserPane();
    void ReInitializeUserPaneTitle();
    // Opens the window and runs it modally until DeactivateWindow.
    virtual void ActivateWindow();
    virtual void DeactivateWindow();
    void ReleaseWindow() {}
    void SycValueFromUI();
    bool IsActived() const { return isActived; }
    void ChangeActivedStatus() { isActived = true; }
    void ChangeActivedStatus(bool actived) { isActived = actived; }
    std::string GetCurrentPrinterString() const override;
    bool IsUserAdmin() const override;
    void setPreferDictionary(const PreferenceDictionary& dictionary,
                             const PreferenceDictionary& anyUserDictionary) override;

    // The window's buttons. OK validates and commits (false: the window
    // stays open); Cancel keeps the committed values; Restore default shows
    // every default and leaves the window open.
    virtual bool OKWindow();
    virtual void CancelWindow(IdentifierList resetOnRefusal);
    virtual void RestoreDefaultWindow();

    widgets::Window* GetWindow() const { return window_.get(); }
    const std::string& GetTitleKey() const { return winTitleTextRef; }

protected:
    std::string winTitleTextRef;
    bool isActived = false;
    ppd_file_t* currentPPD = nullptr;

private:
    std::unique_ptr<widgets::Window> window_;
};

// The PPD a panel's controls work on: the panel's own, else the host's.
// Null without a panel.
ppd_file_t* PPDOf(const BasePrintPanel* panel);

// Builds a window's widgets from the bundle's layout of that name, its
// texts from table; false (and an empty window) when the layout is
// missing or damaged.
bool LoadWindowLayout(PopupWinInPanel& window, const platform::Bundle* bundle, const std::string& table,
                      const std::string& name);

namespace detail {
// Whether a window's result lets a fan-out go on to the next window.
inline bool GoesOn(int result) { return result == 0; }
inline bool GoesOn(bool result) { return result; }
}  // namespace detail

template <class Step, class... Args>
void BasePrintPanel::ForEachControl(Step step, Args&&... args)
{
    for (auto& control : fCtrlGroupArray) {
        std::invoke(step, *control, args...);
    }
}

template <class Step, class... Args>
bool BasePrintPanel::ForEachWindowWhile(Step step, Args&&... args)
{
    for (PopupWinInPanel* window : fWindowGroupArray) {
        if constexpr (std::is_void_v<std::invoke_result_t<Step, PopupWinInPanel&, Args&...>>) {
            std::invoke(step, *window, args...);
        } else if (!detail::GoesOn(std::invoke(step, *window, args...))) {
            return false;
        }
    }
    return true;
}

template <class ControlStep, class WindowStep, class... Args>
int BasePrintPanel::ControlsThenWindows(ControlStep controlStep, WindowStep windowStep, Args&&... args)
{
    ForEachControl(controlStep, args...);
    ForEachWindowWhile(windowStep, args...);
    return 0;
}

}  // namespace zlk::framework
