#include "dialog/features/featurecontrols.h"

#include <cctype>
#include <cstring>
#include <functional>

#include "dialog/features/featurespanel.h"
#include "platform/printing/printsettings.h"
#include "platform/widgets/controls.h"
#include "ppd/ticket.h"

namespace zlk::features {

namespace {

// The disable lists of the fixed controls: one list per choice that
// disables something; later choices release it.
constexpr const ControlID* kTabMarginButton[] = {&TabMarginSetupBtnCtrlID, nullptr};
constexpr const ControlID* kSeparatorButton[] = {&SeparatorSetupBtnCtrlID, nullptr};
constexpr const ControlID* kNumInSequenceButton[] = {&NumInSequenceSetupBtnCtrlID, nullptr};
constexpr const ControlID* kTrimmerButton[] = {&TrimmerSetupBtnCtrlID, nullptr};
constexpr const ControlID* kOffsetStackingButton[] = {&OffsetStackingSetupBtnCtrlID, nullptr};
constexpr const ControlID* kBookletMargin[] = {&BookletMarginCheckBoxCtrlID, &BookletMarginSetupBtnCtrlID, nullptr};
constexpr const ControlID* kBookletMarginButton[] = {&BookletMarginSetupBtnCtrlID, nullptr};

constexpr framework::IdentifierList kFirstDisablesTabMargin[] = {kTabMarginButton};
constexpr framework::IdentifierList kFirstDisablesSeparator[] = {kSeparatorButton};
constexpr framework::IdentifierList kFirstDisablesNumInSequence[] = {kNumInSequenceButton};
constexpr framework::IdentifierList kFirstDisablesTrimmer[] = {kTrimmerButton};
constexpr framework::IdentifierList kFirstThreeDisableOffset[] = {kOffsetStackingButton, kOffsetStackingButton,
                                                                  kOffsetStackingButton};
constexpr framework::IdentifierList kFirstDisablesBooklet[] = {kBookletMargin};
constexpr framework::IdentifierList kFirstDisablesBookletButton[] = {kBookletMarginButton};

constexpr char kOnKey[] = "On";
constexpr char kOffKey[] = "Off";
constexpr char kMSIChoice[] = "MSI";

const PrintFeaturesPDE* FeaturesPanel(const framework::BasePrintPanel* panel)
{
    return dynamic_cast<const PrintFeaturesPDE*>(panel);
}

widgets::Rect ButtonFrame(const RowPlace& place)
{
    widgets::Rect frame;
    frame.x = kButtonHoffset + titleHoffset;
    frame.width = kButtonCtrlWidth;
    frame.height = kButtonCtrlHeight;
    frame.y = static_cast<int>(place.position.top +
                               (place.position.spacing + kButtonCtrlHeight) * (place.position.count - place.index));
    return frame;
}

// The display text of a list's choice number (counted from 1).
std::string ChoiceText(const std::vector<ppd::UIListEntry>& choices, int value)
{
    return value >= 1 && static_cast<std::size_t>(value) <= choices.size() ? choices[value - 1][2] : "";
}

// The marked or default choice number of a PPD list's default.
int DefaultOf(const BaseControl& control)
{
    const void* block = control.GetDefaultDataBlk();
    std::int32_t value = 0;
    if (block && control.GetDefaultDataSize() >= sizeof value) {
        std::memcpy(&value, block, sizeof value);
    }
    return value;
}

}  // namespace

TicketMedia::TicketMedia(const framework::BasePrintPanel* panel)
    : pageSizes(ReadChoiceNameList(panel, ppd::kTicketKey<"pageSizeArrayTicket">)),
      mediaTypes(ReadChoiceNameList(panel, ppd::kTicketKey<"mediaTypeArrayTicket">)),
      mediaColors(ReadChoiceNameList(panel, ppd::kTicketKey<"mediaColorArrayTicket">))
{}

bool TicketMedia::Refuses(const ppd::XConstraintTable* table, const std::string& key, ppd_file_t* ppd) const
{
    for (const auto& [option, values] : {std::pair{"PageSize", &pageSizes}, std::pair{"MediaType", &mediaTypes},
                                         std::pair{"ZLKMediaColor", &mediaColors}}) {
        for (const std::string& value : *values) {
            if (framework::PPDPopupControl::isChoiceConflicted(table, key.c_str(), option, value.c_str(), ppd)) {
                return true;
            }
        }
    }
    return false;
}

// The panel's rules disable a control while any of them holds.
void DisableWhileRulesHold(const PanelRules& rules, const std::function<void()>& disable)
{
    for (bool holds : {rules.mailbox, rules.mailboxRestore, rules.specialPage, rules.watermark}) {
        if (holds) {
            disable();
        }
    }
}

const ConstraintInfo kSeparatorListConstraint{kFirstDisablesSeparator, {}, {}};
const ConstraintInfo kTabMarginSwitchConstraint{kFirstDisablesTabMargin, {}, {}};
const ConstraintInfo kNumInSequenceSwitchConstraint{kFirstDisablesNumInSequence, {}, {}};
const ConstraintInfo kTrimmerSwitchConstraint{kFirstDisablesTrimmer, {}, {}};
const ConstraintInfo kTrimmerListConstraint{kFirstDisablesTrimmer, {}, {}};
const ConstraintInfo kOffsetStackingListConstraint{kFirstThreeDisableOffset, {}, {}};
const ConstraintInfo kBookletSelectionConstraint{kFirstDisablesBooklet, {}, {}};
const ConstraintInfo kBookletMarginSwitchConstraint{kFirstDisablesBookletButton, {}, {}};
const AccessInfo kSeparatorListAccess{0, 0, ppd::kTicketKey<"SeparatorPageListTicket">, nullptr};
const AccessInfo kTabMarginSwitchAccess{0, 0, ppd::kTicketKey<"TabMarginSwitchTicket">, nullptr};
const AccessInfo kNumInSequenceSwitchAccess{0, 0, ppd::kTicketKey<"NumInSequenceSwitchTicket">, nullptr};
const AccessInfo kTrimmerSwitchAccess{0, 0, ppd::kTicketKey<"TrimmerSwitchTicket">, nullptr};
const AccessInfo kTrimmerListAccess{0, 0, ppd::kTicketKey<"TrimmerSelectTicket">, nullptr};
const AccessInfo kOffsetStackingListAccess{0, 0, ppd::kTicketKey<"OffsetStackingListTicket">, nullptr};
const AccessInfo kEjectOptionsListAccess{0, 0, ppd::kTicketKey<"EjectOptionsListTicket">, nullptr};
const AccessInfo kBookletMarginSwitchAccess{0, 0, ppd::kTicketKey<"BookletMarginSwitchTicket">, nullptr};
const CheckBoxIniData kBookletMarginSwitchIniData{0, 0, -1, 0, "Booklet Margin Title", nullptr};

PanelRules RulesFor(const framework::BasePrintPanel* panel, std::string_view keyword)
{
    PanelRules rules;
    const PrintFeaturesPDE* features = FeaturesPanel(panel);
    if (!features) {
        return rules;
    }
    rules.mailbox = features->getPrintTypeMailbox() && Contains(features->getSavetoMailboxConstrainArray(), keyword);
    rules.mailboxRestore =
        features->getPrintTypeMailbox() && Contains(features->getSavetoMailboxConstrainandRestoreArray(), keyword);
    rules.specialPage =
        features->getSpecialPage() && Contains(features->getSpecialPageConstrainandRestoreArray(), keyword);
    rules.watermark = features->getWatermark() && Contains(features->getWatermarkConstrainandRestoreArray(), keyword);
    return rules;
}

std::vector<std::string> ReadChoiceNameList(const framework::BasePrintPanel* panel, const char* key)
{
    std::vector<std::string> names;
    std::string value;
    platform::PMPrintSettings* settings = panel ? panel->GetCurrentPMPrintSettings() : nullptr;
    if (!settings || platform::PMPrintSettingsGetValue(settings, key, &value) != platform::noErr) {
        return names;
    }
    std::string name;
    for (char c : value + ",") {
        if (c == ',' || std::isspace(static_cast<unsigned char>(c))) {
            if (!name.empty()) {
                names.push_back(std::move(name));
            }
            name.clear();
        } else {
            name += c;
        }
    }
    return names;
}

// --- group selector ----------------------------------------------------------

PFGroupList::PFGroupList(widgets::Widget* widget) : PopupControl(widget, nullptr, nullptr, nullptr, nullptr)
{
    if (widget) {
        widget->SetName(framework::kPageListName);
    }
}

bool PFGroupList::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    PopupControl::InitializeCtrl(bundle, withPPD);
    widgets::PopUp* list = List();
    if (!list || !ctrlParentPanelPtr) {
        return true;
    }
    list->RemoveAllItems();
    for (const std::string& title : ctrlParentPanelPtr->getGroupNameStrArrayRef()) {
        list->AddItem(title, title);
    }
    list->Select(list->ItemCount() > 0 ? 0 : -1);
    return true;
}

