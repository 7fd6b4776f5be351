#include "dialog/account/jbawnd.h"

#include <algorithm>
#include <cstring>

#include "dialog/account/jbapanel.h"
#include "platform/widgets/toolkit.h"
#include "ppd/inputfilter.h"
#include "ppd/textcodec.h"
#include "ppd/textutil.h"

namespace zlk::account {

namespace {

constexpr int kMaxStoragePassword = 12;
constexpr char kUnknownUser[] = "UnknownUser";

bool LoadLayout(framework::PopupWinInPanel& window, const JBAWindowContext& context, const char* name)
{
    return framework::LoadWindowLayout(window, context.bundle, context.table, name);
}

bool Usable(const widgets::Widget* widget) { return widget && !widget->IsHidden() && widget->IsEnabled(); }

int Characters(const std::string& text)
{
    const auto units = ppd::Utf8ToUtf16(text);
    return units ? static_cast<int>(units->size()) : -1;
}

bool OnlySpaces(const std::string& text) { return !text.empty() && text.find_first_not_of(' ') == std::string::npos; }

std::string TableOf(const BaseControl& control)
{
    return control.GetLocalizeTableName().empty() ? platform::kDefaultStringTable : control.GetLocalizeTableName();
}

// The value a person set in a widget: list position, radio or check state.
int WidgetValue(const widgets::Widget* widget, int fallback)
{
    if (!widget) {
        return fallback;
    }
    if (const auto* list = widget->As<widgets::PopUp>()) {
        return list->SelectedIndex() + 1;
    }
    if (const auto* radio = widget->As<widgets::RadioButton>()) {
        return radio->IsOn() ? 1 : 0;
    }
    if (const auto* box = widget->As<widgets::CheckBox>()) {
        return box->IsOn() ? 1 : 0;
    }
    return fallback;
}

void SetState(widgets::Widget* widget, bool enabled, bool hidden)
{
    if (widget) {
        widget->SetEnabled(enabled);
        widget->SetHidden(hidden);
    }
}

constexpr const char* kUserIDListItems[] = {"JBA Login Name", "JBA Input Name", nullptr};
constexpr framework::PopupIniData kUserIDListIni{0, 1, -1, 0, kUserIDListItems};
constexpr framework::RadioButtonIniData kUserSettingRadioIni{0, 1, -1, 0, "JBA User Setting Radio", nullptr};
constexpr framework::RadioButtonIniData kEnterDetailsRadioIni{0, 0, -1, 0, "JBA User Input Radio", nullptr};
constexpr framework::RadioButtonIniData kAuthRadioIni{0, 1, -1, 0, "JBA Auth Radio", nullptr};
constexpr framework::RadioButtonIniData kStorageRadioIni{0, 0, -1, 0, "JBA Strg Radio", nullptr};
constexpr CheckBoxIniData kShowPreviousIni{0, 1, -1, 0, "JBA Last Info Setting", nullptr};
constexpr CheckBoxIniData kMaskUserIDIni{0, 1, -1, 0, "JBA User ID Format", nullptr};
constexpr CheckBoxIniData kMaskUserIDNoDomainIni{0, 1, -1, 0, "JBA User ID Format No Domain", nullptr};
constexpr CheckBoxIniData kMaskAccountIDIni{0, 1, -1, 0, "JBA Account ID Format", nullptr};

// What the settings windows of the encrypting model have no controls for.
constexpr SettingsTag kNotOnQuorvel[] = {
    kSetStorageID,        kSetStorageIDCaption, kSetStoragePassword, kSetStoragePasswordCaption, kSetAccountID,
    kSetAccountIDCaption, kSetShowPrevious,     kSetMaskUserID,      kSetMaskAccountID};

const char* PreferenceUser(JBAPart part)
{
    return part == JBAPart::Admin ? framework::kPreferencesAnyUser : framework::kPreferencesCurrentUser;
}

}  // namespace

JBAPDE* JBAPanelOf(const framework::BasePrintPanel* panelOrWindow)
{
    if (!panelOrWindow) {
        return nullptr;
    }
    if (auto* panel = dynamic_cast<JBAPDE*>(const_cast<framework::BasePrintPanel*>(panelOrWindow))) {
        return panel;
    }
    return dynamic_cast<JBAPDE*>(panelOrWindow->GetParentWnd());
}

// --- fields ------------------------------------------------------------------

std::string JBAWndTextEditCtrl::LoginDefault(const std::string& loginName)
{
    const std::string cut = ppd::Utf8Prefix(loginName, 32);
    const auto units = ppd::Utf8ToUtf16(cut);
    const PTFieldRecord& record = JBAFieldRecord(JBAField::LoginName, 0, false, false);
    if (cut.empty() || !units || !ppd::validateInput(*units, record.filter)) {
        return kUnknownUser;
    }
    return cut;
}

JBAWndTextEditCtrl::JBAWndTextEditCtrl(widgets::Widget* widget, JBAField field, JBAPart part,
                                       const JBAWindowContext& context)
    : TextEditCtrl(widget, &JBAFieldRecord(field, context.pdeType, context.quorvel, part == JBAPart::Input).ini,
                   nullptr,
                   &JBAAccess(part, field == JBAField::LoginName ? JBAKeyName::Login : static_cast<JBAKeyName>(field)),
                   PreferenceUser(part),
                   &JBAFieldRecord(field, context.pdeType, context.quorvel, part == JBAPart::Input).filter),
      record_(JBAFieldRecord(field, context.pdeType, context.quorvel, part == JBAPart::Input)),
      field_(field),
      part_(part),
      storagePasswordMinimum_(context.storagePasswordMinimum)
{
    if (field == JBAField::LoginName && textEditIniDataPtr) {
        // The login name is the field's text from the start and its default.
        const std::string login = LoginDefault(context.loginName);
        std::memset(textEditIniDataPtr->initialText, 0, sizeof textEditIniDataPtr->initialText);
        std::memset(textEditIniDataPtr->defaultText, 0, sizeof textEditIniDataPtr->defaultText);
        std::memcpy(textEditIniDataPtr->initialText, login.data(), login.size());
        std::memcpy(textEditIniDataPtr->defaultText, login.data(), login.size());
    }
}

bool JBAWndTextEditCtrl::InitializeCtrl(const platform::Bundle*, ppd_file_t*)
{
    AllocateBlocks(framework::kTextBlockSize);
    InitializeCtrlFormat();
    return true;
}

std::string JBAWndTextEditCtrl::Text() const
{
    const widgets::TextField* field = ControlPtr ? ControlPtr->As<widgets::TextField>() : nullptr;
    return field ? field->Text() : CommittedText();
}

void JBAWndTextEditCtrl::SetText(const std::string& text)
{
    if (auto* field = ControlPtr ? ControlPtr->As<widgets::TextField>() : nullptr) {
        field->SetText(text);
    }
}

bool JBAWndTextEditCtrl::ToValidate() const
{
    return field_ != JBAField::LoginName && Usable(ControlPtr) && HasValueBlock();
}

bool JBAWndTextEditCtrl::Check(bool alert)
{
    const std::string text = Text();
    const int length = Characters(text);
    const auto units = ppd::Utf8ToUtf16(text);
    const bool allowed = units && ppd::validateInput(*units, record_.filter);
    bool valid = true;
    std::string fill;
    switch (field_) {
    case JBAField::StoragePassword: {
        const bool digits = std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
        valid = digits && static_cast<int>(text.size()) <= kMaxStoragePassword &&
                static_cast<int>(text.size()) >= storagePasswordMinimum_;
        fill = std::to_string(storagePasswordMinimum_);
        break;
    }
    case JBAField::UserID:
        valid = !text.empty() && !OnlySpaces(text) && length >= record_.ini.minWidth &&
                length <= record_.ini.maxWidth && allowed;
        break;
    case JBAField::StorageID:
        valid = text.empty() ||
                (!OnlySpaces(text) && length >= record_.ini.minWidth && length <= record_.ini.maxWidth && allowed);
        break;
    default:
        // Spaces alone are a value here; an empty field passes.
        valid = text.empty() || (length >= record_.ini.minWidth && length <= record_.ini.maxWidth && allowed);
        break;
    }
    if (!valid && alert) {
        ShowFieldAlert(ControlPtr, PanelBundle(), TableOf(*this), record_.filter.messageKey, fill);
    }
    return valid;
}

bool JBAWndTextEditCtrl::InvalidateData() { return !ToValidate() || Check(true); }
bool JBAWndTextEditCtrl::InvalidateDataAndReturnError() { return !ToValidate() || Check(false); }

bool JBAWndTextEditCtrl::ConvertToTickectData(std::string& out, bool lock)
{
    TextEditCtrl::ConvertToTickectData(out, lock);
    JBAPDE* panel = JBAPanelOf(ctrlParentPanelPtr);
    if (!panel || !panel->checkIsCostomizeUserPromptExist()) {
        return true;
    }
    const int identification = panel->getjbaInfoListCtrlPtr() ? panel->getjbaInfoListCtrlPtr()->CommittedInt() : 0;
    const bool noUser = identification == 2 || panel->getInfoSetMode() == 8;
    switch (field_) {
    case JBAField::UserID:
        if (noUser) {
            out = kUnknownUser;
        }
        break;
    case JBAField::LoginName:
        if (identification == 2) {
            out = kUnknownUser;
        }
        break;
    case JBAField::AccountID:
    case JBAField::UserPassword:
        if (noUser) {
            out.clear();
        }
        break;
    case JBAField::StorageID:
    case JBAField::StoragePassword:
        if (identification == 1) {
            out.clear();
        }
        break;
    default: break;
    }
    return true;
}

bool JBAWndTextEditCtrl::GetValueFromPreferenceWithPrinterSettings()
{
    // The login name is always the user's own.
    if (field_ == JBAField::LoginName) {
        return false;
    }
    return TextEditCtrl::GetValueFromPreferenceWithPrinterSettings();
}

bool JBAWndTextEditCtrl::SetValueToPreferenceWithPrinterSettings()
{
    if (part_ == JBAPart::Input) {
        JBAPDE* panel = JBAPanelOf(ctrlParentPanelPtr);
        if (!panel || !panel->getjbaInputWnd() || !panel->getjbaInputWnd()->KeepsLastInput()) {
            return true;
        }
    }
    return TextEditCtrl::SetValueToPreferenceWithPrinterSettings();
}

int JBAWndTextEditCtrl::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    JBAPDE* panel = JBAPanelOf(ctrlParentPanelPtr);
    const auto* window = dynamic_cast<const JBAInfoSettingsWnd*>(ctrlParentPanelPtr);
    if (!summaryKey_ || !panel || !window || window->getbEnterUserDetails()) {
        return 0;
    }
    if ((field_ == JBAField::UserID && window->getbUseLoginNameSelect()) ||
        (field_ == JBAField::LoginName && !window->getbUseLoginNameSelect())) {
        return 0;
    }
    std::string value;
    ConvertToTickectData(value, false);
    const std::string title = PanelBundle() ? PanelBundle()->LocalizedString(summaryKey_, TableOf(*this)) : summaryKey_;
    dictionary[title] = value;
    orderArray.push_back(title);
    return 0;
}

