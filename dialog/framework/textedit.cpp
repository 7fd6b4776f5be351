#include "dialog/framework/textedit.h"

#include <cstring>

#include "dialog/framework/controls.h"
#include "dialog/framework/printpanel.h"
#include "platform/widgets/toolkit.h"
#include "ppd/ppdquery.h"
#include "ppd/textcodec.h"
#include "ppd/textutil.h"

namespace zlk::framework {

namespace {

constexpr std::size_t kMaxTextBytes = 255;
constexpr std::size_t kMaxDefaultChoiceBytes = 254;
constexpr char kCustomPrefix[] = "Custom.";

bool PassesFilter(const std::string& text, const ppd::TextEditFilterData* filter)
{
    if (!filter) {
        return true;
    }
    const auto units = ppd::Utf8ToUtf16(text);
    return units && ppd::validateInput(*units, *filter);
}

}  // namespace

int TextWidth(const std::string& utf8)
{
    const auto units = ppd::Utf8ToUtf16(utf8);
    return units ? ppd::GetStringLength(*units) : 0;
}

// --- formatter ---------------------------------------------------------------

TextEditFormatter::TextEditFormatter(const ppd::TextEditFilterData* withFilter, int withMaxlength)
    : FilterDataPtr(withFilter),
      maxlength(withMaxlength)
{}

bool TextEditFormatter::IsPartialStringValid(const std::string& proposed, std::string& error)
{
    const auto units = ppd::Utf8ToUtf16(proposed);
    const bool valid = units && (!FilterDataPtr || ppd::validateInput(*units, *FilterDataPtr)) &&
                       ppd::GetStringLength(*units) <= maxlength;
    if (!valid) {
        // One description for every refusal; the field beeps.
        error = kStringTooLong;
    }
    return valid;
}

// --- text field --------------------------------------------------------------

TextEditCtrl::TextEditCtrl(widgets::Widget* widget, const TextIniData* IniData, const ConstraintInfo* Constrain,
                           const AccessInfo* accessInfo, const char* usernamein,
                           const ppd::TextEditFilterData* FilterData)
    : BaseControl(widget, Constrain, accessInfo, usernamein),
      textEditFilterDataPtr(FilterData),
      textEditIniDataPtr(CopyOfRecord(IniData))
{}

bool TextEditCtrl::InitializeCtrl(const platform::Bundle*, ppd_file_t*)
{
    AllocateBlocks(kTextBlockSize);
    InitializeCtrlFormat();
    return true;
}

bool TextEditCtrl::ReInitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    return InitializeCtrl(bundle, withPPD);
}

void TextEditCtrl::InitializeCtrlFormat()
{
    if (widgets::TextField* field = Field(); field && textEditFilterDataPtr && textEditIniDataPtr) {
        field->SetFormatter(std::make_unique<TextEditFormatter>(textEditFilterDataPtr, textEditIniDataPtr->maxWidth));
    }
}

void TextEditCtrl::TakeFieldText()
{
    const std::string text = ppd::Utf8Prefix(Field()->Text(), kMaxTextBytes);
    const int width = TextWidth(text);
    SetBlockText(ctrlUIDataBlkPtr, width == 0 ? std::string() : text);
    ctrlDataSize = static_cast<std::uint32_t>(width);
    uiData = UIText();
}

int TextEditCtrl::GetValueFromUI()
{
    if (!Field() || ctrlDataBlkPtr.empty() || ctrlUIDataBlkPtr.empty() || !ctrlDataAccessInfoPtr) {
        return 0;
    }
    TakeFieldText();
    return 1;
}

void TextEditCtrl::SetValueFromUIToControl()
{
    if (ctrlDataBlkPtr.empty()) {
        return;
    }
    SetBlockText(ctrlDataBlkPtr, ctrlDataSize == 0 ? std::string() : UIText());
}

bool TextEditCtrl::SetControlValueToUI()
{
    if (ctrlDataAccessInfoPtr && Field() && !ctrlDataBlkPtr.empty()) {
        Field()->SetText(CommittedText());
        ctrlDataSize = static_cast<std::uint32_t>(TextWidth(CommittedText()));
    }
    return true;
}

bool TextEditCtrl::SetExternalValueToUI(const void* value, std::uint32_t size)
{
    if (ctrlDataAccessInfoPtr && Field() && value) {
        const auto* text = static_cast<const char*>(value);
        Field()->SetText(std::string(text, strnlen(text, size)));
    }
    return true;
}

bool TextEditCtrl::SetUIValueToIniData()
{
    if (textEditIniDataPtr && !ctrlUIDataBlkPtr.empty()) {
        SetBlockText(ctrlUIDataBlkPtr, textEditIniDataPtr->initialText);
        ctrlDataSize = static_cast<std::uint32_t>(TextWidth(UIText()));
    }
    return true;
}

bool TextEditCtrl::SetControlValueToDefault()
{
    if (textEditIniDataPtr && !ctrlDataBlkPtr.empty()) {
        SetBlockText(ctrlDataBlkPtr, textEditIniDataPtr->defaultText);
        ctrlDataSize = static_cast<std::uint32_t>(std::strlen(CommittedText().c_str()));
    }
    return true;
}

