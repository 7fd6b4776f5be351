#include "dialog/framework/printpanel.h"

#include <algorithm>
#include <cstdio>

#include "platform/widgets/layout.h"
#include "ppd/ppdquery.h"
#include "ppd/sysutil.h"
#include "ppd/ticket.h"

namespace zlk::framework {

BasePrintPanel::BasePrintPanel(platform::PDEPlugInCallback* callback) : m_pPDECallbackObj(callback) {}

BasePrintPanel::~BasePrintPanel() = default;

void BasePrintPanel::CreatePanel(widgets::View* view)
{
    fCtrlGroupArray.clear();
    fCtrlInstallableGroupArray.clear();
    fWindowGroupArray.clear();
    AllGroupNameStrArray.clear();
    GeneralGroupOptionArray.clear();
    windowRef = view;
    pParentPane = nullptr;
    pdeBundleRef = nullptr;
    currentPrintSession = nullptr;
    currentPrintString.clear();
    m_pSettings = nullptr;
    m_ptCurrentPPD = nullptr;
    preferenceDictionaryRef.clear();
    preferenceDictionaryAnyUserRef.clear();
}

std::uint32_t BasePrintPanel::RunTimeAddNewControl(std::unique_ptr<BaseControl> control)
{
    const std::uint32_t index = ControlCount();
    if (!control || !control->GetControlPtr()) {
        return index;
    }
    control->SetParenetPanel(this);
    fCtrlGroupArray.push_back(std::move(control));
    return index;
}

std::uint32_t BasePrintPanel::RunTimeAddNewInstallableControl(std::unique_ptr<BaseControl> control)
{
    const auto index = static_cast<std::uint32_t>(fCtrlInstallableGroupArray.size());
    if (!control) {
        return index;
    }
    control->SetParenetPanel(this);
    fCtrlInstallableGroupArray.push_back(std::move(control));
    return index;
}

std::uint32_t BasePrintPanel::RunTimeAddNewWindow(std::unique_ptr<PopupWinInPanel> window)
{
    const std::uint32_t index = WindowCount();
    if (!window) {
        return index;
    }
    window->SetParenetPane(this);
    fWindowGroupArray.push_back(window.get());
    ownedWindows_.push_back(std::move(window));
    return index;
}

int BasePrintPanel::InitializeUserPane(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    pdeBundleRef = bundle;
    InitializeUserPaneControl(bundle, withPPD);
    SetControlEventHandler();
    InitilaizeChildWindow(bundle, withPPD);
    ConstrainPanelControlFromPPD(withPPD);
    return 0;
}

void BasePrintPanel::InitializeUserPaneControl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    ForEachControl(
        [this](BaseControl& control, const platform::Bundle* b, ppd_file_t* ppd) {
            // Controls without a table of their own use the panel's.
            if (control.GetLocalizeTableName().empty() && !LocalizeTableName.empty()) {
                control.SetLocalizeTableName(LocalizeTableName);
            }
            control.InitializeCtrl(b, ppd);
        },
        bundle, withPPD);
}

void BasePrintPanel::SetControlEventHandler() { ForEachControl(&BaseControl::setTargetandAction); }

void BasePrintPanel::InitilaizeChildWindow(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    // Every window, whatever it answers.
    ForEachWindowWhile(
        [](PopupWinInPanel& window, const platform::Bundle* b, ppd_file_t* ppd) { window.InitializeUserPane(b, ppd); },
        bundle, withPPD);
}

int BasePrintPanel::ConstrainPanelControlFromPPD(ppd_file_t* ppd)
{
    for (auto& control : fCtrlInstallableGroupArray) {
        control->ConstrainPanelControlFromPPD(ppd);
    }
    return 0;
}

bool BasePrintPanel::TakePrinterString(platform::PMPrintSession* session)
{
    currentPrintString.clear();
    return ppd::SetPrinterString(session, &currentPrintString) == 0;
}