void PFGroupList::ShowValue(std::int32_t value)
{
    if (widgets::PopUp* list = List()) {
        list->Select(value >= 1 && value <= list->ItemCount() ? value - 1 : (list->ItemCount() > 0 ? 0 : -1));
    }
}

int PFGroupList::DoControlHideConstrain()
{
    if (!ctrlParentPanelPtr || !List()) {
        return 0;
    }
    const int shown = List()->SelectedIndex();
    for (auto& control : ctrlParentPanelPtr->getCtrlGroupArrayRef()) {
        if (control.get() == this || control->GetGroupIndex() < 0) {
            continue;
        }
        if (control->GetGroupIndex() == shown) {
            control->PPDCtrlShow();
        } else {
            control->PPDCtrlHide();
        }
    }
    return 0;
}

// --- PPD lists ---------------------------------------------------------------

PFBasePPDPopupListExt::PFBasePPDPopupListExt(const RowPlace& place, ControlID tag, std::string ppdKey,
                                             const ConstraintInfo* constraint, const AccessInfo* access,
                                             int totalLength, int titleLength, BaseControl* title)
    : PPDPopupControlExt(*place.groupBox, tag, std::move(ppdKey), nullptr, constraint, access,
                         framework::kPreferencesCurrentUser, totalLength, titleLength, nullptr, place.index,
                         place.group, place.position),
      title_(title)
{}

