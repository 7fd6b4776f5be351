// The account plug-in and its print type panel. The plug-in offers the
// panel for printers whose PPD names a print type product with its help
// page and layout in the bundle; the panel chooses how the printer holds
// the job and writes every print type value into the ticket.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dialog/account/printtypewnd.h"
#include "dialog/account/ptcontrols.h"
#include "dialog/framework/printpanel.h"
#include "platform/printing/pde.h"
#include "platform/system/bundle.h"

namespace zlk::account {

inline constexpr char kPrintTypePanelKind[] = "com.zelko.print.pde.PrintTypeKind";

// The product and help names of a settings attribute value
// ("Default00-ColorMFP"); a value without "-" names a product and no help.
struct ProductAndHelp {
    std::string product;
    std::string help;
};
ProductAndHelp SplitSettingsValue(const std::string& value);

class PrintTypePDE final : public framework::BasePrintPanel, public platform::PDEPanel {
public:
    PrintTypePDE(platform::PDEPlugInCallback* hostInfo, std::shared_ptr<const platform::Bundle> bundle,
                 ProductAndHelp names, bool quorvel);
    ~PrintTypePDE() override;

    // The host protocol.
    widgets::View* panelView() override;
    std::string panelName() override;
    std::string panelKind() override { return kPrintTypePanelKind; }
    std::vector<std::string> supportedPPDOptionKeys() override { return {}; }
    void willShow() override {}
    bool shouldHide() override { return true; }
    bool shouldPrint() override;
    bool shouldShowHelp() override;
    bool restoreValuesAndReturnError(platform::PDEError* error) override;
    bool saveValuesAndReturnError(platform::PDEError* error) override;
    platform::PDESummary summaryInfo() override;
    void PPDOptionKeyValueDidChange(const char*, const char*) override {}

    // The panel's steps.
    bool SimulationOpenPDE();
    void CreatePanel(widgets::View* view) override;
    int InitializeUserPane(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    // The shared blocks first, then every control's own last input.
    int GetValueFromPreference() override;
    int SetValueToPreference() override;
    // The shared blocks and the product type, then every control, the
    // passwords encrypted.
    int SetValueToTicket(platform::PMPrintSettings* settings, bool withParam) override;
    using BasePrintPanel::SetValueToTicket;
    bool ValidateUserPane();
    bool OnClickPrintCommand();

    // What the controls and windows ask.
    PTListCtrl* getPrintTypeListCtrlPtr() const { return printTypeList_; }
    PTSamplePrintWnd* getSamplePrintWndPtr() const { return sampleWnd_; }
    PTSecurePrintWnd* getSecurePrintWndPtr() const { return secureWnd_; }
    PTDelayedPrintWnd* getDelayedPrintWndPtr() const { return delayedWnd_; }
    PTMailBoxPrintWnd* getMailBoxPrintWndPtr() const { return mailboxWnd_; }
    PTAboutWnd* getPassCodeAboutWndPtr() const { return aboutWnd_; }
    // The setup window of a print type value; null for normal print.
    PTSetupWnd* WindowOfType(int value) const;
    framework::ValueBlock& getPrintTypeUserNameDataBlk() { return printTypeusernameDataBlkPtr; }
    framework::ValueBlock& getPrintTypeDocumentNameDataBlk() { return documentnameeditDataBlkPtr; }
    framework::ValueBlock& getPrintTypeDocumentListDataBlk() { return documentlistDataBlkPtr; }
    bool IsPPDkeyPassCodeExist() const { return bPPDkeyPassCodeExist; }
    void setJobStatus(int status) { JobStatus = status; }
    int getJobStatus() const { return JobStatus; }
    int getPDEType() const { return pdeType; }
    // Type numbers outside the product rows become 0.
    void setPDEType(int type) { pdeType = type >= 0 && type < kPTProductInfoCount ? type : 0; }
    bool IsQuorvelModel() const { return isQuorvelModel; }
    bool IsKeywordSupported() const { return bKeywordSupported; }
    const std::vector<widgets::Widget*>& getControlIDArray() const { return ControlIDArray; }

private:
    ppd_file_t* HostPPD() const;
    platform::PMPrintSettings* Settings() const;
    std::string TableName() const;
    std::string HelpPage() const { return "SelectJobType_" + names_.help + ".htm"; }
    // The document-name type that applies when none is stored.
    int DefaultDocumentNameType() const;
    void ReadSharedBlocks();
    bool WriteSharedBlocks();
    void WriteTicket(platform::PMPrintSettings* settings);

    std::shared_ptr<const platform::Bundle> bundle_;
    std::unique_ptr<widgets::View> view_;
    ProductAndHelp names_;
    std::string panelTitle_;
    bool layoutLoaded_ = false;

    std::vector<widgets::Widget*> ControlIDArray;
    int JobStatus = kJobStopped;
    bool bFirstInitialzePDE = true;
    int pdeType = 0;
    bool isQuorvelModel = false;
    bool bKeywordSupported = false;
    bool bPPDkeyPassCodeExist = false;
    framework::ValueBlock printTypeusernameDataBlkPtr;
    framework::ValueBlock documentnameeditDataBlkPtr;
    framework::ValueBlock documentlistDataBlkPtr;

    PTListCtrl* printTypeList_ = nullptr;
    PTSamplePrintWnd* sampleWnd_ = nullptr;
    PTSecurePrintWnd* secureWnd_ = nullptr;
    PTDelayedPrintWnd* delayedWnd_ = nullptr;
    PTMailBoxPrintWnd* mailboxWnd_ = nullptr;
    PTAboutWnd* aboutWnd_ = nullptr;
};

// The plug-in's principal object.
class PrintAccountPDEPlugIn final : public platform::PDEPlugIn {
public:
    bool initWithBundle(std::shared_ptr<const platform::Bundle> bundle) override;
    std::vector<std::unique_ptr<platform::PDEPanel>> PDEPanelsForType(const std::string& type,
                                                                      platform::PDEPlugInCallback* hostInfo) override;
    // False only when the attribute exists and says exactly "False".
    static bool CheckLoadCondition(ppd_file_t* ppd, const char* ppdkey);
    static bool CheckDeviceModelFromPPD(ppd_file_t* ppd, const char* ppdkey);

private:
    std::shared_ptr<const platform::Bundle> bundle_;
};

}  // namespace zlk::account