// --- lists, radios, check boxes ----------------------------------------------

JBAWndListCtrl::JBAWndListCtrl(widgets::Widget* widget, JBAPart part)
    : PopupControl(widget, &kUserIDListIni, nullptr, &JBAAccess(part, JBAKeyName::UserIDList), PreferenceUser(part))
{}

bool JBAWndListCtrl::UIEventHandler()
{
    auto* window = dynamic_cast<JBAInfoSettingsWnd*>(ctrlParentPanelPtr);
    if (window) {
        // The user ID typed so far must do before the source changes.
        auto* userID = dynamic_cast<JBAWndTextEditCtrl*>(window->GetPanelControl(window->Tag(kSetUserID)));
        if (userID && userID->ToValidate() && !userID->InvalidateData()) {
            ShowValue(UIInt() >= 1 ? UIInt() : 1);
            return false;
        }
        if (auto* password =
                dynamic_cast<JBAWndTextEditCtrl*>(window->GetPanelControl(window->Tag(kSetUserPassword)))) {
            password->SetText({});
        }
    }
    PopupControl::UIEventHandler();
    if (window) {
        window->ApplyState();
    }
    return true;
}

int JBAWndListCtrl::GetSummaryText(SummaryDictionary&, OrderArray&) { return 0; }

JBAWndRadioButton::JBAWndRadioButton(widgets::Widget* widget, const framework::RadioButtonIniData* IniData,
                                     const AccessInfo* access, const char* user, std::vector<ControlID> validateList)
    : RadioButton(widget, IniData, nullptr, access, user),
      validateList_(std::move(validateList))
{}

