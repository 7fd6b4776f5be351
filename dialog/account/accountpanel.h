// What the account plug-in's two panels share: the product row named by
// the PPD, the bundle and layout, the host's objects, the passwords written
// encrypted and whether the print command may go on.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "dialog/account/accounttables.h"
#include "dialog/framework/printpanel.h"
#include "platform/printing/pde.h"
#include "platform/system/bundle.h"

namespace zlk::account {

// The product and help names of a settings attribute value
// ("Default00-ColorMFP"); a value without "-" names a product and no help.
struct ProductAndHelp {
    std::string product;
    std::string help;
};
ProductAndHelp SplitSettingsValue(const std::string& value);

// The value of a PPD attribute; empty when it is missing.
std::string AttributeOf(ppd_file_t* ppd, const char* name);

// The things a panel of this plug-in is made of besides its controls.
struct AccountPanelKind {
    std::span<const PTProductRow> products;
    const char* layoutPrefix;  // "ZLKPrintType_"
    const char* titleKey;  // "PDE Title"
    const char* logName;  // "PrintTypePDE"
};

class AccountPanelBase : public framework::BasePrintPanel, public platform::PDEPanel {
public:
    AccountPanelBase(platform::PDEPlugInCallback* hostInfo, std::shared_ptr<const platform::Bundle> bundle,
                     ProductAndHelp names, bool quorvel, const AccountPanelKind& kind);
    ~AccountPanelBase() override;

    // The host protocol, the same for both panels.
    widgets::View* panelView() override;
    std::string panelName() override;
    std::vector<std::string> supportedPPDOptionKeys() override { return {}; }
    void willShow() override {}
    bool shouldHide() override { return true; }
    bool shouldShowHelp() override;
    bool restoreValuesAndReturnError(platform::PDEError* error) override;
    platform::PDESummary summaryInfo() override;
    void PPDOptionKeyValueDidChange(const char*, const char*) override {}

    // Builds the panel on its first call, then shows the stored values;
    // false when the bundle has no help book.
    bool SimulationOpenPDE();

    void setJobStatus(int status) { JobStatus = status; }
    int getJobStatus() const { return JobStatus; }
    int getPDEType() const { return pdeType; }
    // Type numbers outside the product rows become 0.
    void setPDEType(int type) { pdeType = type >= 0 && type < static_cast<int>(kind_.products.size()) ? type : 0; }
    bool IsQuorvelModel() const { return isQuorvelModel; }
    std::vector<widgets::Widget*>& getEncryptArray() { return ControlIDArray; }

protected:
    // The steps of SimulationOpenPDE a panel adds: before the panel is
    // built, reading the last input, after the values are shown.
    virtual void BeforeBuild(ppd_file_t*) {}
    virtual void ReadLastInput() = 0;
    virtual void AfterShow() {}
    // The last step of a save or a print: the panel's values taken from
    // its view, the last input stored and the ticket written. False, and
    // nothing written, when the last input could not be stored.
    bool StoreAndWrite(platform::PDEError* error);
    // Stores the last input; 0 on success.
    virtual int StoreLastInput() = 0;
    virtual void WriteTicket(platform::PMPrintSettings* settings) = 0;
    ppd_file_t* HostPPD() const;
    platform::PMPrintSettings* Settings() const;
    std::string TableName() const;
    bool HelpBookExists() const;
    // Whether the companion settings file the PPD names can be read; a PPD
    // that names none needs none.
    bool SettingsFileUsable() const;

    std::shared_ptr<const platform::Bundle> bundle_;
    std::unique_ptr<widgets::View> view_;
    ProductAndHelp names_;
    std::vector<widgets::Widget*> ControlIDArray;
    int JobStatus = kJobStopped;
    bool bFirstInitialzePDE = true;
    int pdeType = 0;
    bool isQuorvelModel = false;

private:
    AccountPanelKind kind_;
    std::string panelTitle_;
};

}  // namespace zlk::account
