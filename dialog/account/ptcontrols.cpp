#include "dialog/account/ptcontrols.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "dialog/account/printtypepanel.h"
#include "dialog/account/printtypewnd.h"
#include "platform/widgets/toolkit.h"
#include "ppd/inputfilter.h"
#include "ppd/ppdquery.h"
#include "ppd/textcodec.h"
#include "ppd/textutil.h"

namespace zlk::account {

namespace {

constexpr std::size_t kMaxTextBytes = 255;
constexpr int kMaxPasscode = 12;
constexpr int kMaxMailboxPassword = 20;
constexpr int kMaxMailboxDigits = 3;
// One halfwidth middle dot per passcode character in the summary.
constexpr char kMaskCharacter[] = "\xEF\xBD\xA5";

constexpr const char* kPrintTypeItems[] = {"Job Type None", "Job Type Secure", "Job Type Sample",
                                           "Job Type Time", "Job Type MBN",    nullptr};
// No previous choice at first, so the first showing applies the constraints.
constexpr framework::PopupIniData kPrintTypeListIni{0, 1, -1, 0, kPrintTypeItems};
// Normal print disables the Setup button.
constexpr const ControlID* kSetupButtonOnly[] = {&kSetupButtonTag, nullptr};
constexpr framework::IdentifierList kPrintTypeDisables[] = {kSetupButtonOnly};
const ConstraintInfo kPrintTypeListConstraint{kPrintTypeDisables, {}, {}};
const AccessInfo kPrintTypeListAccess{0, 0, ppd::kTicketKey<"PrintTypeTicketKey">,
                                      ppd::kTicketKey<"PrintTypeReference">};

constexpr const char* kDocumentTypeItems[] = {"Document Name Type Auto", "Document Name Type Enter Name", nullptr};
constexpr const char* kMailboxDocumentTypeItems[] = {"MailBox Document Name Type Auto",
                                                     "MailBox Document Name Type Enter Name", nullptr};

const AccessInfo kSharedTextAccess{framework::kDataTypeText, 0, nullptr, nullptr};
const AccessInfo kPasscodeAccess{ppd::FourCharCode("pwcf"), 0, ppd::kTicketKey<"PrintTypePasswordTicketKey">,
                                 ppd::kTicketKey<"PrintTypePasswordReference">};
const AccessInfo kMailboxNumberAccess{framework::kDataTypeText, 0, ppd::kTicketKey<"PrintTypeMBNTicketKey">,
                                      ppd::kTicketKey<"PrintTypeMBNReference">};
const AccessInfo kMailboxPasswordAccess{ppd::FourCharCode("pwcf"), 0, ppd::kTicketKey<"PrintTypeMBNPasswordTicketKey">,
                                        ppd::kTicketKey<"PrintTypeMBNPasswordReference">};
const AccessInfo kStartTimeAccess{ppd::FourCharCode("date"), 0, ppd::kTicketKey<"DelayPrintTicketKey">,
                                  ppd::kTicketKey<"DelayPrintReference">};

std::string TableOf(const BaseControl& control, const platform::Bundle*)
{
    return control.GetLocalizeTableName().empty() ? platform::kDefaultStringTable : control.GetLocalizeTableName();
}

// The localized text of key, or the key where the table has none.
std::string TextOrKey(const platform::Bundle* bundle, const char* key, const std::string& table)
{
    if (!bundle) {
        return key;
    }
    const std::string text = bundle->LocalizedString(key, table);
    return text == platform::kNoTranslation ? std::string(key) : text;
}

std::string ReplaceFirst(std::string text, const std::string& what, const std::string& with)
{
    if (const auto at = text.find(what); at != std::string::npos) {
        text.replace(at, what.size(), with);
    }
    return text;
}

bool AllDigits(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool OnlySpaces(const std::string& text)
{
    const auto units = ppd::Utf8ToUtf16(text);
    return units && !units->empty() && ppd::IsAllSpace(*units);
}

std::string Masked(std::size_t characters)
{
    std::string masked;
    for (std::size_t i = 0; i < characters; ++i) {
        masked += kMaskCharacter;
    }
    return masked;
}

void AddSummary(SummaryDictionary& dictionary, OrderArray& orderArray, const std::string& title,
                const std::string& value)
{
    dictionary[title] = value;
    orderArray.push_back(title);
}

}  // namespace

PrintTypePDE* PanelOf(const framework::BasePrintPanel* panelOrWindow)
{
    if (!panelOrWindow) {
        return nullptr;
    }
    if (auto* panel = dynamic_cast<PrintTypePDE*>(const_cast<framework::BasePrintPanel*>(panelOrWindow))) {
        return panel;
    }
    return dynamic_cast<PrintTypePDE*>(panelOrWindow->GetParentWnd());
}

void ShowFieldAlert(widgets::Widget* widget, const platform::Bundle* bundle, const std::string& table,
                    const char* messageKey, const std::string& fill)
{
    if (!widget || !bundle || !messageKey) {
        return;
    }
    widgets::Alert alert;
    alert.informative = bundle->LocalizedString(messageKey, table);
    if (!fill.empty()) {
        alert.informative = ReplaceFirst(alert.informative, "[n]", fill);
    }
    alert.buttons = {bundle->LocalizedString(framework::kAlertOKButtonKey, table)};
    alert.style = widgets::AlertStyle::Informational;
    widgets::Toolkit& toolkit = widget->GetToolkit();
    toolkit.RunAlert(alert);
    toolkit.SetFocus(widget);
}

// --- print type list ---------------------------------------------------------

PTListCtrl::PTListCtrl(widgets::Widget* widget, std::string mailboxKey, bool threeItems)
    : PopupControl(widget, &kPrintTypeListIni, &kPrintTypeListConstraint, &kPrintTypeListAccess,
                   framework::kPreferencesCurrentUser),
      mailboxKey_(std::move(mailboxKey)),
      threeItems_(threeItems)
{}

bool PTListCtrl::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    AllocateIntBlocks();
    InitializeMenu(bundle, withPPD);
    return true;
}

bool PTListCtrl::InitializeMenu(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    widgets::PopUp* list = List();
    if (!list) {
        return false;
    }
    list->RemoveAllItems();
    hasMailbox_ = withPPD && ppd::ppdFindAttr_ALT(withPPD, mailboxKey_.c_str());
    // Which types the printer can hold: nothing but normal print without
    // storage. No answer means every type.
    std::optional<std::set<std::string>> available;
    ppd_attr_t* secureDefault = withPPD ? ppd::ppdFindAttr_ALT(withPPD, "ZLKPTSecurePrintDefault") : nullptr;
    ppd_option_t* disk = withPPD ? ppdFindOption(withPPD, "ZLKHardDisk") : nullptr;
    const ppd_choice_t* marked = disk ? ppdFindMarkedChoice(withPPD, "ZLKHardDisk") : nullptr;
    const bool secureByDefault =
        secureDefault && secureDefault->value && std::strcmp(secureDefault->value, "True") == 0;
    if (!secureByDefault && marked) {
        const std::string choice = marked->choice;
        if (disk->ui == PPD_UI_PICKONE && choice == "None") {
            available = std::set<std::string>{"Job Type None"};
        } else if (disk->ui == PPD_UI_BOOLEAN && choice == "False") {
            const ppd_choice_t* ram = ppdFindMarkedChoice(withPPD, "ZLKRAMDisk");
            if (!ram || std::strcmp(ram->choice, "True") != 0) {
                available = std::set<std::string>{"Job Type None"};
            }
        }
    }
    const std::string table = TableOf(*this, bundle);
    for (int i = 0; kPrintTypeItems[i] && i < (threeItems_ ? 3 : 5); ++i) {
        const char* key = kPrintTypeItems[i];
        if (i == kPrintMailbox - 1 && !hasMailbox_) {
            continue;
        }
        list->AddItem(TextOrKey(bundle, key, table), key, !available || available->count(key) > 0);
    }
    return true;
}

int PTListCtrl::SelectedValue() const
{
    const widgets::PopUp* list = List();
    return list && list->SelectedIndex() >= 0 ? list->SelectedIndex() + 1 : 0;
}

bool PTListCtrl::Selectable(int value) const
{
    const widgets::PopUp* list = List();
    return list && list->IsEnabled() && value >= 1 && value <= list->ItemCount() && list->IsItemEnabled(value - 1) &&
           (value != kPrintMailbox || hasMailbox_);
}

bool PTListCtrl::SetControlValueToUI()
{
    if (!HasValueBlock()) {
        return true;
    }
    if (!Selectable(CommittedInt())) {
        SetBlockInt(ctrlDataBlkPtr, kPrintNormal);
    }
    return PopupControl::SetControlValueToUI();
}

bool PTListCtrl::UIEventHandler()
{
    const int next = SelectedValue();
    const int stored = UIInt();
    if (next != stored && next > kPrintNormal) {
        PrintTypePDE* panel = PanelOf(ctrlParentPanelPtr);
        PTSetupWnd* window = panel ? panel->WindowOfType(next) : nullptr;
        if (!window) {
            ShowValue(stored);
            return false;
        }
        window->ActivateWindow();
    }
    return PopupControl::UIEventHandler();
}

int PTListCtrl::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    const platform::Bundle* bundle = PanelBundle();
    const widgets::PopUp* list = List();
    if (!bundle || !list || !HasValueBlock()) {
        return 0;
    }
    const int value = CommittedInt();
    const std::string table = TableOf(*this, bundle);
    const std::string title = value >= 1 && value <= list->ItemCount() ? list->Item(value - 1).title : "";
    AddSummary(dictionary, orderArray, TextOrKey(bundle, "PDE Menu Summary", table), title);
    return 0;
}