bool JBAWndRadioButton::UIEventHandler()
{
    const bool valid = std::all_of(validateList_.begin(), validateList_.end(), [this](ControlID tag) {
        BaseControl* field = ctrlParentPanelPtr ? ctrlParentPanelPtr->GetPanelControl(tag) : nullptr;
        return !field || field->InvalidateData();
    });
    if (!valid) {
        // Both buttons of the group go back as they were.
        SetWidgetState(widgets::kStateOff);
        if (auto* other = dynamic_cast<JBAWndRadioButton*>(GetAnotherRadioCtrlFromGroup())) {
            other->SetWidgetState(widgets::kStateOn);
        }
        return false;
    }
    RadioButton::UIEventHandler();
    if (auto* settings = dynamic_cast<JBAInfoSettingsWnd*>(ctrlParentPanelPtr)) {
        settings->ApplyState();
    } else if (auto* input = dynamic_cast<JBAInputWindow*>(ctrlParentPanelPtr)) {
        input->ApplyState();
    }
    return true;
}

JBAWndCheckBox::JBAWndCheckBox(widgets::Widget* widget, const CheckBoxIniData* IniData, const AccessInfo* access,
                               const char* user)
    : CheckBox(widget, IniData, nullptr, access, user)
{}

bool JBAWndCheckBox::UIEventHandler()
{
    CheckBox::UIEventHandler();
    if (auto* settings = dynamic_cast<JBAInfoSettingsWnd*>(ctrlParentPanelPtr)) {
        settings->ApplyState();
    }
    return true;
}