bool PFBasePPDPopupListExt::MarkChangedChoice()
{
    // While a rule shows the default, the job keeps the user's own choice.
    if (!valueDidChange || RulesFor(ctrlParentPanelPtr, kPPDMainKey).AnyRestore()) {
        return false;
    }
    if (!PPDMarkOptionByIndex(PanelPPD(), CommittedInt() - 1)) {
        return false;
    }
    valueDidChange = false;
    return true;
}

bool PFBasePPDPopupListExt::SetValueToTicket(platform::PMPrintSettings*, bool) { return MarkChangedChoice(); }

void PFList::DisableWithTitle()
{
    Disable();
    if (title_) {
        title_->Disable();
    }
}

int PFList::UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd)
{
    if (const int result = PPDPopupControl::UpdateConflictsPanelControlFromPPD(ppd); result != 0) {
        return result;
    }
    ResetStatus();
    if (title_) {
        title_->ResetStatus();
    }
    std::string interposer;
    if (platform::PMPrintSettings* settings = PanelSettings()) {
        platform::PMPrintSettingsGetValue(settings, ppd::kTicketKey<"whetherInterposerTicket">, &interposer);
    }
    const ppd::XConstraintTable* table = ctrlParentPanelPtr ? ctrlParentPanelPtr->Getxppd() : nullptr;
    const TicketMedia media(ctrlParentPanelPtr);
    widgets::PopUp* list = List();
    for (std::size_t i = 0; list && i < ctrlPPDInfoArrayRef.size(); ++i) {
        if (!list->IsItemEnabled(static_cast<int>(i))) {
            continue;
        }
        const std::string& choice = ctrlPPDInfoArrayRef[i][1];
        bool conflict = media.Refuses(table, ppd::XConstraintKey(kPPDMainKey, choice), ppd);
        // A tray 8 interposer cannot feed coil-punched sheets.
        if (interposer == "1" && kPPDMainKey == "ZLKNumPunchHoles" && choice == "CoilPunch") {
            conflict = true;
        }
        if (conflict) {
            list->SetItemEnabled(static_cast<int>(i), false);
        }
    }
    DisableWhileRulesHold(Rules(), [this] { DisableWithTitle(); });
    return 0;
}

