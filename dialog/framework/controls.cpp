#include "dialog/framework/controls.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "dialog/framework/printpanel.h"
#include "ppd/ppdquery.h"
#include "ppd/textcodec.h"
#include "ppd/textutil.h"

namespace zlk::framework {

namespace {

constexpr std::uint32_t kIntSize = sizeof(std::int32_t);
constexpr std::size_t kMaxItemTitleBytes = 99;
constexpr std::size_t kMaxCheckBoxSummaryBytes = 23;

// A title key looked up in the table, the key itself when untranslated.
std::string TitleFor(const platform::Bundle* bundle, const char* key, const std::string& table)
{
    if (!key) {
        return {};
    }
    if (!bundle) {
        return key;
    }
    std::string text = bundle->LocalizedString(key, table.empty() ? platform::kDefaultStringTable : table);
    return text == platform::kNoTranslation ? std::string(key) : text;
}

std::int32_t ReadInt(const void* value)
{
    std::int32_t number = 0;
    if (value) {
        std::memcpy(&number, value, sizeof number);
    }
    return number;
}

}  // namespace

// --- integer values ---------------------------------------------------------

bool IntValueControl::ConvertToPreferenceString(std::string& out)
{
    if (ctrlDataBlkPtr.empty()) {
        return false;
    }
    out = std::to_string(CommittedInt());
    return true;
}

bool IntValueControl::ConvertFromPreferenceString(const std::string& text)
{
    if (ctrlDataBlkPtr.empty()) {
        return false;
    }
    SetBlockInt(ctrlDataBlkPtr, std::atoi(text.c_str()));
    ctrlDataSize = kIntSize;
    return true;
}

bool IntValueControl::ConvertToTickectData(std::string& out, bool) { return ConvertToPreferenceString(out); }

bool IntValueControl::GetValueToPreset()
{
    std::string value;
    if (ctrlDataBlkPtr.empty() || !ReadTicketValue(value)) {
        return false;
    }
    return ConvertFromPreferenceString(value);
}

int IntValueControl::GetValueFromUI()
{
    const std::optional<std::int32_t> value = WidgetValue();
    if (!value || ctrlUIDataBlkPtr.empty()) {
        return 0;
    }
    SetBlockInt(ctrlUIDataBlkPtr, *value);
    ctrlDataSize = kIntSize;
    return 1;
}

bool IntValueControl::SetControlValueToUI()
{
    if (!ctrlDataBlkPtr.empty()) {
        ShowValue(CommittedInt());
    }
    return true;
}

const void* IntValueControl::GetDefaultDataBlk() const { return Slots().defaultValue; }
std::uint32_t IntValueControl::GetDefaultDataSize() const { return Slots().defaultValue ? kIntSize : 0; }
const void* IntValueControl::GetIniDataBlk() const { return Slots().initialValue; }
std::uint32_t IntValueControl::GetIniDataSize() const { return Slots().initialValue ? kIntSize : 0; }

void IntValueControl::AllocateIntBlocks()
{
    AllocateBlocks(kIntSize);
    ctrlDataSize = kIntSize;
}

// --- choice numbers ----------------------------------------------------------

bool ChoiceControl::ChoiceMoved(int& next, int& old)
{
    if (ctrlUIDataBlkPtr.empty()) {
        return false;
    }
    next = WidgetChoice();
    old = UIInt();
    return next != old;
}

int ChoiceControl::DoControlHideConstrain()
{
    int next = 0;
    int old = 0;
    if (ChoiceMoved(next, old)) {
        SwitchConstraintLists(ConstraintLists(&ConstraintInfo::hideLists), ListIndex(next), ListIndex(old),
                              &BaseControl::HideControlConstrains, &BaseControl::ShowControlConstrains);
    }
    return 0;
}

void ChoiceControl::DoControlUpdateConstrain()
{
    if (!ctrlUIDataBlkPtr.empty() && WidgetChoice() != UIInt()) {
        BaseControl::DoControlUpdateConstrain();
    }
}

// --- list --------------------------------------------------------------------

PopupControl::PopupControl(widgets::Widget* widget, const PopupIniData* IniData, const ConstraintInfo* ConstrainArray,
                           const AccessInfo* accessInfo, const char* usernamein)
    : ChoiceControl(widget, ConstrainArray, accessInfo, usernamein),
      listctrlIniDataPtr(CopyOfRecord(IniData))
{}

bool PopupControl::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t*)
{
    if (widgets::PopUp* list = List(); list && listctrlIniDataPtr && listctrlIniDataPtr->itemKeys) {
        list->RemoveAllItems();
        for (const char* const* key = listctrlIniDataPtr->itemKeys; *key; ++key) {
            list->AddItem(TitleFor(bundle, *key, LocalizeTableName), *key);
        }
    }
    AllocateIntBlocks();
    return true;
}