int JBAWndCheckBox::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    const auto* window = dynamic_cast<const JBAInfoSettingsWnd*>(ctrlParentPanelPtr);
    if (!window || !window->getbEnterUserDetails() || !checkboxctrlIniDataPtr || !PanelBundle()) {
        return 0;
    }
    const std::string table = TableOf(*this);
    const std::string title = PanelBundle()->LocalizedString(checkboxctrlIniDataPtr->titleKey, table);
    dictionary[title] = PanelBundle()->LocalizedString(CommittedInt() == 1 ? "On" : "Off", table);
    orderArray.push_back(title);
    return 0;
}

// --- settings windows ----------------------------------------------------------

JBAInfoSettingsWnd::JBAInfoSettingsWnd(widgets::Toolkit& toolkit, const JBAWindowContext& context, JBAPart part,
                                       std::vector<widgets::Widget*>& encryptArray)
    : PopupWinInPanel(
          toolkit.CreateWindow(part == JBAPart::Admin ? "Admin Window Title String" : "User Window Title String",
                               {0, 0, 480, 420}),
          part == JBAPart::Admin ? "Admin Window Title String" : "User Window Title String"),
      part_(part),
      base_(part == JBAPart::Admin ? kAdminWindowBase : kUserWindowBase),
      quorvel_(context.quorvel),
      hasSelectID_(context.hasSelectID)
{
    built_ = LoadLayout(*this, context, part == JBAPart::Admin ? "JBAAdminWindow" : "JBAUserWindow");
    if (!built_) {
        return;
    }
    const char* user = PreferenceUser(part);
    auto field = [&](SettingsTag offset, JBAField kind, const char* summaryKey) {
        auto control = std::make_unique<JBAWndTextEditCtrl>(Widget(offset), kind, part, context);
        control->SetSummaryKey(summaryKey);
        JBAWndTextEditCtrl* raw = control.get();
        RunTimeAddNewControl(std::move(control));
        return raw;
    };
    RunTimeAddNewControl(std::make_unique<framework::WindowOKButton>(Widget(kSetOK), "JBA Info OK Btn", this));
    RunTimeAddNewControl(
        std::make_unique<framework::WindowCancelButton>(Widget(kSetCancel), "JBA Info CANCEL Btn", this));
    RunTimeAddNewControl(
        std::make_unique<framework::WindowDefaultButton>(Widget(kSetRestore), "JBA Info RESTORE Btn", this));
    RunTimeAddNewControl(
        std::make_unique<PrintTypeHelpBtn>(Widget(kSetHelp), "DetailedUS_" + context.helpName + ".htm", false));
    auto group = framework::RadioGroup::Create();
    auto userSetting = std::make_unique<JBAWndRadioButton>(Widget(kSetUserSettingRadio), &kUserSettingRadioIni,
                                                           &JBAAccess(part, JBAKeyName::UserSettingRadio), user,
                                                           std::vector<ControlID>{});
    group->RunTimeAddNewControl(userSetting.get());
    RunTimeAddNewControl(std::move(userSetting));
    RunTimeAddNewControl(std::make_unique<JBAWndListCtrl>(Widget(kSetUserIDList), part));
    field(kSetUserID, JBAField::UserID, "JBA User ID");
    field(kSetLoginName, JBAField::LoginName, "JBA Login Name Text");
    encryptArray.push_back(field(kSetUserPassword, JBAField::UserPassword, nullptr)->GetControlPtr());
    AddCaption(kSetUserIDListCaption, "JBA User ID List Text");
    AddCaption(kSetUserIDCaption, "JBA User ID Text");
    AddCaption(kSetUserPasswordCaption, "JBA Password Text");
    std::vector<ControlID> enterDetailsChecks{Tag(kSetUserID), Tag(kSetUserPassword)};
    if (!quorvel_) {
        field(kSetStorageID, JBAField::StorageID, "Billing ID");
        encryptArray.push_back(field(kSetStoragePassword, JBAField::StoragePassword, nullptr)->GetControlPtr());
        AddCaption(kSetStorageIDCaption, "Billing ID text");
        AddCaption(kSetStoragePasswordCaption, "Billing ID Password text");
        enterDetailsChecks.push_back(Tag(kSetAccountID));
        enterDetailsChecks.push_back(Tag(kSetStorageID));
    }
    auto enterDetails =
        std::make_unique<JBAWndRadioButton>(Widget(kSetEnterDetailsRadio), &kEnterDetailsRadioIni,
                                            &JBAAccess(part, JBAKeyName::UserInputRadio), user, enterDetailsChecks);
    group->RunTimeAddNewControl(enterDetails.get());
    RunTimeAddNewControl(std::move(enterDetails));
    if (!quorvel_) {
        field(kSetAccountID, JBAField::AccountID, "JBA Account ID");
        AddCaption(kSetAccountIDCaption, "JBA Account ID Text");
        RunTimeAddNewControl(std::make_unique<JBAWndLastInputCheckBox>(Widget(kSetShowPrevious), &kShowPreviousIni,
                                                                       &JBAAccess(part, JBAKeyName::LastInfo), user));
        RunTimeAddNewControl(std::make_unique<JBAWndCheckBox>(
            Widget(kSetMaskUserID), context.pdeType <= 4 ? &kMaskUserIDNoDomainIni : &kMaskUserIDIni,
            &JBAAccess(part, JBAKeyName::UserIDFormat), user));
        RunTimeAddNewControl(std::make_unique<JBAWndCheckBox>(Widget(kSetMaskAccountID), &kMaskAccountIDIni,
                                                              &JBAAccess(part, JBAKeyName::AccountIDFormat), user));
    }
    AddCaption(kSetDomainCaption, "JBA Domain Name Text");
    field(kSetDomain, JBAField::Domain, "JBA Domain Name");
    HideFieldsNotCreated();
}

