#include "dialog/features/trimmerwnd.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <span>

#include "dialog/features/featurespanel.h"
#include "platform/printing/pageformat.h"
#include "ppd/ticket.h"

namespace zlk::features {

namespace {

using framework::RadioButtonIniData;
using framework::StepperIniData;
using framework::TextIniData;

// The platform's millimetres per inch, in single precision, throughout.
constexpr double kMMPerInch = 25.399999618530273;
constexpr float kMMPerInchF = 25.4f;

// The tallest and widest paper the host's page format may give.
constexpr double kMaxPaperHeight = 1383.3;
constexpr double kMaxPaperWidth = 935.44;

constexpr ppd::InputFilterData kUnsignedChars{2, {{{0x2E, 0x2E}, {0x30, 0x39}}}};
constexpr ppd::InputFilterData kSignedChars{3, {{{0x2D, 0x2D}, {0x2E, 0x2E}, {0x30, 0x39}}}};
constexpr ppd::TextEditFilterData kUnsignedFilter{kUnsignedChars, kUnsignedChars, "Message51"};
constexpr ppd::TextEditFilterData kSignedFilter{kSignedChars, kSignedChars, "Message51"};

// Per trimmer type and unit (inches, mm): the field's texts and length
// and the stepper's default trim. The ranges come from the sheet.
struct TrimmerRecord {
    TextIniData text;
    StepperIniData steps;
};
constexpr std::array<std::array<TrimmerRecord, 2>, 4> kTrimmerRecords{{
    {{{{"0.00", "0.00", 1, 5}, {0, 47, 47, 0, 0, 1}}, {{"0.0", "0.0", 1, 5}, {0, 120, 120, 0, 0, 1}}}},  // height
    {{{{"0.00", "0.00", 1, 4}, {0, 31, 31, 0, 0, 1}}, {{"0.0", "0.0", 1, 5}, {0, 80, 80, 0, 0, 1}}}},  // width
    {{{{"0.00", "0.00", 1, 5}, {0, 0, 0, 0, 0, 1}}, {{"0.0", "0.0", 1, 5}, {0, 0, 0, 0, 0, 1}}}},  // adjustment
    {{{{"0.00", "0.00", 1, 4}, {0, 31, 31, 0, 0, 1}}, {{"0.0", "0.0", 1, 5}, {0, 80, 80, 0, 0, 1}}}},  // fore edge
}};
const TrimmerRecord& RecordOf(TrimmerType type, TrimmerUnit unit) { return kTrimmerRecords[type][unit]; }

const AccessInfo kFieldAccess[2] = {
    {framework::kDataTypeText, 0, ppd::kTicketKey<"TrimmerInchesTextEditTicket">, nullptr},
    {framework::kDataTypeText, 0, ppd::kTicketKey<"TrimmerMMTextEditTicket">, nullptr},
};
const AccessInfo kStepperAccess[2] = {
    {0, 0, ppd::kTicketKey<"TrimmerInchesShiftTicket">, nullptr},
    {0, 0, ppd::kTicketKey<"TrimmerMMShiftTicket">, nullptr},
};
const char* const kCuttingSizeKey = ppd::kTicketKey<"TrimmerMMCuttingSizeTicket">;
// The finished sizes the top/lower window writes, by trimmer type.
const char* const kTopLowerSizeKeys[3] = {
    ppd::kTicketKey<"TrimmerHeightMMSizeTicket">,
    ppd::kTicketKey<"TrimmerWidthMMSizeTicket">,
    ppd::kTicketKey<"TrimmerAdjustMMSizeTicket">,
};
const AccessInfo kMMRadioAccess{0, 0, ppd::kTicketKey<"TrimmerMMRadioTicket">, nullptr};
const AccessInfo kInchRadioAccess{0, 0, ppd::kTicketKey<"TrimmerInchesRadioTicket">, nullptr};
constexpr RadioButtonIniData kMMRadioIni{
    0, 1, -1, 0, "Trimmer MM Radio Button Title", "Trimmer Summary for MM Radio Button Title"};
constexpr RadioButtonIniData kInchRadioIni{
    0, 0, -1, 0, "Trimmer Inches Radio Button Title", "Trimmer Summary for Inches Radio Button Title"};

// The trimmer window's unit buttons: each hides its unit while off.
constexpr const ControlID* kTrimMMControls[] = {&kTrimMMFieldTag, &kTrimMMStepperTag, &kTrimMMLabelTag, &kTrimMMSideTag,
                                                nullptr};
constexpr const ControlID* kTrimInchControls[] = {&kTrimInchFieldTag, &kTrimInchStepperTag, &kTrimInchLabelTag,
                                                  &kTrimInchSideTag, nullptr};
using kTrimUnitButtons = UnitButtonRecords<kTrimMMControls, kTrimInchControls, kTrimMMRadioTag, kTrimInchRadioTag>;

// The top/lower window's rows: per edge and unit the label, side label,
// field and stepper, in tag order.
struct EdgeTags {
    ControlID label, side, field, stepper;
};
constexpr ControlID kTopLowerTags[] = {9001, 9002, 9003, 9004, 9005, 9006, 9007, 9008, 9011, 9012, 9013, 9014,
                                       9015, 9016, 9017, 9018, 9019, 9020, 9021, 9022, 9023, 9024, 9025, 9026};
// Rows of kTopLowerTags: height inches, height mm, width inches, width mm, adjust inches, adjust mm.
EdgeTags EdgeOf(TrimmerType type, TrimmerUnit unit)
{
    const int row = type * 2 + (unit == kTrimmerMM ? 1 : 0);
    const ControlID* at = kTopLowerTags + row * 4;
    return {at[0], at[1], at[2], at[3]};
}
constexpr const ControlID* kTopLowerInchControls[] = {&kTopLowerTags[0],
                                                      &kTopLowerTags[1],
                                                      &kTopLowerTags[2],
                                                      &kTopLowerTags[3],
                                                      &kTopLowerTags[8],
                                                      &kTopLowerTags[9],
                                                      &kTopLowerTags[10],
                                                      &kTopLowerTags[11],
                                                      &kTopLowerTags[16],
                                                      &kTopLowerTags[17],
                                                      &kTopLowerTags[18],
                                                      &kTopLowerTags[19],
                                                      nullptr};
constexpr const ControlID* kTopLowerMMControls[] = {&kTopLowerTags[4],
                                                    &kTopLowerTags[5],
                                                    &kTopLowerTags[6],
                                                    &kTopLowerTags[7],
                                                    &kTopLowerTags[12],
                                                    &kTopLowerTags[13],
                                                    &kTopLowerTags[14],
                                                    &kTopLowerTags[15],
                                                    &kTopLowerTags[20],
                                                    &kTopLowerTags[21],
                                                    &kTopLowerTags[22],
                                                    &kTopLowerTags[23],
                                                    nullptr};
using kTopLowerUnitButtons =
    UnitButtonRecords<kTopLowerMMControls, kTopLowerInchControls, kTopLowerMMRadioTag, kTopLowerInchRadioTag>;

const char* const kEdgeTitles[4] = {"Trimmer Height Edit Text", "Trimmer Width Edit Text", "Trimmer Adjust Edit Text",
                                    "Trimmer Text"};

// Steps of a unit: tenths of a millimetre, hundredths of an inch.
int ScaleOf(TrimmerUnit unit) { return unit == kTrimmerMM ? 10 : 100; }

std::string TextIn(TrimmerUnit unit, int steps)
{
    return unit == kTrimmerMM ? numberform::OneDecimal(steps) : numberform::TwoDecimals(steps);
}

// The localized text with each "%s" replaced in turn.
std::string Filled(std::string text, std::initializer_list<std::string> values)
{
    std::size_t from = 0;
    for (const std::string& value : values) {
        const std::size_t at = text.find("%s", from);
        if (at == std::string::npos) {
            break;
        }
        text.replace(at, 2, value);
        from = at + value.size();
    }
    return text;
}

std::string RangeText(TrimmerUnit unit, const inchMMEditValueRangeData& range)
{
    return TextIn(unit, range.minimum) + " - " + TextIn(unit, range.maximum);
}

int Rounded(double value)
{
    return std::isfinite(value) ? static_cast<int>(std::clamp(std::round(value), -1e9, 1e9)) : 0;
}

// A trim in hundredths of an inch for a trim in tenths of a millimetre.
int InchTrimOf(int mmTrim) { return Rounded(mmTrim / 2.54); }

// Rows of "a side within 0.5 of the first becomes the second".
struct SideRow {
    double side, becomes;
};
constexpr SideRow kTrimmerAdjustLengthInfo[] = {{1190.5, 1190.5}, {842, 1190.5}, {595, 842},   {1032, 1032},
                                                {728.5, 1032},    {792, 1224},   {1224, 1224}, {612, 792}};
constexpr SideRow kTrimmerAdjustWidthInfo[] = {{842, 842},   {595.3, 842}, {420, 595.3}, {728.5, 728.5},
                                               {516, 728.5}, {612, 792},   {792, 792},   {396, 612}};

// The booklet sheets by name, in points.
struct SheetSize {
    const char* name;
    double shortSide, longSide;
};
constexpr SheetSize kStandardSheets[] = {
    {"A3", 842, 1190.5}, {"A4", 595, 842}, {"B4", 728.5, 1032}, {"Letter", 612, 792}, {"Tabloid", 792, 1224}};

std::optional<SheetSize> StandardSheet(const std::string& name)
{
    for (const SheetSize& sheet : kStandardSheets) {
        if (name == sheet.name) {
            return sheet;
        }
    }
    return std::nullopt;
}

std::optional<double> LookUp(std::span<const SideRow> rows, double side)
{
    for (const SideRow& row : rows) {
        if (std::fabs(side - row.side) <= 0.5) {
            return row.becomes;
        }
    }
    return std::nullopt;
}

}  // namespace

// --- the sheet and its ranges -------------------------------------------------

// The smallest finished width offered is 20 mm under half the long side.
bool TrimmerPaper::CanTrim() const { return RangesFor(kTrimmerForeEdge, *this).mm.minimum > 0; }

int TrimmerPaper::H() const { return Rounded(longSide / 72 * kMMPerInch * 0.5 * 10); }
int TrimmerPaper::Hin() const { return Rounded(longSide / 72 * 0.5 * 100); }
int TrimmerPaper::S10() const { return Rounded(shortSide / 72 * kMMPerInch * 10); }
int TrimmerPaper::Sin() const { return Rounded(shortSide / 72 * 100); }

TrimmerRanges RangesFor(TrimmerType type, const TrimmerPaper& paper)
{
    switch (type) {
    case kTrimmerHeight: {
        const double s = paper.shortSide / 72 * kMMPerInch;
        return {{std::max(Rounded((s - 50) * 10), 1820), Rounded((s - 12) * 10)},
                {std::max(Rounded((s - 50) / kMMPerInch * 100), 717), Rounded((s - 12) / kMMPerInch * 100)}};
    }
    case kTrimmerAdjust: return {{-20, 20}, {-8, 8}};
    case kTrimmerWidth:
    case kTrimmerForeEdge:
    default: {
        const double h = paper.longSide / 72 * kMMPerInch * 0.5;
        return {{Rounded((h - 20) * 10), Rounded((h - 2) * 10)},
                {Rounded((h - 20) / kMMPerInch * 100), Rounded((h - 2) / kMMPerInch * 100)}};
    }
    }
}

int GetBookletSelection(const std::string& choice)
{
    for (const char* tray : {"None", "SigTray3", "SigTray4", "SigTray6"}) {
        if (choice == tray) {
            return 2;
        }
    }
    for (const char* size : {"A3", "A4", "B4", "LT", "DL", "Letter", "Tabloid"}) {
        if (choice == size) {
            return 1;
        }
    }
    return 0;
}

std::optional<double> AdjustTrimmerBaseLength(double longSide) { return LookUp(kTrimmerAdjustLengthInfo, longSide); }
std::optional<double> AdjustTrimmerBaseWidth(double shortSide) { return LookUp(kTrimmerAdjustWidthInfo, shortSide); }

// --- fields ------------------------------------------------------------------

PFTrimmerTextEditCtrl::PFTrimmerTextEditCtrl(widgets::Widget* widget, TrimmerType type, TrimmerUnit unit,
                                             const char* titleInfo, NumberCompanions companions)
    : PFInchMMTextEditCtrl(widget, &RecordOf(type, unit).text,
                           type == kTrimmerAdjust ? &kSignedFilter : &kUnsignedFilter, &kFieldAccess[unit], {0, 0},
                           titleInfo, companions),
      type_(type),
      unit_(unit)
{}

PFTrimmerWndBase* PFTrimmerTextEditCtrl::Window() const { return dynamic_cast<PFTrimmerWndBase*>(ctrlParentPanelPtr); }

std::optional<int> PFTrimmerTextEditCtrl::ValueOf(const std::string& text) const
{
    std::string_view body = text;
    if (type_ == kTrimmerAdjust && !body.empty() && body.front() == '-') {
        body.remove_prefix(1);
    }
    if (body.empty() || body.front() == '.' || std::count(body.begin(), body.end(), '.') > 1 ||
        !std::all_of(body.begin(), body.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; })) {
        return std::nullopt;
    }
    return numberform::Scaled(text, ScaleOf(unit_));
}

