#include "dialog/features/featurespanel.h"

#include <syslog.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "dialog/features/marginwnd.h"
#include "dialog/features/numinseqwnd.h"
#include "dialog/features/separatorwnd.h"
#include "dialog/features/trimmerwnd.h"
#include "platform/printing/printsettings.h"
#include "platform/widgets/controls.h"
#include "platform/widgets/toolkit.h"
#include "ppd/ppdquery.h"
#include "ppd/ticket.h"

namespace zlk::features {

namespace {

// A control that shares its row with a setup button ends before the button,
// so that on screen neither lies over the other.
template <class Control>
Control* EndBeforeButton(Control* control)
{
    widgets::Widget* widget = control ? control->GetControlPtr() : nullptr;
    if (!widget) {
        return control;
    }
    widgets::Rect frame = widget->Frame();
    const int end = kButtonHoffset + titleHoffset - kControlDistance;
    if (frame.x + frame.width > end) {
        frame.width = std::max(0, end - frame.x);
        widget->SetFrame(frame);
    }
    return control;
}

constexpr char kFeaturesSettingsAttr[] = "ZLKXFeaturesSettings";
constexpr char kLayoutSettingsAttr[] = "ZLKXLayoutSettings";
constexpr char kDefinitionFileAttr[] = "ZLKXCDFSetting";
constexpr char kCoilPunchFaceAttr[] = "ZLKCoilPunchFace";
constexpr char kSupportListKey[] = "PMPPDKeysSupported";
constexpr char kDisabledMode[] = "Disabled";
constexpr char kDefinitionSection[] = "PrintFeaturePDE";

constexpr const char* kHelpPagesRequired[] = {"SpecifyPosition.htm", "TabMarginShift.htm"};

void Diagnostic(const char* format, const char* detail)
{
    syslog(LOG_DEBUG, "##Plugin debug## %s", (std::string(format) + ": " + (detail ? detail : "")).c_str());
}

bool Has(const std::vector<std::string>& list, const char* keyword)
{
    return keyword && std::find(list.begin(), list.end(), keyword) != list.end();
}

// The text before and after the first "-" of a value ("Default00-Type01").
std::pair<std::string, std::string> SplitAtDash(const std::string& value)
{
    const auto dash = value.find('-');
    if (dash == std::string::npos) {
        return {value, ""};
    }
    return {value.substr(0, dash), value.substr(dash + 1)};
}

std::vector<std::string> StringArray(const nlohmann::json& value)
{
    std::vector<std::string> out;
    if (value.is_array()) {
        for (const auto& item : value) {
            if (item.is_string()) {
                out.push_back(item.get<std::string>());
            }
        }
    }
    return out;
}

// The options of the table that the PPD has, in table order.
std::vector<ppd_option_t*> ExistingOptions(ppd_file_t* ppd, KeywordList keywords)
{
    std::vector<ppd_option_t*> options;
    for (std::string_view keyword : keywords) {
        if (ppd_option_t* option = ppdFindOption(ppd, std::string(keyword).c_str())) {
            options.push_back(option);
        }
    }
    return options;
}

// The leading decimal number of a ticket text (as "05" or "5a" read); 0
// when it has none.
long LeadingNumber(const std::string& text) { return std::strtol(text.c_str(), nullptr, 10); }

}  // namespace

std::string VendorAttribute(ppd_file_t* ppd, const char* name)
{
    if (!ppd) {
        return {};
    }
    std::string keyword;
    ppd::FixPPDKeywordAccordingToType(ppd, name, keyword);
    ppd_attr_t* attr = ppd::ppdFindAttr_ALT(ppd, keyword.c_str());
    return attr && attr->value ? attr->value : "";
}

// --- the plug-in -------------------------------------------------------------

bool PrintFeaturesPDEPlugin::initWithBundle(std::shared_ptr<const platform::Bundle> bundle)
{
    // The bundle is kept from the first call on.
    if (!bundle_) {
        bundle_ = std::move(bundle);
    }
    return true;
}

std::vector<std::unique_ptr<platform::PDEPanel>>
PrintFeaturesPDEPlugin::PDEPanelsForType(const std::string& type, platform::PDEPlugInCallback* hostInfo)
{
    std::vector<std::unique_ptr<platform::PDEPanel>> panels;
    problems_.clear();
    if (type != platform::kPrintDialogPDEType || !hostInfo || !bundle_) {
        return panels;
    }
    ppd_file_t* ppd = hostInfo->ppdFile();
    if (!ppd) {
        return panels;
    }
    const std::string mode = VendorAttribute(ppd, kFeaturesSettingsAttr);
    if (mode.empty() || mode == kDisabledMode) {
        return panels;
    }
    for (const char* page : kHelpPagesRequired) {
        if (!bundle_->HelpPageExists(page)) {
            Diagnostic("features panel not offered, missing help page", page);
            Damaged(std::string("help page ") + page);
            return panels;
        }
    }
    if (ppd::ppdFindAttr_ALT(ppd, kLayoutSettingsAttr)) {
        const std::string page = "Margins_" + SplitAtDash(VendorAttribute(ppd, kLayoutSettingsAttr)).second + ".htm";
        if (!bundle_->HelpPageExists(page)) {
            Diagnostic("features panel not offered, missing help page", page.c_str());
            Damaged("help page " + page);
            return panels;
        }
    }
    panels.push_back(std::make_unique<PrintFeaturesPDE>(hostInfo, bundle_));
    return panels;
}

void PrintFeaturesPDEPlugin::Damaged(const std::string& what)
{
    problems_.push_back("the plug-in bundle " + bundle_->folder().string() + " is damaged: it has no " + what +
                        "; the features panel is not offered");
}

// --- the panel: host protocol ------------------------------------------------

PrintFeaturesPDE::PrintFeaturesPDE(platform::PDEPlugInCallback* hostInfo,
                                   std::shared_ptr<const platform::Bundle> bundle)
    : BasePrintPanel(hostInfo),
      bundle_(std::move(bundle))
{
    pdeBundleRef = bundle_.get();
    LocalizeTableName = TableName();
}

PrintFeaturesPDE::~PrintFeaturesPDE()
{
    // The controls and windows point into the view: they go first.
    fCtrlGroupArray.clear();
    fCtrlInstallableGroupArray.clear();
}

std::string PrintFeaturesPDE::TableName() const
{
    const std::string index = VendorAttribute(HostPPD(), framework::kLocalizableIndexAttr);
    return std::string(platform::kDefaultStringTable) + index;
}

ppd_file_t* PrintFeaturesPDE::HostPPD() const { return m_pPDECallbackObj ? m_pPDECallbackObj->ppdFile() : nullptr; }

platform::PMPrintSettings* PrintFeaturesPDE::Settings() const
{
    if (m_pSettings) {
        return m_pSettings;
    }
    return m_pPDECallbackObj ? m_pPDECallbackObj->printSettings() : nullptr;
}

widgets::View* PrintFeaturesPDE::panelView()
{
    if (view_) {
        return view_.get();
    }
    widgets::Toolkit* toolkit = m_pPDECallbackObj ? m_pPDECallbackObj->widgetToolkit() : nullptr;
    if (!toolkit) {
        return nullptr;
    }
    view_ = toolkit->CreateView(0, {0, 0, 500, 420});
    windowRef = view_.get();
    pdeBundleRef = bundle_.get();
    if (!loadNibNamed(kPanelLayoutName, view_.get())) {
        Diagnostic("features panel layout not loaded", kPanelLayoutName);
    }
    return view_.get();
}

std::string PrintFeaturesPDE::panelName() { return bundle_ ? bundle_->LocalizedString("PDE Title", TableName()) : ""; }

std::vector<std::string> PrintFeaturesPDE::supportedPPDOptionKeys()
{
    ppd_file_t* ppd = HostPPD();
    if (!ppd) {
        return {};
    }
    if (ppd::CDFKeyExist(ppd, kDefinitionFileAttr)) {
        // Filled in place when asked again: the controls keep pointing at it.
        if (xppdTable_) {
            xppdTable_->clear();
        } else {
            xppdTable_ = std::make_unique<ppd::XConstraintTable>(ppd::MakeXConstraintTable());
        }
        if (ppd::GetXPPD(ppd, xppdTable_.get(), kDefinitionSection, kDefinitionFileAttr) != 0) {
            Diagnostic("constraint definition file not read", VendorAttribute(ppd, kDefinitionFileAttr).c_str());
        }
    }
    currentProductMode = VendorAttribute(ppd, kFeaturesSettingsAttr);
    const KeywordList* keywords = currentProductMode.empty() ? nullptr : KeywordsOfMode(currentProductMode);
    if (!keywords) {
        return {};
    }
    return {keywords->begin(), keywords->end()};
}

bool PrintFeaturesPDE::BuildOnce(platform::PDEError* error)
{
    panelView();
    if (!bFirstInitialzePDE) {
        return true;
    }
    CreatePanel(view_.get());
    InitializeUserPane(bundle_.get(), HostPPD());
    if (!LayoutProblem().empty()) {
        if (error) {
            error->code = platform::kDamagedDataErr;
            error->message = LayoutProblem();
        }
        return false;
    }
    // The help book is the bundle's Help folder.
    if (!bundle_ || !std::filesystem::is_directory(bundle_->HelpFolder())) {
        if (error) {
            error->code = platform::fnfErr;
            error->message = "the features plug-in has no help book";
        }
        return false;
    }
    return true;
}

bool PrintFeaturesPDE::restoreValuesAndReturnError(platform::PDEError* error)
{
    const bool first = bFirstInitialzePDE;
    const bool built = BuildOnce(error);
    ppd_file_t* ppd = HostPPD();
    SetCurrentPrintSettings(Settings(), ppd, m_pPDECallbackObj,
                            m_pPDECallbackObj ? m_pPDECallbackObj->printSession() : nullptr);
    RefreshPanelFlags();
    if (first) {
        SetUIDataToIniData();
    }
    GetValueFromPreset();
    SetCurrentValueToUI();
    if (!first) {
        UpdateConflictsPanelControlFromPPD(ppd);
    }
    bFirstInitialzePDE = false;
    return built || !first;
}

bool PrintFeaturesPDE::shouldPrint()
{
    if (bFirstInitialzePDE) {
        restoreValuesAndReturnError(nullptr);
    }
    if (view_) {
        SetValueFromUIToControl();
    }
    platform::PMPrintSettings* settings = Settings();
    ppd_file_t* ppd = HostPPD();
    const bool coilPunchFace = VendorAttribute(ppd, kCoilPunchFaceAttr) == "True";
    ppd::SetCStringToTicket(settings, coilPunchFace ? "true" : "false", ppd::kTicketKey<"CoilPunchFaceTicket">, false);
    bool tabbed = false;
    for (std::string_view keyword : ppdKeyArrayMediaType) {
        const ppd_choice_t* marked = ppd ? ppdFindMarkedChoice(ppd, std::string(keyword).c_str()) : nullptr;
        if (marked && (std::strstr(marked->choice, "Tabbed") || std::strstr(marked->choice, "Coating"))) {
            tabbed = true;
            break;
        }
    }
    ppd::SetCStringToTicket(settings, tabbed ? "true" : "false", ppd::kTicketKey<"featuresMediaTypeTabTicket">, false);
    SetValueToTicket(settings, false);
    isShouldPrintCalled = true;
    // Printing is never refused.
    return true;
}

bool PrintFeaturesPDE::saveValuesAndReturnError(platform::PDEError*)
{
    if (view_) {
        SetValueFromUIToControl();
    }
    if (!isShouldPrintCalled) {
        SetValueToTicket(Settings(), false);
    }
    isShouldPrintCalled = false;
    return true;
}

platform::PDESummary PrintFeaturesPDE::summaryInfo()
{
    RefreshPanelFlags();
    platform::PDESummary summary;
    GetSummaryText(summary.values, summary.displayOrder);
    return summary;
}

int PrintFeaturesPDE::Open()
{
    RefreshPanelFlags();
    return BasePrintPanel::Open();
}

int PrintFeaturesPDE::SetValueFromUIToControl()
{
    RefreshPanelFlags();
    return BasePrintPanel::SetValueFromUIToControl();
}

// --- the panel: building -----------------------------------------------------

void PrintFeaturesPDE::CreatePanel(widgets::View* view)
{
    BasePrintPanel::CreatePanel(view);
    pdeBundleRef = bundle_.get();
    LocalizeTableName = TableName();
    CoverSeparatorRealOptionKeyArray.clear();
    LayoutOptionKeyArray.clear();
    fxPPDKeywordList.clear();
    isPrintTypeSavetoMailbox = isSpecialPage = isWatermark = isLayoutPanelExist = false;
    groupBox_ = view ? view->Find<widgets::GroupBox>(kGroupBoxTag) : nullptr;
    if (!view) {
        return;
    }
    RunTimeAddNewControl(std::make_unique<framework::StaticTextEditControl>(
        view->FindWidget(kGroupTitleTag), nullptr, nullptr, nullptr, nullptr, nullptr, "GroupUI List Control Title"));
    printFeatureGroupListCtrl = Add(std::make_unique<PFGroupList>(view->FindWidget(kGroupListTag)));
}

template <class T>
T* PrintFeaturesPDE::Add(std::unique_ptr<T> control)
{
    T* raw = control.get();
    const std::uint32_t before = ControlCount();
    RunTimeAddNewControl(std::move(control));
    return ControlCount() > before ? raw : nullptr;
}

bool PrintFeaturesPDE::GetCurrentProductType()
{
    PrintFeaturesMode = VendorAttribute(HostPPD(), kFeaturesSettingsAttr);
    return bundle_ && !PrintFeaturesMode.empty() && bundle_->infoDictionary().contains(PrintFeaturesMode);
}

int PrintFeaturesPDE::InitializeUserPane(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    if (!withPPD || !GetCurrentProductType()) {
        // The panel stays empty; that is not a failure.
        return 0;
    }
    SavetoMailboxConstrainArray = kFXMailboxConstrainArray;
    SavetoMailboxConstrainandRestoreArray = kFXMailboxConstrainandRestoreDefaultArray;
    SpecialPageConstrainandRestoreArray = kFXSpecialPageConstrainandRestoreDefaultArray;
    WatermarkConstrainandRestoreArray = kFXWatermarkConstrainandRestoreDefaultArray;
    isLayoutPanelExist = SplitAtDash(VendorAttribute(withPPD, kLayoutSettingsAttr)).first == "Default00";
    const int result = AddUserPaneControl(bundle, withPPD);
    if (result != 0) {
        return result;
    }
    SetxppdPtr(xppdTable_.get());
    BasePrintPanel::InitializeUserPane(bundle, withPPD);
    if (printFeatureGroupListCtrl) {
        printFeatureGroupListCtrl->DoControlHideConstrain();
    }
    return 0;
}

bool PrintFeaturesPDE::Placeable(const ppd_option_t* option) const
{
    return option && !Has(exclusion_, option->keyword) && Has(support_, option->keyword);
}

int PrintFeaturesPDE::RealCount(const std::vector<ppd_option_t*>& options) const
{
    return static_cast<int>(std::count_if(options.begin(), options.end(), [this](auto* o) { return Placeable(o); }));
}

RowPlace PrintFeaturesPDE::Row(int index, int group) const
{
    RowPlace place;
    place.groupBox = groupBox_;
    place.index = index;
    place.group = group;
    place.position = {titleHoffset, kControlTopOffset, kControlDistance, kMaxControlInPanel};
    return place;
}

int PrintFeaturesPDE::AddUserPaneControl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    if (!bundle || !withPPD || !groupBox_) {
        return 0;
    }
    const nlohmann::json& info = bundle->infoDictionary();
    const auto mode = info.find(PrintFeaturesMode);
    if (mode == info.end()) {
        return 0;
    }
    support_ = StringArray(info.value(kSupportListKey, nlohmann::json::array()));
    exclusion_.clear();
    if (mode->is_array() && mode->size() == 1) {
        exclusion_ = StringArray((*mode)[0]);
        if (ppd::CheckPPDKeyIsExist(withPPD, "ZLKIntSheet")) {
            exclusion_.insert(exclusion_.end(), {"ZLKIntCoverSheet", "ZLKIntBackCoverSheet"});
        }
        if (isLayoutPanelExist) {
            exclusion_.insert(exclusion_.end(), KFXLayoutGroupKeyArray.begin(), KFXLayoutGroupKeyArray.end());
        }
    } else {
        Diagnostic("features mode entry is not a one-element array", PrintFeaturesMode.c_str());
    }