void JBAInfoSettingsWnd::HideFieldsNotCreated()
{
    // Nothing would keep or send what was typed there.
    if (quorvel_) {
        for (SettingsTag offset : kNotOnQuorvel) {
            SetState(Widget(offset), false, true);
        }
    }
}

widgets::Widget* JBAInfoSettingsWnd::Widget(SettingsTag offset) const
{
    return GetWindow() ? GetWindow()->Content().FindWidget(Tag(offset)) : nullptr;
}

void JBAInfoSettingsWnd::AddCaption(SettingsTag offset, const char* key)
{
    RunTimeAddNewControl(
        std::make_unique<PTStaticTextEditControl>(Widget(offset), nullptr, nullptr, nullptr, nullptr, nullptr, key));
}

int JBAInfoSettingsWnd::Committed(SettingsTag offset, int fallback) const
{
    const BaseControl* control = GetPanelControl(Tag(offset));
    return control && control->HasValueBlock() ? control->CommittedInt() : fallback;
}

bool JBAInfoSettingsWnd::getbEnterUserDetails() const { return Committed(kSetEnterDetailsRadio, 0) == 1; }
bool JBAInfoSettingsWnd::getbDisplayPrevious() const { return quorvel_ || Committed(kSetShowPrevious, 1) == 1; }
bool JBAInfoSettingsWnd::getbHideUserID() const { return !quorvel_ && Committed(kSetMaskUserID, 1) == 1; }
bool JBAInfoSettingsWnd::getbHideAccountID() const { return !quorvel_ && Committed(kSetMaskAccountID, 1) == 1; }
bool JBAInfoSettingsWnd::getbUseLoginNameSelect() const { return Committed(kSetUserIDList, 1) == 1; }

void JBAInfoSettingsWnd::ApplyState()
{
    JBAPDE* panel = JBAPanelOf(this);
    const bool userSetting = WidgetValue(Widget(kSetUserSettingRadio), 1) == 1;
    const bool enterDetails = WidgetValue(Widget(kSetEnterDetailsRadio), 0) == 1;
    const bool loginName = WidgetValue(Widget(kSetUserIDList), 1) == 1;
    // A person who is not an administrator sees the administrator's
    // settings but cannot change them.
    const bool locked = part_ == JBAPart::Admin && !IsUserAdmin();
    std::vector<SettingsTag> byCase;
    if (panel && panel->getAccountMode() == AccountMode()) {
        byCase = DisabledByCase(panel->getInfoSetMode());
    }
    auto inCase = [&](SettingsTag offset) { return std::find(byCase.begin(), byCase.end(), offset) != byCase.end(); };
    const SettingsTag identification[] = {
        kSetUserIDList,      kSetUserIDListCaption,     kSetUserID,    kSetUserIDCaption,
        kSetUserPassword,    kSetUserPasswordCaption,   kSetAccountID, kSetAccountIDCaption,
        kSetDomain,          kSetDomainCaption,         kSetStorageID, kSetStorageIDCaption,
        kSetStoragePassword, kSetStoragePasswordCaption};
    for (SettingsTag offset : identification) {
        SetState(Widget(offset), userSetting && !inCase(offset) && !locked, false);
    }
    SetState(Widget(kSetUserID), userSetting && !inCase(kSetUserID) && !locked, loginName);
    SetState(Widget(kSetLoginName), false, !loginName);
    for (SettingsTag offset : {kSetShowPrevious, kSetMaskUserID, kSetMaskAccountID}) {
        SetState(Widget(offset), enterDetails && !locked, false);
    }
    for (SettingsTag offset : {kSetUserSettingRadio, kSetEnterDetailsRadio, kSetRestore}) {
        SetState(Widget(offset), !locked, false);
    }
    HideFieldsNotCreated();
}