int PopupControl::GetCurrentControlArrayNumber() { return List() ? List()->SelectedIndex() : 0; }

int PopupControl::WidgetChoice() { return std::max(GetCurrentControlArrayNumber() + 1, 1); }

std::optional<std::int32_t> PopupControl::WidgetValue() const
{
    return List() ? std::optional<std::int32_t>(List()->SelectedIndex() + 1) : std::nullopt;
}

void PopupControl::ShowValue(std::int32_t value)
{
    if (List()) {
        List()->Select(value - 1);
    }
}

bool PopupControl::SetExternalValueToUI(const void* value, std::uint32_t)
{
    if (List() && value) {
        const std::int32_t number = ReadInt(value);
        List()->Select(number >= 1 ? number - 1 : 0);
    }
    return true;
}

int PopupControl::DoControlConstrain()
{
    int next = 0;
    int old = 0;
    if (!ChoiceMoved(next, old)) {
        return 0;
    }
    const ChoiceLists lists = ConstraintLists(&ConstraintInfo::disableLists);
    if (old >= 1) {
        EnableControlConstrains(ListAt(lists, ListIndex(old)));
    }
    SetBlockInt(ctrlUIDataBlkPtr, next);
    DisableControlConstrains(ListAt(lists, ListIndex(next)));
    return 0;
}

// --- PPD list ----------------------------------------------------------------

PPDPopupControl::PPDPopupControl(widgets::Widget* widget, std::string ppdKey, const PopupIniData* IniData,
                                 const ConstraintInfo* ConstrainArray, const AccessInfo* accessInfo,
                                 const char* usernamein, ControlID titleControl)
    : PPDChoiceControl(widget, std::move(ppdKey), IniData, ConstrainArray, accessInfo, usernamein),
      ctrlIDTitleExPtr(titleControl)
{
    if (!listctrlIniDataPtr) {
        listctrlIniDataPtr = PopupIniData{};
    }
}

bool PPDPopupControl::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    AllocateIntBlocks();
    InitializeMenu(bundle, withPPD);
    return true;
}

bool PPDPopupControl::InitializeMenu(const platform::Bundle*, ppd_file_t* withPPD)
{
    if (!withPPD) {
        return false;
    }
    const PPDOptionRead texts = ReadOption(withPPD);
    if (widgets::PopUp* list = List()) {
        list->RemoveAllItems();
        for (const auto& entry : ctrlPPDInfoArrayRef) {
            list->AddItem(ppd::Utf8Prefix(entry[2], kMaxItemTitleBytes), entry[1]);
        }
        list->Select(list->ItemCount() > 0 ? 0 : -1);
    }
    if (texts.defaultChoice) {
        for (std::size_t i = 0; i < ctrlPPDInfoArrayRef.size(); ++i) {
            if (ctrlPPDInfoArrayRef[i][1] == *texts.defaultChoice) {
                listctrlIniDataPtr->defaultValue = static_cast<std::int32_t>(i) + 1;
                break;
            }
        }
    }
    titleTextRef = texts.title;
    SetTitleWithCFStringEx(titleTextRef);
    return true;
}

void PPDPopupControl::SetTitleWithCFStringEx(const std::string& title)
{
    if (ctrlIDTitleExPtr == 0) {
        return;
    }
    if (widgets::Widget* label = FindSiblingWidget(ctrlIDTitleExPtr)) {
        label->SetTitle(title + ":");
    }
}

void PPDPopupControl::HideTitleCtrl()
{
    if (widgets::Widget* label = ctrlIDTitleExPtr ? FindSiblingWidget(ctrlIDTitleExPtr) : nullptr) {
        label->SetHidden(true);
    }
}

int PPDPopupControl::UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd)
{
    if (!ppd) {
        return 0;
    }
    RebuildChoiceList(ppd);
    if (widgets::PopUp* list = List()) {
        for (std::size_t i = 0; i < ctrlPPDInfoArrayRef.size(); ++i) {
            list->SetItemEnabled(static_cast<int>(i), ctrlPPDInfoArrayRef[i][3] != ppd::kConflictTrue);
        }
    }
    return 0;
}