ppd_file_t* BasePrintPanel::CallbackPPD() const { return m_pPDECallbackObj ? m_pPDECallbackObj->ppdFile() : nullptr; }

bool BasePrintPanel::SetCurrentPrintSettings(platform::PMPrintSettings* settings, ppd_file_t* andPPD,
                                             platform::PDEPlugInCallback* andCallbackObj,
                                             platform::PMPrintSession* withPrintSession)
{
    m_pSettings = settings;
    m_ptCurrentPPD = andPPD;
    m_pPDECallbackObj = andCallbackObj;
    return TakePrinterString(withPrintSession) && ForEachWindowWhile(&BasePrintPanel::SetCurrentPrintSettings, settings,
                                                                     andPPD, andCallbackObj, withPrintSession);
}

bool BasePrintPanel::SetCurrentPrinterString(platform::PMPrintSession* session)
{
    currentPrintSession = session;
    return TakePrinterString(session) && ForEachWindowWhile(&BasePrintPanel::SetCurrentPrinterString, session);
}

void BasePrintPanel::SetxppdPtr(const ppd::XConstraintTable* table)
{
    xppd = table;
    ForEachWindowWhile(&BasePrintPanel::SetxppdPtr, table);
}

void BasePrintPanel::setPreferDictionary(const PreferenceDictionary& dictionary,
                                         const PreferenceDictionary& anyUserDictionary)
{
    preferenceDictionaryRef = dictionary;
    preferenceDictionaryAnyUserRef = anyUserDictionary;
    ForEachWindowWhile(&BasePrintPanel::setPreferDictionary, dictionary, anyUserDictionary);
}

ppd_file_t* BasePrintPanel::GetPPDRefFromCurrentPrintSession() const
{
    return currentPrintSession ? CallbackPPD() : nullptr;
}

BaseControl* BasePrintPanel::GetPanelControl(const ControlID* identifier) const
{
    if (!identifier) {
        return nullptr;
    }
    for (const auto* array : {&fCtrlGroupArray, &fCtrlInstallableGroupArray}) {
        for (const auto& control : *array) {
            if (control->GetControlPtr() && control->GetControlPtr()->Tag() == *identifier) {
                return control.get();
            }
        }
    }
    for (PopupWinInPanel* window : fWindowGroupArray) {
        if (BaseControl* found = window->GetPanelControl(identifier)) {
            return found;
        }
    }
    return nullptr;
}

bool BasePrintPanel::loadNibNamed(const std::string& name, widgets::View* owner)
{
    if (nibLoaded_) {
        return true;
    }
    widgets::View* into = owner ? owner : windowRef;
    if (!pdeBundleRef || !into) {
        return false;
    }
    nlohmann::json layout;
    std::string why;
    const std::string what = "the plug-in bundle " + pdeBundleRef->folder().string() + " has a damaged layout " + name;
    if (pdeBundleRef->LoadLayout(name, layout, &why) != platform::noErr) {
        layoutProblem_ = what + ": " + why;
        return false;
    }
    // The loaded widgets belong to the view they were added to.
    const platform::Bundle* bundle = pdeBundleRef;
    const std::string table = LocalizeTableName.empty() ? platform::kDefaultStringTable : LocalizeTableName;
    auto status = widgets::LoadLayout(
        *into, layout.dump(), [bundle, table](const std::string& key) { return bundle->LocalizedString(key, table); });
    if (!status) {
        layoutProblem_ = what + ": " + status.error;
        return false;
    }
    nibLoaded_ = true;
    return true;
}

bool BasePrintPanel::IsUserAdmin() const { return ppd::IsUserAdmin(); }

namespace {
// A control step that gives the control its default when reading fails.
template <class Read>
auto OrDefault(Read read)
{
    return [read](BaseControl& control) {
        if (!std::invoke(read, control)) {
            control.SetControlValueToDefault();
        }
    };
}

void ResetIfWidget(BaseControl& control)
{
    if (control.GetControlPtr()) {
        control.ResetStatus();
    }
}
}  // namespace