bool PFTrimmerTextEditCtrl::IsNumberValid(const std::string& text) const
{
    const std::optional<int> value = ValueOf(text);
    return value && *value >= ValueRange().minimum && *value <= ValueRange().maximum;
}

int PFTrimmerTextEditCtrl::StepsOfText(const std::string& text) const
{
    return numberform::Scaled(text, ScaleOf(unit_)).value_or(0);
}

std::string PFTrimmerTextEditCtrl::TextOfSteps(int steps) const { return TextIn(unit_, steps); }

void PFTrimmerTextEditCtrl::OnRawKeyUp(const std::string& text)
{
    PFInchMMTextEditCtrl::OnRawKeyUp(text);
    if (type_ == kTrimmerAdjust && !text.empty()) {
        if (PFTrimmerWndBase* window = Window()) {
            window->SetLastAdjust(unit_, StepsOfText(text));
        }
    }
}

std::optional<std::string> PFTrimmerTextEditCtrl::TextFromOtherUnit(const std::string& other) const
{
    PFTrimmerWndBase* window = Window();
    if (!window) {
        return std::nullopt;
    }
    const TrimmerUnit otherUnit = unit_ == kTrimmerMM ? kTrimmerInches : kTrimmerMM;
    const TrimmerRanges ranges = window->Ranges(type_);
    const inchMMEditValueRangeData& mine = unit_ == kTrimmerMM ? ranges.mm : ranges.inches;
    const inchMMEditValueRangeData& theirs = unit_ == kTrimmerMM ? ranges.inches : ranges.mm;
    const int shown = numberform::Scaled(other, ScaleOf(otherUnit)).value_or(0);
    const auto displayed = [&](TrimmerUnit unit, int trim) {
        return type_ == kTrimmerAdjust ? trim : window->Base(type_, unit) - trim;
    };
    const int mmDefault = RecordOf(type_, kTrimmerMM).steps.defaultValue;
    const int inchDefault = RecordOf(type_, kTrimmerInches).steps.defaultValue;
    if (unit_ == kTrimmerMM) {
        // The inch limits and the inch default stand for the mm ones, which
        // the conversion would miss by a step.
        if (shown == theirs.minimum) {
            return TextIn(unit_, mine.minimum);
        }
        if (shown == theirs.maximum) {
            return TextIn(unit_, mine.maximum);
        }
        if (type_ != kTrimmerAdjust && shown == displayed(kTrimmerInches, inchDefault)) {
            return TextIn(unit_, displayed(kTrimmerMM, mmDefault));
        }
        const float x = static_cast<float>(std::strtod(other.c_str(), nullptr)) * kMMPerInchF * 10.0f;
        const double rounded = std::trunc(shown < 0 ? static_cast<double>(x) - 0.5 : static_cast<double>(x) + 0.5);
        return TextIn(unit_, static_cast<int>(std::clamp<double>(rounded, mine.minimum, mine.maximum)));
    }
    // Inches from millimetres: the trim converted, its default kept.
    const int mmTrim = type_ == kTrimmerAdjust ? shown : window->Base(type_, kTrimmerMM) - shown;
    const int inchTrim = type_ != kTrimmerAdjust && mmTrim == mmDefault ? inchDefault : InchTrimOf(mmTrim);
    return TextIn(unit_, std::clamp(displayed(kTrimmerInches, inchTrim), mine.minimum, mine.maximum));
}