bool PPDPopupControl::PPDMarkOptionByIndex(ppd_file_t*, int withIndex)
{
    if (withIndex < 0 || static_cast<std::size_t>(withIndex) >= m_paPPDChoices.size()) {
        return false;
    }
    const PDEChoice& choice = m_paPPDChoices[static_cast<std::size_t>(withIndex)];
    const std::string keyword = choice.ppdTitle().value_or(choice.choice() ? choice.choice()->choice : "");
    return AskHostToMark(OptionKeyword(), keyword);
}

bool PPDPopupControl::SetPPD(ppd_file_t* ppd)
{
    if (TakeHostAnswer(PPDMarkOptionByIndex(ppd, GetCurrentControlArrayNumber()), ppd)) {
        return true;
    }
    // Refused: the list shows the choice it had.
    if (List()) {
        List()->Select(std::max(UIInt() - 1, 0));
    }
    return false;
}

bool PPDPopupControl::UIEventHandler()
{
    SetPPD(PanelPPD());
    return PopupControl::UIEventHandler();
}

bool PPDPopupControl::GetValueToPreset()
{
    ppd_file_t* ppd = PanelPPD();
    if (!ppd || !m_ptPPDOptions || ctrlDataBlkPtr.empty()) {
        return false;
    }
    const int index = ppd::GetIndexOfMarkedOptionWithKey(m_ptPPDOptions, ppd, kPPDMainKey.c_str());
    if (index < 0) {
        return false;
    }
    SetBlockInt(ctrlDataBlkPtr, index + 1);
    return true;
}

bool PPDPopupControl::SetDefaultValueToUI()
{
    PopupControl::SetDefaultValueToUI();
    if (listctrlIniDataPtr->defaultValue >= 1) {
        PPDMarkOptionByIndex(PanelPPD(), listctrlIniDataPtr->defaultValue - 1);
    }
    return true;
}

void PPDPopupControl::RestorePPD(ppd_file_t* ppd)
{
    if (CommittedInt() >= 1) {
        PPDMarkOptionByIndex(ppd, CommittedInt() - 1);
    }
}

int PPDPopupControl::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    const int value = CommittedInt();
    if (!ToGetSummaryText() || value < 1 || static_cast<std::size_t>(value) > ctrlPPDInfoArrayRef.size()) {
        return 0;
    }
    dictionary[titleTextRef] = ctrlPPDInfoArrayRef[static_cast<std::size_t>(value - 1)][2];
    orderArray.push_back(titleTextRef);
    return 0;
}

bool PPDPopupControl::isChoiceConflicted(const ppd::XConstraintTable* table, const char* key, const char* option,
                                         const char* choice, ppd_file_t* withPPD)
{
    if (!key || !option || !choice) {
        return false;
    }
    return ppd::AnyReferencedChoice(
        withPPD, table, key, [option, choice](const ppd_option_t& referenced, const ppd_choice_t& at) {
            return std::strcmp(referenced.keyword, option) == 0 && std::strcmp(at.choice, choice) == 0;
        });
}

// --- check box ---------------------------------------------------------------

CheckBox::CheckBox(widgets::Widget* widget, const CheckBoxIniData* IniData, const ConstraintInfo* Constrain,
                   const AccessInfo* accessInfo, const char* usernamein)
    : ChoiceControl(widget, Constrain, accessInfo, usernamein),
      checkboxctrlIniDataPtr(CopyOfRecord(IniData))
{}

bool CheckBox::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t*)
{
    if (ControlPtr && checkboxctrlIniDataPtr && checkboxctrlIniDataPtr->titleKey) {
        ControlPtr->SetTitle(TitleFor(bundle, checkboxctrlIniDataPtr->titleKey, LocalizeTableName));
    }
    AllocateIntBlocks();
    return true;
}

int CheckBox::WidgetState() const
{
    if (!ControlPtr) {
        return 0;
    }
    if (auto* box = ControlPtr->As<widgets::CheckBox>()) {
        return box->State() != widgets::kStateOff ? 1 : 0;
    }
    if (auto* radio = ControlPtr->As<widgets::RadioButton>()) {
        return radio->State();
    }
    return 0;
}

void CheckBox::SetWidgetState(int state)
{
    if (!ControlPtr) {
        return;
    }
    if (auto* box = ControlPtr->As<widgets::CheckBox>()) {
        box->SetState(state >= 1 ? widgets::kStateOn : widgets::kStateOff);
    } else if (auto* radio = ControlPtr->As<widgets::RadioButton>()) {
        radio->SetState(state >= 1 ? widgets::kStateOn : widgets::kStateOff);
    }
}

int CheckBox::GetCurrentControlArrayNumber() { return WidgetState(); }

std::optional<std::int32_t> CheckBox::WidgetValue() const
{
    return ControlPtr ? std::optional<std::int32_t>(WidgetState()) : std::nullopt;
}