int BasePrintPanel::Open() { return ControlsThenWindows(&BaseControl::Open, &BasePrintPanel::Open); }

int BasePrintPanel::Close() { return ControlsThenWindows(&BaseControl::Close, &BasePrintPanel::Close); }

int BasePrintPanel::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    return ControlsThenWindows(&BaseControl::GetSummaryText, &BasePrintPanel::GetSummaryText, dictionary, orderArray);
}

int BasePrintPanel::SetUIDataToIniData()
{
    return ControlsThenWindows(&BaseControl::SetUIValueToIniData, &BasePrintPanel::SetUIDataToIniData);
}

int BasePrintPanel::SetDefaultValueToUI()
{
    ForEachControl([](BaseControl& control) {
        control.SetDefaultValueToUI();
        control.SimulationUIEventHandler();
    });
    return 0;
}

int BasePrintPanel::SetCurrentValueToUI()
{
    // Every value is shown before any control applies its constraints.
    ForEachControl(&BaseControl::SetControlValueToUI);
    return ControlsThenWindows(&BaseControl::SimulationUIEventHandler, &BasePrintPanel::SetCurrentValueToUI);
}

int BasePrintPanel::SetValueFromUIToControl()
{
    ForEachControl([](BaseControl& control) {
        if (control.GetValueFromUI() != 0) {
            control.SetValueFromUIToControl();
        }
    });
    return 0;
}

int BasePrintPanel::GetValueFromPreference()
{
    return ControlsThenWindows(OrDefault(&BaseControl::GetValueFromPreference),
                               &BasePrintPanel::GetValueFromPreference);
}

int BasePrintPanel::GetValueFromPreferenceWithPrinterSettings()
{
    return ControlsThenWindows(OrDefault(&BaseControl::GetValueFromPreferenceWithPrinterSettings),
                               &BasePrintPanel::GetValueFromPreferenceWithPrinterSettings);
}

bool BasePrintPanel::GetValueFromPreset()
{
    ControlsThenWindows(OrDefault(&BaseControl::GetValueToPreset), &BasePrintPanel::GetValueFromPreset);
    return true;
}

template <class ControlStore, class WindowStore>
int BasePrintPanel::StoreAll(ControlStore controlStore, WindowStore windowStore)
{
    bool lastStored = true;
    ForEachControl([&](BaseControl& control) { lastStored = std::invoke(controlStore, control); });
    if (fWindowGroupArray.empty()) {
        return lastStored ? 0 : 1;
    }
    int result = 0;
    ForEachWindowWhile([&](PopupWinInPanel& window) { return result = std::invoke(windowStore, window); });
    return result;
}

int BasePrintPanel::SetValueToPreference()
{
    return StoreAll(&BaseControl::SetValueToPreference, &BasePrintPanel::SetValueToPreference);
}

int BasePrintPanel::SetValueToPreferenceWithPrinterSettings()
{
    return StoreAll(&BaseControl::SetValueToPreferenceWithPrinterSettings,
                    &BasePrintPanel::SetValueToPreferenceWithPrinterSettings);
}

int BasePrintPanel::SetValueToTicket(platform::PMPrintSettings* settings, bool withParam)
{
    return ControlsThenWindows([&](BaseControl& control) { control.SetValueToTicket(settings, withParam); },
                               [&](BasePrintPanel& window) { return window.SetValueToTicket(settings, withParam); });
}

int BasePrintPanel::SetValueToTicket(platform::PMPrintSettings* settings, bool withParam,
                                     const std::vector<widgets::Widget*>* encryptArray)
{
    return ControlsThenWindows(
        [&](BaseControl& control) {
            if (encryptArray) {
                control.SetValueToTicket(settings, withParam, *encryptArray);
            } else {
                control.SetValueToTicket(settings, withParam);
            }
        },
        [&](BasePrintPanel& window) { return window.SetValueToTicket(settings, withParam, encryptArray); });
}