void PFTrimmerTextEditCtrl::SetValueFromUIToControl()
{
    PFTrimmerWndBase* window = Window();
    const std::string text = UIText();
    if (!HasValueBlock() || !window || !IsNumberValid(text)) {
        return;
    }
    const int shown = StepsOfText(text);
    const int trim = type_ == kTrimmerAdjust ? shown : window->Base(type_, unit_) - shown;
    SetBlockText(ctrlDataBlkPtr, std::to_string(trim));
}

int PFTrimmerTextEditCtrl::StoredTrim() const
{
    if (const PFInchMMLittleArrowControl* stepper = GetLittleArrayForNumberEdit()) {
        return stepper->CommittedInt();
    }
    return numberform::Integer(CommittedText()).value_or(0);
}

bool PFTrimmerTextEditCtrl::ConvertToTickectData(std::string& out, bool)
{
    // Field and stepper store the same trim; the stepper's is always a number.
    out = std::to_string(StoredTrim());
    return true;
}

void PFTrimmerTextEditCtrl::restoreCtrlValue()
{
    if (!m_cancelDataBlkPtr.empty()) {
        ctrlDataBlkPtr = m_cancelDataBlkPtr;
    }
}

bool PFTrimmerTextEditCtrl::FeatureOn() const
{
    const PFTrimmerWndBase* window = Window();
    const PrintFeaturesPDE* panel = window ? window->FeaturesPanel() : nullptr;
    if (!panel) {
        return false;
    }
    return window->IsTopLower() ? panel->getTrimmerListValue() == 3
                                : panel->IsTrimmer() || panel->getTrimmerListValue() == 2;
}

bool PFTrimmerTextEditCtrl::UnitShown() const
{
    const PFTrimmerWndBase* window = Window();
    const UnitDisplayStyle style = window ? window->DisplayStyle() : kShowsNoUnit;
    return style == kShowsNoUnit || (style == kShowsMM) == (unit_ == kTrimmerMM);
}

const char* PFTrimmerTextEditCtrl::SideLabelKey() const
{
    const PFTrimmerWndBase* window = Window();
    const UnitDisplayStyle style = window ? window->DisplayStyle() : kShowsNoUnit;
    if (style == kShowsNoUnit) {
        return nullptr;
    }
    return style == kShowsMM ? PFTrimmerWndBase::kMMSideKey : PFTrimmerWndBase::kInchSideKey;
}