bool CheckBox::SetExternalValueToUI(const void* value, std::uint32_t)
{
    if (value && ControlPtr && ControlPtr->IsEnabled()) {
        SetWidgetState(ReadInt(value));
    }
    return true;
}

int CheckBox::DoControlConstrain()
{
    int next = 0;
    int old = 0;
    if (ChoiceMoved(next, old)) {
        SwitchConstraintLists(ConstraintLists(&ConstraintInfo::disableLists), next, old,
                              &BaseControl::DisableControlConstrains, &BaseControl::EnableControlConstrains);
    }
    return 0;
}

bool CheckBox::SimulationUIEventHandler()
{
    BaseControl::SimulationUIEventHandler();
    GetValueFromUI();
    return true;
}

// --- PPD check box -----------------------------------------------------------

PPDCheckBox::PPDCheckBox(widgets::Widget* widget, std::string ppdKey, const CheckBoxIniData* IniData,
                         const ConstraintInfo* Constrain, const AccessInfo* accessInfo, const char* usernamein)
    : PPDChoiceControl(widget, std::move(ppdKey), IniData, Constrain, accessInfo, usernamein)
{
    if (!checkboxctrlIniDataPtr) {
        checkboxctrlIniDataPtr = CheckBoxIniData{};
    }
}

bool PPDCheckBox::InitializeCtrl(const platform::Bundle*, ppd_file_t* withPPD)
{
    AllocateIntBlocks();
    if (!withPPD) {
        return true;
    }
    const PPDOptionRead texts = ReadOption(withPPD);
    titleTextRef = texts.title;
    if (ControlPtr) {
        ControlPtr->SetTitle(titleTextRef);
    }
    checkboxctrlIniDataPtr->defaultValue = texts.defaultChoice ? StateOfChoice(texts.defaultChoice->c_str()) : 0;
    return true;
}

namespace {

enum class Switch { Off, On, Unknown };

// What a choice's name says about the switch, whatever its case.
Switch SwitchNamed(const char* name)
{
    for (const char* off : {"False", "Off", "No", "None"}) {
        if (strcasecmp(name, off) == 0) {
            return Switch::Off;
        }
    }
    for (const char* on : {"True", "On", "Yes"}) {
        if (strcasecmp(name, on) == 0) {
            return Switch::On;
        }
    }
    return Switch::Unknown;
}

}  // namespace

const char* PPDCheckBox::ChoiceOfState(int state) const
{
    std::vector<const char*> names;
    for (const PDEChoice& choice : m_paPPDChoices) {
        if (choice.choice()) {
            names.push_back(choice.choice()->choice);
        }
    }
    if (names.empty()) {
        return nullptr;
    }
    const Switch wanted = state >= 1 ? Switch::On : Switch::Off;
    const Switch other = state >= 1 ? Switch::Off : Switch::On;
    // A choice named for the state, else the first one not named for the other.
    for (const char* name : names) {
        if (SwitchNamed(name) == wanted) {
            return name;
        }
    }
    const bool named =
        std::any_of(names.begin(), names.end(), [](const char* n) { return SwitchNamed(n) != Switch::Unknown; });
    if (named) {
        for (const char* name : names) {
            if (SwitchNamed(name) != other) {
                return name;
            }
        }
        return nullptr;
    }
    // Nothing named: the first choice is "on", the second "off".
    const std::size_t index = state >= 1 ? 0 : 1;
    return index < names.size() ? names[index] : nullptr;
}

int PPDCheckBox::StateOfChoice(const char* choice) const
{
    const char* on = ChoiceOfState(1);
    return on && choice && std::strcmp(on, choice) == 0 ? 1 : 0;
}

int PPDCheckBox::UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd)
{
    if (ppd) {
        RebuildChoiceList(ppd);
    }
    return 0;
}

bool PPDCheckBox::PPDMarkOptionByIndex(ppd_file_t*, int state)
{
    const char* wanted = ChoiceOfState(state);
    return wanted && AskHostToMark(OptionKeyword(), wanted);
}

bool PPDCheckBox::UIEventHandler()
{
    ppd_file_t* ppd = PanelPPD();
    if (!TakeHostAnswer(PPDMarkOptionByIndex(ppd, WidgetState()), ppd)) {
        // Refused: the box shows the state it had.
        SetWidgetState(std::max(UIInt(), 0));
    }
    return CheckBox::UIEventHandler();
}