void PTSetupButton::RequestControlAction(widgets::Widget*)
{
    PrintTypePDE* panel = PanelOf(ctrlParentPanelPtr);
    PTListCtrl* list = panel ? panel->getPrintTypeListCtrlPtr() : nullptr;
    if (PTSetupWnd* window = list ? panel->WindowOfType(list->SelectedValue()) : nullptr) {
        window->ActivateWindow();
    }
}

void PTDefaultButton::RequestControlAction(widgets::Widget*)
{
    if (ctrlParentPanelPtr) {
        ctrlParentPanelPtr->SetDefaultValueToUI();
        ctrlParentPanelPtr->SetValueFromUIToControl();
    }
}

PrintTypeHelpBtn::PrintTypeHelpBtn(widgets::Widget* widget, std::string helpPage, bool hideOnReset)
    : BaseButton(widget, "Help Button Title"),
      helpPage_(std::move(helpPage)),
      hideOnReset_(hideOnReset)
{}

bool PrintTypeHelpBtn::OpenHelp() const
{
    const platform::Bundle* bundle = PanelBundle();
    if (!bundle || !ControlPtr || helpPage_.empty() || !bundle->HelpPageExists(helpPage_)) {
        return false;
    }
    const std::string table = TableOf(*this, bundle);
    return ControlPtr->GetToolkit().OpenHelp(bundle->LocalizedString("Help Viewer Title for Job Accounting", table),
                                             bundle->LocalizedHelpPagePath(helpPage_, table).string(), "") == 0;
}

