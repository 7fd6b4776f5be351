#include "dialog/framework/printpanel.h"

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
    _control_num_item = 0;
    _installableControl_num_item = 0;
    _parentPane_num_item = 0;
    isRegistPrintEvent = false;
}

std::uint32_t BasePrintPanel::RunTimeAddNewControl(std::unique_ptr<BaseControl> control)
{
    const std::uint32_t index = _control_num_item;
    if (!control || !control->GetControlPtr()) {
        return index;
    }
    control->SetParenetPanel(this);
    fCtrlGroupArray.push_back(std::move(control));
    ++_control_num_item;
    return index;
}

std::uint32_t BasePrintPanel::RunTimeAddNewInstallableControl(std::unique_ptr<BaseControl> control)
{
    const std::uint32_t index = _installableControl_num_item;
    if (!control) {
        return index;
    }
    control->SetParenetPanel(this);
    fCtrlInstallableGroupArray.push_back(std::move(control));
    ++_installableControl_num_item;
    return index;
}

std::uint32_t BasePrintPanel::RunTimeAddNewWindow(std::unique_ptr<PopupWinInPanel> window)
{
    const std::uint32_t index = _parentPane_num_item;
    if (!window) {
        return index;
    }
    window->SetParenetPane(this);
    fWindowGroupArray.push_back(window.get());
    ownedWindows.push_back(std::move(window));
    ++_parentPane_num_item;
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
    for (auto& control : fCtrlGroupArray) {
        // Controls without a table of their own use the panel's.
        if (control->GetLocalizeTableName().empty() && !LocalizeTableName.empty()) {
            control->SetLocalizeTableName(LocalizeTableName);
        }
        control->InitializeCtrl(bundle, withPPD);
    }
}

void BasePrintPanel::SetControlEventHandler()
{
    for (auto& control : fCtrlGroupArray) {
        control->setTargetandAction();
    }
}

void BasePrintPanel::InitilaizeChildWindow(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    for (PopupWinInPanel* window : fWindowGroupArray) {
        window->InitializeUserPane(bundle, withPPD);
    }
}

int BasePrintPanel::ConstrainPanelControlFromPPD(ppd_file_t* ppd)
{
    for (auto& control : fCtrlInstallableGroupArray) {
        control->ConstrainPanelControlFromPPD(ppd);
    }
    return 0;
}

bool BasePrintPanel::SetCurrentPrintSettings(platform::PMPrintSettings* settings, ppd_file_t* andPPD,
                                             platform::PDEPlugInCallback* andCallbackObj,
                                             platform::PMPrintSession* withPrintSession)
{
    m_pSettings = settings;
    m_ptCurrentPPD = andPPD;
    m_pPDECallbackObj = andCallbackObj;
    currentPrintString.clear();
    if (ppd::SetPrinterString(withPrintSession, &currentPrintString) != 0) {
        return false;
    }
    for (PopupWinInPanel* window : fWindowGroupArray) {
        if (!window->SetCurrentPrintSettings(settings, andPPD, andCallbackObj, withPrintSession)) {
            return false;
        }
    }
    return true;
}

bool BasePrintPanel::SetCurrentPrinterString(platform::PMPrintSession* session)
{
    currentPrintSession = session;
    currentPrintString.clear();
    if (ppd::SetPrinterString(session, &currentPrintString) != 0) {
        return false;
    }
    for (PopupWinInPanel* window : fWindowGroupArray) {
        if (!window->SetCurrentPrinterString(session)) {
            return false;
        }
    }
    return true;
}

void BasePrintPanel::SetxppdPtr(const ppd::XConstraintTable* table)
{
    xppd = table;
    for (PopupWinInPanel* window : fWindowGroupArray) {
        window->SetxppdPtr(table);
    }
}

void BasePrintPanel::setPreferDictionary(const PreferenceDictionary& dictionary,
                                         const PreferenceDictionary& anyUserDictionary)
{
    preferenceDictionaryRef = dictionary;
    preferenceDictionaryAnyUserRef = anyUserDictionary;
    for (PopupWinInPanel* window : fWindowGroupArray) {
        window->setPreferDictionary(dictionary, anyUserDictionary);
    }
}