bool PPDCheckBox::GetValueToPreset()
{
    ppd_file_t* ppd = PanelPPD();
    if (!ppd || ctrlDataBlkPtr.empty()) {
        return false;
    }
    const ppd_choice_t* choice = ppdFindMarkedChoice(ppd, kPPDMainKey.c_str());
    if (!choice) {
        if (const ppd_option_t* option = ppdFindOption(ppd, kPPDMainKey.c_str())) {
            choice = ppdFindChoice(const_cast<ppd_option_t*>(option), option->defchoice);
        }
    }
    if (!choice) {
        return false;
    }
    SetBlockInt(ctrlDataBlkPtr, StateOfChoice(choice->choice));
    return true;
}

bool PPDCheckBox::SetDefaultValueToUI()
{
    CheckBox::SetDefaultValueToUI();
    PPDMarkOptionByIndex(PanelPPD(), checkboxctrlIniDataPtr->defaultValue);
    return true;
}

void PPDCheckBox::RestorePPD(ppd_file_t* ppd)
{
    if (!ctrlDataBlkPtr.empty()) {
        PPDMarkOptionByIndex(ppd, CommittedInt());
    }
}

int PPDCheckBox::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    if (!ToGetSummaryText()) {
        return 0;
    }
    const char* wanted = ChoiceOfState(CommittedInt());
    for (const auto& entry : ctrlPPDInfoArrayRef) {
        if (wanted && entry[1] == wanted) {
            dictionary[titleTextRef] = ppd::Utf8Prefix(entry[2], kMaxCheckBoxSummaryBytes);
            orderArray.push_back(titleTextRef);
            break;
        }
    }
    return 0;
}

// --- radio buttons -----------------------------------------------------------

std::uint32_t RadioGroup::RunTimeAddNewControl(RadioButton* button)
{
    const auto index = static_cast<std::uint32_t>(fCtrlGroupArray.size());
    if (!button) {
        return index;
    }
    fCtrlGroupArray.push_back(button);
    button->SetCtrlGrp(shared_from_this());
    return index;
}

void RadioGroup::SetcurRadio(int index)
{
    if (index >= 0 && index < static_cast<int>(fCtrlGroupArray.size())) {
        curRadio = index;
    }
}