void PrintTypeHelpBtn::RequestControlAction(widgets::Widget*) { OpenHelp(); }

void PrintTypeHelpBtn::ResetStatus()
{
    BaseButton::ResetStatus();
    if (hideOnReset_) {
        Hide();
    }
}

VersionStringSText::VersionStringSText(widgets::Widget* widget, bool settingsFileUsable)
    : BaseControl(widget),
      settingsFileUsable_(settingsFileUsable)
{}

std::string VersionStringSText::VersionText(const std::string& bundleVersion, bool settingsFileUsable)
{
    std::string version = bundleVersion;
    for (auto at = version.find(" Build "); at != std::string::npos; at = version.find(" Build ")) {
        version.replace(at, 7, ".");
    }
    return "Ver." + version + (settingsFileUsable ? "" : ".");
}

bool VersionStringSText::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t*)
{
    if (ControlPtr && bundle) {
        ControlPtr->SetTitle(VersionText(bundle->version(), settingsFileUsable_));
    }
    if (HideCount() < 1) {
        Hide();
    }
    return true;
}

PTPWStaticTextEditControl::PTPWStaticTextEditControl(widgets::Widget* widget, std::string minimumKey, bool quorvel)
    : BaseControl(widget),
      minimumKey_(std::move(minimumKey)),
      quorvel_(quorvel)
{}

bool PTPWStaticTextEditControl::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    if (ControlPtr && bundle) {
        const std::string text = bundle->LocalizedString("Password Text", TableOf(*this, bundle));
        const int minimum = PTPWTextEditCtrl::MinimumFromPPD(withPPD, minimumKey_.c_str(), quorvel_);
        ControlPtr->SetTitle(ReplaceFirst(text, "[n]", std::to_string(minimum)));
    }
    return true;
}

// --- text fields -------------------------------------------------------------

