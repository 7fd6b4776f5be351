#include "dialog/account/accountpanel.h"

#include <syslog.h>

#include <filesystem>

#include "common/regularfile.h"
#include "dialog/account/ptcontrols.h"
#include "platform/widgets/toolkit.h"
#include "ppd/ppdquery.h"

namespace zlk::account {

ProductAndHelp SplitSettingsValue(const std::string& value)
{
    const auto dash = value.find('-');
    if (dash == std::string::npos) {
        return {value, ""};
    }
    return {value.substr(0, dash), value.substr(dash + 1)};
}

std::string AttributeOf(ppd_file_t* ppd, const char* name)
{
    if (!ppd) {
        return {};
    }
    std::string keyword;
    ppd::FixPPDKeywordAccordingToType(ppd, name, keyword);
    ppd_attr_t* attr = ppd::ppdFindAttr_ALT(ppd, keyword.c_str());
    return attr && attr->value ? attr->value : "";
}

AccountPanelBase::AccountPanelBase(platform::PDEPlugInCallback* hostInfo,
                                   std::shared_ptr<const platform::Bundle> bundle, ProductAndHelp names, bool quorvel,
                                   const AccountPanelKind& kind)
    : BasePrintPanel(hostInfo),
      bundle_(std::move(bundle)),
      names_(std::move(names)),
      isQuorvelModel(quorvel),
      kind_(kind)
{
    pdeBundleRef = bundle_.get();
    for (const PTProductRow& row : kind_.products) {
        if (names_.product == row.productName) {
            setPDEType(row.typeNumber);
        }
    }
    LocalizeTableName = TableName();
}

AccountPanelBase::~AccountPanelBase()
{
    // The controls point into the view and the windows: they go first.
    fCtrlGroupArray.clear();
    fCtrlInstallableGroupArray.clear();
    ControlIDArray.clear();
}

ppd_file_t* AccountPanelBase::HostPPD() const { return m_pPDECallbackObj ? m_pPDECallbackObj->ppdFile() : nullptr; }

platform::PMPrintSettings* AccountPanelBase::Settings() const
{
    if (m_pSettings) {
        return m_pSettings;
    }
    return m_pPDECallbackObj ? m_pPDECallbackObj->printSettings() : nullptr;
}

std::string AccountPanelBase::TableName() const
{
    ppd_file_t* ppd = HostPPD();
    if (!ppd || !ppd::ppdFindAttr_ALT(ppd, framework::kLocalizableIndexAttr)) {
        return platform::kDefaultStringTable;
    }
    return std::string(platform::kDefaultStringTable) + AttributeOf(ppd, framework::kLocalizableIndexAttr);
}

bool AccountPanelBase::HelpBookExists() const
{
    return bundle_ && std::filesystem::is_directory(bundle_->HelpFolder());
}

bool AccountPanelBase::SettingsFileUsable() const
{
    const std::string path = AttributeOf(HostPPD(), "ZLKXCDFSetting");
    // Only a regular file: a FIFO named there would block the dialog.
    return path.empty() || static_cast<bool>(common::OpenRegularFile(path));
}

widgets::View* AccountPanelBase::panelView()
{
    if (view_) {
        return view_.get();
    }
    widgets::Toolkit* toolkit = m_pPDECallbackObj ? m_pPDECallbackObj->widgetToolkit() : nullptr;
    if (!toolkit) {
        return nullptr;
    }
    view_ = toolkit->CreateView(0, {0, 0, 500, 260});
    windowRef = view_.get();
    loadNibNamed(kind_.layoutPrefix + names_.product, view_.get());
    syslog(LOG_DEBUG, "##Plugin debug## %s : panelView - %zu", kind_.logName, view_->ChildCount());
    return view_.get();
}

std::string AccountPanelBase::panelName()
{
    if (panelTitle_.empty() && bundle_) {
        panelTitle_ = bundle_->LocalizedString(kind_.titleKey, TableName());
    }
    return panelTitle_;
}

bool AccountPanelBase::SimulationOpenPDE()
{
    ppd_file_t* ppd = HostPPD();
    if (!ppd) {
        return true;
    }
    panelView();
    bool result = true;
    const bool first = bFirstInitialzePDE;
    if (first && view_) {
        BeforeBuild(ppd);
        CreatePanel(view_.get());
        result = HelpBookExists();
        InitializeUserPane(bundle_.get(), ppd);
    }
    SetCurrentPrintSettings(Settings(), ppd, m_pPDECallbackObj,
                            m_pPDECallbackObj ? m_pPDECallbackObj->printSession() : nullptr);
    SetUIDataToIniData();
    if (!first) {
        ResetControlStatus();
    }
    ReadLastInput();
    SetCurrentValueToUI();
    AfterShow();
    bFirstInitialzePDE = false;
    return result;
}

bool AccountPanelBase::StoreAndWrite(platform::PDEError* error)
{
    if (view_) {
        SetValueFromUIToControl();
    }
    if (StoreLastInput() != 0) {
        if (error) {
            error->code = platform::paramErr;
            error->message = panelName() + ": the settings could not be stored";
        }
        return false;
    }
    if (platform::PMPrintSettings* settings = Settings()) {
        WriteTicket(settings);
    }
    return true;
}

bool AccountPanelBase::restoreValuesAndReturnError(platform::PDEError* error)
{
    const bool opened = SimulationOpenPDE();
    if (!LayoutProblem().empty()) {
        if (error) {
            error->code = platform::kDamagedDataErr;
            error->message = LayoutProblem();
        }
        return false;
    }
    if (!opened && error) {
        error->code = platform::fnfErr;
        error->message = "the account plug-in has no help book";
    }
    return opened;
}

bool AccountPanelBase::shouldShowHelp()
{
    for (auto& control : fCtrlGroupArray) {
        if (auto* help = dynamic_cast<PrintTypeHelpBtn*>(control.get())) {
            return !help->OpenHelp();
        }
    }
    return true;
}

platform::PDESummary AccountPanelBase::summaryInfo()
{
    platform::PDESummary summary;
    GetSummaryText(summary.values, summary.displayOrder);
    return summary;
}

}  // namespace zlk::account