int PFTrimmerTextEditCtrl::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    const PFTrimmerWndBase* window = Window();
    if (!window || !ToGetSummaryText()) {
        return 0;
    }
    const int trim = StoredTrim();
    const int shown = type_ == kTrimmerAdjust ? trim : window->Base(type_, unit_) - trim;
    const std::string title = Localized(titletextRef.c_str(), LocalizeTableName);
    std::string value = TextOfSteps(shown);
    if (const char* side = SideLabelKey()) {
        value += " " + Localized(side, LocalizeTableName);
    }
    dictionary[title] = value;
    orderArray.push_back(title);
    return 0;
}

void PFTrimmerTextEditCtrl::ShowFieldMessage()
{
    const platform::Bundle* bundle = PanelBundle();
    if (!bundle || !ControlPtr) {
        return;
    }
    const std::string table = LocalizeTableName.empty() ? platform::kDefaultStringTable : LocalizeTableName;
    widgets::Alert alert;
    alert.informative = Filled(bundle->LocalizedString("Message51", table),
                               {TextOfSteps(ValueRange().minimum), TextOfSteps(ValueRange().maximum)});
    alert.buttons = {bundle->LocalizedString(framework::kAlertOKButtonKey, table)};
    alert.style = widgets::AlertStyle::Informational;
    widgets::Toolkit& toolkit = ControlPtr->GetToolkit();
    toolkit.RunAlert(alert);
    toolkit.SetFocus(ControlPtr);
}

PFTrimmerMMTextEditCtrl::PFTrimmerMMTextEditCtrl(widgets::Widget* widget)
    : PFTrimmerTextEditCtrl(widget, kTrimmerForeEdge, kTrimmerMM, kEdgeTitles[kTrimmerForeEdge],
                            {kTrimMMStepperTag, kTrimInchFieldTag})
{}

PFTrimmerInchesTextEditCtrl::PFTrimmerInchesTextEditCtrl(widgets::Widget* widget)
    : PFTrimmerTextEditCtrl(widget, kTrimmerForeEdge, kTrimmerInches, kEdgeTitles[kTrimmerForeEdge],
                            {kTrimInchStepperTag, kTrimMMFieldTag})
{}

PFTrimmerTopLowerMMTextEditCtrl::PFTrimmerTopLowerMMTextEditCtrl(widgets::Widget* widget, TrimmerType type,
                                                                 TrimmerUnit unit)
    : PFTrimmerTextEditCtrl(
          widget, type, unit, kEdgeTitles[type],
          {EdgeOf(type, unit).stepper, EdgeOf(type, unit == kTrimmerMM ? kTrimmerInches : kTrimmerMM).field})
{}

PFTrimmerTopLowerMMTextEditCtrl::PFTrimmerTopLowerMMTextEditCtrl(widgets::Widget* widget, TrimmerType type)
    : PFTrimmerTopLowerMMTextEditCtrl(widget, type, kTrimmerMM)
{}

KPFTRIMMERTOPLOWERINCHESTEXTEDITCTRL::KPFTRIMMERTOPLOWERINCHESTEXTEDITCTRL(widgets::Widget* widget, TrimmerType type)
    : PFTrimmerTopLowerMMTextEditCtrl(widget, type, kTrimmerInches)
{}

bool PFTrimmerTopLowerMMTextEditCtrl::InvalidateData()
{
    if (!TakesPartInValidation() || !TextField()) {
        return true;
    }
    const bool inRange = Check(false);
    PFTrimmerWndBase* window = Window();
    trimmerErrorNo = 0;
    const std::optional<int> typed = ValueOf(TextField()->Text());
    if (type_ == kTrimmerHeight && window && typed) {
        // The trim left at the top and at the bottom, with the adjustment,
        // must stay within what the trimmer cuts.
        const bool mm = unit_ == kTrimmerMM;
        const int side = window->Base(kTrimmerHeight, unit_);
        const int value = *typed;
        const int t = (side - value) / 2;
        const int a = std::abs(window->LastAdjust(unit_));
        if (t + a > (mm ? 250 : 98) || t - a < (mm ? 60 : 24)) {
            trimmerErrorNo = 1;
        }
        if (value < (mm ? 1820 : 717)) {
            trimmerErrorNo = 2;
        }
        if (side <= (mm ? 1939 : 763)) {
            trimmerErrorNo = 3;
        }
    }
    if (trimmerErrorNo != 0) {
        ShowTrimmerMessage();
        return false;
    }
    if (!inRange) {
        ShowFieldMessage();
    }
    return inRange;
}

void PFTrimmerTopLowerMMTextEditCtrl::ShowTrimmerMessage()
{
    const platform::Bundle* bundle = PanelBundle();
    PFTrimmerWndBase* window = Window();
    if (!bundle || !ControlPtr || !window) {
        trimmerErrorNo = 0;
        return;
    }
    const std::string table = LocalizeTableName.empty() ? platform::kDefaultStringTable : LocalizeTableName;
    const TrimmerRanges ranges = window->Ranges(kTrimmerHeight);
    const inchMMEditValueRangeData& range = unit_ == kTrimmerMM ? ranges.mm : ranges.inches;
    widgets::Alert alert;
    alert.informative = trimmerErrorNo == 3 ? bundle->LocalizedString("Message66", table)
                                            : Filled(bundle->LocalizedString("Message67", table),
                                                     {TextIn(unit_, range.minimum), TextIn(unit_, range.maximum)});
    alert.buttons = {bundle->LocalizedString(framework::kAlertOKButtonKey, table)};
    alert.style = widgets::AlertStyle::Informational;
    trimmerErrorNo = 0;
    widgets::Toolkit& toolkit = ControlPtr->GetToolkit();
    toolkit.RunAlert(alert);
    toolkit.SetFocus(ControlPtr);
}

// --- steppers ----------------------------------------------------------------

PFTrimmerLittleArrowControl::PFTrimmerLittleArrowControl(widgets::Widget* widget, TrimmerType type, TrimmerUnit unit,
                                                         NumberCompanions companions, ControlID ownField)
    : PFInchMMLittleArrowControl(widget, &RecordOf(type, unit).steps, &kStepperAccess[unit], kEdgeTitles[type],
                                 companions, {ownField}),
      type_(type),
      unit_(unit)
{}

PFTrimmerWndBase* PFTrimmerLittleArrowControl::Window() const
{
    return dynamic_cast<PFTrimmerWndBase*>(ctrlParentPanelPtr);
}