PTTextEditCtrl::PTTextEditCtrl(widgets::Widget* widget, const PTFieldRecord& record, const AccessInfo* access)
    : TextEditCtrl(widget, &record.ini, nullptr, access, framework::kPreferencesCurrentUser, &record.filter),
      record_(record)
{}

bool PTTextEditCtrl::InitializeCtrl(const platform::Bundle*, ppd_file_t*)
{
    AllocateBlocks(framework::kTextBlockSize);
    InstallFormatter();
    return true;
}

void PTTextEditCtrl::InstallFormatter() { InitializeCtrlFormat(); }

int PTTextEditCtrl::LengthOf(const std::string& text) const { return framework::TextWidth(text); }

bool PTTextEditCtrl::ToValidate() const
{
    return ControlPtr && ctrlConstrainCount <= 0 && ctrlHideCount <= 0 && HasValueBlock();
}

bool PTTextEditCtrl::PassesFrameworkCheck(const std::string& text) const
{
    const int length = LengthOf(text);
    const auto units = ppd::Utf8ToUtf16(text);
    return units && length >= record_.ini.minWidth && length <= record_.ini.maxWidth &&
           ppd::validateInput(*units, record_.filter);
}

void PTTextEditCtrl::ShowMessage(const char* key, const std::string& fill)
{
    ShowFieldAlert(ControlPtr, PanelBundle(), TableOf(*this, PanelBundle()), key, fill);
}

bool PTTextEditCtrl::Check(bool alert)
{
    const std::string text = UIText();
    bool valid = true;
    if (text.empty() && record_.ini.minWidth > 0) {
        valid = false;
    } else if (OnlySpaces(text)) {
        valid = false;
    } else {
        valid = PassesFrameworkCheck(text);
    }
    if (!valid && alert) {
        ShowMessage(record_.filter.messageKey);
    }
    return valid;
}

bool PTTextEditCtrl::InvalidateData() { return !ToValidate() || Check(true); }
bool PTTextEditCtrl::InvalidateDataAndReturnError() { return !ToValidate() || Check(false); }

PTTextEditFormatter::PTTextEditFormatter(const ppd::TextEditFilterData* filter, int maxLength, bool latin1)
    : filter_(filter),
      maxLength_(maxLength),
      latin1_(latin1)
{}

bool PTTextEditFormatter::IsPartialStringValid(const std::string& proposed, std::string& error)
{
    const auto units = ppd::Utf8ToUtf16(proposed);
    const bool valid =
        units && (!filter_ || ppd::validateInput(*units, *filter_)) && PTLengthCount(proposed, latin1_) <= maxLength_;
    if (!valid) {
        error = framework::kStringTooLong;
    }
    return valid;
}

PTSharedTextEditCtrl::PTSharedTextEditCtrl(widgets::Widget* widget, const PTFieldRecord& record, bool userName,
                                           bool latin1)
    : PTTextEditCtrl(widget, record, &kSharedTextAccess),
      userName_(userName),
      latin1_(latin1)
{}

void PTSharedTextEditCtrl::InstallFormatter()
{
    // The framework's formatter would count a halfwidth katakana as 2 and
    // stop a name the field accepts halfway.
    if (widgets::TextField* field = Field()) {
        field->SetFormatter(std::make_unique<PTTextEditFormatter>(&record_.filter, record_.ini.maxWidth, latin1_));
    }
}

int PTSharedTextEditCtrl::LengthOf(const std::string& text) const { return PTLengthCount(text, latin1_); }

framework::ValueBlock* PTSharedTextEditCtrl::Block() const
{
    PrintTypePDE* panel = PanelOf(ctrlParentPanelPtr);
    if (!panel) {
        return nullptr;
    }
    return userName_ ? &panel->getPrintTypeUserNameDataBlk() : &panel->getPrintTypeDocumentNameDataBlk();
}

bool PTSharedTextEditCtrl::SetControlValueToUI()
{
    if (framework::ValueBlock* block = Block(); block && HasValueBlock()) {
        SetBlockText(ctrlDataBlkPtr, BlockText(*block));
    }
    return TextEditCtrl::SetControlValueToUI();
}

void PTSharedTextEditCtrl::SetValueFromUIToControl()
{
    TextEditCtrl::SetValueFromUIToControl();
    if (framework::ValueBlock* block = Block()) {
        SetBlockText(*block, CommittedText());
    }
}