void PFList::SetValueFromUIToControl()
{
    // Saving to a mailbox leaves the widget showing the default.
    TakeValueUnderRules(Rules().mailboxRestore);
}

int PFList::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    const int value = Rules().AnyRestore() ? DefaultOf(*this) : CommittedInt();
    const std::string text = ChoiceText(ctrlPPDInfoArrayRef, value);
    if (titleTextRef.empty() || text.empty()) {
        return 0;
    }
    dictionary[titleTextRef] = text;
    orderArray.push_back(titleTextRef);
    return 0;
}

PFCoverList::PFCoverList(const RowPlace& place, ControlID ctrlTag, std::string ppdKey, int totalLength, int titleLength,
                         BaseControl* title)
    : PFList(place, ctrlTag, std::move(ppdKey), ctrlTag == IntSheetListCtrlID ? &kSeparatorListConstraint : nullptr,
             ctrlTag == IntSheetListCtrlID ? &kSeparatorListAccess : nullptr, totalLength, titleLength, title),
      controlTag(ctrlTag)
{}

PFListExt::PFListExt(const RowPlace& place, std::string ppdKey, int totalLength, int titleLength, BaseControl* title,
                     framework::PopupWinInPanel* separatorWindow)
    : PFCoverList(place, IntSheetListCtrlID, std::move(ppdKey), totalLength, titleLength, title),
      separatorWindow_(separatorWindow)
{}

bool PFListExt::SetValueToTicket(platform::PMPrintSettings* settings, bool withParam)
{
    return MarkChangedChoice() && BaseSetValueToTicket(settings, withParam);
}

bool PFListExt::UIEventHandler()
{
    widgets::PopUp* list = List();
    const int next = list ? list->SelectedIndex() + 1 : 0;
    if (list && next != CommittedInt() && next > 1) {
        ppd_file_t* ppd = PanelPPD();
        if (SetPPD(ppd)) {
            valueDidChange = true;
            if (separatorWindow_) {
                separatorWindow_->ActivateWindow();
            }
        }
    }
    return PFCoverList::UIEventHandler();
}

PFCoverTypeList::PFCoverTypeList(const RowPlace& place, std::string ppdKey, int totalLength, int titleLength,
                                 BaseControl* title)
    : PFList(place, 0, std::move(ppdKey), nullptr, nullptr, totalLength, titleLength, title),
      ctrlBringConsArray{IntCoverListCtrlID, IntBackCoverListCtrlID, IntSheetListCtrlID}
{}

bool PFCoverTypeList::isDisabledAndRestoreDefault() const
{
    for (ControlID tag : ctrlBringConsArray) {
        const BaseControl* control = ctrlParentPanelPtr ? ctrlParentPanelPtr->GetPanelControl(tag) : nullptr;
        const widgets::Widget* widget = control ? control->GetControlPtr() : nullptr;
        const auto* list = widget ? widget->As<widgets::PopUp>() : nullptr;
        if (list && list->SelectedKey() == kMSIChoice) {
            return false;
        }
    }
    return true;
}