int RadioGroup::GetRadioIndex(ControlID tag) const
{
    for (std::size_t i = 0; i < fCtrlGroupArray.size(); ++i) {
        widgets::Widget* widget = fCtrlGroupArray[i]->GetControlPtr();
        if (widget && widget->Tag() == tag) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

RadioButton::RadioButton(widgets::Widget* widget, const RadioButtonIniData* IniData, const ConstraintInfo* Constrain,
                         const AccessInfo* accessInfo, const char* usernamein)
    : CheckBox(widget, IniData, Constrain, accessInfo, usernamein)
{}

bool RadioButton::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t*)
{
    // The panel's table first: here the default table is English alone, so
    // it would leave a Japanese printer's radio buttons in English.
    if (ControlPtr && checkboxctrlIniDataPtr && checkboxctrlIniDataPtr->titleKey) {
        const char* key = checkboxctrlIniDataPtr->titleKey;
        const bool inTable = bundle && !LocalizeTableName.empty() &&
                             bundle->LocalizedString(key, LocalizeTableName) != platform::kNoTranslation;
        ControlPtr->SetTitle(TitleFor(bundle, key, inTable ? LocalizeTableName : platform::kDefaultStringTable));
    }
    AllocateIntBlocks();
    return true;
}

void RadioButton::SetGrpcurRadio()
{
    if (RadioGrpPtr && ControlPtr) {
        RadioGrpPtr->SetcurRadio(RadioGrpPtr->GetRadioIndex(ControlPtr->Tag()));
    }
}

void RadioButton::MakeCurrentIfOn(std::int32_t value)
{
    if (value >= 1) {
        SetGrpcurRadio();
    }
}

bool RadioButton::UIEventHandler()
{
    SetGrpcurRadio();
    BaseControl::UIEventHandler();
    if (RadioGrpPtr) {
        for (RadioButton* button : RadioGrpPtr->Buttons()) {
            button->GetValueFromUI();
        }
    }
    return true;
}

bool RadioButton::SimulationUIEventHandler()
{
    if (RadioGrpPtr && RadioGrpPtr->GetcurRadio() < 0) {
        RadioGrpPtr->SetcurRadio(0);
    }
    return CheckBox::SimulationUIEventHandler();
}

bool RadioButton::SetControlValueToUI()
{
    CheckBox::SetControlValueToUI();
    if (!ctrlDataBlkPtr.empty()) {
        MakeCurrentIfOn(CommittedInt());
    }
    return true;
}

bool RadioButton::SetExternalValueToUI(const void* value, std::uint32_t size)
{
    CheckBox::SetExternalValueToUI(value, size);
    MakeCurrentIfOn(ReadInt(value));
    return true;
}

bool RadioButton::setExternalValueToData(const void* value, std::uint32_t size, int valueType)
{
    BaseControl::setExternalValueToData(value, size, valueType);
    if (valueType == kValueTypeInteger) {
        MakeCurrentIfOn(ReadInt(value));
    }
    return true;
}

bool RadioButton::GetValueToPreset()
{
    if (!CheckBox::GetValueToPreset()) {
        return false;
    }
    SetWidgetState(CommittedInt());
    return true;
}

int RadioButton::Update()
{
    if (!RadioGrpPtr || !ControlPtr) {
        return 0;
    }
    if (RadioGrpPtr->GetcurRadio() != RadioGrpPtr->GetRadioIndex(ControlPtr->Tag())) {
        SetWidgetState(0);
        SimulationUIEventHandler();
    }
    return 0;
}

RadioButton* RadioButton::GetAnotherRadioCtrlFromGroup() const
{
    if (!RadioGrpPtr) {
        return nullptr;
    }
    for (RadioButton* button : RadioGrpPtr->Buttons()) {
        if (button != this) {
            return button;
        }
    }
    return nullptr;
}

// --- stepper -----------------------------------------------------------------

LittleArray::LittleArray(widgets::Widget* widget, const StepperIniData* IniData, const ConstraintInfo* Constrain,
                         const AccessInfo* accessInfo, const char* usernamein, std::string titleStr)
    : IntValueControl(widget, Constrain, accessInfo, usernamein),
      littleArrayIniDataPtr(CopyOfRecord(IniData)),
      titleTextRef(std::move(titleStr)),
      lastValue(IniData ? IniData->defaultValue : 0)
{}

void LittleArray::SetRange(int min, int max)
{
    if (widgets::Stepper* stepper = Stepper()) {
        stepper->SetRange(min, max);
    }
}

bool LittleArray::InitializeCtrl(const platform::Bundle*, ppd_file_t*)
{
    if (littleArrayIniDataPtr) {
        SetRange(littleArrayIniDataPtr->minimum, littleArrayIniDataPtr->maximum);
        if (widgets::Stepper* stepper = Stepper()) {
            stepper->SetIncrement(littleArrayIniDataPtr->step);
        }
    }
    AllocateIntBlocks();
    return true;
}

std::optional<std::int32_t> LittleArray::WidgetValue() const
{
    return Stepper() ? std::optional<std::int32_t>(Stepper()->Value()) : std::nullopt;
}

void LittleArray::ShowValue(std::int32_t value)
{
    if (Stepper()) {
        Stepper()->SetValue(value);
    }
}

bool LittleArray::SetExternalValueToUI(const void* value, std::uint32_t)
{
    if (Stepper() && value) {
        Stepper()->SetValue(ReadInt(value));
    }
    return true;
}

bool LittleArray::GetValueToPreset()
{
    if (!IntValueControl::GetValueToPreset()) {
        return false;
    }
    SetControlValueToUI();
    lastValue = CommittedInt();
    return true;
}

bool LittleArray::SetDefaultValueToUI()
{
    // The paired text field shows the value; the stepper only restarts from the default.
    if (littleArrayIniDataPtr) {
        lastValue = littleArrayIniDataPtr->defaultValue;
    }
    return true;
}

bool LittleArray::SetValueToTicket(platform::PMPrintSettings* settings, bool withParam)
{
    const int value = CommittedInt();
    if (littleArrayIniDataPtr && (value < littleArrayIniDataPtr->minimum || value > littleArrayIniDataPtr->maximum)) {
        return false;
    }
    return BaseControl::SetValueToTicket(settings, withParam);
}

int LittleArray::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    if (!ToGetSummaryText() || ctrlDataBlkPtr.empty()) {
        return 0;
    }
    const std::string title = TitleFor(PanelBundle(), titleTextRef.c_str(), LocalizeTableName);
    dictionary[title] = ppd::ConvertIntToFloatStr(CommittedInt(), kTextBlockSize);
    orderArray.push_back(title);
    return 0;
}

// --- label, buttons, group boxes --------------------------------------------

StaticTextEditControl::StaticTextEditControl(widgets::Widget* widget, const TextIniData* IniData,
                                             const ConstraintInfo* Constrain, const AccessInfo* accessInfo,
                                             const char* usernamein, const ppd::TextEditFilterData* FilterData,
                                             const char* SummaryInfo)
    : BaseControl(widget, Constrain, accessInfo, usernamein),
      textEditFilterDataPtr(FilterData),
      textEditIniDataPtr(IniData),
      summarytextRef(SummaryInfo ? SummaryInfo : "")
{}

