#include "dialog/account/jbapanel.h"

#include <syslog.h>

#include <cstring>

#include "platform/printing/printsettings.h"
#include "platform/system/identity.h"
#include "platform/widgets/toolkit.h"
#include "ppd/ppdquery.h"
#include "ppd/ticket.h"

namespace zlk::account {

namespace {

constexpr char kAccountingSettingsAttr[] = "ZLKXAccountingSettings";

constexpr const char* kManageItems[] = {"Job Authentication Type User Mode",
                                        "Job Authentication Type Administration Mode", nullptr};
constexpr framework::PopupIniData kManageIni{0, 2, -1, 0, kManageItems};
const AccessInfo kManageAccess{0, 0, ppd::kTicketKey<"JBAManageTypeListTicketKey">,
                               ppd::kTicketKey<"JBAManageTypeListReference">};
constexpr const char* kInfoItems[] = {"User ID Fixed Text", "Billing ID Fixed Text", "Switch Enabled Text", nullptr};
constexpr framework::PopupIniData kInfoIni{0, 1, -1, 0, kInfoItems};
const AccessInfo kInfoAccess{0, 0, ppd::kTicketKey<"JBAInfoListTicketKey">, ppd::kTicketKey<"JBAInfoListReference">};
constexpr const char* kCaseItems[] = {"Case_1", "Case_2", "Case_3", "Case_4", "Case_5",
                                      "Case_6", "Case_7", "Case_8", "Case_9", nullptr};
constexpr framework::PopupIniData kCaseIni{0, 1, -1, 0, kCaseItems};
const AccessInfo kCaseAccess{0, 0, ppd::kTicketKey<"JBAInfoSetListTicketKey">, nullptr};
// A change of the identification updates the case.
constexpr const ControlID* kCaseOnly[] = {&kInfoSetListTag, nullptr};
constexpr framework::IdentifierList kInfoUpdates[] = {kCaseOnly, kCaseOnly, kCaseOnly};
const ConstraintInfo kInfoConstraint{{}, {}, kInfoUpdates};

std::string LocalizedFor(const BaseControl& control, const platform::Bundle* bundle, const char* key)
{
    const std::string table =
        control.GetLocalizeTableName().empty() ? platform::kDefaultStringTable : control.GetLocalizeTableName();
    return bundle ? bundle->LocalizedString(key, table) : key;
}

// Opens the settings window of the current account mode.
class JBADetailSettingBut : public framework::BaseButton {
public:
    using BaseButton::BaseButton;
    void RequestControlAction(widgets::Widget*) override
    {
        JBAPDE* panel = JBAPanelOf(ctrlParentPanelPtr);
        if (JBAInfoSettingsWnd* window = panel ? panel->CurrentSettingsWindow() : nullptr) {
            window->ActivateWindow();
        }
    }
};

}  // namespace

// --- the panel's lists -----------------------------------------------------------

JBAListCtrl::JBAListCtrl(widgets::Widget* widget)
    : PopupControl(widget, &kManageIni, nullptr, &kManageAccess, framework::kPreferencesAnyUser)
{}

bool JBAListCtrl::UIEventHandler()
{
    PopupControl::UIEventHandler();
    whichPreferenceKey = List() ? std::max(List()->SelectedIndex(), 0) : 1;
    // Only an administrator chooses whose settings apply.
    if (ctrlParentPanelPtr && !ctrlParentPanelPtr->IsUserAdmin() && ControlPtr) {
        ControlPtr->SetEnabled(false);
    }
    return true;
}

bool JBAListCtrl::SimulationUIEventHandler()
{
    PopupControl::SimulationUIEventHandler();
    whichPreferenceKey = List() ? std::max(List()->SelectedIndex(), 0) : 1;
    // Current systems keep the management type as the administrator stored it.
    if (ControlPtr) {
        ControlPtr->SetEnabled(false);
    }
    return true;
}

int JBAListCtrl::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    const widgets::PopUp* list = List();
    if (!list || whichPreferenceKey < 0 || whichPreferenceKey >= list->ItemCount()) {
        return 0;
    }
    const std::string title = LocalizedFor(*this, PanelBundle(), "JBA Account Mode");
    dictionary[title] = list->Item(whichPreferenceKey).title;
    orderArray.push_back(title);
    return 0;
}