void JBAInfoSettingsWnd::InitializePaneConstrains() { ApplyState(); }

void JBAInfoSettingsWnd::ActivateWindow()
{
    if (!GetWindow()) {
        return;
    }
    if (IsActived()) {
        ReInitializeUserPaneTitle();
    }
    ChangeActivedStatus();
    SetUIDataToIniData();
    SetCurrentValueToUI();
    InitializePaneConstrains();
    GetWindow()->GetToolkit().RunModal(*GetWindow());
    if (GetWindow()->IsOpen()) {
        GetWindow()->Close();
    }
}

bool JBAInfoSettingsWnd::OKWindow()
{
    SycValueFromUI();
    for (auto& control : fCtrlGroupArray) {
        if (!control->InvalidateData()) {
            return false;
        }
    }
    SetValueFromUIToControl();
    JBAPDE* panel = JBAPanelOf(this);
    if (!quorvel_ && hasSelectID_ && !getbDisplayPrevious() && panel && panel->getjbaInputWnd()) {
        // Nothing typed at print time is kept: the input window starts empty.
        panel->getjbaInputWnd()->SetControlDataToDefault();
    }
    DeactivateWindow();
    return true;
}

void JBAInfoSettingsWnd::RestoreDefaultWindow()
{
    ForEachControl([](BaseControl& control) { control.SetDefaultValueToUI(); });
    ApplyState();
}

int JBAInfoSettingsWnd::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    JBAPDE* panel = JBAPanelOf(this);
    if (!panel || panel->getAccountMode() != AccountMode()) {
        return 0;
    }
    return PopupWinInPanel::GetSummaryText(dictionary, orderArray);
}

// --- input window --------------------------------------------------------------

JBAInputWindow::JBAInputWindow(widgets::Toolkit& toolkit, const JBAWindowContext& context,
                               std::vector<widgets::Widget*>& encryptArray)
    : PopupWinInPanel(toolkit.CreateWindow("Input Window Title String", {0, 0, 480, 380}), "Input Window Title String"),
      quorvel_(context.quorvel),
      hasSelectID_(context.hasSelectID),
      pdeType_(context.pdeType)
{
    built_ = LoadLayout(*this, context, "JBAInputWindow");
    if (!built_) {
        return;
    }
    layoutFrame_ = GetWindow()->Frame();
    const widgets::View& content = GetWindow()->Content();
    for (std::size_t i = 0; i < content.ChildCount(); ++i) {
        layoutFrames_.emplace_back(&content.ChildAt(i), content.ChildAt(i).Frame());
    }
    const char* user = framework::kPreferencesCurrentUser;
    auto field = [&](ControlID tag, JBAField kind) {
        auto control = std::make_unique<JBAWndTextEditCtrl>(Widget(tag), kind, JBAPart::Input, context);
        JBAWndTextEditCtrl* raw = control.get();
        RunTimeAddNewControl(std::move(control));
        return raw;
    };
    RunTimeAddNewControl(std::make_unique<framework::WindowOKButton>(Widget(kInOK), "JBA Input OK Btn", this));
    RunTimeAddNewControl(
        std::make_unique<framework::WindowCancelButton>(Widget(kInCancel), "JBA Input CANCEL Btn", this));
    RunTimeAddNewControl(
        std::make_unique<PrintTypeHelpBtn>(Widget(kInHelp), "EnterUD_" + context.helpName + ".htm", false));
    auto group = framework::RadioGroup::Create();
    auto auth = std::make_unique<JBAWndRadioButton>(Widget(kInAuthRadio), &kAuthRadioIni,
                                                    &JBAAccess(JBAPart::Input, JBAKeyName::AuthRadio), user,
                                                    std::vector<ControlID>{kInStorageID, kInMaskedStorageID});
    group->RunTimeAddNewControl(auth.get());
    RunTimeAddNewControl(std::move(auth));
    AddCaption(kInUserIDCaption, "JBA User ID Text");
    field(kInUserID, JBAField::UserID);
    AddCaption(kInUserPasswordCaption, "JBA Password Text");
    encryptArray.push_back(field(kInUserPassword, JBAField::UserPassword)->GetControlPtr());
    auto storage = std::make_unique<JBAWndRadioButton>(
        Widget(kInStorageRadio), &kStorageRadioIni, &JBAAccess(JBAPart::Input, JBAKeyName::StorageRadio), user,
        std::vector<ControlID>{kInUserID, kInMaskedUserID, kInUserPassword, kInAccountID, kInMaskedAccountID});
    group->RunTimeAddNewControl(storage.get());
    RunTimeAddNewControl(std::move(storage));
    AddCaption(kInStorageIDCaption, "Billing ID text");
    field(kInStorageID, JBAField::StorageID);
    AddCaption(kInStoragePasswordCaption, "Billing ID Password text");
    // Encrypted on every model, the encrypting one too: the filter opens it
    // as a storage blob, and a password never rests in the settings in clear.
    encryptArray.push_back(field(kInStoragePassword, JBAField::StoragePassword)->GetControlPtr());
    field(kInMaskedStorageID, JBAField::StorageID);
    field(kInMaskedUserID, JBAField::UserID);
    AddCaption(kInAccountIDCaption, "JBA Account ID Text");
    field(kInAccountID, JBAField::AccountID);
    field(kInMaskedAccountID, JBAField::AccountID);
    AddCaption(kInDomainCaption, "JBA Domain Name Text");
    field(kInDomain, JBAField::Domain);
    field(kInMaskedDomain, JBAField::Domain);
}