int PTSharedTextEditCtrl::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    const framework::ValueBlock* block = Block();
    if (!summaryKey_ || !block) {
        return 0;
    }
    AddSummary(dictionary, orderArray, TextOrKey(PanelBundle(), summaryKey_, TableOf(*this, PanelBundle())),
               BlockText(*block));
    return 0;
}

PTUITextEditCtrl::PTUITextEditCtrl(widgets::Widget* widget, const PTFieldRecord& record, bool latin1,
                                   bool keywordSupported)
    : PTSharedTextEditCtrl(widget, record, true, latin1),
      keywordSupported_(keywordSupported)
{}

bool PTUITextEditCtrl::Check(bool alert)
{
    const std::string text = UIText();
    const char* message = nullptr;
    if (text.empty() && record_.ini.minWidth > 0) {
        message = record_.emptyMessage;
    } else if (OnlySpaces(text) && !keywordSupported_) {
        message = record_.filter.messageKey;
    } else if (!PassesFrameworkCheck(text)) {
        message = record_.filter.messageKey;
    }
    if (message && alert) {
        ShowMessage(message);
    }
    return message == nullptr;
}

std::string KPTWNDLOGINTECTRL::DefaultUserName(const std::string& loginName)
{
    const std::string cut = ppd::Utf8Prefix(loginName, 32);
    const auto units = ppd::Utf8ToUtf16(cut);
    if (cut.empty() || !units || !ppd::validateInput(*units, LoginNameRecord().filter)) {
        return "UnknownUser";
    }
    return cut;
}

KPTWNDLOGINTECTRL::KPTWNDLOGINTECTRL(widgets::Widget* widget, const std::string& loginName)
    : PTUITextEditCtrl(widget, LoginNameRecord(), false, true),
      defaultText_(DefaultUserName(loginName))
{}

PTDUTextEditCtrl::PTDUTextEditCtrl(widgets::Widget* widget, const PTFieldRecord& record, bool latin1)
    : PTSharedTextEditCtrl(widget, record, false, latin1)
{}

bool PTDUTextEditCtrl::Check(bool alert)
{
    // Spaces alone make a name: only the limits and the characters count.
    const bool valid = PassesFrameworkCheck(UIText());
    if (!valid && alert) {
        ShowMessage(record_.filter.messageKey);
    }
    return valid;
}

// --- passcode ----------------------------------------------------------------

PTPWTextEditCtrl::PTPWTextEditCtrl(widgets::Widget* widget, std::string minimumKey, bool quorvel)
    : PTTextEditCtrl(widget, kPasscodeRecord, &kPasscodeAccess),
      minimumKey_(std::move(minimumKey)),
      quorvel_(quorvel)
{}

bool PTPWTextEditCtrl::CheckDeviceModelFromPPD(ppd_file_t* ppd, const char* key)
{
    ppd_attr_t* attr = ppd ? ppd::ppdFindAttr_ALT(ppd, key) : nullptr;
    return attr && attr->value && std::strcmp(attr->value, "Quorvel") == 0;
}

int PTPWTextEditCtrl::MinimumFromPPD(ppd_file_t* ppd, const char* key, bool quorvel)
{
    int minimum = std::max(ppd::GetPWMiniIntValueFromPPD(ppd, key), 0);
    if (quorvel) {
        if (const int fromAttribute = ppd::GetAttrPWMiniIntValueFromPPD(ppd, key); fromAttribute >= 0) {
            minimum = fromAttribute;
        }
    }
    return std::clamp(minimum, 0, kMaxPasscode);
}

bool PTPWTextEditCtrl::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    PTTextEditCtrl::InitializeCtrl(bundle, withPPD);
    iMinPasscode =
        MinimumFromPPD(withPPD ? withPPD : framework::PPDOf(ctrlParentPanelPtr), minimumKey_.c_str(), quorvel_);
    return true;
}

bool PTPWTextEditCtrl::Check(bool alert)
{
    const std::string text = UIText();
    const int length = static_cast<int>(text.size());
    const bool valid = length <= kMaxPasscode && length >= iMinPasscode && AllDigits(text);
    if (!valid && alert) {
        ShowMessage("Message60", std::to_string(iMinPasscode));
    }
    return valid;
}

bool PTPWTextEditCtrl::InvalidateDataOnCancel()
{
    if (!ToValidate()) {
        return true;
    }
    const int length = static_cast<int>(CommittedText().size());
    return length >= iMinPasscode && length <= kMaxPasscode;
}