int PFTrimmerLittleArrowControl::DefaultTrim() const { return RecordOf(type_, unit_).steps.defaultValue; }

int PFTrimmerLittleArrowControl::GetValueFromUI()
{
    PFTrimmerWndBase* window = Window();
    if (!window || ctrlUIDataBlkPtr.empty()) {
        return 0;
    }
    const int shown = GetValueToShow();
    SetBlockInt(ctrlUIDataBlkPtr, type_ == kTrimmerAdjust ? shown : window->Base(type_, unit_) - shown);
    return 1;
}

bool PFTrimmerLittleArrowControl::SetControlValueToUI()
{
    PFTrimmerWndBase* window = Window();
    if (!window || !HasValueBlock()) {
        return true;
    }
    // The stepper within its range; the field as the trim says, so that a
    // trim the sheet no longer allows is seen and refused.
    const int trim = CommittedInt();
    const int shown = type_ == kTrimmerAdjust ? trim : window->Base(type_, unit_) - trim;
    ShowSteps(shown);
    if (PFInchMMTextEditCtrl* field = GetNumberEditFromLittleArrow()) {
        field->ShowText(field->TextOfSteps(shown));
    }
    return true;
}

bool PFTrimmerLittleArrowControl::SetDefaultValueToUI()
{
    PFTrimmerWndBase* window = Window();
    if (!window) {
        return true;
    }
    const int shown = type_ == kTrimmerAdjust ? DefaultTrim() : window->Base(type_, unit_) - DefaultTrim();
    ShowSteps(shown);
    if (PFInchMMTextEditCtrl* field = GetNumberEditFromLittleArrow()) {
        field->ShowText(field->TextOfSteps(shown));
    }
    return true;
}

bool PFTrimmerLittleArrowControl::SetControlValueToDefault()
{
    if (HasValueBlock()) {
        SetBlockInt(ctrlDataBlkPtr, DefaultTrim());
    }
    return true;
}

void PFTrimmerLittleArrowControl::SetCuttingSize(int trim)
{
    PFTrimmerWndBase* window = Window();
    if (!window || !HasValueBlock()) {
        return;
    }
    // Brought into the sheet's range, as the stepper would show it.
    const int base = window->Base(type_, unit_);
    const int shown = std::clamp(type_ == kTrimmerAdjust ? trim : base - trim, Minimum(), Maximum());
    SetBlockInt(ctrlDataBlkPtr, type_ == kTrimmerAdjust ? shown : base - shown);
}

void PFTrimmerLittleArrowControl::UpdatePresetCuttingSize(int trim)
{
    PFTrimmerWndBase* window = Window();
    if (!window || unit_ != kTrimmerMM) {
        return;
    }
    // The inch unit keeps its own default where the mm unit has its.
    const int inchTrim = type_ != kTrimmerAdjust && trim == DefaultTrim()
                             ? RecordOf(type_, kTrimmerInches).steps.defaultValue
                             : InchTrimOf(trim);
    const ControlID inchStepperTag = window->IsTopLower() ? EdgeOf(type_, kTrimmerInches).stepper : kTrimInchStepperTag;
    if (auto* inch = dynamic_cast<PFTrimmerLittleArrowControl*>(window->GetPanelControl(inchStepperTag))) {
        inch->SetCuttingSize(inchTrim);
    }
}

bool PFTrimmerLittleArrowControl::GetValueToPreset()
{
    PFTrimmerWndBase* window = Window();
    if (!window || !HasValueBlock()) {
        return false;
    }
    window->UpdateTrimmerIniDate();
    if (unit_ == kTrimmerInches) {
        // The inch unit follows the mm stepper read before it.
        const ControlID mmTag = window->IsTopLower() ? EdgeOf(type_, kTrimmerMM).stepper : kTrimMMStepperTag;
        auto* mm = dynamic_cast<PFTrimmerLittleArrowControl*>(window->GetPanelControl(mmTag));
        if (!mm) {
            return false;
        }
        mm->UpdatePresetCuttingSize(mm->CommittedInt());
        return true;
    }
    // The top/lower window keeps the finished sizes it writes; the trimmer
    // window its trim.
    const char* key = window->IsTopLower() ? kTopLowerSizeKeys[type_] : kStepperAccess[kTrimmerMM].ticketKey;
    std::string text;
    if (platform::PMPrintSettingsGetValue(PanelSettings(), key, &text) != platform::noErr) {
        return false;
    }
    const std::optional<int> value = StepsFromTicket(text);
    if (!value) {
        return false;
    }
    const int base = window->Base(type_, kTrimmerMM);
    const long long trim =
        !window->IsTopLower() || type_ == kTrimmerAdjust ? *value : base - static_cast<long long>(*value);
    SetCuttingSize(static_cast<int>(std::clamp<long long>(trim, -1'000'000'000, 1'000'000'000)));
    return true;
}

int PFTrimmerLittleArrowControl::TrimToWrite() const
{
    PFTrimmerWndBase* window = Window();
    if (!window) {
        return CommittedInt();
    }
    // Inches convert to millimetres with a loss; the inch default stands
    // for the mm default.
    if (unit_ == kTrimmerMM && type_ != kTrimmerAdjust && window->DisplayStyle() == kShowsInches) {
        const ControlID inchTag = window->IsTopLower() ? EdgeOf(type_, kTrimmerInches).stepper : kTrimInchStepperTag;
        const BaseControl* inch = window->GetPanelControl(inchTag);
        if (inch && inch->CommittedInt() == RecordOf(type_, kTrimmerInches).steps.defaultValue) {
            return DefaultTrim();
        }
    }
    const int base = window->Base(type_, unit_);
    const int trim = CommittedInt();
    const int shown = std::clamp(type_ == kTrimmerAdjust ? trim : base - trim, Minimum(), Maximum());
    return type_ == kTrimmerAdjust ? shown : base - shown;
}