    // General group: the "General" and "Extra" groups together.
    std::vector<GroupOptions> others;
    GroupOptions general;
    for (int g = 0; g < withPPD->num_groups; ++g) {
        ppd_group_t& group = withPPD->groups[g];
        const std::string text = ppd::PPDTextToUTF8(withPPD, group.text).value_or(group.text);
        std::vector<ppd_option_t*> options;
        for (int o = 0; o < group.num_options; ++o) {
            options.push_back(&group.options[o]);
        }
        if (text == "General" || text == "Extra") {
            general.options.insert(general.options.end(), options.begin(), options.end());
            GeneralGroupOptionArray.push_back(text);
        } else {
            others.push_back({text, std::move(options)});
        }
    }

    int placed = 0;
    int groupNo = 0;
    if (const int real = RealCount(general.options); real > 0) {
        groupNo =
            AddPPDOptionToUserPane(Localized("GeneralGroupText"), general.options, groupNo, real, true, withPPD) + 1;
        placed += real;
    }
    if (ppd::CheckPPDKeyIsExist(withPPD, "ZLKIntSheet")) {
        CoverSeparatorRealOptionKeyArray = ExistingOptions(withPPD, KFXCoverSepGroupKeyArray);
        if (!CoverSeparatorRealOptionKeyArray.empty()) {
            AllGroupNameStrArray.push_back(Localized("Covers Separator Ttitle String"));
            CreateCoversSepControl(withPPD, CoverSeparatorRealOptionKeyArray, groupNo++);
        }
    }
    if (ppd::CheckPPDKeyIsExist(withPPD, "ZLKSignature") && isLayoutPanelExist) {
        LayoutOptionKeyArray = ExistingOptions(withPPD, KFXLayoutGroupKeyArray);
        if (!LayoutOptionKeyArray.empty()) {
            AllGroupNameStrArray.push_back(Localized("Layout Ttitle String"));
            CreateLayoutControl(withPPD, LayoutOptionKeyArray, groupNo++);
        }
    }
    for (const GroupOptions& group : others) {
        if (const int real = RealCount(group.options); real > 0) {
            groupNo = AddPPDOptionToUserPane(group.title, group.options, groupNo, real, false, withPPD) + 1;
            placed += real;
        }
    }
    constexpr const char* kAdvanced[] = {"ZLKTabMarginShiftEx", "ZLKTabNumberInSequence", "ZLKJog", "ZLKTrimming"};
    if (std::any_of(std::begin(kAdvanced), std::end(kAdvanced),
                    [withPPD](const char* k) { return ppd::CheckPPDKeyIsExist(withPPD, k); })) {
        AllGroupNameStrArray.push_back(Localized("Adavaned Features Title"));
        CreateAdvancedFeaturesControl(withPPD, groupNo++);
    }
    if (!ppd::CDFKeyExist(withPPD, kDefinitionFileAttr)) {
        xppdTable_ = std::make_unique<ppd::XConstraintTable>(ppd::MakeXConstraintTable());
        ppd::SetXppd(withPPD, xppdTable_.get(), fxPPDKeywordList);
    }
    return placed > 0 ? 0 : kNoRealOptionErr;
}