void BasePrintPanel::ReInitializeUserPaneControl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    ForEachControl([bundle, withPPD](BaseControl& control) {
        control.ReInitializeCtrl(bundle, withPPD);
        control.ResetStatus();
    });
}

int BasePrintPanel::ResetControlStatus()
{
    ControlsThenWindows(ResetIfWidget, &BasePrintPanel::ResetControlStatus);
    ConstrainPanelControlFromPPD(CallbackPPD());
    return 0;
}

int BasePrintPanel::ResetCurrentControlStatus()
{
    ForEachControl(ResetIfWidget);
    ConstrainPanelControlFromPPD(CallbackPPD());
    return 0;
}

int BasePrintPanel::UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd)
{
    ForEachControl(&BaseControl::UpdateConflictsPanelControlFromPPD, ppd);
    return 0;
}

std::vector<std::unique_ptr<BaseControl>> BasePrintPanel::terminate()
{
    // The controls go back to the caller, the installable ones after the others.
    std::vector<std::unique_ptr<BaseControl>> controls = std::move(fCtrlGroupArray);
    for (auto& control : fCtrlInstallableGroupArray)
        controls.push_back(std::move(control));
    fCtrlGroupArray.clear();
    fCtrlInstallableGroupArray.clear();
    fWindowGroupArray.clear();
    currentPrintString.clear();
    return controls;
}

// ---------------------------------------------------------------------------

PopupWinInPanel::PopupWinInPanel(std::unique_ptr<widgets::Window> window, std::string theWinTitleStr)
    : BasePrintPanel(nullptr),
      winTitleTextRef(std::move(theWinTitleStr)),
      window_(std::move(window))
{
    CreatePanel(window_ ? &window_->Content() : nullptr);
}

PopupWinInPanel::~PopupWinInPanel()
{
    // The controls go before the window whose widgets they point at.
    fCtrlGroupArray.clear();
    fCtrlInstallableGroupArray.clear();
}

int PopupWinInPanel::InitializeUserPane(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    if (LocalizeTableName.empty() && withPPD) {
        if (ppd_attr_t* attr = ppd::ppdFindAttr_ALT(withPPD, kLocalizableIndexAttr); attr && attr->value) {
            char name[256];
            std::snprintf(name, sizeof name, "Localizable%s", attr->value);
            LocalizeTableName = name;
        }
    }
    InitializeUserPaneTitle(bundle);
    InitializeUserPaneControl(bundle, withPPD);
    pdeBundleRef = bundle;
    currentPPD = withPPD;
    SetControlEventHandler();
    return 0;
}

void PopupWinInPanel::InitializeUserPaneTitle(const platform::Bundle* bundle)
{
    if (!window_) {
        return;
    }
    const std::string table = LocalizeTableName.empty() ? platform::kDefaultStringTable : LocalizeTableName;
    window_->SetTitle(bundle ? bundle->LocalizedString(winTitleTextRef, table) : platform::kNoTranslation);
}

void PopupWinInPanel::ReInitializeUserPane()
{
    ReInitializeUserPaneControl(pdeBundleRef, currentPPD);
    ConstrainPanelControlFromPPD(currentPPD);
    ReInitializeUserPaneTitle();
    SetControlEventHandler();
}

void PopupWinInPanel::ReInitializeUserPaneTitle() { InitializeUserPaneTitle(pdeBundleRef); }

void PopupWinInPanel::ActivateWindow()
{
    if (!window_) {
        return;
    }
    if (!LayoutProblem().empty()) {
        widgets::Alert alert;
        alert.message = window_->Title().empty() ? "The window cannot be shown." : window_->Title();
        alert.informative = LayoutProblem();
        window_->GetToolkit().RunAlert(alert);
        return;
    }
    ReInitializeUserPane();
    SetUIDataToIniData();
    SetCurrentValueToUI();
    ChangeActivedStatus();
    window_->GetToolkit().RunModal(*window_);
    if (window_->IsOpen()) {
        window_->Close();
    }
}