bool PFTrimmerLittleArrowControl::SetValueToTicket(platform::PMPrintSettings* settings, bool withParam)
{
    PFTrimmerWndBase* window = Window();
    if (!window || !HasValueBlock()) {
        return false;
    }
    // The sheet may have changed since the window was last shown.
    window->UpdateTrimmerIniDate();
    const int trim = TrimToWrite();
    if (unit_ == kTrimmerInches) {
        SetBlockInt(ctrlDataBlkPtr, trim);
        return BaseControl::SetValueToTicket(settings, withParam);
    }
    bool silent = const_cast<PFTrimmerLittleArrowControl*>(this)->IsOutputNullToTicket();
    auto write = [&](const char* key, int value) {
        const std::string text = silent ? std::string() : std::to_string(value).substr(0, 5);
        return ppd::SetCStringToTicket(settings, text.c_str(), key, withParam);
    };
    if (!window->Paper().CanTrim()) {
        // No size can be cut from an unknown sheet; the printer gets none.
        silent = true;
    }
    if (!window->IsTopLower()) {
        return write(kStepperAccess[kTrimmerMM].ticketKey, trim) && write(kCuttingSizeKey, window->Paper().H() - trim);
    }
    const PrintFeaturesPDE* panel = window->FeaturesPanel();
    if (!panel || panel->getTrimmerListValue() != 3) {
        return true;
    }
    return write(kTopLowerSizeKeys[type_], type_ == kTrimmerAdjust ? trim : window->Base(type_, kTrimmerMM) - trim);
}

void PFTrimmerLittleArrowControl::restoreCtrlValue()
{
    if (!m_cancelDataBlkPtr.empty()) {
        ctrlDataBlkPtr = m_cancelDataBlkPtr;
    }
}

PFTrimmerMMLittleArrowControl::PFTrimmerMMLittleArrowControl(widgets::Widget* widget)
    : PFTrimmerLittleArrowControl(widget, kTrimmerForeEdge, kTrimmerMM, {kTrimMMFieldTag, kTrimInchFieldTag},
                                  kTrimMMFieldTag)
{}
PFTrimmerInchesLittleArrowControl::PFTrimmerInchesLittleArrowControl(widgets::Widget* widget)
    : PFTrimmerLittleArrowControl(widget, kTrimmerForeEdge, kTrimmerInches, {kTrimInchFieldTag, kTrimMMFieldTag},
                                  kTrimInchFieldTag)
{}
PFTrimmerTopLowerMMLittleArrowControl::PFTrimmerTopLowerMMLittleArrowControl(widgets::Widget* widget, TrimmerType type)
    : PFTrimmerLittleArrowControl(widget, type, kTrimmerMM,
                                  {EdgeOf(type, kTrimmerMM).field, EdgeOf(type, kTrimmerInches).field},
                                  EdgeOf(type, kTrimmerMM).field)
{}
PFTrimmerTopLowerInchesLittleArrowControl::PFTrimmerTopLowerInchesLittleArrowControl(widgets::Widget* widget,
                                                                                     TrimmerType type)
    : PFTrimmerLittleArrowControl(widget, type, kTrimmerInches,
                                  {EdgeOf(type, kTrimmerInches).field, EdgeOf(type, kTrimmerMM).field},
                                  EdgeOf(type, kTrimmerInches).field)
{}

// --- range labels --------------------------------------------------------------

PFTrimmerStaticTextEditControl::PFTrimmerStaticTextEditControl(widgets::Widget* widget, std::string key,
                                                               ControlID field)
    : StaticTextEditControl(widget, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
      key_(std::move(key)),
      field_(field)
{}

bool PFTrimmerStaticTextEditControl::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t*)
{
    const auto* field = dynamic_cast<const PFTrimmerTextEditCtrl*>(
        ctrlParentPanelPtr ? ctrlParentPanelPtr->GetPanelControl(field_) : nullptr);
    if (ControlPtr && bundle && field) {
        const std::string table = LocalizeTableName.empty() ? platform::kDefaultStringTable : LocalizeTableName;
        ControlPtr->SetTitle(
            Filled(bundle->LocalizedString(key_, table), {RangeText(field->Unit(), field->ValueRange())}));
    }
    return true;
}

// --- windows -----------------------------------------------------------------

PFTrimmerWndBase::PFTrimmerWndBase(widgets::Toolkit& toolkit, ControlID mmRadio, ControlID inchRadio, bool topLower)
    : PFUnitWnd(toolkit, "Trimmer Window Title String", mmRadio, inchRadio),
      topLower_(topLower)
{}

const PrintFeaturesPDE* PFTrimmerWndBase::FeaturesPanel() const
{
    return dynamic_cast<const PrintFeaturesPDE*>(GetParentWnd());
}

bool PFTrimmerWndBase::WritesTicket() const
{
    const PrintFeaturesPDE* panel = FeaturesPanel();
    const bool threeEdges = panel && panel->getTrimmerListValue() == 3;
    return topLower_ == threeEdges;
}

int PFTrimmerWndBase::SetValueToTicket(platform::PMPrintSettings* settings, bool withParam)
{
    return WritesTicket() ? PFUnitWnd::SetValueToTicket(settings, withParam) : 0;
}

int PFTrimmerWndBase::SetValueToTicket(platform::PMPrintSettings* settings, bool withParam,
                                       const std::vector<widgets::Widget*>* encryptArray)
{
    return WritesTicket() ? PFUnitWnd::SetValueToTicket(settings, withParam, encryptArray) : 0;
}

int PFTrimmerWndBase::Base(TrimmerType type, TrimmerUnit unit) const
{
    switch (type) {
    case kTrimmerAdjust: return 0;
    case kTrimmerHeight: return unit == kTrimmerMM ? paper_.S10() : paper_.Sin();
    default: return unit == kTrimmerMM ? paper_.H() : paper_.Hin();
    }
}

void PFTrimmerWndBase::GetPaperSizeWhenPrintDefaultOrFromTrayX(ppd_file_t* ppd, double& width, double& height) const
{
    width = height = 0;
    if (const ppd_choice_t* page = ppdFindMarkedChoice(ppd, "PageSize")) {
        if (std::strcmp(page->choice, "Custom") == 0) {
            // "Custom.<width>x<height>", in points.
            std::string name;
            platform::PMPrintSettingsGetValue(GetCurrentPMPrintSettings(),
                                              "com.apple.print.PageToPaperMappingMediaName", &name);
            if (name.size() > 7) {
                const std::string size = name.substr(7);
                const auto x = size.find('x');
                width = std::strtod(size.substr(0, x).c_str(), nullptr);
                height = x == std::string::npos ? 0 : std::strtod(size.substr(x + 1).c_str(), nullptr);
            }
        } else if (const ppd_size_t* size = ppdPageSize(ppd, page->choice)) {
            width = size->left + size->right;
            height = size->bottom + size->top;
        }
        return;
    }
    const platform::PDEPlugInCallback* callback = GetParentWnd() ? GetParentWnd()->GetCurrentPDECallbackObj() : nullptr;
    platform::PMRect paper;
    if (callback && platform::PMGetUnadjustedPaperRect(const_cast<platform::PDEPlugInCallback*>(callback)->pageFormat(),
                                                       &paper) == platform::noErr) {
        width = std::min(paper.width(), kMaxPaperWidth);
        height = std::min(paper.height(), kMaxPaperHeight);
    }
}

