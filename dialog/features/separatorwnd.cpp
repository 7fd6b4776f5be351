#include "dialog/features/separatorwnd.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

#include "dialog/features/featurecontrols.h"
#include "dialog/features/featurespanel.h"
#include "dialog/features/inchmm.h"
#include "ppd/textcodec.h"
#include "ppd/textutil.h"
#include "ppd/ticket.h"

namespace zlk::features {

namespace {

constexpr int kMaxPageListLength = 99;
constexpr int kMaxSeparatorPages = 20;
constexpr long kFirstPage = 2;
constexpr long kLastPage = 9999;
constexpr char kSeparatorLayout[] = "SeparatorWindow";

// Digits, space and comma, as bytes and as UTF-16 units.
constexpr ppd::InputFilterData kPageListChars{3, {{{0x20, 0x20}, {0x2C, 0x2C}, {0x30, 0x39}}}};
constexpr ppd::TextEditFilterData kPageListFilter{kPageListChars, kPageListChars, "Message22c"};
constexpr framework::TextIniData kPageListIniData{{}, {}, 1, kMaxPageListLength};
const framework::AccessInfo kPageListAccess{framework::kDataTypeText, 0, ppd::kTicketKey<"SeparatorPageTicket">,
                                            ppd::kTicketKey<"SeparatorPageReference">};

// The cancel-default list: a refused cancel switches the separator off.
constexpr const framework::ControlID* kSeparatorListOnly[] = {&IntSheetListCtrlID, nullptr};

std::vector<std::string> SplitAt(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (c == separator) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

std::string WithoutSpaces(const std::string& text)
{
    std::string kept;
    std::copy_if(text.begin(), text.end(), std::back_inserter(kept), [](char c) { return c != ' '; });
    return kept;
}

long PageNumber(const std::string& part) { return std::strtol(part.c_str(), nullptr, 10); }

// The parts as integers, each rewritten as its value, joined in the order
// given (the stored form is sorted when typed; a stored text from elsewhere
// is shown as it stands).
std::string JoinedNumbers(const std::vector<std::string>& parts, char joiner)
{
    std::string joined;
    for (const std::string& part : parts) {
        if (part.empty()) {
            continue;
        }
        if (!joined.empty()) {
            joined += joiner;
        }
        joined += std::to_string(PageNumber(part));
    }
    return joined;
}

// The same, sorted by value.
std::string SortedNumbers(std::vector<std::string> parts, char joiner)
{
    std::stable_sort(parts.begin(), parts.end(),
                     [](const std::string& a, const std::string& b) { return PageNumber(a) < PageNumber(b); });
    return JoinedNumbers(parts, joiner);
}

}  // namespace

PFSepTextEditCtrl::PFSepTextEditCtrl(widgets::Widget* widget, std::string titleInfo, int maxPageList)
    : TextEditCtrl(widget, &kPageListIniData, nullptr, &kPageListAccess, framework::kPreferencesCurrentUser,
                   &kPageListFilter),
      titletextRef(std::move(titleInfo)),
      maxPageDefineNum(maxPageList)
{}

int PFSepTextEditCtrl::IsPageInputValid(const std::string& text) const
{
    if (!std::all_of(text.begin(), text.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == ' ' || c == ','; })) {
        return kPagesBadInput;
    }
    if (text.empty() || text.front() == ',' || text.back() == ',' || text.find_first_not_of(' ') == std::string::npos) {
        return kPagesBadInput;
    }
    const std::string compact = WithoutSpaces(text);
    if (compact.find(",,") != std::string::npos || compact.front() == ',' || compact.back() == ',') {
        return kPagesBadInput;
    }
    if (std::count(compact.begin(), compact.end(), ',') >= maxPageDefineNum) {
        return kPagesTooMany;
    }
    std::vector<long> pages;
    for (const std::string& part : SplitAt(compact, ',')) {
        // A part too long for a page number is out of range whatever it says.
        pages.push_back(part.size() > 5 ? kLastPage + 1 : PageNumber(part));
    }
    const auto [smallest, largest] = std::minmax_element(pages.begin(), pages.end());
    return *smallest < kFirstPage || *largest > kLastPage ? kPagesBadInput : kPagesValid;
}

bool PFSepTextEditCtrl::ToValidate() const
{
    return ControlPtr && !ControlPtr->IsHidden() && ctrlConstrainCount <= 0 && HasValueBlock();
}

bool PFSepTextEditCtrl::InvalidateData()
{
    if (!ToValidate()) {
        return true;
    }
    const std::string text = UIText();
    const int width = GetStringLength(text);
    if (width < kPageListIniData.minWidth || width > kPageListIniData.maxWidth ||
        IsPageInputValid(text) == kPagesBadInput) {
        ShowErrMsg(kPagesBadInput);
        return false;
    }
    if (IsPageInputValid(text) == kPagesTooMany) {
        ShowErrMsg(kPagesTooMany);
        return false;
    }
    return true;
}

bool PFSepTextEditCtrl::InvalidateDataOnCancel()
{
    if (ToValidate() && CommittedText().empty()) {
        ShowErrMsg(kPagesBadInput);
        return false;
    }
    return true;
}

void PFSepTextEditCtrl::ShowErrMsg(int message)
{
    const platform::Bundle* bundle = PanelBundle();
    if (!bundle || !ControlPtr) {
        return;
    }
    const std::string table = LocalizeTableName.empty() ? platform::kDefaultStringTable : LocalizeTableName;
    widgets::Alert alert;
    alert.informative = bundle->LocalizedString(message == kPagesTooMany ? "Message22d" : "Message22c", table);
    alert.buttons = {bundle->LocalizedString(framework::kAlertOKButtonKey, table)};
    alert.style = widgets::AlertStyle::Informational;
    widgets::Toolkit& toolkit = ControlPtr->GetToolkit();
    toolkit.RunAlert(alert);
    toolkit.SetFocus(ControlPtr);
}

std::string PFSepTextEditCtrl::StoredForm(const std::string& typed)
{
    return SortedNumbers(SplitAt(WithoutSpaces(typed), ','), ' ');
}

std::string PFSepTextEditCtrl::ShownForm(const std::string& stored) { return JoinedNumbers(SplitAt(stored, ' '), ','); }

void PFSepTextEditCtrl::SetValueFromUIToControl()
{
    if (!HasValueBlock()) {
        return;
    }
    const std::string stored = StoredForm(UIText());
    SetBlockText(ctrlDataBlkPtr, stored);
    ctrlDataSize = static_cast<std::uint32_t>(GetStringLength(stored));
}

bool PFSepTextEditCtrl::SetControlValueToUI()
{
    const std::string shown = ShownForm(CommittedText());
    if (Field()) {
        Field()->SetText(shown);
    }
    SetBlockText(ctrlUIDataBlkPtr, shown);
    return true;
}

bool PFSepTextEditCtrl::GetValueToPreset()
{
    std::string value;
    if (!HasValueBlock() || !ReadTicketValue(value)) {
        return false;
    }
    if (!value.empty() && value.front() == '/') {
        ppd::numstrtochar(value);
    }
    value = ppd::Utf8Prefix(value, 255);
    SetBlockText(ctrlDataBlkPtr, value);
    SetControlValueToUI();
    return true;
}

bool PFSepTextEditCtrl::SetValueToPreference()
{
    // A hidden list is not the user's input.
    if (ControlPtr && ControlPtr->IsHidden()) {
        return true;
    }
    return TextEditCtrl::SetValueToPreference();
}

bool PFSepTextEditCtrl::ToGetSummaryText() const
{
    const auto* panel =
        dynamic_cast<const PrintFeaturesPDE*>(ctrlParentPanelPtr ? ctrlParentPanelPtr->GetParentWnd() : nullptr);
    return panel && !panel->IsSeparatorOff();
}

int PFSepTextEditCtrl::GetSummaryText(framework::SummaryDictionary& dictionary, framework::OrderArray& orderArray)
{
    if (!ToGetSummaryText() || CommittedText().empty()) {
        return 0;
    }
    const std::string title = Localized(titletextRef.c_str(), LocalizeTableName);
    dictionary[title] = CommittedText();
    orderArray.push_back(title);
    return 0;
}

PFSeparatorWnd::PFSeparatorWnd(widgets::Toolkit& toolkit, const platform::Bundle* bundle, const std::string& table)
    : PopupWinInPanel(toolkit.CreateWindow("Separator Window Title String", {0, 0, 360, 200}),
                      "Separator Window Title String")
{
    if (!LoadWindowLayout(*this, bundle, table, kSeparatorLayout)) {
        return;
    }
    widgets::View& content = GetWindow()->Content();
    RunTimeAddNewControl(std::make_unique<PFSepTextEditCtrl>(content.FindWidget(kSepFieldTag),
                                                             "Separator Location Title", kMaxSeparatorPages));
    RunTimeAddNewControl(std::make_unique<PFWndOKButton>(content.FindWidget(kSepOKTag), "OK Button Title", this));
    RunTimeAddNewControl(std::make_unique<PFWndCancelButton>(content.FindWidget(kSepCancelTag), "Cancel Button Title",
                                                             this, kSeparatorListOnly));
    RunTimeAddNewControl(
        std::make_unique<PFWndRestoreDefaultButton>(content.FindWidget(kSepDefaultTag), "Default Button Title", this));
    RunTimeAddNewControl(std::make_unique<PHelpButton>(content.FindWidget(kSepHelpTag), "SpecifyPosition.htm"));
}

void PFSeparatorWnd::ActivateWindow()
{
    SetCurrentValueToUI();
    PopupWinInPanel::ActivateWindow();
}

}  // namespace zlk::features