ppd_file_t* BasePrintPanel::GetPPDRefFromCurrentPrintSession() const
{
    if (!currentPrintSession || !m_pPDECallbackObj) {
        return nullptr;
    }
    return m_pPDECallbackObj->ppdFile();
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
    if (nibLoaded) {
        return true;
    }
    widgets::View* into = owner ? owner : windowRef;
    if (!pdeBundleRef || !into) {
        return false;
    }
    nlohmann::json layout;
    if (pdeBundleRef->LoadLayout(name, layout) != platform::noErr) {
        return false;
    }
    const std::size_t before = into->ChildCount();
    const platform::Bundle* bundle = pdeBundleRef;
    const std::string table = LocalizeTableName.empty() ? platform::kDefaultStringTable : LocalizeTableName;
    auto status = widgets::LoadLayout(
        *into, layout.dump(), [bundle, table](const std::string& key) { return bundle->LocalizedString(key, table); });
    if (!status) {
        return false;
    }
    for (std::size_t i = before; i < into->ChildCount(); ++i) {
        topLevelObjs.push_back(&into->ChildAt(i));
    }
    nibLoaded = true;
    return true;
}

bool BasePrintPanel::IsUserAdmin() const { return ppd::IsUserAdmin(); }

int BasePrintPanel::Open()
{
    for (auto& control : fCtrlGroupArray) {
        control->Open();
    }
    for (PopupWinInPanel* window : fWindowGroupArray) {
        if (window->Open() != 0) {
            break;
        }
    }
    return 0;
}

int BasePrintPanel::Close()
{
    for (auto& control : fCtrlGroupArray) {
        control->Close();
    }
    for (PopupWinInPanel* window : fWindowGroupArray) {
        if (window->Close() != 0) {
            break;
        }
    }
    return 0;
}

int BasePrintPanel::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    for (auto& control : fCtrlGroupArray) {
        control->GetSummaryText(dictionary, orderArray);
    }
    for (PopupWinInPanel* window : fWindowGroupArray) {
        if (window->GetSummaryText(dictionary, orderArray) != 0) {
            break;
        }
    }
    return 0;
}

int BasePrintPanel::SetUIDataToIniData()
{
    for (auto& control : fCtrlGroupArray) {
        control->SetUIValueToIniData();
    }
    for (PopupWinInPanel* window : fWindowGroupArray) {
        if (window->SetUIDataToIniData() != 0) {
            break;
        }
    }
    return 0;
}

int BasePrintPanel::SetDefaultValueToUI()
{
    for (auto& control : fCtrlGroupArray) {
        control->SetDefaultValueToUI();
        control->SimulationUIEventHandler();
    }
    return 0;
}

int BasePrintPanel::SetCurrentValueToUI()
{
    for (auto& control : fCtrlGroupArray) {
        control->SetControlValueToUI();
    }
    for (auto& control : fCtrlGroupArray) {
        control->SimulationUIEventHandler();
    }
    for (PopupWinInPanel* window : fWindowGroupArray) {
        if (window->SetCurrentValueToUI() != 0) {
            break;
        }
    }
    return 0;
}

int BasePrintPanel::SetValueFromUIToControl()
{
    for (auto& control : fCtrlGroupArray) {
        if (control->GetValueFromUI() != 0) {
            control->SetValueFromUIToControl();
        }
    }
    return 0;
}

int BasePrintPanel::GetValueFromPreference()
{
    for (auto& control : fCtrlGroupArray) {
        if (!control->GetValueFromPreference()) {
            control->SetControlValueToDefault();
        }
    }
    for (PopupWinInPanel* window : fWindowGroupArray) {
        if (window->GetValueFromPreference() != 0) {
            break;
        }
    }
    return 0;
}

int BasePrintPanel::GetValueFromPreferenceWithPrinterSettings()
{
    for (auto& control : fCtrlGroupArray) {
        if (!control->GetValueFromPreferenceWithPrinterSettings()) {
            control->SetControlValueToDefault();
        }
    }
    for (PopupWinInPanel* window : fWindowGroupArray) {
        if (window->GetValueFromPreferenceWithPrinterSettings() != 0) {
            break;
        }
    }
    return 0;
}

bool BasePrintPanel::GetValueFromPreset()
{
    for (auto& control : fCtrlGroupArray) {
        if (!control->GetValueToPreset()) {
            control->SetControlValueToDefault();
        }
    }
    for (PopupWinInPanel* window : fWindowGroupArray) {
        if (!window->GetValueFromPreset()) {
            break;
        }
    }
    return true;
}

namespace {
// The result the panels compare against 0 before writing the ticket.
template <class Store, class WindowStore>
int StoreAll(std::vector<std::unique_ptr<BaseControl>>& controls, std::vector<PopupWinInPanel*>& windows, Store store,
             WindowStore windowStore)
{
    bool lastStored = true;
    for (auto& control : controls) {
        lastStored = store(*control);
    }
    if (windows.empty()) {
        return lastStored ? 0 : 1;
    }
    for (PopupWinInPanel* window : windows) {
        if (const int result = windowStore(*window); result != 0) {
            return result;
        }
    }
    return 0;
}
}  // namespace