JBAInfoListCtrl::JBAInfoListCtrl(widgets::Widget* widget)
    : PopupControl(widget, &kInfoIni, &kInfoConstraint, &kInfoAccess, framework::kPreferencesCurrentUser)
{}

void JBAInfoListCtrl::HideWithoutPromptOption()
{
    JBAPDE* panel = JBAPanelOf(ctrlParentPanelPtr);
    if (panel && !panel->checkIsCostomizeUserPromptExist() && HideCount() < 1) {
        Hide();
    }
}

bool JBAInfoListCtrl::InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    PopupControl::InitializeCtrl(bundle, withPPD);
    HideWithoutPromptOption();
    return true;
}

void JBAInfoListCtrl::ResetStatus()
{
    // A reset shows every control; this one stays hidden on a later restore too.
    PopupControl::ResetStatus();
    HideWithoutPromptOption();
}

bool JBAInfoListCtrl::UIEventHandler()
{
    PopupControl::UIEventHandler();
    if (JBAPDE* panel = JBAPanelOf(ctrlParentPanelPtr)) {
        panel->ApplyCase();
    }
    return true;
}

bool JBAInfoListCtrl::ConvertToTickectData(std::string& out, bool lock)
{
    JBAPDE* panel = JBAPanelOf(ctrlParentPanelPtr);
    if (panel && !panel->checkIsCostomizeUserPromptExist()) {
        out = "0";
        return true;
    }
    return PopupControl::ConvertToTickectData(out, lock);
}

int JBAInfoListCtrl::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    JBAPDE* panel = JBAPanelOf(ctrlParentPanelPtr);
    const widgets::PopUp* list = List();
    if (!panel || !panel->checkIsCostomizeUserPromptExist() || !list || list->SelectedIndex() < 0) {
        return 0;
    }
    const std::string title = LocalizedFor(*this, PanelBundle(), "JBA Account Info Setting");
    dictionary[title] = list->SelectedTitle();
    orderArray.push_back(title);
    return 0;
}

JBAInfoSetListCtrl::JBAInfoSetListCtrl(widgets::Widget* widget)
    : PopupControl(widget, &kCaseIni, nullptr, &kCaseAccess, framework::kPreferencesAnyUser)
{}

int JBAInfoSetListCtrl::Update()
{
    JBAPDE* panel = JBAPanelOf(ctrlParentPanelPtr);
    const BaseControl* info = panel ? panel->getjbaInfoListCtrlPtr() : nullptr;
    const widgets::Widget* infoWidget = info ? info->GetControlPtr() : nullptr;
    const auto* infoList = infoWidget ? infoWidget->As<widgets::PopUp>() : nullptr;
    const int identification = infoList ? infoList->SelectedIndex() + 1 : 0;
    const int infoSetCase = CaseFor(panel ? panel->getCostomizeUserPromptValue() : -1, identification);
    ShowValue(infoSetCase);
    if (HasValueBlock()) {
        SetBlockInt(ctrlDataBlkPtr, infoSetCase);
        SetBlockInt(ctrlUIDataBlkPtr, infoSetCase);
    }
    return 0;
}

bool JBAInfoSetListCtrl::ConvertToTickectData(std::string& out, bool lock)
{
    JBAPDE* panel = JBAPanelOf(ctrlParentPanelPtr);
    if (panel && !panel->checkIsCostomizeUserPromptExist()) {
        out = "0";
        return true;
    }
    return PopupControl::ConvertToTickectData(out, lock);
}

// --- the panel -------------------------------------------------------------------