std::string PrintFeaturesPDE::Localized(const char* key) const
{
    return bundle_ ? bundle_->LocalizedString(key, LocalizeTableName) : platform::kNoTranslation;
}

int PrintFeaturesPDE::AddPPDOptionToUserPane(const std::string& title, const std::vector<ppd_option_t*>& options,
                                             int groupNo, int realCount, bool generalGroup, ppd_file_t* ppd)
{
    const bool numbered = generalGroup || realCount > kMaxControlInPanel;
    AllGroupNameStrArray.push_back(numbered ? title + " 1" : title);
    int placed = 0;
    int index = 0;
    for (ppd_option_t* option : options) {
        if (!Placeable(option)) {
            continue;
        }
        if (placed > 0 && placed % kMaxControlInPanel == 0) {
            ++groupNo;
            index = 0;
            AllGroupNameStrArray.push_back(title + " " + std::to_string(placed / kMaxControlInPanel + 1));
        }
        AddOptionRow(ppd, option, Row(index, groupNo));
        ++placed;
        ++index;
    }
    return groupNo;
}

BaseControl* PrintFeaturesPDE::AddTitle(ppd_file_t* ppd, const char* keyword, const RowPlace& place, int& titleLength)
{
    std::optional<std::string> text;
    ppd::GetUITitleFromPPD(ppd, keyword, text);
    titleLength = groupBox_->GetToolkit().TextWidth(text.value_or(keyword)) + ktitleCtrlWidthOffset;
    return Add(std::make_unique<framework::PPDStaticTextCtrlExt>(*place.groupBox, NextTag(), keyword, titleLength, 0,
                                                                 place.index, place.group, place.position));
}