int PFCoverTypeList::UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd)
{
    const int result = PFList::UpdateConflictsPanelControlFromPPD(ppd);
    widgets::Widget* titleWidget = title_ ? title_->GetControlPtr() : nullptr;
    if (isDisabledAndRestoreDefault()) {
        PopupControl::SetDefaultValueToUI();
        if (ControlPtr) {
            ControlPtr->SetEnabled(false);
        }
        if (titleWidget) {
            titleWidget->SetEnabled(false);
        }
        RestoreDefault();
    } else {
        if (ControlPtr) {
            ControlPtr->SetEnabled(true);
        }
        if (titleWidget) {
            titleWidget->SetEnabled(true);
        }
    }
    return result;
}

void PFCoverTypeList::RestoreDefault()
{
    if (listctrlIniDataPtr && listctrlIniDataPtr->defaultValue >= 1) {
        PPDMarkOptionByIndex(PanelPPD(), listctrlIniDataPtr->defaultValue - 1);
    }
}

bool PFCoverTypeList::GetValueToPreset()
{
    ppd_file_t* ppd = PanelPPD();
    const ppd_choice_t* marked = ppd ? ppdFindMarkedChoice(ppd, kPPDMainKey.c_str()) : nullptr;
    if (!marked || ctrlDataBlkPtr.empty()) {
        return false;
    }
    std::size_t index = 0;
    while (index < ctrlPPDInfoArrayRef.size() && ctrlPPDInfoArrayRef[index][1] != marked->choice) {
        ++index;
    }
    if (index == ctrlPPDInfoArrayRef.size()) {
        return false;
    }
    if (ctrlPPDInfoArrayRef[index][3] != ppd::kConflictTrue) {
        if (!AskHostToMark(OptionKeyword(), marked->choice)) {
            return false;
        }
        SetBlockInt(ctrlDataBlkPtr, static_cast<std::int32_t>(index) + 1);
    }
    if (const PrintFeaturesPDE* features = FeaturesPanel(ctrlParentPanelPtr);
        features && features->getPrintTypeMailbox()) {
        SetControlValueToDefault();
    }
    return true;
}

bool PFTicketList::SetValueToTicket(platform::PMPrintSettings* settings, bool)
{
    const AccessInfo* access = GetAccessInfo();
    if (!access || !access->ticketKey) {
        return MarkChangedChoice();
    }
    std::string text;
    ConvertToTickectData(text, false);
    if (framework::NeedsSlashDecimal(text)) {
        text = framework::ToSlashDecimal(text);
    }
    if (IsOutputNullToTicket()) {
        text.clear();
    }
    if (!ppd::SetCStringToTicket(settings, text.c_str(), access->ticketKey, false)) {
        return false;
    }
    return MarkChangedChoice();
}

PFOffsetStackingListCtrl::PFOffsetStackingListCtrl(const RowPlace& place, std::string ppdKey, int totalLength,
                                                   int titleLength, BaseControl* title,
                                                   framework::PopupWinInPanel* pagesWindow,
                                                   framework::PopupWinInPanel* unitsWindow)
    : PFTicketList(place, OffsetStackingListCtrlID, std::move(ppdKey), &kOffsetStackingListConstraint,
                   &kOffsetStackingListAccess, totalLength, titleLength, title),
      pagesWindow_(pagesWindow),
      unitsWindow_(unitsWindow)
{}

framework::PopupWinInPanel* PFOffsetStackingListCtrl::WindowForValue() const
{
    // The value the list shows, as the panel's offset stacking value reads it.
    const widgets::PopUp* list = List();
    switch (list ? list->SelectedIndex() + 1 : 0) {
    case 4: return pagesWindow_;
    case 5: return unitsWindow_;
    default: return nullptr;
    }
}

bool PFOffsetStackingListCtrl::UIEventHandler()
{
    const widgets::PopUp* list = List();
    const int next = list ? list->SelectedIndex() + 1 : 0;
    framework::PopupWinInPanel* window = next == 4 ? pagesWindow_ : next == 5 ? unitsWindow_ : nullptr;
    if (window && next != UIInt()) {
        window->ActivateWindow();
    }
    return PFTicketList::UIEventHandler();
}