TrimmerPaper PFTrimmerWndBase::GetTrimmerPaperSize() const
{
    TrimmerPaper paper = paper_;
    ppd_file_t* ppd = framework::PPDOf(this);
    const ppd_choice_t* booklet = ppd ? ppdFindMarkedChoice(ppd, "ZLKSignature") : nullptr;
    if (!booklet) {
        return paper;
    }
    double width = 0;
    double height = 0;
    bool sheetNone = false;
    if (std::strcmp(booklet->choice, "None") == 0) {
        GetPaperSizeWhenPrintDefaultOrFromTrayX(ppd, width, height);
    } else {
        const ppd_choice_t* sheet = ppdFindMarkedChoice(ppd, "ZLKSigSize");
        const std::string choice = sheet ? sheet->choice : "";
        if (GetBookletSelection(choice) == 1) {
            const std::string name = choice == "DL" ? "Tabloid" : choice == "LT" ? "Letter" : choice;
            if (const ppd_size_t* size = ppdPageSize(ppd, name.c_str())) {
                width = size->left + size->right;
                height = size->bottom + size->top;
            } else if (const std::optional<SheetSize> standard = StandardSheet(name)) {
                // A PPD that offers the sheet but not the page size: the
                // sheet's own size, rather than none (negative ranges).
                width = standard->shortSide;
                height = standard->longSide;
                framework::LogDebug("##Plugin debug## booklet sheet %s not in the PPD, its standard size used",
                                    name.c_str());
            }
        } else {
            GetPaperSizeWhenPrintDefaultOrFromTrayX(ppd, width, height);
            sheetNone = choice == "None";
        }
    }
    paper.longSide = std::max(width, height);
    paper.shortSide = std::min(width, height);
    if (sheetNone) {
        // The booklet's sheet is twice the page: the next size up.
        const ppd_choice_t* region = ppdFindMarkedChoice(ppd, "ZLKRegionalPaperSetting");
        const bool metric = region && std::strcmp(region->choice, "Inch") != 0;
        paper.longSide = AdjustTrimmerBaseLength(paper.longSide).value_or(metric ? 1190.5 : 1224);
        if (topLower_) {
            paper.shortSide = AdjustTrimmerBaseWidth(paper.shortSide).value_or(metric ? 842 : 792);
        }
    }
    return paper;
}

void PFTrimmerWndBase::UpdateTrimmerIniDate()
{
    paper_ = GetTrimmerPaperSize();
    for (auto& control : fCtrlGroupArray) {
        if (auto* field = dynamic_cast<PFTrimmerTextEditCtrl*>(control.get())) {
            const TrimmerRanges ranges = Ranges(field->Type());
            field->SetValueRange(field->Unit() == kTrimmerMM ? ranges.mm : ranges.inches);
        } else if (auto* stepper = dynamic_cast<PFTrimmerLittleArrowControl*>(control.get())) {
            const TrimmerRanges ranges = Ranges(stepper->Type());
            const inchMMEditValueRangeData& range = stepper->Unit() == kTrimmerMM ? ranges.mm : ranges.inches;
            stepper->SetStepRange(range.minimum, range.maximum);
        }
    }
}

void PFTrimmerWndBase::SetCancelRestoreValue()
{
    for (auto& control : fCtrlGroupArray) {
        if (auto* field = dynamic_cast<PFTrimmerTextEditCtrl*>(control.get())) {
            field->setCancelRestoreValue();
        } else if (auto* stepper = dynamic_cast<PFTrimmerLittleArrowControl*>(control.get())) {
            stepper->setCancelRestoreValue();
        }
    }
}

void PFTrimmerWndBase::RestoreCancelValues()
{
    for (auto& control : fCtrlGroupArray) {
        if (auto* field = dynamic_cast<PFTrimmerTextEditCtrl*>(control.get())) {
            field->restoreCtrlValue();
        } else if (auto* stepper = dynamic_cast<PFTrimmerLittleArrowControl*>(control.get())) {
            stepper->restoreCtrlValue();
        }
    }
}

void PFTrimmerWndBase::ActivateWindow()
{
    UpdateTrimmerIniDate();
    if (!paper_.CanTrim()) {
        ShowNoTrimmingMessage();
        return;
    }
    SetCancelRestoreValue();
    PopupWinInPanel::ActivateWindow();
}

void PFTrimmerWndBase::ShowNoTrimmingMessage() const
{
    const platform::Bundle* bundle = GetPDEBundleRef();
    if (!bundle || !GetWindow()) {
        return;
    }
    const std::string table = LocalizeTableName.empty() ? platform::kDefaultStringTable : LocalizeTableName;
    widgets::Alert alert;
    alert.informative = bundle->LocalizedString("Trimmer No Paper Size Message", table);
    alert.buttons = {bundle->LocalizedString(framework::kAlertOKButtonKey, table)};
    alert.style = widgets::AlertStyle::Informational;
    GetWindow()->GetToolkit().RunAlert(alert);
}