widgets::Widget* JBAInputWindow::Widget(ControlID tag) const
{
    return GetWindow() ? GetWindow()->Content().FindWidget(tag) : nullptr;
}

void JBAInputWindow::AddCaption(ControlID tag, const char* key)
{
    RunTimeAddNewControl(
        std::make_unique<PTStaticTextEditControl>(Widget(tag), nullptr, nullptr, nullptr, nullptr, nullptr, key));
}

bool JBAInputWindow::KeepsLastInput() const
{
    const JBAPDE* panel = JBAPanelOf(this);
    const JBAInfoSettingsWnd* settings = panel ? panel->CurrentSettingsWindow() : nullptr;
    return hasSelectID_ || !settings || settings->getbDisplayPrevious();
}

void JBAInputWindow::ApplyState()
{
    JBAPDE* panel = JBAPanelOf(this);
    const JBAInfoSettingsWnd* settings = panel ? panel->CurrentSettingsWindow() : nullptr;
    const bool maskUser = settings && settings->getbHideUserID();
    const bool maskAccount = settings && settings->getbHideAccountID();
    const bool auth = WidgetValue(Widget(kInAuthRadio), 1) == 1;
    const bool storage = WidgetValue(Widget(kInStorageRadio), 0) == 1;
    const int infoCase = panel ? panel->getInfoSetMode() : 1;
    bool radiosHidden = false;
    bool radiosDisabled = false;
    bool userHidden = false;
    bool accountHidden = false;
    bool storageHidden = false;
    switch (infoCase) {
    case 2: accountHidden = true; break;
    case 3: userHidden = true; break;
    case 4: radiosDisabled = true; break;
    case 5:
    case 9: radiosHidden = true; break;
    case 6: radiosHidden = accountHidden = true; break;
    case 7: radiosHidden = userHidden = true; break;
    case 8: radiosHidden = userHidden = accountHidden = storageHidden = true; break;
    default: break;
    }
    const bool userSide = auth && !userHidden;
    SetState(Widget(kInAuthRadio), !radiosDisabled, radiosHidden);
    SetState(Widget(kInStorageRadio), !radiosDisabled, radiosHidden);
    for (ControlID tag : {kInUserIDCaption, kInUserPasswordCaption, kInUserPassword, kInDomainCaption}) {
        SetState(Widget(tag), true, !userSide);
    }
    SetState(Widget(kInUserID), true, !userSide || maskUser);
    SetState(Widget(kInMaskedUserID), true, !userSide || !maskUser);
    SetState(Widget(kInDomain), true, !userSide || maskUser);
    SetState(Widget(kInMaskedDomain), true, !userSide || !maskUser);
    const bool accountShown = auth && !accountHidden;
    SetState(Widget(kInAccountIDCaption), true, !accountShown);
    SetState(Widget(kInAccountID), true, !accountShown || maskAccount);
    SetState(Widget(kInMaskedAccountID), true, !accountShown || !maskAccount);
    const bool storageShown = storage && !storageHidden;
    for (ControlID tag : {kInStorageIDCaption, kInStoragePasswordCaption, kInStoragePassword}) {
        SetState(Widget(tag), true, !storageShown);
    }
    SetState(Widget(kInStorageID), true, !storageShown || maskUser);
    SetState(Widget(kInMaskedStorageID), true, !storageShown || !maskUser);
    SetState(Widget(kInModeList), false, true);
    FitToShownRows();
}