bool PTPWTextEditCtrl::InvalidateDataOnPrintCommand()
{
    GetValueFromUI();
    const std::string text = Field() ? Field()->Text() : CommittedText();
    PrintTypePDE* panel = PanelOf(ctrlParentPanelPtr);
    if (!AllDigits(text) || text.size() > static_cast<std::size_t>(kMaxPasscode)) {
        ShowMessage("Message60", std::to_string(iMinPasscode));
        return true;
    }
    if (static_cast<int>(text.size()) >= iMinPasscode) {
        return true;
    }
    if (panel && panel->IsPPDkeyPassCodeExist() && panel->getPassCodeAboutWndPtr()) {
        panel->getPassCodeAboutWndPtr()->ActivateWindow();
        return true;
    }
    ShowMessage("Message60", std::to_string(iMinPasscode));
    return true;
}

int PTPWTextEditCtrl::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    const platform::Bundle* bundle = PanelBundle();
    const auto units = ppd::Utf8ToUtf16(CommittedText());
    const std::string title = ReplaceFirst(TextOrKey(bundle, "Password", TableOf(*this, bundle)), "[n]",
                                           std::to_string(iMinPasscode) + " to " + std::to_string(kMaxPasscode));
    AddSummary(dictionary, orderArray, title, Masked(units ? units->size() : 0));
    return 0;
}

// --- mailbox -----------------------------------------------------------------

PTMBNTextEditCtrl::PTMBNTextEditCtrl(widgets::Widget* widget, std::string maximumKey)
    : PTTextEditCtrl(widget, kMailboxNumberRecord, &kMailboxNumberAccess),
      maximumKey_(std::move(maximumKey))
{}

bool PTMBNTextEditCtrl::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    PTTextEditCtrl::InitializeCtrl(bundle, withPPD);
    iMaxMailBoxNumber =
        ppd::GetMBMaxNumberFromPPD(withPPD ? withPPD : framework::PPDOf(ctrlParentPanelPtr), maximumKey_.c_str());
    return true;
}

bool PTMBNTextEditCtrl::IsNumberInRange(const std::string& text) const
{
    if (text.empty() || text.size() > static_cast<std::size_t>(kMaxMailboxDigits) || !AllDigits(text)) {
        return false;
    }
    const int value = std::atoi(text.c_str());
    return value >= 1 && value <= iMaxMailBoxNumber;
}

bool PTMBNTextEditCtrl::Check(bool alert)
{
    const bool valid = IsNumberInRange(UIText());
    if (!valid && alert) {
        ShowMessage(record_.filter.messageKey, std::to_string(iMaxMailBoxNumber) + " ");
    }
    return valid;
}

bool PTMBNTextEditCtrl::InvalidateDataOnCancel() { return !ToValidate() || IsNumberInRange(CommittedText()); }

std::string PTMBNTextEditCtrl::WithoutLeadingZeros(const std::string& text)
{
    const auto first = text.find_first_not_of('0');
    return first == std::string::npos ? std::string() : text.substr(first);
}

void PTMBNTextEditCtrl::SetValueFromUIToControl()
{
    if (HasValueBlock()) {
        SetBlockText(ctrlDataBlkPtr, WithoutLeadingZeros(UIText()));
    }
}

int PTMBNTextEditCtrl::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    AddSummary(dictionary, orderArray, TextOrKey(PanelBundle(), "MailBox Number ID", TableOf(*this, PanelBundle())),
               CommittedText());
    return 0;
}

PTMBNTextEditCtrlExt::PTMBNTextEditCtrlExt(widgets::Widget* widget)
    : PTTextEditCtrl(widget, kMailboxPasswordRecord, &kMailboxPasswordAccess)
{}

bool PTMBNTextEditCtrlExt::Check(bool alert)
{
    const std::string text = UIText();
    const bool valid = text.size() <= static_cast<std::size_t>(kMaxMailboxPassword) && AllDigits(text);
    if (!valid && alert) {
        ShowMessage(record_.filter.messageKey);
    }
    return valid;
}

bool PTMBNTextEditCtrlExt::InvalidateDataOnCancel()
{
    return !ToValidate() || CommittedText().size() <= static_cast<std::size_t>(kMaxMailboxPassword);
}