PFTrimmerWnd::PFTrimmerWnd(widgets::Toolkit& toolkit, const platform::Bundle* bundle, const std::string& table)
    : PFTrimmerWndBase(toolkit, kTrimMMRadioTag, kTrimInchRadioTag, false)
{
    if (!LoadWindowLayout(*this, bundle, table, "TrimmerWindow")) {
        return;
    }
    RunTimeAddNewControl(std::make_unique<PFTrimmerInchesTextEditCtrl>(Widget(kTrimInchFieldTag)));
    RunTimeAddNewControl(std::make_unique<PFTrimmerMMTextEditCtrl>(Widget(kTrimMMFieldTag)));
    RunTimeAddNewControl(std::make_unique<PFTrimmerInchesStaticTextEditControl>(
        Widget(kTrimInchLabelTag), "Trimmer Inch Static Text", kTrimInchFieldTag));
    RunTimeAddNewControl(std::make_unique<PFTrimmerMMStaticTextEditControl>(Widget(kTrimMMLabelTag),
                                                                            "Trimmer MM Static Text", kTrimMMFieldTag));
    AddLabel(kTrimInchSideTag, "Trimmer Inches Side Static Text");
    AddLabel(kTrimMMSideTag, "Trimmer MM Side Static Text");
    // The mm stepper first: the inch stepper follows what it read.
    RunTimeAddNewControl(std::make_unique<PFTrimmerMMLittleArrowControl>(Widget(kTrimMMStepperTag)));
    RunTimeAddNewControl(std::make_unique<PFTrimmerInchesLittleArrowControl>(Widget(kTrimInchStepperTag)));
    AddUnitButtons(&kMMRadioIni, &kTrimUnitButtons::mm, &kMMRadioAccess, {kTrimInchFieldTag}, &kInchRadioIni,
                   &kTrimUnitButtons::inch, &kInchRadioAccess, {kTrimMMFieldTag});
    RunTimeAddNewControl(std::make_unique<PFWndOKButton>(Widget(kTrimOKTag), "OK Button Title", this));
    RunTimeAddNewControl(std::make_unique<framework::WindowButton>(
        Widget(kTrimCancelTag), "Cancel Button Title", this, [](framework::PopupWinInPanel& window) {
            // The trimmer window's Cancel puts back what its fields and
            // steppers held when it opened, whatever the checks said.
            window.CancelWindow(nullptr);
            if (auto* trimmer = dynamic_cast<PFTrimmerWndBase*>(&window)) {
                trimmer->RestoreCancelValues();
            }
        }));
    RunTimeAddNewControl(
        std::make_unique<PFWndRestoreDefaultButton>(Widget(kTrimDefaultTag), "Default Button Title", this));
    RunTimeAddNewControl(std::make_unique<PHelpButton>(Widget(kTrimHelpTag), "Trimmer.htm"));
}

PFTrimmerTopLowerWnd::PFTrimmerTopLowerWnd(widgets::Toolkit& toolkit, const platform::Bundle* bundle,
                                           const std::string& table)
    : PFTrimmerWndBase(toolkit, kTopLowerMMRadioTag, kTopLowerInchRadioTag, true)
{
    if (!LoadWindowLayout(*this, bundle, table, "TrimmerTopLowerWindow")) {
        return;
    }
    static constexpr const char* kLabels[3][2] = {
        {"Trimmer Height Inch Static Text", "Trimmer Height MM Static Text"},
        {"Trimmer Width Inch Static Text", "Trimmer Width MM Static Text"},
        {"Trimmer Adjust Inch Static Text", "Trimmer Adjust MM Static Text"},
    };
    AddLabel(kTopLowerTitleTag, "Trimmer TopLower Title Text");
    for (TrimmerType type : {kTrimmerHeight, kTrimmerWidth, kTrimmerAdjust}) {
        RunTimeAddNewControl(
            std::make_unique<KPFTRIMMERTOPLOWERINCHESTEXTEDITCTRL>(Widget(EdgeOf(type, kTrimmerInches).field), type));
        RunTimeAddNewControl(
            std::make_unique<PFTrimmerTopLowerMMTextEditCtrl>(Widget(EdgeOf(type, kTrimmerMM).field), type));
    }
    for (TrimmerType type : {kTrimmerHeight, kTrimmerWidth, kTrimmerAdjust}) {
        for (TrimmerUnit unit : {kTrimmerInches, kTrimmerMM}) {
            const EdgeTags tags = EdgeOf(type, unit);
            RunTimeAddNewControl(std::make_unique<PFTrimmerTopLowerStaticTextEditControl>(
                Widget(tags.label), kLabels[type][unit], tags.field));
            AddLabel(tags.side, unit == kTrimmerMM ? kMMSideKey : kInchSideKey);
        }
    }
    for (TrimmerType type : {kTrimmerHeight, kTrimmerWidth, kTrimmerAdjust}) {
        RunTimeAddNewControl(
            std::make_unique<PFTrimmerTopLowerMMLittleArrowControl>(Widget(EdgeOf(type, kTrimmerMM).stepper), type));
    }
    for (TrimmerType type : {kTrimmerHeight, kTrimmerWidth, kTrimmerAdjust}) {
        RunTimeAddNewControl(std::make_unique<PFTrimmerTopLowerInchesLittleArrowControl>(
            Widget(EdgeOf(type, kTrimmerInches).stepper), type));
    }
    AddUnitButtons(&kMMRadioIni, &kTopLowerUnitButtons::mm, &kMMRadioAccess,
                   {EdgeOf(kTrimmerAdjust, kTrimmerInches).field, EdgeOf(kTrimmerHeight, kTrimmerInches).field,
                    EdgeOf(kTrimmerWidth, kTrimmerInches).field},
                   &kInchRadioIni, &kTopLowerUnitButtons::inch, &kInchRadioAccess,
                   {EdgeOf(kTrimmerAdjust, kTrimmerMM).field, EdgeOf(kTrimmerHeight, kTrimmerMM).field,
                    EdgeOf(kTrimmerWidth, kTrimmerMM).field});
    AddWindowButtons(kTopLowerOKTag, kTopLowerCancelTag, kTopLowerDefaultTag, kTopLowerHelpTag, "ThreeEdgeTrimmer.htm");
}

// --- the setup button ---------------------------------------------------------

PFTrimmerSetupButton::PFTrimmerSetupButton(const RowPlace& place, ControlID tag, std::string titleKey,
                                           framework::PopupWinInPanel* trimmerWindow,
                                           framework::PopupWinInPanel* topLowerWindow, const BaseControl* trimmerList)
    : PFSetupButton(place, tag, std::move(titleKey), trimmerWindow),
      topLowerWindow_(topLowerWindow),
      trimmerList_(trimmerList)
{}

framework::PopupWinInPanel* PFTrimmerSetupButton::WindowToOpen() const
{
    if (!trimmerList_) {
        return window_;
    }
    // The value the list shows now.
    const widgets::Widget* widget = trimmerList_->GetControlPtr();
    const auto* list = widget ? widget->As<widgets::PopUp>() : nullptr;
    switch (list ? list->SelectedIndex() + 1 : 0) {
    case 2: return window_;
    case 3: return topLowerWindow_;
    default: return nullptr;
    }
}

}  // namespace zlk::features