void PopupWinInPanel::DeactivateWindow()
{
    if (!window_) {
        return;
    }
    window_->GetToolkit().StopModal();
    window_->Close();
}

void PopupWinInPanel::SycValueFromUI()
{
    ForEachControl([](BaseControl& control) {
        if (control.GetControlPtr()) {
            control.GetValueFromUI();
        }
    });
}

std::string PopupWinInPanel::GetCurrentPrinterString() const
{
    return pParentPane ? pParentPane->GetCurrentPrinterString() : std::string();
}

bool PopupWinInPanel::IsUserAdmin() const
{
    return pParentPane ? pParentPane->IsUserAdmin() : BasePrintPanel::IsUserAdmin();
}

void PopupWinInPanel::setPreferDictionary(const PreferenceDictionary& dictionary,
                                          const PreferenceDictionary& anyUserDictionary)
{
    preferenceDictionaryRef = dictionary;
    preferenceDictionaryAnyUserRef = anyUserDictionary;
}

bool PopupWinInPanel::OKWindow()
{
    SycValueFromUI();
    // The first control that refuses its value keeps the window open.
    if (!std::all_of(fCtrlGroupArray.begin(), fCtrlGroupArray.end(),
                     [](const auto& control) { return control->InvalidateData(); })) {
        return false;
    }
    SetValueFromUIToControl();
    DeactivateWindow();
    return true;
}

void PopupWinInPanel::CancelWindow(IdentifierList resetOnRefusal)
{
    // Every control is asked, both questions, even after a refusal.
    bool refused = false;
    ForEachControl([&refused](BaseControl& control) {
        const bool pre = control.PreInvalidateDataOnCancel();
        const bool valid = control.InvalidateDataOnCancel();
        refused = refused || !pre || !valid;
    });
    if (refused && resetOnRefusal) {
        for (IdentifierList at = resetOnRefusal; *at; ++at) {
            // The controls to reset may be the owning panel's (a list that
            // opened this window).
            BaseControl* control = GetPanelControl(*at);
            if (!control && GetParentWnd()) {
                control = GetParentWnd()->GetPanelControl(*at);
            }
            if (!control) {
                continue;
            }
            if (!control->SetDefaultValueToUI() || !control->SimulationUIEventHandler()) {
                break;
            }
        }
    }
    DeactivateWindow();
}

void PopupWinInPanel::RestoreDefaultWindow() { SetDefaultValueToUI(); }

bool LoadWindowLayout(PopupWinInPanel& window, const platform::Bundle* bundle, const std::string& table,
                      const std::string& name)
{
    nlohmann::json layout;
    if (!bundle || !window.GetWindow()) {
        return false;
    }
    // Said when the window is asked for (ActivateWindow), not silently empty.
    const std::string what = "the plug-in bundle " + bundle->folder().string() + " has a damaged layout " + name;
    std::string why;
    if (bundle->LoadLayout(name, layout, &why) != platform::noErr) {
        window.SetLayoutProblem(what + ": " + why);
        return false;
    }
    const widgets::LayoutStatus status =
        widgets::LoadWindowLayout(*window.GetWindow(), layout.dump(), [bundle, table](const std::string& key) {
            return bundle->LocalizedString(key, table);
        });
    if (!status) {
        window.SetLayoutProblem(what + ": " + status.error);
    }
    return status.ok;
}

ppd_file_t* PPDOf(const BasePrintPanel* panel)
{
    if (!panel)
        return nullptr;
    if (ppd_file_t* ppd = panel->GetCurrentPPD())
        return ppd;
    return panel->GetCurrentPDECallbackObj() ? panel->GetCurrentPDECallbackObj()->ppdFile() : nullptr;
}

}  // namespace zlk::framework
