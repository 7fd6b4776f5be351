#include "dialog/features/inchmm.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "dialog/features/featurespanel.h"
#include "ppd/textutil.h"

namespace zlk::features {

// --- number forms ------------------------------------------------------------

namespace numberform {

namespace {
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool IsDigits(const std::string& text) { return std::all_of(text.begin(), text.end(), IsAsciiDigit); }

bool IsDecimal(const std::string& text, bool sign, int digitsAfter)
{
    std::string_view body = text;
    if (sign && !body.empty() && body.front() == '-') {
        body.remove_prefix(1);
    }
    if (body.empty() || body.front() == '.' || body.back() == '.') {
        return false;
    }
    if (!std::all_of(body.begin(), body.end(), [](char c) { return IsAsciiDigit(c) || c == '.'; })) {
        return false;
    }
    const auto points = std::count(body.begin(), body.end(), '.');
    if (points > 1) {
        return false;
    }
    if (points == 1 && digitsAfter > 0) {
        return static_cast<int>(body.size() - body.find('.') - 1) == digitsAfter;
    }
    return true;
}

std::optional<int> Scaled(const std::string& text, int scale)
{
    const double value = std::strtod(text.c_str(), nullptr);
    // Rounded in the default mode, to nearest with ties to even.
    const double scaled = std::nearbyint(value * scale);
    if (!std::isfinite(scaled) || scaled < INT_MIN || scaled > INT_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(scaled);
}

std::optional<int> Integer(const std::string& text)
{
    if (text.empty()) {
        return 0;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string OneDecimal(int v)
{
    const long long magnitude = std::llabs(static_cast<long long>(v));
    return (v < 0 ? "-" : "") + std::to_string(magnitude / 10) + "." + std::to_string(magnitude % 10);
}

std::string TwoDecimals(int v)
{
    const long long magnitude = std::llabs(static_cast<long long>(v));
    return (v < 0 ? "-" : "") + std::to_string(magnitude / 100) + "." + std::to_string(magnitude % 100 / 10) +
           std::to_string(magnitude % 10);
}

}  // namespace numberform

namespace {

BaseControl* FindIn(framework::BasePrintPanel* panel, ControlID tag)
{
    return panel && tag != 0 ? panel->GetPanelControl(tag) : nullptr;
}

// Every listed control must accept its value; the first refusal shows its
// message and ends the check.
bool AllAccept(framework::BasePrintPanel* panel, const std::vector<ControlID>& tags)
{
    return std::all_of(tags.begin(), tags.end(), [panel](ControlID tag) {
        BaseControl* control = FindIn(panel, tag);
        return !control || control->InvalidateData();
    });
}

}  // namespace

// --- field -------------------------------------------------------------------

PFInchMMTextEditCtrl::PFInchMMTextEditCtrl(widgets::Widget* widget, const framework::TextIniData* IniData,
                                           const ppd::TextEditFilterData* FilterData, const AccessInfo* accessInfo,
                                           inchMMEditValueRangeData range, std::string titleInfo,
                                           NumberCompanions companions)
    : TextEditCtrl(widget, IniData, nullptr, accessInfo, framework::kPreferencesCurrentUser, FilterData),
      inchMMEditValueRangeData_(range),
      titletextRef(std::move(titleInfo)),
      companions_(companions)
{}

bool PFInchMMTextEditCtrl::InitializeCtrl(const platform::Bundle*, ppd_file_t*)
{
    AllocateBlocks(framework::kTextBlockSize);
    InitializeCtrlFormat();
    return true;
}

void PFInchMMTextEditCtrl::InitializeCtrlFormat()
{
    if (widgets::TextField* field = Field(); field && textEditIniDataPtr) {
        field->SetFormatter(std::make_unique<PFInchMMTextEditFormatter>(
            this, textEditFilterDataPtr, inchMMEditValueRangeData_, textEditIniDataPtr->maxWidth));
    }
}

const PrintFeaturesPDE* PFInchMMTextEditCtrl::FeaturesPanel() const
{
    return dynamic_cast<const PrintFeaturesPDE*>(ctrlParentPanelPtr ? ctrlParentPanelPtr->GetParentWnd() : nullptr);
}

bool PFInchMMTextEditCtrl::TakesPartInValidation() const
{
    return ControlPtr && !ControlPtr->IsHidden() && ctrlConstrainCount <= 0 && HasValueBlock();
}

bool PFInchMMTextEditCtrl::Check(bool alert)
{
    if (!TakesPartInValidation() || !Field()) {
        return true;
    }
    // What the field shows is judged, whatever was typed or pasted into it.
    const std::string& text = Field()->Text();
    const int width = framework::TextWidth(text);
    const bool valid = textEditIniDataPtr && width >= std::max(textEditIniDataPtr->minWidth, 1) &&
                       width <= textEditIniDataPtr->maxWidth && IsNumberValid(text);
    if (!valid && alert) {
        ShowFieldMessage();
    }
    return valid;
}

void PFInchMMTextEditCtrl::ShowFieldMessage() { ShowErrMsg(); }

bool PFInchMMTextEditCtrl::InvalidateData() { return Check(true); }
bool PFInchMMTextEditCtrl::InvalidateDataAndReturnError() { return Check(false); }

void PFInchMMTextEditCtrl::OnRawKeyUp(const std::string& text)
{
    SetBlockText(ctrlUIDataBlkPtr, text);
    ctrlDataSize = static_cast<std::uint32_t>(framework::TextWidth(text));
    if (PFInchMMLittleArrowControl* stepper = GetLittleArrayForNumberEdit()) {
        stepper->ShowSteps(StepsOfText(text));
    }
    DoControlUpdateConstrain();
}

void PFInchMMTextEditCtrl::DoControlUpdateConstrain()
{
    for (ControlID tag : {companions_.first, companions_.second}) {
        if (BaseControl* companion = FindIn(ctrlParentPanelPtr, tag)) {
            companion->Update();
        }
    }
}

void PFInchMMTextEditCtrl::OnLostFocus()
{
    Update();
    DoControlUpdateConstrain();
}

void PFInchMMTextEditCtrl::RequestControlAction(widgets::Widget*)
{
    // The end of an edit (Return, or the focus leaving the field).
    OnLostFocus();
}

int PFInchMMTextEditCtrl::Update()
{
    if (!ControlPtr || !ControlPtr->IsHidden()) {
        return 0;
    }
    // The other field's data is its last accepted text: while the person
    // types, the field itself still shows the text before the keystroke.
    const PFInchMMTextEditCtrl* other = GetTextEditForNumberEdit();
    if (!other || other->UIText().empty() || !other->IsNumberValid(other->UIText())) {
        return 0;
    }
    if (const std::optional<std::string> text = TextFromOtherUnit(other->UIText())) {
        ShowText(*text);
        if (PFInchMMLittleArrowControl* stepper = GetLittleArrayForNumberEdit()) {
            stepper->ShowSteps(StepsOfText(*text));
        }
    }
    return 0;
}

void PFInchMMTextEditCtrl::ShowText(const std::string& text)
{
    const int maxLength = std::max(GetEditMaxLength(), 0);
    const std::string cut = text.substr(0, std::min<std::size_t>(text.size(), maxLength));
    std::fill(displayBuffer.begin(), displayBuffer.end(), '\0');
    std::copy_n(cut.begin(), std::min(cut.size(), displayBuffer.size() - 1), displayBuffer.begin());
    if (Field()) {
        Field()->SetText(cut);
    }
    SetBlockText(ctrlUIDataBlkPtr, cut);
    ctrlDataSize = static_cast<std::uint32_t>(framework::TextWidth(cut));
}

std::string PFInchMMTextEditCtrl::GetCorrectedData() const
{
    const PFInchMMLittleArrowControl* stepper = GetLittleArrayForNumberEdit();
    return TextOfSteps(stepper ? stepper->GetValueToShow() : 0);
}

void PFInchMMTextEditCtrl::CorrectCtrlUI() { ShowText(GetCorrectedData()); }

PFInchMMLittleArrowControl* PFInchMMTextEditCtrl::GetLittleArrayForNumberEdit() const
{
    return dynamic_cast<PFInchMMLittleArrowControl*>(FindIn(ctrlParentPanelPtr, companions_.first));
}

PFInchMMTextEditCtrl* PFInchMMTextEditCtrl::GetTextEditForNumberEdit() const
{
    return dynamic_cast<PFInchMMTextEditCtrl*>(FindIn(ctrlParentPanelPtr, companions_.second));
}

bool PFInchMMTextEditCtrl::ConvertToTickectData(std::string& out, bool lock)
{
    // A text the check refuses (a damaged ticket read back), or one that
    // says another value than the stepper (read from the ticket alone), never
    // travels: the stepper's value, always in range, does instead.
    const PFInchMMLittleArrowControl* stepper = GetLittleArrayForNumberEdit();
    const std::string text = CommittedText();
    if (!IsNumberValid(text) || (stepper && StepsOfText(text) != stepper->CommittedInt())) {
        out = TextOfSteps(stepper ? stepper->CommittedInt() : 0);
        return true;
    }
    return TextEditCtrl::ConvertToTickectData(out, lock);
}

bool PFInchMMTextEditCtrl::ToGetSummaryText() const { return UnitShown() && FeatureOn(); }

int PFInchMMTextEditCtrl::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    if (!ToGetSummaryText() || !HasValueBlock()) {
        return 0;
    }
    const std::string title = Localized(titletextRef.c_str(), LocalizeTableName);
    std::string value;
    ConvertToTickectData(value, false);
    if (const char* side = SideLabelKey()) {
        value += " " + Localized(side, LocalizeTableName);
    }
    dictionary[title] = value;
    orderArray.push_back(title);
    return 0;
}

// --- formatter ---------------------------------------------------------------

PFInchMMTextEditFormatter::PFInchMMTextEditFormatter(PFInchMMTextEditCtrl* field, const ppd::TextEditFilterData* filter,
                                                     inchMMEditValueRangeData range, int maxLength)
    : field_(field),
      filter_(filter),
      range_(range),
      maxLength_(maxLength)
{}

bool PFInchMMTextEditFormatter::IsPartialStringValid(const std::string& proposed, std::string&)
{
    if (proposed == lastAccepted_ || !field_) {
        return true;
    }
    // The field's check covers its characters, form and range.
    if (field_->IsNumberValid(proposed)) {
        lastAccepted_ = proposed;
        // The platform hands on a copy of at most five bytes.
        field_->OnRawKeyUp(proposed.substr(0, 5));
    } else {
        field_->OnRawKeyUp(std::string());
    }
    return true;
}

// --- stepper -----------------------------------------------------------------

PFInchMMLittleArrowControl::PFInchMMLittleArrowControl(widgets::Widget* widget,
                                                       const framework::StepperIniData* IniData,
                                                       const AccessInfo* accessInfo, std::string titleStr,
                                                       NumberCompanions companions,
                                                       std::vector<ControlID> validateArray)
    : LittleArray(widget, IniData, nullptr, accessInfo, framework::kPreferencesCurrentUser, std::move(titleStr)),
      companions_(companions),
      ControlValidateArray(std::move(validateArray))
{
    if (IniData) {
        SetStepRange(IniData->minimum, IniData->maximum);
    }
}

void PFInchMMLittleArrowControl::SetStepRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    SetRange(minimum_, maximum_);
}

bool PFInchMMLittleArrowControl::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    LittleArray::InitializeCtrl(bundle, withPPD);
    SetRange(minimum_, maximum_);
    return true;
}

PFInchMMTextEditCtrl* PFInchMMLittleArrowControl::GetNumberEditFromLittleArrow() const
{
    return dynamic_cast<PFInchMMTextEditCtrl*>(FindIn(ctrlParentPanelPtr, companions_.first));
}

int PFInchMMLittleArrowControl::GetValueToShow() const
{
    const widgets::Widget* widget = ControlPtr;
    const auto* stepper = widget ? widget->As<widgets::Stepper>() : nullptr;
    return stepper ? stepper->Value() : LastValue();
}

void PFInchMMLittleArrowControl::ShowSteps(int value)
{
    const int shown = std::clamp(value, minimum_, maximum_);
    if (ControlPtr) {
        if (auto* stepper = ControlPtr->As<widgets::Stepper>()) {
            stepper->SetValue(shown);
        }
    }
    SetLastValue(shown);
}

void PFInchMMLittleArrowControl::InvalidateRelateControlData() { ShowSteps(LastValue()); }

void PFInchMMLittleArrowControl::RequestControlAction(widgets::Widget*)
{
    if (!AllAccept(ctrlParentPanelPtr, ControlValidateArray)) {
        InvalidateRelateControlData();
        return;
    }
    const int value = GetValueToShow();
    if (value < minimum_ || value > maximum_ || value == LastValue()) {
        if (ControlPtr) {
            ControlPtr->GetToolkit().Beep();
        }
        return;
    }
    SetLastValue(value);
    UIEventHandler();
}

bool PFInchMMLittleArrowControl::SetExternalValueToUI(const void* value, std::uint32_t size)
{
    if (!value || size < sizeof(std::int32_t)) {
        return true;
    }
    std::int32_t steps = 0;
    std::memcpy(&steps, value, sizeof steps);
    ShowSteps(steps);
    return true;
}

bool PFInchMMLittleArrowControl::SetControlValueToUI()
{
    if (!HasValueBlock()) {
        return true;
    }
    ShowSteps(CommittedInt());
    UIEventHandler();
    return true;
}

bool PFInchMMLittleArrowControl::SetDefaultValueToUI()
{
    if (const void* def = GetDefaultDataBlk()) {
        SetExternalValueToUI(def, GetDefaultDataSize());
        DoControlUpdateConstrain();
    }
    return true;
}

std::optional<int> PFInchMMLittleArrowControl::StepsFromTicket(const std::string& text) const
{
    // Leading blanks and a sign are what the decimal conversion has always
    // taken; anything after the digits is ignored as it was.
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str()) {
        return std::nullopt;
    }
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

void PFInchMMLittleArrowControl::TakePresetSteps(int steps)
{
    SetBlockInt(ctrlDataBlkPtr, steps);
    ShowSteps(steps);
}

bool PFInchMMLittleArrowControl::GetValueToPreset()
{
    std::string text;
    if (!HasValueBlock() || !ReadTicketValue(text)) {
        return false;
    }
    const std::optional<int> steps = StepsFromTicket(text);
    if (!steps) {
        return false;
    }
    // A value from outside the range (a damaged or foreign ticket) is
    // brought into it rather than shown and written back as it came.
    TakePresetSteps(std::clamp(*steps, minimum_, maximum_));
    return true;
}

bool PFInchMMLittleArrowControl::SetValueToTicket(platform::PMPrintSettings* settings, bool withParam)
{
    const int value = CommittedInt();
    if (value < minimum_ || value > maximum_) {
        return false;
    }
    return BaseControl::SetValueToTicket(settings, withParam);
}

void PFInchMMLittleArrowControl::DoControlUpdateConstrain()
{
    if (PFInchMMTextEditCtrl* field = GetNumberEditFromLittleArrow()) {
        field->ShowText(field->TextOfSteps(GetValueToShow()));
    }
    if (BaseControl* other = FindIn(ctrlParentPanelPtr, companions_.second)) {
        other->Update();
    }
}

// --- unit button -------------------------------------------------------------

PFInchMMRadioButton::PFInchMMRadioButton(widgets::Widget* widget, const framework::RadioButtonIniData* IniData,
                                         const ConstraintInfo* Constrain, const AccessInfo* accessInfo,
                                         std::vector<ControlID> validateArray)
    : RadioButton(widget, IniData, Constrain, accessInfo, framework::kPreferencesCurrentUser),
      validateControlArray(std::move(validateArray))
{}

bool PFInchMMRadioButton::ValidateConstrains() { return AllAccept(ctrlParentPanelPtr, validateControlArray); }

bool PFInchMMRadioButton::UIEventHandler()
{
    if (!ValidateConstrains()) {
        // The person's click turned this button on; the unit stays as it was.
        SetWidgetState(widgets::kStateOff);
        if (auto* other = dynamic_cast<PFInchMMRadioButton*>(GetAnotherRadioCtrlFromGroup())) {
            other->SetWidgetState(widgets::kStateOn);
        }
        return false;
    }
    return RadioButton::UIEventHandler();
}

// --- auto fit switch ---------------------------------------------------------

PFStaticCheckBox::PFStaticCheckBox(widgets::Widget* widget, ControlID ctrlTag, const CheckBoxIniData* IniData,
                                   const AccessInfo* access)
    : PFNonPPDCheckBox(widget, ctrlTag, IniData, nullptr, access)
{}

bool PFStaticCheckBox::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    // Unlike the panel's switch, this one starts from its record.
    CheckBox::InitializeCtrl(bundle, withPPD);
    if (!initialized_ && checkboxctrlIniDataPtr) {
        SetBlockInt(ctrlDataBlkPtr, checkboxctrlIniDataPtr->defaultValue);
        SetWidgetState(checkboxctrlIniDataPtr->defaultValue);
        initialized_ = true;
    }
    const std::string layout =
        VendorAttribute(withPPD ? withPPD : framework::PPDOf(ctrlParentPanelPtr), "ZLKXLayoutSettings");
    const auto dash = layout.find('-');
    notOffered_ = dash != std::string::npos && layout.substr(dash + 1) == "Type02";
    ResetStatus();
    return true;
}

void PFStaticCheckBox::ResetStatus()
{
    PFNonPPDCheckBox::ResetStatus();
    if (notOffered_) {
        Hide();
    }
}

bool PFStaticCheckBox::ReInitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    return InitializeCtrl(bundle, withPPD);
}

