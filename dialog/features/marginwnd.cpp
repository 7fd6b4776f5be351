#include "dialog/features/marginwnd.h"

#include <cmath>
#include <cstdlib>

#include "dialog/features/featurespanel.h"
#include "ppd/ticket.h"

namespace zlk::features {

namespace {

using framework::RadioButtonIniData;
using framework::StepperIniData;
using framework::TextIniData;
using numberform::IsDecimal;
using numberform::IsDigits;
using numberform::OneDecimal;
using numberform::Scaled;
using numberform::TwoDecimals;

// The platform's single-precision millimetres per inch.
constexpr float kMMPerInch = 25.4f;
constexpr float kCMPerInch = 2.54f;

constexpr ppd::InputFilterData kDecimalChars{2, {{{0x2E, 0x2E}, {0x30, 0x39}}}};
constexpr ppd::InputFilterData kDigitChars{1, {{{0x30, 0x39}}}};

// --- tab margin records ---
constexpr inchMMEditValueRangeData kTabMMRange{0, 150};
constexpr inchMMEditValueRangeData kTabInchRange{0, 59};
constexpr ppd::TextEditFilterData kTabMMFilter{kDecimalChars, kDecimalChars, "Message22b"};
constexpr ppd::TextEditFilterData kTabInchFilter{kDecimalChars, kDecimalChars, "Message22b2"};
constexpr TextIniData kTabMMText{"0.0", "12.7", 1, 4};
constexpr TextIniData kTabInchText{"0.00", "0.50", 1, 4};
constexpr StepperIniData kTabMMSteps{0, 127, 127, 0, 150, 1};
constexpr StepperIniData kTabInchSteps{0, 50, 50, 0, 59, 1};
const AccessInfo kTabMMFieldAccess{framework::kDataTypeText, 0, ppd::kTicketKey<"TabMarginMMTextEditTicket">, nullptr};
const AccessInfo kTabInchFieldAccess{framework::kDataTypeText, 0, ppd::kTicketKey<"TabMarginInchesTextEditTicket">,
                                     nullptr};
const AccessInfo kTabMMStepperAccess{0, 0, ppd::kTicketKey<"TabMarginMMShiftTicket">, nullptr};
const AccessInfo kTabInchStepperAccess{0, 0, ppd::kTicketKey<"TabMarginInchesShiftTicket">, nullptr};
const AccessInfo kTabMMRadioAccess{0, 0, ppd::kTicketKey<"TabMarginMMRadioTicket">, nullptr};
const AccessInfo kTabInchRadioAccess{0, 0, ppd::kTicketKey<"TabMarginInchesRadioTicket">, nullptr};
constexpr RadioButtonIniData kTabMMRadioIni{
    0, 1, -1, 0, "Tab Margin MM Radio Button Title", "Tab Margin Summary for MM Radio Button Title"};
constexpr RadioButtonIniData kTabInchRadioIni{
    0, 0, -1, 0, "Tab Margin Inches Radio Button Title", "Tab Margin Summary for Inches Radio Button Title"};
// Each unit button hides its unit's four controls while off.
constexpr const ControlID* kTabMMControls[] = {&kTabMMFieldTag, &kTabMMStepperTag, &kTabMMLabelTag, &kTabMMSideTag,
                                               nullptr};
constexpr const ControlID* kTabInchControls[] = {&kTabInchFieldTag, &kTabInchStepperTag, &kTabInchLabelTag,
                                                 &kTabInchSideTag, nullptr};
using kTabUnitButtons = UnitButtonRecords<kTabMMControls, kTabInchControls, kTabMMRadioTag, kTabInchRadioTag>;

// --- booklet margin records ---
constexpr inchMMEditValueRangeData kBookletMMRange{0, 25};
constexpr inchMMEditValueRangeData kBookletInchRange{0, 10};
constexpr ppd::TextEditFilterData kBookletMMFilter{kDigitChars, kDigitChars, "Message22e"};
constexpr ppd::TextEditFilterData kBookletInchFilter{kDecimalChars, kDecimalChars, "Message22e2"};
constexpr TextIniData kBookletMMText{"0", "0", 1, 2};
constexpr TextIniData kBookletInchText{"0.0", "0.0", 1, 3};
constexpr StepperIniData kBookletMMSteps{0, 0, 0, 0, 25, 1};
constexpr StepperIniData kBookletInchSteps{0, 0, 0, 0, 10, 1};
const AccessInfo kBookletMMFieldAccess{framework::kDataTypeText, 0, ppd::kTicketKey<"BookletMarginMMTextEditTicket">,
                                       nullptr};
const AccessInfo kBookletInchFieldAccess{framework::kDataTypeText, 0,
                                         ppd::kTicketKey<"BookletMarginInchesTextEditTicket">, nullptr};
const AccessInfo kBookletMMStepperAccess{0, 0, ppd::kTicketKey<"BookletMarginMMShiftTicket">, nullptr};
const AccessInfo kBookletInchStepperAccess{0, 0, ppd::kTicketKey<"BookletMarginInchesShiftTicket">, nullptr};
const AccessInfo kBookletMMRadioAccess{0, 0, ppd::kTicketKey<"BookletMarginMMRadioTicket">, nullptr};
const AccessInfo kBookletInchRadioAccess{0, 0, ppd::kTicketKey<"BookletMarginInchesRadioTicket">, nullptr};
const AccessInfo kAutoFitAccess{0, 0, ppd::kTicketKey<"AutoFitSwitchTicket">, nullptr};
constexpr CheckBoxIniData kAutoFitIni{0, 1, 1, 0, "Booklet Margin Auto Fit Text", nullptr};
constexpr RadioButtonIniData kBookletMMRadioIni{
    0, 1, -1, 0, "Booklet Margin MM Radio Button Title", "Booklet Margin Summary for MM Radio Button Title"};
constexpr RadioButtonIniData kBookletInchRadioIni{
    0, 0, -1, 0, "Booklet Margin Inches Radio Button Title", "Booklet Margin Summary for Inches Radio Button Title"};
constexpr const ControlID* kBookletMMControls[] = {&kBookletMMFieldTag, &kBookletMMStepperTag, &kBookletMMLabelTag,
                                                   &kBookletMMSideTag, nullptr};
constexpr const ControlID* kBookletInchControls[] = {&kBookletInchFieldTag, &kBookletInchStepperTag,
                                                     &kBookletInchLabelTag, &kBookletInchSideTag, nullptr};
using kBookletUnitButtons =
    UnitButtonRecords<kBookletMMControls, kBookletInchControls, kBookletMMRadioTag, kBookletInchRadioTag>;

bool Within(std::optional<int> value, const inchMMEditValueRangeData& range)
{
    return value && *value >= range.minimum && *value <= range.maximum;
}

// The hidden tab unit: the other unit's value converted in single
// precision, rounded half up in magnitude, and kept within the range.
int HalfUpWithin(float x, bool negative, const inchMMEditValueRangeData& range)
{
    const double rounded = std::trunc(negative ? static_cast<double>(x) - 0.5 : static_cast<double>(x) + 0.5);
    return negative ? static_cast<int>(std::max<double>(rounded, range.minimum))
                    : static_cast<int>(std::min<double>(rounded, range.maximum));
}

// Rounded half away from zero, then kept within the range.
int RoundedWithin(double x, const inchMMEditValueRangeData& range)
{
    const double rounded = std::round(x);
    if (!(rounded <= range.maximum)) {
        return range.maximum;
    }
    return static_cast<int>(std::max<double>(rounded, range.minimum));
}

float AsFloat(const std::string& text) { return static_cast<float>(std::strtod(text.c_str(), nullptr)); }

}  // namespace

// --- the unit windows ----------------------------------------------------------

PFUnitWnd::PFUnitWnd(widgets::Toolkit& toolkit, const char* titleKey, ControlID mmRadio, ControlID inchRadio)
    : PFNumberWnd(toolkit, titleKey),
      mmRadioTag_(mmRadio),
      inchRadioTag_(inchRadio)
{}

void PFUnitWnd::AddUnitButtons(const RadioButtonIniData* mmIni, const ConstraintInfo* mmConstraint,
                               const AccessInfo* mmAccess, std::vector<ControlID> validateByMM,
                               const RadioButtonIniData* inchIni, const ConstraintInfo* inchConstraint,
                               const AccessInfo* inchAccess, std::vector<ControlID> validateByInch)
{
    auto group = framework::RadioGroup::Create();
    auto mm = std::make_unique<PFInchMMRadioButton>(Widget(mmRadioTag_), mmIni, mmConstraint, mmAccess,
                                                    std::move(validateByMM));
    auto inch = std::make_unique<PFInchMMRadioButton>(Widget(inchRadioTag_), inchIni, inchConstraint, inchAccess,
                                                      std::move(validateByInch));
    group->RunTimeAddNewControl(mm.get());
    group->RunTimeAddNewControl(inch.get());
    RunTimeAddNewControl(std::move(mm));
    RunTimeAddNewControl(std::move(inch));
}

bool PFUnitWnd::GetValueFromPreset()
{
    PopupWinInPanel::GetValueFromPreset();
    // Exactly one unit is on, whatever the ticket held: millimetres unless
    // inches alone are on.
    BaseControl* mm = GetPanelControl(mmRadioTag_);
    BaseControl* inch = GetPanelControl(inchRadioTag_);
    if (mm && inch && mm->HasValueBlock() && inch->HasValueBlock()) {
        const bool inchesOnly = inch->CommittedInt() == 1 && mm->CommittedInt() != 1;
        BaseControl::SetBlockInt(mm->GetControlBlkPtr(), inchesOnly ? 0 : 1);
        BaseControl::SetBlockInt(inch->GetControlBlkPtr(), inchesOnly ? 1 : 0);
    }
    return true;
}

UnitDisplayStyle PFUnitWnd::DisplayStyle() const
{
    const BaseControl* mm = GetPanelControl(mmRadioTag_);
    const BaseControl* inch = GetPanelControl(inchRadioTag_);
    const bool mmOn = mm && mm->CommittedInt() == 1;
    const bool inchOn = inch && inch->CommittedInt() == 1;
    if (inchOn && !mmOn) {
        return kShowsInches;
    }
    return mmOn && !inchOn ? kShowsMM : kShowsNoUnit;
}

PFTabMarginWnd::PFTabMarginWnd(widgets::Toolkit& toolkit, const platform::Bundle* bundle, const std::string& table)
    : PFUnitWnd(toolkit, "Tab Margin Window Title String", kTabMMRadioTag, kTabInchRadioTag)
{
    if (!LoadWindowLayout(*this, bundle, table, "TabMarginWindow")) {
        return;
    }
    AddLabel(kTabInchLabelTag, "Tab Margin Inch Static Text");
    AddLabel(kTabInchSideTag, "Tab Margin Inch Side Static Text");
    AddLabel(kTabMMLabelTag, "Tab Margin MM Static Text");
    AddLabel(kTabMMSideTag, "Tab Margin MM Side Static Text");
    RunTimeAddNewControl(std::make_unique<PFTabInchesTextEditCtrl>(Widget(kTabInchFieldTag)));
    RunTimeAddNewControl(std::make_unique<PFTabMMTextEditCtrl>(Widget(kTabMMFieldTag)));
    RunTimeAddNewControl(std::make_unique<PFTabInchesLittleArrowControl>(Widget(kTabInchStepperTag)));
    RunTimeAddNewControl(std::make_unique<PFTabMMLittleArrowControl>(Widget(kTabMMStepperTag)));
    AddUnitButtons(&kTabMMRadioIni, &kTabUnitButtons::mm, &kTabMMRadioAccess, {kTabInchFieldTag}, &kTabInchRadioIni,
                   &kTabUnitButtons::inch, &kTabInchRadioAccess, {kTabMMFieldTag});
    AddWindowButtons(kTabOKTag, kTabCancelTag, kTabDefaultTag, kTabHelpTag, "TabMarginShift.htm");
}

PFBookletMarginWnd::PFBookletMarginWnd(widgets::Toolkit& toolkit, const platform::Bundle* bundle,
                                       const std::string& table)
    : PFUnitWnd(toolkit, "Booklet Margin Window Title String", kBookletMMRadioTag, kBookletInchRadioTag)
{
    if (!LoadWindowLayout(*this, bundle, table, "BookletMarginWindow")) {
        return;
    }
    AddLabel(kBookletInchLabelTag, "Booklet Margin Inch Static Text");
    AddLabel(kBookletInchSideTag, "Booklet Margin Inch Side Static Text");
    AddLabel(kBookletMMLabelTag, "Booklet Margin MM Static Text");
    AddLabel(kBookletMMSideTag, "Booklet Margin MM Side Static Text");
    RunTimeAddNewControl(std::make_unique<PFBookletInchesTextEditCtrl>(Widget(kBookletInchFieldTag)));
    RunTimeAddNewControl(std::make_unique<PFBookletMMTextEditCtrl>(Widget(kBookletMMFieldTag)));
    RunTimeAddNewControl(std::make_unique<PFBookletInchesLittleArrowControl>(Widget(kBookletInchStepperTag)));
    RunTimeAddNewControl(std::make_unique<PFBookletMMLittleArrowControl>(Widget(kBookletMMStepperTag)));
    AddUnitButtons(&kBookletMMRadioIni, &kBookletUnitButtons::mm, &kBookletMMRadioAccess, {kBookletInchFieldTag},
                   &kBookletInchRadioIni, &kBookletUnitButtons::inch, &kBookletInchRadioAccess, {kBookletMMFieldTag});
    RunTimeAddNewControl(std::make_unique<PFStaticCheckBox>(Widget(kBookletAutoFitTag), kBookletAutoFitTag,
                                                            &kAutoFitIni, &kAutoFitAccess));
    AddWindowButtons(kBookletOKTag, kBookletCancelTag, kBookletDefaultTag, kBookletHelpTag, "Margins.htm");
}

// --- tab margin fields ---------------------------------------------------------

PFTabMMTextEditCtrl::PFTabMMTextEditCtrl(widgets::Widget* widget)
    : PFMarginTextEditCtrl(widget, &kTabMMText, &kTabMMFilter, &kTabMMFieldAccess, kTabMMRange, "Tab Margin Text",
                           {kTabMMStepperTag, kTabInchFieldTag})
{}

bool PFTabMMTextEditCtrl::IsNumberValid(const std::string& text) const
{
    return IsDecimal(text, false, 1) && Within(Scaled(text, 10), ValueRange());
}
int PFTabMMTextEditCtrl::StepsOfText(const std::string& text) const { return Scaled(text, 10).value_or(0); }
std::string PFTabMMTextEditCtrl::TextOfSteps(int steps) const { return OneDecimal(steps); }
std::optional<std::string> PFTabMMTextEditCtrl::TextFromOtherUnit(const std::string& inches) const
{
    const float x = AsFloat(inches) * kMMPerInch * 10.0f;
    return OneDecimal(HalfUpWithin(x, !inches.empty() && inches.front() == '-', ValueRange()));
}
bool PFTabMMTextEditCtrl::FeatureOn() const { return FeaturesPanel() && FeaturesPanel()->IsTabMarginShift(); }

PFTabInchesTextEditCtrl::PFTabInchesTextEditCtrl(widgets::Widget* widget)
    : PFMarginTextEditCtrl(widget, &kTabInchText, &kTabInchFilter, &kTabInchFieldAccess, kTabInchRange,
                           "Tab Margin Text", {kTabInchStepperTag, kTabMMFieldTag})
{}

bool PFTabInchesTextEditCtrl::IsNumberValid(const std::string& text) const
{
    const bool point = text.find('.') != std::string::npos;
    return IsDecimal(text, false, 0) && (!point || text.size() >= 3) && Within(Scaled(text, 100), ValueRange());
}
int PFTabInchesTextEditCtrl::StepsOfText(const std::string& text) const
{
    // Thousandths plus five, truncated, then tenths of that.
    const double thousandths = std::trunc(std::strtod(text.c_str(), nullptr) * 1000 + 5);
    return std::isfinite(thousandths) && std::fabs(thousandths) < 1e9 ? static_cast<int>(thousandths) / 10 : 0;
}
std::string PFTabInchesTextEditCtrl::TextOfSteps(int steps) const { return TwoDecimals(steps); }
std::optional<std::string> PFTabInchesTextEditCtrl::TextFromOtherUnit(const std::string& mm) const
{
    const float x = AsFloat(mm) * 10.0f / kCMPerInch;
    return TwoDecimals(HalfUpWithin(x, !mm.empty() && mm.front() == '-', ValueRange()));
}
bool PFTabInchesTextEditCtrl::FeatureOn() const { return FeaturesPanel() && FeaturesPanel()->IsTabMarginShift(); }

PFTabMMLittleArrowControl::PFTabMMLittleArrowControl(widgets::Widget* widget)
    : PFInchMMLittleArrowControl(widget, &kTabMMSteps, &kTabMMStepperAccess, "Tab Margin Text",
                                 {kTabMMFieldTag, kTabInchFieldTag}, {kTabMMFieldTag})
{}

PFTabInchesLittleArrowControl::PFTabInchesLittleArrowControl(widgets::Widget* widget)
    : PFInchMMLittleArrowControl(widget, &kTabInchSteps, &kTabInchStepperAccess, "Tab Margin Text",
                                 {kTabInchFieldTag, kTabMMFieldTag}, {kTabInchFieldTag})
{}

// --- booklet margin fields -----------------------------------------------------

PFBookletMMTextEditCtrl::PFBookletMMTextEditCtrl(widgets::Widget* widget)
    : PFMarginTextEditCtrl(widget, &kBookletMMText, &kBookletMMFilter, &kBookletMMFieldAccess, kBookletMMRange,
                           "Booklet Margin Text", {kBookletMMStepperTag, kBookletInchFieldTag})
{}

bool PFBookletMMTextEditCtrl::IsNumberValid(const std::string& text) const
{
    return IsDigits(text) && Within(numberform::Integer(text), ValueRange());
}
int PFBookletMMTextEditCtrl::StepsOfText(const std::string& text) const
{
    return numberform::Integer(text).value_or(0);
}
std::string PFBookletMMTextEditCtrl::TextOfSteps(int steps) const { return std::to_string(steps); }
std::optional<std::string> PFBookletMMTextEditCtrl::TextFromOtherUnit(const std::string& inches) const
{
    return std::to_string(RoundedWithin(std::strtod(inches.c_str(), nullptr) * 25.4, ValueRange()));
}
bool PFBookletMMTextEditCtrl::FeatureOn() const { return FeaturesPanel() && FeaturesPanel()->IsBookletMarginShift(); }

PFBookletInchesTextEditCtrl::PFBookletInchesTextEditCtrl(widgets::Widget* widget)
    : PFMarginTextEditCtrl(widget, &kBookletInchText, &kBookletInchFilter, &kBookletInchFieldAccess, kBookletInchRange,
                           "Booklet Margin Text", {kBookletInchStepperTag, kBookletMMFieldTag})
{}

bool PFBookletInchesTextEditCtrl::IsNumberValid(const std::string& text) const
{
    return IsDecimal(text, false, 1) && Within(Scaled(text, 10), ValueRange());
}
int PFBookletInchesTextEditCtrl::StepsOfText(const std::string& text) const { return Scaled(text, 10).value_or(0); }
std::string PFBookletInchesTextEditCtrl::TextOfSteps(int steps) const { return OneDecimal(steps); }
std::optional<std::string> PFBookletInchesTextEditCtrl::TextFromOtherUnit(const std::string& mm) const
{
    // Tenths of an inch.
    return OneDecimal(RoundedWithin(std::strtod(mm.c_str(), nullptr) / 2.54, ValueRange()));
}
bool PFBookletInchesTextEditCtrl::FeatureOn() const
{
    return FeaturesPanel() && FeaturesPanel()->IsBookletMarginShift();
}

PFBookletMMLittleArrowControl::PFBookletMMLittleArrowControl(widgets::Widget* widget)
    : PFInchMMLittleArrowControl(widget, &kBookletMMSteps, &kBookletMMStepperAccess, "Booklet Margin Text",
                                 {kBookletMMFieldTag, kBookletInchFieldTag}, {kBookletMMFieldTag})
{}

bool PFBookletMMLittleArrowControl::ConvertToTickectData(std::string& out, bool)
{
    // The printer takes the margin of both halves of the sheet.
    out = std::to_string(2 * CommittedInt()).substr(0, 4);
    return true;
}

std::optional<int> PFBookletMMLittleArrowControl::StepsFromTicket(const std::string& text) const
{
    const std::optional<int> doubled = PFInchMMLittleArrowControl::StepsFromTicket(text);
    return doubled ? std::optional<int>(*doubled / 2) : std::nullopt;
}

PFBookletInchesLittleArrowControl::PFBookletInchesLittleArrowControl(widgets::Widget* widget)
    : PFInchMMLittleArrowControl(widget, &kBookletInchSteps, &kBookletInchStepperAccess, "Booklet Margin Text",
                                 {kBookletInchFieldTag, kBookletMMFieldTag}, {kBookletInchFieldTag})
{}

}  // namespace zlk::features