bool TextEditCtrl::GetValueToPreset()
{
    std::string value;
    if (ctrlDataBlkPtr.empty() || !ReadTicketValue(value)) {
        return false;
    }
    ppd::numstrtochar(value);
    SetBlockText(ctrlDataBlkPtr, ppd::Utf8Prefix(value, kMaxTextBytes));
    ctrlDataSize = static_cast<std::uint32_t>(TextWidth(CommittedText()));
    return true;
}

bool TextEditCtrl::ConvertToTickectData(std::string& out, bool)
{
    out = ppd::Utf8Prefix(CommittedText(), kMaxTextBytes);
    return true;
}

bool TextEditCtrl::ConvertToPreferenceString(std::string& out) { return ConvertToTickectData(out, false); }

bool TextEditCtrl::ConvertFromPreferenceString(const std::string& text)
{
    if (ctrlDataBlkPtr.empty()) {
        return false;
    }
    SetBlockText(ctrlDataBlkPtr, text);
    ctrlDataSize = static_cast<std::uint32_t>(TextWidth(CommittedText()));
    return true;
}

bool TextEditCtrl::Validate(bool alert)
{
    // An empty field is always accepted.
    if (!textEditIniDataPtr || ctrlDataSize == 0) {
        return true;
    }
    const int width = static_cast<int>(ctrlDataSize);
    const bool valid = width >= textEditIniDataPtr->minWidth && width <= textEditIniDataPtr->maxWidth &&
                       PassesFilter(UIText(), textEditFilterDataPtr);
    if (!valid && alert) {
        ShowErrMsg();
    }
    return valid;
}

bool TextEditCtrl::InvalidateData() { return Validate(true); }
bool TextEditCtrl::InvalidateDataAndReturnError() { return Validate(false); }

const void* TextEditCtrl::GetDefaultDataBlk() const
{
    return textEditIniDataPtr ? textEditIniDataPtr->defaultText : nullptr;
}
std::uint32_t TextEditCtrl::GetDefaultDataSize() const { return textEditIniDataPtr ? kTextBlockSize : 0; }
const void* TextEditCtrl::GetIniDataBlk() const
{
    return textEditIniDataPtr ? textEditIniDataPtr->initialText : nullptr;
}
std::uint32_t TextEditCtrl::GetIniDataSize() const { return textEditIniDataPtr ? kTextBlockSize : 0; }

void TextEditCtrl::ShowErrMsg()
{
    const platform::Bundle* bundle = PanelBundle();
    if (!textEditFilterDataPtr || !textEditFilterDataPtr->messageKey || !bundle || !ControlPtr) {
        return;
    }
    const std::string table = LocalizeTableName.empty() ? platform::kDefaultStringTable : LocalizeTableName;
    widgets::Alert alert;
    alert.informative = bundle->LocalizedString(textEditFilterDataPtr->messageKey, table);
    alert.buttons = {bundle->LocalizedString(kAlertOKButtonKey, table)};
    alert.style = widgets::AlertStyle::Informational;
    widgets::Toolkit& toolkit = ControlPtr->GetToolkit();
    toolkit.RunAlert(alert);
    toolkit.SetFocus(ControlPtr);
}

void TextEditCtrl::CorrectCtrlUI()
{
    if (Field()) {
        Field()->SetText({});
    }
    SetBlockText(ctrlUIDataBlkPtr, {});
    ctrlDataSize = 0;
}

// --- PPD text field ----------------------------------------------------------

KPPDTEXTEDITCTRL::KPPDTEXTEDITCTRL(widgets::Widget* widget, std::string ppdKey, const TextIniData* IniData,
                                   const ConstraintInfo* Constrain, const AccessInfo* accessInfo,
                                   const char* usernamein, const ppd::TextEditFilterData* FilterData)
    : PPDBacked(widget, std::move(ppdKey), IniData, Constrain, accessInfo, usernamein, FilterData)
{}

bool KPPDTEXTEDITCTRL::InitializeCtrl(const platform::Bundle*, ppd_file_t* withPPD)
{
    AllocateBlocks(kTextBlockSize);
    if (withPPD) {
        const PPDOptionRead texts = ReadOption(withPPD);
        if (texts.defaultChoice && textEditIniDataPtr) {
            const std::string text = ppd::Utf8Prefix(*texts.defaultChoice, kMaxDefaultChoiceBytes);
            std::memset(textEditIniDataPtr->defaultText, 0, sizeof textEditIniDataPtr->defaultText);
            std::memcpy(textEditIniDataPtr->defaultText, text.data(), text.size());
        }
        titletextRef = texts.title;
    }
    InitializeCtrlFormat();
    return true;
}

int KPPDTEXTEDITCTRL::GetValueFromUI()
{
    if (!Field() || ctrlDataBlkPtr.empty() || ctrlUIDataBlkPtr.empty()) {
        return 0;
    }
    TakeFieldText();
    return 1;
}