// --- windows -----------------------------------------------------------------

PFNumberWnd::PFNumberWnd(widgets::Toolkit& toolkit, const char* titleKey)
    : PopupWinInPanel(toolkit.CreateWindow(titleKey, {0, 0, 420, 240}), titleKey)
{}

widgets::Widget* PFNumberWnd::Widget(ControlID tag) const
{
    return GetWindow() ? GetWindow()->Content().FindWidget(tag) : nullptr;
}

void PFNumberWnd::AddLabel(ControlID tag, const char* key)
{
    RunTimeAddNewControl(std::make_unique<framework::StaticTextEditControl>(Widget(tag), nullptr, nullptr, nullptr,
                                                                            nullptr, nullptr, key));
}

void PFNumberWnd::AddWindowButtons(ControlID ok, ControlID cancel, ControlID def, ControlID help, const char* helpFile)
{
    RunTimeAddNewControl(std::make_unique<PFWndOKButton>(Widget(ok), "OK Button Title", this));
    RunTimeAddNewControl(std::make_unique<PFWndCancelButton>(Widget(cancel), "Cancel Button Title", this));
    RunTimeAddNewControl(std::make_unique<PFWndRestoreDefaultButton>(Widget(def), "Default Button Title", this));
    RunTimeAddNewControl(std::make_unique<PHelpButton>(Widget(help), helpFile));
}

}  // namespace zlk::features