int PTMBNTextEditCtrlExt::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    // Masked like the passcode: the summary never shows a password.
    const auto units = ppd::Utf8ToUtf16(CommittedText());
    AddSummary(dictionary, orderArray, TextOrKey(PanelBundle(), "MNB Password", TableOf(*this, PanelBundle())),
               Masked(units ? units->size() : 0));
    return 0;
}

// --- document-name type ------------------------------------------------------

namespace {
constexpr framework::PopupIniData kDocumentTypeIni{0, kDocumentNameAuto, -1, 0, kDocumentTypeItems};
constexpr framework::PopupIniData kMailboxDocumentTypeIni{0, kDocumentNameAuto, -1, 0, kMailboxDocumentTypeItems};
}  // namespace

PTListCtrlExt::PTListCtrlExt(widgets::Widget* widget, bool mailboxTitles, ControlID nameField, ControlID nameCaption,
                             int pdeType)
    : PopupControl(widget, mailboxTitles ? &kMailboxDocumentTypeIni : &kDocumentTypeIni, nullptr, &kSharedTextAccess,
                   framework::kPreferencesCurrentUser),
      disabledByAuto_{&nameField_, &nameCaption_, nullptr},
      disableLists_{disabledByAuto_.data(), nullptr},
      constraint_{disableLists_, {}, {}},
      nameField_(nameField),
      nameCaption_(nameCaption),
      pdeType_(pdeType)
{
    StoreRecords(&constraint_, &kSharedTextAccess, framework::kPreferencesCurrentUser);
}

bool PTListCtrlExt::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    PopupControl::InitializeCtrl(bundle, withPPD);
    // These products name held jobs by hand unless told otherwise.
    if (listctrlIniDataPtr && (pdeType_ == kProductType2 || pdeType_ == kProductTypeQuorvel)) {
        listctrlIniDataPtr->defaultValue = kDocumentNameEntered;
    }
    return true;
}

bool PTListCtrlExt::SetControlValueToUI()
{
    PrintTypePDE* panel = PanelOf(ctrlParentPanelPtr);
    if (panel && HasValueBlock()) {
        int type = BlockInt(panel->getPrintTypeDocumentListDataBlk());
        if (type != kDocumentNameAuto && type != kDocumentNameEntered) {
            type = kDocumentNameAuto;
        }
        SetBlockInt(ctrlDataBlkPtr, type);
    }
    return PopupControl::SetControlValueToUI();
}

void PTListCtrlExt::SetValueFromUIToControl()
{
    PopupControl::SetValueFromUIToControl();
    // A list no one may change holds the automatic name.
    if (ControlPtr && !ControlPtr->IsEnabled() && HasValueBlock()) {
        SetBlockInt(ctrlDataBlkPtr, kDocumentNameAuto);
    }
    if (PrintTypePDE* panel = PanelOf(ctrlParentPanelPtr); panel && HasValueBlock()) {
        SetBlockInt(panel->getPrintTypeDocumentListDataBlk(), CommittedInt());
    }
}

bool PTListCtrlExt::UIEventHandler()
{
    // The name typed so far must be acceptable before the type changes.
    BaseControl* name = ctrlParentPanelPtr ? ctrlParentPanelPtr->GetPanelControl(nameField_) : nullptr;
    if (name) {
        name->GetValueFromUI();
        if (!name->InvalidateData()) {
            ShowValue(UIInt() >= 1 ? UIInt() : kDocumentNameAuto);
            return false;
        }
    }
    return PopupControl::UIEventHandler();
}

int PTListCtrlExt::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    const widgets::PopUp* list = List();
    PrintTypePDE* panel = PanelOf(ctrlParentPanelPtr);
    if (!summaryKey_ || !list || !panel) {
        return 0;
    }
    const int value = BlockInt(panel->getPrintTypeDocumentListDataBlk());
    const std::string title = value >= 1 && value <= list->ItemCount() ? list->Item(value - 1).title : "";
    AddSummary(dictionary, orderArray, TextOrKey(PanelBundle(), summaryKey_, TableOf(*this, PanelBundle())), title);
    return 0;
}

// --- start time --------------------------------------------------------------

ClockControl::ClockControl(widgets::Widget* hourStepper, widgets::Widget* minuteStepper)
    : BaseControl(hourStepper, nullptr, &kStartTimeAccess, framework::kPreferencesCurrentUser),
      minuteStepper_(minuteStepper)
{}