bool StaticTextEditControl::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t*)
{
    if (ControlPtr && !summarytextRef.empty() && bundle) {
        ControlPtr->SetTitle(bundle->LocalizedString(
            summarytextRef, LocalizeTableName.empty() ? platform::kDefaultStringTable : LocalizeTableName));
    }
    return true;
}

void StaticTextEditControl::Enable()
{
    BaseControl::Enable();
    textColor_ = ControlPtr && !ControlPtr->IsEnabled() ? TextColor::LightGrey : TextColor::Control;
}

void StaticTextEditControl::Disable()
{
    BaseControl::Disable();
    textColor_ = ControlPtr && !ControlPtr->IsEnabled() ? TextColor::LightGrey : TextColor::Control;
}

BaseButton::BaseButton(widgets::Widget* widget, std::string withTitle)
    : BaseControl(widget),
      controlTitleStrRef(std::move(withTitle))
{}

bool BaseButton::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t*)
{
    if (ControlPtr && !controlTitleStrRef.empty()) {
        ControlPtr->SetTitle(bundle ? bundle->LocalizedString(controlTitleStrRef, LocalizeTableName.empty()
                                                                                      ? platform::kDefaultStringTable
                                                                                      : LocalizeTableName)
                                    : std::string(platform::kNoTranslation));
    }
    return true;
}

WindowButton::WindowButton(widgets::Widget* widget, std::string title, PopupWinInPanel* window, Action action)
    : BaseButton(widget, std::move(title)),
      window_(window),
      action_(std::move(action))
{}

void WindowButton::RequestControlAction(widgets::Widget*)
{
    if (window_) {
        action_(*window_);
    }
}

WindowOKButton::WindowOKButton(widgets::Widget* widget, std::string title, PopupWinInPanel* window)
    : WindowButton(widget, std::move(title), window, [](PopupWinInPanel& w) { w.OKWindow(); })
{
    // Hosts press a window's buttons by these names.
    if (widget) {
        widget->SetName(kOKButtonName);
    }
}

WindowCancelButton::WindowCancelButton(widgets::Widget* widget, std::string title, PopupWinInPanel* window,
                                       IdentifierList resetOnRefusal)
    : WindowButton(widget, std::move(title), window,
                   [resetOnRefusal](PopupWinInPanel& w) { w.CancelWindow(resetOnRefusal); })
{
    if (widget) {
        widget->SetName(kCancelButtonName);
    }
}

WindowDefaultButton::WindowDefaultButton(widgets::Widget* widget, std::string title, PopupWinInPanel* window)
    : WindowButton(widget, std::move(title), window, [](PopupWinInPanel& w) { w.RestoreDefaultWindow(); })
{
    if (widget) {
        widget->SetName(kRestoreButtonName);
    }
}

// --- run-time laid-out PPD kinds ---------------------------------------------

widgets::Rect RunTimeControlFrame(int totalLength, int titleLength, int indexInPanel,
                                  const PPDCtrlPositionData& position)
{
    constexpr int kHeight = 25;
    widgets::Rect frame;
    frame.x = static_cast<int>(titleLength + position.x);
    frame.width = totalLength - titleLength;
    frame.height = kHeight;
    frame.y =
        static_cast<int>(std::trunc(position.top + (position.spacing + kHeight) * (position.count - indexInPanel)));
    return frame;
}

namespace {
template <class T, class Make>
T* MakeIn(widgets::GroupBox& box, Make make)
{
    return &box.Add(make(box.GetToolkit()));
}

// Counts cleared and the widget enabled; hidden widgets stay hidden.
void ReEnable(BaseControl& control, std::int32_t& constrainCount, std::int32_t& hideCount)
{
    constrainCount = 0;
    hideCount = 0;
    if (widgets::Widget* widget = control.GetControlPtr(); widget && !widget->IsEnabled()) {
        widget->SetEnabled(true);
    }
}
}  // namespace