void PrintFeaturesPDE::AddOptionRow(ppd_file_t* ppd, ppd_option_t* option, const RowPlace& place)
{
    switch (option->ui) {
    case PPD_UI_PICKONE: {
        int titleLength = 0;
        BaseControl* title = AddTitle(ppd, option->keyword, place, titleLength);
        if (std::string_view(option->keyword) == "ZLKEjectOptions") {
            ejectOptionsList_ = Add(std::make_unique<PFEjectOptionsListCtrl>(place, NextTag(), option->keyword, nullptr,
                                                                             &kEjectOptionsListAccess,
                                                                             kPopUpCtrlTotalWidth, titleLength, title));
        } else {
            const ConstraintInfo* constraint =
                std::string_view(option->keyword) == "ZLKSignature" ? &kBookletSelectionConstraint : nullptr;
            Add(std::make_unique<PFList>(place, NextTag(), option->keyword, constraint, nullptr, kPopUpCtrlTotalWidth,
                                         titleLength, title));
        }
        break;
    }
    case PPD_UI_BOOLEAN: Add(std::make_unique<PFCheckBox>(place, NextTag(), option->keyword, nullptr, nullptr)); break;
    default:
        // A pick-many option has no control; it keeps its row.
        return;
    }
    fxPPDKeywordList.push_back(option->keyword);
}

