// The job accounting panel: who prints and which account a job is charged
// to, the settings windows, and the computer that sent the job.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dialog/account/accountpanel.h"
#include "dialog/account/clientidentity.h"
#include "dialog/account/jbawnd.h"

namespace zlk::account {

inline constexpr char kJBAPanelKind[] = "com.zelko.print.pde.JobAccountingKind";

// The management-type list: value 1 chooses the administrator's settings
// (account mode 0), value 2 the user's (account mode 1).
class JBAListCtrl : public framework::PopupControl {
public:
    explicit JBAListCtrl(widgets::Widget* widget);
    bool UIEventHandler() override;
    bool SimulationUIEventHandler() override;
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    int whichPreferenceKey = 1;
};

// The identification list; hidden, silent and "0" in the ticket when the
// printer has no prompt option.
class JBAInfoListCtrl : public framework::PopupControl {
public:
    explicit JBAInfoListCtrl(widgets::Widget* widget);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    void ResetStatus() override;
    bool UIEventHandler() override;
    bool ConvertToTickectData(std::string& out, bool lock) override;
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;

private:
    void HideWithoutPromptOption();
};

// The case of the identification rules, derived from the prompt option
// and the identification list, never chosen.
class JBAInfoSetListCtrl : public framework::PopupControl {
public:
    explicit JBAInfoSetListCtrl(widgets::Widget* widget);
    int Update() override;
    bool ConvertToTickectData(std::string& out, bool lock) override;
    bool GetValueFromPreferenceWithPrinterSettings() override { return false; }
    bool SetValueToPreferenceWithPrinterSettings() override { return true; }
};

class JBAPDE final : public AccountPanelBase {
public:
    JBAPDE(platform::PDEPlugInCallback* hostInfo, std::shared_ptr<const platform::Bundle> bundle, ProductAndHelp names,
           bool quorvel);

    std::string panelKind() override { return kJBAPanelKind; }
    bool shouldPrint() override;
    bool saveValuesAndReturnError(platform::PDEError* error) override;

    void CreatePanel(widgets::View* view) override;
    int InitializeUserPane(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    bool OnClickPrintCommand();
    // Writes the computer's names and address.
    bool SetInformationToTicket(platform::PMPrintSettings* settings, bool lock);

    int getAccountMode() const;
    int getInfoSetMode() const;
    bool checkIsCostomizeUserPromptExist() const { return bIsCostomizeUserPromptExist; }
    int getCostomizeUserPromptValue() const { return iCostomizeUserPromptValue; }
    bool getbInputWndVisible() const;
    JBAInfoSettingsWnd* getjbaInfoAdminWnd() const { return adminWnd_; }
    JBAInfoSettingsWnd* getjbaInfoWnd() const { return userWnd_; }
    JBAInputWindow* getjbaInputWnd() const { return inputWnd_; }
    // The settings window of the current account mode; null otherwise.
    JBAInfoSettingsWnd* CurrentSettingsWindow() const;
    JBAListCtrl* getjobAcctTypeListCtrlPtr() const { return manageList_; }
    JBAInfoListCtrl* getjbaInfoListCtrlPtr() const { return infoList_; }
    JBAInfoSetListCtrl* getjbaInfoSetListCtrlPtr() const { return infoSetList_; }
    BaseControl* getjbaInfoWndPushCtrlPtr() const { return detailButton_; }
    // Applies the case: the management list and the details button.
    void ApplyCase();
    // Where the computer's identity comes from (a seam for tests).
    void SetClientIdentitySources(ClientIdentitySources sources) { identity_ = std::move(sources); }

private:
    void BeforeBuild(ppd_file_t* ppd) override;
    void ReadLastInput() override { GetValueFromPreferenceWithPrinterSettings(); }
    void AfterShow() override { ApplyCase(); }
    int StoreLastInput() override { return SetValueToPreferenceWithPrinterSettings(); }
    void WriteTicket(platform::PMPrintSettings* settings) override;

    bool bIsCostomizeUserPromptExist = false;
    int iCostomizeUserPromptValue = -1;
    std::optional<ClientIdentitySources> identity_;

    JBAListCtrl* manageList_ = nullptr;
    JBAInfoListCtrl* infoList_ = nullptr;
    JBAInfoSetListCtrl* infoSetList_ = nullptr;
    BaseControl* detailButton_ = nullptr;
    JBAInfoSettingsWnd* adminWnd_ = nullptr;
    JBAInfoSettingsWnd* userWnd_ = nullptr;
    JBAInputWindow* inputWnd_ = nullptr;
};

}  // namespace zlk::account