PPDPopupControlExt::PPDPopupControlExt(widgets::GroupBox& parentGroupBox, ControlID ctrlTag, std::string ppdKey,
                                       const PopupIniData* IniData, const ConstraintInfo* ConstrainArray,
                                       const AccessInfo* accessInfo, const char* usernamein, int ctrlTotalLength,
                                       int titleCtrlLength, widgets::Label* titleCtrl, int withIndex, int inGroup,
                                       const PPDCtrlPositionData& positionInfo)
    : PPDPopupControl(MakeIn<widgets::PopUp>(parentGroupBox,
                                             [&](widgets::Toolkit& tk) {
                                                 return tk.CreatePopUp(
                                                     ctrlTag, RunTimeControlFrame(ctrlTotalLength, titleCtrlLength,
                                                                                  withIndex, positionInfo));
                                             }),
                      std::move(ppdKey), IniData, ConstrainArray, accessInfo, usernamein),
      titleCtrl_(titleCtrl)
{
    ctrlInWhichGroup = inGroup;
}

bool PPDPopupControlExt::InitializeMenu(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    const bool done = PPDPopupControl::InitializeMenu(bundle, withPPD);
    if (titleCtrl_) {
        titleCtrl_->SetTitle(titleTextRef + ":");
    }
    return done;
}

void PPDPopupControlExt::ResetStatus() { ReEnable(*this, ctrlConstrainCount, ctrlHideCount); }

PPDCheckBoxExt::PPDCheckBoxExt(widgets::GroupBox& parentGroupBox, ControlID ctrlTag, std::string ppdKey,
                               const CheckBoxIniData* IniData, const ConstraintInfo* Constrain,
                               const AccessInfo* accessInfo, const char* usernamein, int ctrlTotalLength,
                               int titleCtrlLength, int withIndex, int inGroup, const PPDCtrlPositionData& positionInfo)
    : PPDCheckBox(MakeIn<widgets::CheckBox>(parentGroupBox,
                                            [&](widgets::Toolkit& tk) {
                                                return tk.CreateCheckBox(ctrlTag, "",
                                                                         RunTimeControlFrame(ctrlTotalLength,
                                                                                             titleCtrlLength, withIndex,
                                                                                             positionInfo));
                                            }),
                  std::move(ppdKey), IniData, Constrain, accessInfo, usernamein)
{
    ctrlInWhichGroup = inGroup;
}

int PPDCheckBoxExt::UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd)
{
    PPDCheckBox::UpdateConflictsPanelControlFromPPD(ppd);
    EnableByLastChoiceFlag();
    return 0;
}

void PPDCheckBoxExt::ResetStatus() { ReEnable(*this, ctrlConstrainCount, ctrlHideCount); }

PPDStaticTextCtrlExt::PPDStaticTextCtrlExt(widgets::GroupBox& parentGroupBox, ControlID ctrlTag, std::string ppdKey,
                                           int ctrlTotalLength, int titleCtrlLength, int withIndex, int inGroup,
                                           const PPDCtrlPositionData& positionInfo)
    : BaseControl(MakeIn<widgets::Label>(parentGroupBox,
                                         [&](widgets::Toolkit& tk) {
                                             return tk.CreateLabel(ctrlTag, "",
                                                                   RunTimeControlFrame(ctrlTotalLength, titleCtrlLength,
                                                                                       withIndex, positionInfo));
                                         })),
      kPPDMainKey(std::move(ppdKey))
{
    ctrlInWhichGroup = inGroup;
}

bool PPDStaticTextCtrlExt::InitializeCtrl(const platform::Bundle*, ppd_file_t* withPPD)
{
    std::optional<std::string> title;
    ppd::GetUITitleFromPPD(withPPD, kPPDMainKey.c_str(), title);
    if (ControlPtr && title) {
        ControlPtr->SetTitle(*title + ":");
    }
    return true;
}

void PPDStaticTextCtrlExt::ResetStatus() { ReEnable(*this, ctrlConstrainCount, ctrlHideCount); }

// --- installable option ------------------------------------------------------

InstallableControl::InstallableControl(std::string ppdKey, const InstallableConstraintPair* withConstrain,
                                       widgets::Widget* widget)
    : BaseControl(widget),
      kPPDMainKey(std::move(ppdKey)),
      installableOptionConstrainInfoPtr(withConstrain)
{}

int InstallableControl::ConstrainPanelControlFromPPD(ppd_file_t* ppd)
{
    if (!ppd || !installableOptionConstrainInfoPtr) {
        return 0;
    }
    const ppd_choice_t* marked = ppdFindMarkedChoice(ppd, kPPDMainKey.c_str());
    if (!marked) {
        return 0;
    }
    for (const InstallableConstraintPair* pair = installableOptionConstrainInfoPtr; pair->choicePrefix; ++pair) {
        if (std::strncmp(marked->choice, pair->choicePrefix, std::strlen(pair->choicePrefix)) == 0) {
            DisableControlConstrains(pair->identifiers);
            return 1000;
        }
    }
    return 0;
}

}  // namespace zlk::framework