framework::PopupWinInPanel* PrintFeaturesPDE::AddWindow(std::unique_ptr<framework::PopupWinInPanel> window)
{
    framework::PopupWinInPanel* raw = window.get();
    RunTimeAddNewWindow(std::move(window));
    return raw;
}

void PrintFeaturesPDE::CreateCoversSepControl(ppd_file_t* ppd, const std::vector<ppd_option_t*>& options, int group)
{
    int index = 0;
    for (ppd_option_t* option : options) {
        const RowPlace place = Row(index++, group);
        const std::string_view keyword = option->keyword;
        int titleLength = 0;
        if (keyword == "ZLKIntSheet") {
            BaseControl* title = AddTitle(ppd, option->keyword, place, titleLength);
            sepWnd_ =
                AddWindow(std::make_unique<PFSeparatorWnd>(groupBox_->GetToolkit(), bundle_.get(), LocalizeTableName));
            framework::PopupWinInPanel* window = sepWnd_;
            separatorList_ = EndBeforeButton(Add(std::make_unique<PFListExt>(
                place, option->keyword, kTabMarginCtrlTotalWidth, titleLength, title, window)));
            Add(std::make_unique<PFSepSetupButton>(place, SeparatorSetupBtnCtrlID, "Setup Button Text", window));
        } else if (keyword == "ZLKIntCoverSheet" || keyword == "ZLKIntBackCoverSheet") {
            BaseControl* title = AddTitle(ppd, option->keyword, place, titleLength);
            const ControlID tag = keyword == "ZLKIntCoverSheet" ? IntCoverListCtrlID : IntBackCoverListCtrlID;
            Add(std::make_unique<PFCoverList>(place, tag, option->keyword, kPopUpCtrlTotalWidth, titleLength, title));
        } else if (keyword == "ZLKIntSheetMediaType") {
            BaseControl* title = AddTitle(ppd, option->keyword, place, titleLength);
            Add(std::make_unique<PFCoverTypeList>(place, option->keyword, kPopUpCtrlTotalWidth, titleLength, title));
        } else {
            AddOptionRow(ppd, option, place);
            continue;
        }
        fxPPDKeywordList.push_back(option->keyword);
    }
}

