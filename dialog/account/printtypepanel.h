// The account plug-in and its print type panel. The plug-in offers the
// panel for printers whose PPD names a print type product with its help
// page and layout in the bundle; the panel chooses how the printer holds
// the job and writes every print type value into the ticket.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dialog/account/accountpanel.h"
#include "dialog/account/printtypewnd.h"
#include "dialog/account/ptcontrols.h"
#include "dialog/framework/printpanel.h"
#include "platform/printing/pde.h"
#include "platform/system/bundle.h"

namespace zlk::account {

inline constexpr char kPrintTypePanelKind[] = "com.zelko.print.pde.PrintTypeKind";

class PrintTypePDE final : public AccountPanelBase {
public:
    PrintTypePDE(platform::PDEPlugInCallback* hostInfo, std::shared_ptr<const platform::Bundle> bundle,
                 ProductAndHelp names, bool quorvel);

    // The host protocol beyond the shared part.
    std::string panelKind() override { return kPrintTypePanelKind; }
    bool shouldPrint() override;
    bool saveValuesAndReturnError(platform::PDEError* error) override;

    // The panel's steps.
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
    bool IsKeywordSupported() const { return bKeywordSupported; }

private:
    void ReadLastInput() override { GetValueFromPreference(); }
    int StoreLastInput() override { return SetValueToPreference(); }
    void WriteTicket(platform::PMPrintSettings* settings) override { SetValueToTicket(settings, false); }
    std::string HelpPage() const { return "SelectJobType_" + names_.help + ".htm"; }
    // The document-name type that applies when none is stored.
    int DefaultDocumentNameType() const;
    void ReadSharedBlocks();
    bool WriteSharedBlocks();

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

    std::vector<std::string> bundleProblems() const override { return problems_; }

private:
    // Records that the bundle lacks what; the panel is not offered.
    void Damaged(const std::string& what);

    std::shared_ptr<const platform::Bundle> bundle_;
    std::vector<std::string> problems_;
};

}  // namespace zlk::account