JBAPDE::JBAPDE(platform::PDEPlugInCallback* hostInfo, std::shared_ptr<const platform::Bundle> bundle,
               ProductAndHelp names, bool quorvel)
    : AccountPanelBase(hostInfo, std::move(bundle), std::move(names), quorvel,
                       {JBAProductInfo, "ZLKPrintJBA_", "Job Authentication Title", "JBAPDE"})
{}

int JBAPDE::getAccountMode() const { return manageList_ ? manageList_->whichPreferenceKey : -1; }

int JBAPDE::getInfoSetMode() const
{
    if (isQuorvelModel || !infoSetList_ || !infoSetList_->HasValueBlock()) {
        return -1;
    }
    return infoSetList_->CommittedInt();
}

JBAInfoSettingsWnd* JBAPDE::CurrentSettingsWindow() const
{
    switch (getAccountMode()) {
    case 0: return adminWnd_;
    case 1: return userWnd_;
    default: return nullptr;
    }
}

bool JBAPDE::getbInputWndVisible() const
{
    const JBAInfoSettingsWnd* window = CurrentSettingsWindow();
    return window && window->getbEnterUserDetails();
}

void JBAPDE::ApplyCase()
{
    if (!infoSetList_) {
        return;
    }
    infoSetList_->Update();
    const bool everythingFixed = bIsCostomizeUserPromptExist && getInfoSetMode() == 8;
    if (everythingFixed && manageList_ && manageList_->GetControlPtr()) {
        manageList_->GetControlPtr()->SetEnabled(false);
    }
    if (detailButton_ && detailButton_->GetControlPtr()) {
        detailButton_->GetControlPtr()->SetEnabled(!everythingFixed);
    }
}

void JBAPDE::CreatePanel(widgets::View* view)
{
    BasePrintPanel::CreatePanel(view);
    ppd_file_t* ppd = HostPPD();
    widgets::Toolkit* toolkit = m_pPDECallbackObj ? m_pPDECallbackObj->widgetToolkit() : nullptr;
    if (!view || !toolkit) {
        return;
    }
    const bool settingsFileUsable = SettingsFileUsable();
    const JBAWindowContext context{bundle_.get(),
                                   LocalizeTableName,
                                   names_.help,
                                   pdeType,
                                   isQuorvelModel,
                                   bIsCostomizeUserPromptExist,
                                   std::max(ppd::GetPWMiniIntValueFromPPD(ppd, "ZLKMinDigitPasscode"), 0),
                                   platform::LoginName()};
    auto caption = [&](ControlID tag, const char* key) {
        RunTimeAddNewControl(std::make_unique<PTStaticTextEditControl>(view->FindWidget(tag), nullptr, nullptr, nullptr,
                                                                       nullptr, nullptr, key));
    };
    caption(kManageCaptionTag, "JBA Account Mode Text");
    auto manage = std::make_unique<JBAListCtrl>(view->FindWidget(kManageListTag));
    manageList_ = manage.get();
    RunTimeAddNewControl(std::move(manage));
    if (isQuorvelModel) {
        // This model identifies jobs one way only: no identification lists.
        for (ControlID tag : {kInfoCaptionTag, kInfoListTag, kInfoSetListTag}) {
            if (widgets::Widget* widget = view->FindWidget(tag)) {
                widget->SetHidden(true);
            }
        }
    } else {
        // The caption goes with the identification list: without the prompt
        // option the list hides, and a caption beside nothing would remain.
        if (bIsCostomizeUserPromptExist && !AttributeOf(ppd, kAccountingSettingsAttr).starts_with("Default05")) {
            caption(kInfoCaptionTag, "JBA Account Info Setting Text");
        } else if (widgets::Widget* widget = view->FindWidget(kInfoCaptionTag)) {
            widget->SetHidden(true);
        }
        auto info = std::make_unique<JBAInfoListCtrl>(view->FindWidget(kInfoListTag));
        infoList_ = info.get();
        RunTimeAddNewControl(std::move(info));
        auto infoSet = std::make_unique<JBAInfoSetListCtrl>(view->FindWidget(kInfoSetListTag));
        infoSetList_ = infoSet.get();
        RunTimeAddNewControl(std::move(infoSet));
    }
    RunTimeAddNewControl(std::make_unique<VersionStringSText>(view->FindWidget(kJBAVersionTag), settingsFileUsable));
    auto detail =
        std::make_unique<JBADetailSettingBut>(view->FindWidget(kDetailButtonTag), "Detailed User Settings Btn");
    detailButton_ = detail.get();
    RunTimeAddNewControl(std::move(detail));
    RunTimeAddNewControl(
        std::make_unique<PrintTypeHelpBtn>(view->FindWidget(kJBAHelpTag), "JBA_" + names_.help + ".htm", false));

    auto admin = std::make_unique<JBAInfoSettingsWnd>(*toolkit, context, JBAPart::Admin, ControlIDArray);
    auto user = std::make_unique<JBAInfoSettingsWnd>(*toolkit, context, JBAPart::User, ControlIDArray);
    auto input = std::make_unique<JBAInputWindow>(*toolkit, context, ControlIDArray);
    adminWnd_ = admin->Built() ? admin.get() : nullptr;
    userWnd_ = user->Built() ? user.get() : nullptr;
    inputWnd_ = input->Built() ? input.get() : nullptr;
    RunTimeAddNewWindow(std::move(admin));
    RunTimeAddNewWindow(std::move(user));
    RunTimeAddNewWindow(std::move(input));
}