// --- PPD check boxes ---------------------------------------------------------

PFCheckBox::PFCheckBox(const RowPlace& place, ControlID tag, std::string ppdKey, const ConstraintInfo* constraint,
                       const AccessInfo* access)
    : PanelRuled(*place.groupBox, tag, std::move(ppdKey), nullptr, constraint, access,
                 framework::kPreferencesCurrentUser, kPopUpCtrlTotalWidth, 0, place.index, place.group, place.position)
{}

int PFCheckBox::UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd)
{
    PPDCheckBox::UpdateConflictsPanelControlFromPPD(ppd);
    for (std::size_t i = 0; i < ctrlPPDInfoArrayRef.size(); ++i) {
        if (ctrlPPDInfoArrayRef[i][3] == ppd::kConflictTrue) {
            if (ControlPtr) {
                ControlPtr->SetEnabled(false);
            }
            break;
        }
        if (ControlPtr) {
            ControlPtr->SetEnabled(true);
        }
        ResetStatus();
        if (i + 1 < ctrlPPDInfoArrayRef.size()) {
            continue;
        }
        const ppd::XConstraintTable* table = ctrlParentPanelPtr ? ctrlParentPanelPtr->Getxppd() : nullptr;
        const char* on = ChoiceOfState(1);
        if (on && TicketMedia(ctrlParentPanelPtr).Refuses(table, ppd::XConstraintKey(kPPDMainKey, on), ppd)) {
            Disable();
            return 0;
        }
        DisableWhileRulesHold(Rules(), [this] { Disable(); });
    }
    return 0;
}

void PFCheckBox::SetValueFromUIToControl()
{
    const PanelRules rules = Rules();
    TakeValueUnderRules(rules.mailboxRestore || rules.specialPage);
}

int PFCheckBox::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    const int state = Rules().AnyRestore() ? DefaultOf(*this) : CommittedInt();
    const char* choice = ChoiceOfState(state);
    for (const auto& entry : ctrlPPDInfoArrayRef) {
        if (choice && entry[1] == choice && !titleTextRef.empty()) {
            dictionary[titleTextRef] = entry[2];
            orderArray.push_back(titleTextRef);
            break;
        }
    }
    return 0;
}

bool PFCheckBox::MarkChangedChoice()
{
    if (!valueDidChange || Rules().AnyRestore()) {
        return false;
    }
    const char* choice = ChoiceOfState(CommittedInt());
    if (!choice || !AskHostToMark(OptionKeyword(), choice)) {
        return false;
    }
    valueDidChange = false;
    return true;
}

bool PFCheckBox::SetValueToTicket(platform::PMPrintSettings*, bool) { return MarkChangedChoice(); }

bool PFCheckBoxExt::SetValueToTicket(platform::PMPrintSettings* settings, bool withParam)
{
    return MarkChangedChoice() && BaseSetValueToTicket(settings, withParam);
}

// --- booklet margin switch ---------------------------------------------------

PFNonPPDCheckBox::PFNonPPDCheckBox(const RowPlace& place, ControlID ctrlTag, const CheckBoxIniData* IniData,
                                   const ConstraintInfo* constraint, const AccessInfo* access)
    : CheckBox(&place.groupBox->Add(place.groupBox->GetToolkit().CreateCheckBox(
                   ctrlTag, "", framework::RunTimeControlFrame(kPopUpCtrlTotalWidth, 0, place.index, place.position))),
               IniData, constraint, access, framework::kPreferencesCurrentUser),
      controlTag(ctrlTag)
{
    ctrlInWhichGroup = place.group;
}

PFNonPPDCheckBox::PFNonPPDCheckBox(widgets::Widget* widget, ControlID ctrlTag, const CheckBoxIniData* IniData,
                                   const ConstraintInfo* constraint, const AccessInfo* access)
    : CheckBox(widget, IniData, constraint, access, framework::kPreferencesCurrentUser),
      controlTag(ctrlTag)
{}