void JBAInputWindow::FitToShownRows()
{
    widgets::Window* window = GetWindow();
    if (!window || layoutFrames_.empty()) {
        return;
    }
    const auto shown = [](const widgets::Widget& widget) {
        if (widget.IsHidden()) {
            return false;
        }
        // A radio group shows as long as one of its buttons does.
        bool any = widget.ChildCount() == 0;
        for (std::size_t i = 0; i < widget.ChildCount(); ++i) {
            any = any || !widget.ChildAt(i).IsHidden();
        }
        return any;
    };
    // Rows, bottom-up: controls whose frames overlap in height share one.
    struct Row {
        int bottom, top;
        bool shown;
    };
    auto placed = layoutFrames_;
    std::stable_sort(placed.begin(), placed.end(),
                     [](const auto& a, const auto& b) { return a.second.y < b.second.y; });
    std::vector<Row> rows;
    std::vector<std::size_t> rowOf;
    for (const auto& [widget, frame] : placed) {
        if (rows.empty() || frame.y >= rows.back().top) {
            rows.push_back({frame.y, frame.y + frame.height, false});
        }
        rows.back().top = std::max(rows.back().top, frame.y + frame.height);
        rows.back().shown = rows.back().shown || shown(*widget);
        rowOf.push_back(rows.size() - 1);
    }
    // An empty row goes with the gap above it, so the rows under it keep
    // their distance to the buttons; the topmost goes with the gap below it.
    std::vector<int> drop(rows.size(), 0);
    int closed = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        drop[i] = closed;
        if (!rows[i].shown) {
            closed +=
                i + 1 < rows.size() ? rows[i + 1].bottom - rows[i].bottom : rows[i].top - (i > 0 ? rows[i - 1].top : 0);
        }
    }
    widgets::Rect frame = layoutFrame_;
    frame.height -= closed;
    window->SetFrame(frame);
    for (std::size_t i = 0; i < placed.size(); ++i) {
        widgets::Rect moved = placed[i].second;
        moved.y -= drop[rowOf[i]];
        placed[i].first->SetFrame(moved);
    }
}

void JBAInputWindow::SycnContents()
{
    const std::pair<ControlID, ControlID> pairs[] = {{kInUserID, kInMaskedUserID},
                                                     {kInDomain, kInMaskedDomain},
                                                     {kInAccountID, kInMaskedAccountID},
                                                     {kInStorageID, kInMaskedStorageID}};
    for (const auto& [plain, masked] : pairs) {
        auto* plainField = dynamic_cast<JBAWndTextEditCtrl*>(GetPanelControl(plain));
        auto* maskedField = dynamic_cast<JBAWndTextEditCtrl*>(GetPanelControl(masked));
        if (!plainField || !maskedField) {
            continue;
        }
        const bool maskedShown = maskedField->GetControlPtr() && !maskedField->GetControlPtr()->IsHidden();
        if (maskedShown) {
            plainField->SetText(maskedField->Text());
        } else {
            maskedField->SetText(plainField->Text());
        }
    }
}

void JBAInputWindow::InitializePaneCtrlData()
{
    JBAPDE* panel = JBAPanelOf(this);
    const JBAInfoSettingsWnd* settings = panel ? panel->CurrentSettingsWindow() : nullptr;
    if (settings && !settings->getbDisplayPrevious()) {
        ForEachControl([](BaseControl& control) { control.SetControlValueToDefault(); });
    }
}

void JBAInputWindow::SetControlDataToDefault()
{
    ForEachControl([](BaseControl& control) { control.SetControlValueToDefault(); });
    SetValueToPreferenceWithPrinterSettings();
}

void JBAInputWindow::Present()
{
    if (!GetWindow()) {
        return;
    }
    ChangeActivedStatus();
    InitializePaneCtrlData();
    SetCurrentValueToUI();
    ApplyState();
    GetWindow()->GetToolkit().RunModal(*GetWindow());
    if (GetWindow()->IsOpen()) {
        GetWindow()->Close();
    }
}

void JBAInputWindow::SimulateWindow()
{
    InitializePaneCtrlData();
    SetCurrentValueToUI();
    ApplyState();
    SycValueFromUI();
    SetValueFromUIToControl();
}

bool JBAInputWindow::OKWindow()
{
    SycnContents();
    SycValueFromUI();
    for (auto& control : fCtrlGroupArray) {
        if (!control->PreInvalidateData() || !control->InvalidateData()) {
            return false;
        }
    }
    if (JBAPDE* panel = JBAPanelOf(this)) {
        panel->setJobStatus(kJobGoesOn);
    }
    SetValueFromUIToControl();
    DeactivateWindow();
    return true;
}

void JBAInputWindow::CancelWindow(framework::IdentifierList)
{
    if (JBAPDE* panel = JBAPanelOf(this)) {
        panel->setJobStatus(kJobStopped);
    }
    DeactivateWindow();
}

}  // namespace zlk::account