void PrintFeaturesPDE::CreateLayoutControl(ppd_file_t* ppd, const std::vector<ppd_option_t*>& options, int group)
{
    int index = 0;
    for (ppd_option_t* option : options) {
        if (option->ui == PPD_UI_PICKONE) {
            AddOptionRow(ppd, option, Row(index++, group));
        }
    }
    for (ppd_option_t* option : options) {
        if (option->ui == PPD_UI_BOOLEAN) {
            AddOptionRow(ppd, option, Row(index++, group));
        }
    }
    const RowPlace place = Row(index, group);
    bookletMarginSwitch_ = EndBeforeButton(
        Add(std::make_unique<PFNonPPDCheckBox>(place, BookletMarginCheckBoxCtrlID, &kBookletMarginSwitchIniData,
                                               &kBookletMarginSwitchConstraint, &kBookletMarginSwitchAccess)));
    bookletMarginWnd_ =
        AddWindow(std::make_unique<PFBookletMarginWnd>(groupBox_->GetToolkit(), bundle_.get(), LocalizeTableName));
    framework::PopupWinInPanel* window = bookletMarginWnd_;
    Add(std::make_unique<PFBookletSetupButton>(place, BookletMarginSetupBtnCtrlID, "Setup Button Text", window));
}

void PrintFeaturesPDE::CreateAdvancedFeaturesControl(ppd_file_t* ppd, int group)
{
    int index = 0;
    if (ppd::CheckPPDKeyIsExist(ppd, "ZLKTabMarginShiftEx")) {
        const RowPlace place = Row(index++, group);
        tabMarginSwitch_ = EndBeforeButton(Add(std::make_unique<PFCheckBoxExt>(
            place, NextTag(), "ZLKTabMarginShiftEx", &kTabMarginSwitchConstraint, &kTabMarginSwitchAccess)));
        tabMarginWnd_ =
            AddWindow(std::make_unique<PFTabMarginWnd>(groupBox_->GetToolkit(), bundle_.get(), LocalizeTableName));
        framework::PopupWinInPanel* window = tabMarginWnd_;
        Add(std::make_unique<PFTabSetupButton>(place, TabMarginSetupBtnCtrlID, "Shift Button Text", window));
        fxPPDKeywordList.push_back("ZLKTabMarginShiftEx");
    }
    if (ppd::CheckPPDKeyIsExist(ppd, "ZLKTabNumberInSequence")) {
        const RowPlace place = Row(index++, group);
        numInSequenceSwitch_ = EndBeforeButton(Add(std::make_unique<PFCheckBoxExt>(
            place, NextTag(), "ZLKTabNumberInSequence", &kNumInSequenceSwitchConstraint, &kNumInSequenceSwitchAccess)));
        numInSeqWnd_ =
            AddWindow(std::make_unique<PFNumInSeqWnd>(groupBox_->GetToolkit(), bundle_.get(), LocalizeTableName));
        framework::PopupWinInPanel* window = numInSeqWnd_;
        Add(std::make_unique<PFNumInSeqButton>(place, NumInSequenceSetupBtnCtrlID, "Num In Sequence Button Text",
                                               window));
        fxPPDKeywordList.push_back("ZLKTabNumberInSequence");
    }
    if (ppd::CheckPPDKeyIsExist(ppd, "ZLKJog")) {
        const RowPlace place = Row(index++, group);
        int titleLength = 0;
        BaseControl* title = AddTitle(ppd, "ZLKJog", place, titleLength);
        offsetStackingPagesWnd_ = AddWindow(
            std::make_unique<PFOffsetStackingPagesWnd>(groupBox_->GetToolkit(), bundle_.get(), LocalizeTableName));
        offsetStackingUnitsWnd_ = AddWindow(
            std::make_unique<PFOffsetStackingUnitsWnd>(groupBox_->GetToolkit(), bundle_.get(), LocalizeTableName));
        framework::PopupWinInPanel* pages = offsetStackingPagesWnd_;
        framework::PopupWinInPanel* units = offsetStackingUnitsWnd_;
        offsetStackingList_ = EndBeforeButton(Add(std::make_unique<PFOffsetStackingListCtrl>(
            place, "ZLKJog", kPopUpCtrlTotalWidthWithButton, titleLength, title, pages, units)));
        Add(std::make_unique<PFOffsetStackingButton>(place, "Offset Stacking Button Text", offsetStackingList_));
        fxPPDKeywordList.push_back("ZLKJog");
    }
    if (ppd_option_t* option = ppdFindOption(ppd, "ZLKTrimming")) {
        const RowPlace place = Row(index++, group);
        // A pick-one trimming option chooses the edges in a list; a
        // boolean one is only switched on or off.
        if (option->ui == PPD_UI_BOOLEAN) {
            trimmerSwitch_ = EndBeforeButton(Add(std::make_unique<PFCheckBoxExt>(
                place, NextTag(), "ZLKTrimming", &kTrimmerSwitchConstraint, &kTrimmerSwitchAccess)));
        } else {
            int titleLength = 0;
            BaseControl* title = AddTitle(ppd, "ZLKTrimming", place, titleLength);
            trimmerList_ = EndBeforeButton(Add(std::make_unique<KPFTRIMMERLISTCTRL>(
                place, TrimmerListCtrlID, "ZLKTrimming", &kTrimmerListConstraint, &kTrimmerListAccess,
                kPopUpCtrlTotalWidthWithButton, titleLength, title)));
        }
        trimmerWnd_ =
            AddWindow(std::make_unique<PFTrimmerWnd>(groupBox_->GetToolkit(), bundle_.get(), LocalizeTableName));
        trimmerTopLowerWnd_ = AddWindow(
            std::make_unique<PFTrimmerTopLowerWnd>(groupBox_->GetToolkit(), bundle_.get(), LocalizeTableName));
        Add(std::make_unique<PFTrimmerSetupButton>(place, TrimmerSetupBtnCtrlID, "Shift Button Text", trimmerWnd_,
                                                   trimmerTopLowerWnd_, trimmerList_));
        fxPPDKeywordList.push_back("ZLKTrimming");
    }
}