int JBAPDE::InitializeUserPane(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    return BasePrintPanel::InitializeUserPane(bundle, withPPD);
}

void JBAPDE::BeforeBuild(ppd_file_t* ppd)
{
    // The prompt option decides the case table's row.
    bIsCostomizeUserPromptExist = ppdFindOption(ppd, "ZLKSelectID") != nullptr;
    std::vector<std::string_view> choices(kSelectIDChoices.begin(), kSelectIDChoices.end());
    iCostomizeUserPromptValue = ppd::GetValueFromPPD(ppd, "ZLKSelectID", choices);
}

bool JBAPDE::SetInformationToTicket(platform::PMPrintSettings* settings, bool lock)
{
    return account::SetInformationToTicket(settings, lock, identity_ ? *identity_ : ClientIdentitySources::System());
}

void JBAPDE::WriteTicket(platform::PMPrintSettings* settings)
{
    BasePrintPanel::SetValueToTicket(settings, false, &ControlIDArray);
    SetInformationToTicket(settings, false);
}

bool JBAPDE::OnClickPrintCommand()
{
    if (inputWnd_) {
        const bool enterDetails = getbInputWndVisible();
        if (bIsCostomizeUserPromptExist && getInfoSetMode() == 8) {
            inputWnd_->SimulateWindow();
            JobStatus = kJobGoesOn;
        } else if (enterDetails) {
            inputWnd_->Present();
        } else {
            JobStatus = kJobGoesOn;
        }
    } else {
        JobStatus = kJobGoesOn;
    }
    return JobStatus == kJobGoesOn;
}

bool JBAPDE::shouldPrint()
{
    platform::PMPrintSession* session = m_pPDECallbackObj ? m_pPDECallbackObj->printSession() : nullptr;
    // A preview or a file is not charged to anybody: nothing is checked or written.
    if (session && session->destinationType() != platform::kPMDestinationPrinter) {
        return true;
    }
    if (bFirstInitialzePDE) {
        SimulationOpenPDE();
    }
    return OnClickPrintCommand() && StoreAndWrite(nullptr);
}

bool JBAPDE::saveValuesAndReturnError(platform::PDEError* error)
{
    if (bFirstInitialzePDE) {
        SimulationOpenPDE();
    }
    return StoreAndWrite(error);
}

}  // namespace zlk::account