widgets::Stepper* ClockControl::Hour() const { return ControlPtr ? ControlPtr->As<widgets::Stepper>() : nullptr; }
widgets::Stepper* ClockControl::Minute() const
{
    return minuteStepper_ ? minuteStepper_->As<widgets::Stepper>() : nullptr;
}

std::chrono::system_clock::time_point ClockControl::Now() const
{
    PrintTypePDE* panel = PanelOf(ctrlParentPanelPtr);
    platform::PDEPlugInCallback* host = panel ? panel->GetCurrentPDECallbackObj() : nullptr;
    return host ? host->currentTime() : std::chrono::system_clock::now();
}

bool ClockControl::InitializeCtrl(const platform::Bundle*, ppd_file_t*)
{
    AllocateBlocks(kMidnight.size());
    ctrlDataSize = kMidnight.size();
    if (Hour()) {
        Hour()->SetRange(0, 23);
    }
    if (Minute()) {
        Minute()->SetRange(0, 59);
    }
    return true;
}

int ClockControl::GetValueFromUI()
{
    if (!Hour() || !Minute() || ctrlUIDataBlkPtr.size() < 2) {
        return 0;
    }
    ctrlUIDataBlkPtr[0] = static_cast<std::uint8_t>(std::clamp(Hour()->Value(), 0, 23));
    ctrlUIDataBlkPtr[1] = static_cast<std::uint8_t>(std::clamp(Minute()->Value(), 0, 59));
    readAt_ = std::chrono::system_clock::to_time_t(Now());
    return 1;
}

bool ClockControl::SetControlValueToUI()
{
    if (ctrlDataBlkPtr.size() >= 2 && Hour() && Minute()) {
        Hour()->SetValue(ctrlDataBlkPtr[0]);
        Minute()->SetValue(ctrlDataBlkPtr[1]);
    }
    return true;
}

bool ClockControl::SetExternalValueToUI(const void* value, std::uint32_t size)
{
    if (value && size >= 2 && Hour() && Minute()) {
        const auto* bytes = static_cast<const std::uint8_t*>(value);
        Hour()->SetValue(bytes[0]);
        Minute()->SetValue(bytes[1]);
    }
    return true;
}

bool ClockControl::ConvertToPreferenceString(std::string& out)
{
    if (ctrlDataBlkPtr.size() < 2) {
        return false;
    }
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", ctrlDataBlkPtr[0] % 24, ctrlDataBlkPtr[1] % 60);
    out = text;
    return true;
}

bool ClockControl::ConvertFromPreferenceString(const std::string& text)
{
    // "HH:MM"; anything else leaves the value as it was.
    if (ctrlDataBlkPtr.size() < 2 || text.size() < 5 || text[2] != ':' || !AllDigits(text.substr(0, 2)) ||
        !AllDigits(text.substr(3, 2))) {
        return false;
    }
    const int hour = std::stoi(text.substr(0, 2));
    const int minute = std::stoi(text.substr(3, 2));
    if (hour > 23 || minute > 59) {
        return false;
    }
    ctrlDataBlkPtr[0] = static_cast<std::uint8_t>(hour);
    ctrlDataBlkPtr[1] = static_cast<std::uint8_t>(minute);
    return true;
}

std::string ClockControl::StartText(int hour, int minute, std::time_t now)
{
    std::tm local{};
    localtime_r(&now, &local);
    if (hour * 60 + minute < local.tm_hour * 60 + local.tm_min) {
        const std::time_t tomorrow = now + 86400;
        localtime_r(&tomorrow, &local);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:00", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, hour, minute);
    return text;
}

bool ClockControl::ConvertToTickectData(std::string& out, bool)
{
    if (ctrlDataBlkPtr.size() < 2) {
        return false;
    }
    // Never read from the window in this dialog: dated from now.
    const std::time_t at = readAt_ ? *readAt_ : std::chrono::system_clock::to_time_t(Now());
    out = StartText(ctrlDataBlkPtr[0] % 24, ctrlDataBlkPtr[1] % 60, at);
    return true;
}

int ClockControl::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    std::string time;
    if (!ConvertToPreferenceString(time)) {
        return 0;
    }
    AddSummary(dictionary, orderArray, TextOrKey(PanelBundle(), "Start Print Time", TableOf(*this, PanelBundle())),
               time + ":00");
    return 0;
}

}  // namespace zlk::account