bool KPPDTEXTEDITCTRL::ToValidate()
{
    // Only a field that no constraint has touched is checked; a count below
    // zero (more releases than holds) counts as touched too.
    if (ctrlConstrainCount != 0 || ctrlHideCount != 0) {
        return false;
    }
    GetValueFromUI();
    return !ctrlUIDataBlkPtr.empty();
}

bool KPPDTEXTEDITCTRL::InvalidateData()
{
    if (!textEditIniDataPtr || !ToValidate()) {
        return true;
    }
    const std::string text = UIText();
    const int width = TextWidth(text);
    if (text.empty() || width < textEditIniDataPtr->minWidth || width > textEditIniDataPtr->maxWidth) {
        return false;
    }
    return PassesFilter(text, textEditFilterDataPtr);
}

void KPPDTEXTEDITCTRL::SetValueFromUIToControl()
{
    TextEditCtrl::SetValueFromUIToControl();
    RestorePPD(PanelPPD());
}

void KPPDTEXTEDITCTRL::RestorePPD(ppd_file_t* ppd)
{
    const std::string text = CommittedText();
    if (!text.empty()) {
        PPDMarkOptionByIndex(ppd, kCustomPrefix + text);
    }
}

bool KPPDTEXTEDITCTRL::PPDMarkOptionByIndex(ppd_file_t*, const std::string& withString)
{
    // The keyword as the panel gave it: a custom choice names the option so.
    return AskHostToMark(kPPDMainKey, withString);
}

bool KPPDTEXTEDITCTRL::GetValueToPreset()
{
    if (!TextEditCtrl::GetValueToPreset()) {
        return false;
    }
    if (Field()) {
        Field()->SetText(CommittedText());
    }
    return true;
}

bool KPPDTEXTEDITCTRL::SetValueToPreference()
{
    return ctrlHideCount > 0 ? true : TextEditCtrl::SetValueToPreference();
}

bool KPPDTEXTEDITCTRL::SetValueToPreferenceWithPrinterSettings()
{
    return ctrlHideCount > 0 ? true : TextEditCtrl::SetValueToPreferenceWithPrinterSettings();
}

// --- run-time laid-out PPD text field ----------------------------------------

namespace {
widgets::TextField* MakeField(widgets::GroupBox& box, ControlID tag, const widgets::Rect& frame)
{
    return &box.Add(box.GetToolkit().CreateTextField(tag, frame));
}
}  // namespace

KPPDTEXTEDITCONTROLEXT::KPPDTEXTEDITCONTROLEXT(widgets::GroupBox& parentGroup, std::string ppdKey,
                                               const TextIniData* IniData, const ConstraintInfo* ConstrainArray,
                                               const AccessInfo* accessInfo, const char* usernamein,
                                               const ppd::TextEditFilterData* FilterData, int ctrlTotalLength,
                                               int titleCtrlLength, widgets::Label* titleCtrl, int withIndex,
                                               int inGroup, const PPDCtrlPositionData& positionInfo, ControlID ctrlTag)
    : KPPDTEXTEDITCTRL(MakeField(parentGroup, ctrlTag,
                                 RunTimeControlFrame(ctrlTotalLength, titleCtrlLength, withIndex, positionInfo)),
                       ppdKey, IniData, ConstrainArray, accessInfo, usernamein, FilterData),
      titleTextPtr(titleCtrl),
      controlTag(ctrlTag),
      ppdKeyCStr(ppd::Utf8Prefix(ppdKey, kMaxTextBytes)),
      indexInPanel(withIndex),
      ppdCtrlPositionDataPtr(positionInfo),
      TextFieldCtrlBounds(RunTimeControlFrame(ctrlTotalLength, titleCtrlLength, withIndex, positionInfo)),
      parentGroupBox(&parentGroup)
{
    ctrlInWhichGroup = inGroup;
}

bool KPPDTEXTEDITCONTROLEXT::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    KPPDTEXTEDITCTRL::InitializeCtrl(bundle, withPPD);
    if (Field() && textEditIniDataPtr) {
        Field()->SetText(textEditIniDataPtr->defaultText);
    }
    if (titleTextPtr && !titletextRef.empty()) {
        titleTextPtr->SetTitle(titletextRef + ":");
    }
    return true;
}

int KPPDTEXTEDITCONTROLEXT::UpdateConflictsPanelControlFromPPD(ppd_file_t* ppd)
{
    if (!ppd) {
        return 0;
    }
    RebuildChoiceList(ppd);
    EnableByLastChoiceFlag();
    return 0;
}

bool KPPDTEXTEDITCONTROLEXT::SetControlValueToDefault()
{
    if (textEditIniDataPtr && !ctrlDataBlkPtr.empty()) {
        SetBlockText(ctrlDataBlkPtr, ppd::Utf8Prefix(textEditIniDataPtr->defaultText, kMaxTextBytes));
    }
    return true;
}

}  // namespace zlk::framework