int BasePrintPanel::SetValueToPreference()
{
    return StoreAll(
        fCtrlGroupArray, fWindowGroupArray, [](BaseControl& c) { return c.SetValueToPreference(); },
        [](PopupWinInPanel& w) { return w.SetValueToPreference(); });
}

int BasePrintPanel::SetValueToPreferenceWithPrinterSettings()
{
    return StoreAll(
        fCtrlGroupArray, fWindowGroupArray, [](BaseControl& c) { return c.SetValueToPreferenceWithPrinterSettings(); },
        [](PopupWinInPanel& w) { return w.SetValueToPreferenceWithPrinterSettings(); });
}

int BasePrintPanel::SetValueToTicket(platform::PMPrintSettings* settings, bool withParam)
{
    for (auto& control : fCtrlGroupArray) {
        control->SetValueToTicket(settings, withParam);
    }
    for (PopupWinInPanel* window : fWindowGroupArray) {
        if (window->SetValueToTicket(settings, withParam) != 0) {
            break;
        }
    }
    return 0;
}

int BasePrintPanel::SetValueToTicket(platform::PMPrintSettings* settings, bool withParam,
                                     const std::vector<widgets::Widget*>* encryptArray)
{
    for (auto& control : fCtrlGroupArray) {
        if (encryptArray) {
            control->SetValueToTicket(settings, withParam, *encryptArray);
        } else {
            control->SetValueToTicket(settings, withParam);
        }
    }
    for (PopupWinInPanel* window : fWindowGroupArray) {
        if (window->SetValueToTicket(settings, withParam, encryptArray) != 0) {
            break;
        }
    }
    return 0;
}

void BasePrintPanel::ReInitializeUserPaneControl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    for (auto& control : fCtrlGroupArray) {
        control->ReInitializeCtrl(bundle, withPPD);
        control->ResetStatus();
    }
}

int BasePrintPanel::ResetControlStatus()
{
    for (auto& control : fCtrlGroupArray) {
        if (control->GetControlPtr()) {
            control->ResetStatus();
        }
    }
    for (PopupWinInPanel* window : fWindowGroupArray) {
        if (window->ResetControlStatus() != 0) {
            break;
        }
    }
    ConstrainPanelControlFromPPD(m_pPDECallbackObj ? m_pPDECallbackObj->ppdFile() : nullptr);
    return 0;
}

int BasePrintPanel::ResetCurrentControlStatus()
{
    for (auto& control : fCtrlGroupArray) {
        if (control->GetControlPtr()) {
            control->ResetStatus();
        }
    }
    ConstrainPanelControlFromPPD(m_pPDECallbackObj ? m_pPDECallbackObj->ppdFile() : nullptr);
    return 0;
}

int BasePrintPanel::UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd)
{
    for (auto& control : fCtrlGroupArray) {
        control->UpdateConflictsPanelControlFromPPD(ppd);
    }
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
    _control_num_item = 0;
    _installableControl_num_item = 0;
    _parentPane_num_item = 0;
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
    for (auto& control : fCtrlGroupArray) {
        if (control->GetControlPtr()) {
            control->GetValueFromUI();
        }
    }
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
    for (auto& control : fCtrlGroupArray) {
        if (!control->InvalidateData()) {
            return false;
        }
    }
    SetValueFromUIToControl();
    DeactivateWindow();
    return true;
}

void PopupWinInPanel::CancelWindow(IdentifierList resetOnRefusal)
{
    bool refused = false;
    for (auto& control : fCtrlGroupArray) {
        const bool pre = control->PreInvalidateDataOnCancel();
        const bool valid = control->InvalidateDataOnCancel();
        refused = refused || !pre || !valid;
    }
    if (refused && resetOnRefusal) {
        for (IdentifierList at = resetOnRefusal; *at; ++at) {
            BaseControl* control = GetPanelControl(*at);
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

ppd_file_t* PPDOf(const BasePrintPanel* panel)
{
    if (!panel)
        return nullptr;
    if (ppd_file_t* ppd = panel->GetCurrentPPD())
        return ppd;
    return panel->GetCurrentPDECallbackObj() ? panel->GetCurrentPDECallbackObj()->ppdFile() : nullptr;
}

}  // namespace zlk::framework