// --- the panel: state other code asks about ---------------------------------

void PrintFeaturesPDE::RefreshPanelFlags()
{
    isPrintTypeSavetoMailbox = IsJobTypeMailbox();
    isSpecialPage = IsSpecialPage();
    isWatermark = IsWatermark();
}

namespace {
bool TicketText(platform::PMPrintSettings* settings, const char* key, std::string& value)
{
    return settings && platform::PMPrintSettingsGetValue(settings, key, &value) == platform::noErr;
}
// Set means: the control exists and is on (or has no value yet).
bool SwitchedOn(const BaseControl* control)
{
    return control && (!control->HasValueBlock() || control->CommittedInt() == 1);
}
}  // namespace

bool PrintFeaturesPDE::IsJobTypeMailbox() const
{
    std::string value;
    return TicketText(Settings(), ppd::kTicketKey<"PrintTypeTicketKey">, value) && LeadingNumber(value) == 5;
}

bool PrintFeaturesPDE::IsSpecialPage() const
{
    std::string value;
    return TicketText(Settings(), ppd::kTicketKey<"SpecialPageRecordCountTicket">, value) && LeadingNumber(value) > 0;
}

bool PrintFeaturesPDE::IsWatermark() const
{
    std::string value;
    return TicketText(Settings(), ppd::kTicketKey<"WMARKNameTicket">, value) && !value.empty();
}