bool PFNonPPDCheckBox::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    CheckBox::InitializeCtrl(bundle, withPPD);
    SetBlockInt(ctrlDataBlkPtr, 0);
    SetBlockInt(ctrlUIDataBlkPtr, 0);
    SetWidgetState(0);
    return true;
}

bool PFNonPPDCheckBox::GetValueToPreset()
{
    std::string value;
    if (ctrlDataBlkPtr.empty() || !ReadTicketValue(value)) {
        return false;
    }
    const int state = std::atoi(value.c_str()) != 0 ? 1 : 0;
    SetBlockInt(ctrlDataBlkPtr, state);
    SetWidgetState(state);
    return true;
}

int PFNonPPDCheckBox::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    if (!ToGetSummaryText() || !checkboxctrlIniDataPtr || !checkboxctrlIniDataPtr->titleKey) {
        return 0;
    }
    const std::string title = Localized(checkboxctrlIniDataPtr->titleKey, LocalizeTableName);
    dictionary[title] = Localized(CommittedInt() == 1 ? kOnKey : kOffKey, LocalizeTableName);
    orderArray.push_back(title);
    return 0;
}

bool PFNonPPDCheckBox::SetValueToTicket(platform::PMPrintSettings* settings, bool withParam)
{
    if (ctrlConstrainCount > 0 && !ctrlDataBlkPtr.empty()) {
        SetBlockInt(ctrlDataBlkPtr, 0);
    }
    return CheckBox::SetValueToTicket(settings, withParam);
}

// --- setup buttons -----------------------------------------------------------

PFSetupButton::PFSetupButton(const RowPlace& place, ControlID tag, std::string titleKey,
                             framework::PopupWinInPanel* window)
    : BaseButton(&place.groupBox->Add(place.groupBox->GetToolkit().CreateButton(tag, "", ButtonFrame(place))),
                 std::move(titleKey)),
      window_(window)
{
    ctrlInWhichGroup = place.group;
}

void PFSetupButton::RequestControlAction(widgets::Widget*)
{
    if (framework::PopupWinInPanel* window = WindowToOpen()) {
        window->ActivateWindow();
    }
}

PHelpButton::PHelpButton(widgets::Widget* widget, std::string withHelpName)
    : BaseButton(widget, "Help Button Title"),
      helpfilename(std::move(withHelpName))
{}

bool PHelpButton::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    BaseButton::InitializeCtrl(bundle, withPPD);
    if (bundle && !bundle->HelpPageExists(helpfilename)) {
        const std::string layout = VendorAttribute(withPPD, "ZLKXLayoutSettings");
        const auto dash = layout.find('-');
        const std::string stem = helpfilename.substr(0, helpfilename.rfind(".htm"));
        helpfilename = stem + "_" + (dash == std::string::npos ? "" : layout.substr(dash + 1)) + ".htm";
    }
    return true;
}

void PHelpButton::RequestControlAction(widgets::Widget*)
{
    const platform::Bundle* bundle = PanelBundle();
    if (!bundle || !ControlPtr) {
        return;
    }
    const std::string table = LocalizeTableName.empty() ? platform::kDefaultStringTable : LocalizeTableName;
    ControlPtr->GetToolkit().OpenHelp(bundle->LocalizedString("Help Viewer Title for Features", table),
                                      bundle->LocalizedHelpPagePath(helpfilename, table).string(), "");
}

PFOffsetStackingButton::PFOffsetStackingButton(const RowPlace& place, std::string titleKey,
                                               const PFOffsetStackingListCtrl* list)
    : PFSetupButton(place, OffsetStackingSetupBtnCtrlID, std::move(titleKey), nullptr),
      list_(list)
{}

framework::PopupWinInPanel* PFOffsetStackingButton::WindowToOpen() const
{
    return list_ ? list_->WindowForValue() : nullptr;
}

}  // namespace zlk::features