bool PrintFeaturesPDE::IsSeparatorOff() const { return SwitchedOn(separatorList_); }
bool PrintFeaturesPDE::IsTabMarginShift() const { return SwitchedOn(tabMarginSwitch_); }
bool PrintFeaturesPDE::IsTrimmer() const { return SwitchedOn(trimmerSwitch_); }
bool PrintFeaturesPDE::IsBookletMarginShift() const { return SwitchedOn(bookletMarginSwitch_); }
bool PrintFeaturesPDE::IsNumberInSequence() const { return SwitchedOn(numInSequenceSwitch_); }

bool PrintFeaturesPDE::IsOffsetStacking() const
{
    if (!offsetStackingList_) {
        return false;
    }
    const int value = offsetStackingList_->CommittedInt();
    return !offsetStackingList_->HasValueBlock() || value == 4 || value == 5;
}

int PrintFeaturesPDE::getOffsetStackingValue() const
{
    const auto* list = offsetStackingList_ ? offsetStackingList_->GetControlPtr() : nullptr;
    const auto* popup = list ? list->As<widgets::PopUp>() : nullptr;
    return popup && popup->SelectedIndex() >= 0 ? popup->SelectedIndex() + 1 : 0;
}

int PrintFeaturesPDE::getTrimmerListValue() const { return trimmerList_ ? trimmerList_->CommittedInt() : 0; }

widgets::Widget* PrintFeaturesPDE::GetFeaturesSetSTextCtrl() const
{
    return view_ ? view_->FindWidget(kStatusTextTag) : nullptr;
}

}  // namespace zlk::features
