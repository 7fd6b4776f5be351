// The job accounting windows: the administrator and user settings windows
// (who prints and which account pays, and whether those details are typed
// at print time) and the input window shown when printing.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "dialog/account/jbatables.h"
#include "dialog/account/ptcontrols.h"

namespace zlk::account {

class JBAPDE;

// What the windows need from the panel when they are built.
struct JBAWindowContext {
    const platform::Bundle* bundle = nullptr;
    std::string table;
    std::string helpName;
    int pdeType = 0;
    bool quorvel = false;
    bool hasSelectID = false;
    int storagePasswordMinimum = 0;
    std::string loginName;
};

// The panel that owns a window or control; null elsewhere.
JBAPDE* JBAPanelOf(const framework::BasePrintPanel* panelOrWindow);

// An identification field of the settings or input windows. Its checks
// follow its kind; where the identification rules fix a value (a billing
// ID printer has no user), that value is written instead of the one typed.
class JBAWndTextEditCtrl : public framework::TextEditCtrl {
public:
    JBAWndTextEditCtrl(widgets::Widget* widget, JBAField field, JBAPart part, const JBAWindowContext& context);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    // Only a field a person can see and change is checked.
    bool ToValidate() const;
    bool InvalidateData() override;
    bool InvalidateDataAndReturnError() override;
    bool ConvertToTickectData(std::string& out, bool lock) override;
    bool GetValueFromPreferenceWithPrinterSettings() override;
    bool SetValueToPreferenceWithPrinterSettings() override;
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    JBAField Field() const { return field_; }
    JBAPart Part() const { return part_; }
    void SetSummaryKey(const char* key) { summaryKey_ = key; }
    std::string Text() const;
    void SetText(const std::string& text);
    // The text a person could not have typed otherwise is the value of the
    // login name: the user's login name, or "UnknownUser".
    static std::string LoginDefault(const std::string& loginName);

private:
    bool Check(bool alert);
    const PTFieldRecord& record_;
    JBAField field_;
    JBAPart part_;
    int storagePasswordMinimum_;
    const char* summaryKey_ = nullptr;
};

// A list, radio or check box of the windows: its value is its widget's.
class JBAWndListCtrl : public framework::PopupControl {
public:
    JBAWndListCtrl(widgets::Widget* widget, JBAPart part);
    bool UIEventHandler() override;
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
};
class JBAWndRadioButton : public framework::RadioButton {
public:
    JBAWndRadioButton(widgets::Widget* widget, const framework::RadioButtonIniData* IniData, const AccessInfo* access,
                      const char* user, std::vector<ControlID> validateList);
    bool UIEventHandler() override;

private:
    std::vector<ControlID> validateList_;
};
class JBAWndCheckBox : public framework::CheckBox {
public:
    JBAWndCheckBox(widgets::Widget* widget, const CheckBoxIniData* IniData, const AccessInfo* access, const char* user);
    bool UIEventHandler() override;
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
};
using JBAWndLastInputCheckBox = JBAWndCheckBox;

// The administrator (account mode 0) and user (account mode 1) settings windows.
class JBAInfoSettingsWnd : public framework::PopupWinInPanel {
public:
    JBAInfoSettingsWnd(widgets::Toolkit& toolkit, const JBAWindowContext& context, JBAPart part,
                       std::vector<widgets::Widget*>& encryptArray);
    void ActivateWindow() override;
    void InitializePaneConstrains();
    bool OKWindow() override;
    void CancelWindow(framework::IdentifierList) override { DeactivateWindow(); }
    void RestoreDefaultWindow() override;
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    // Shows, hides, enables and disables every control as the values say.
    void ApplyState();
    int AccountMode() const { return part_ == JBAPart::Admin ? 0 : 1; }
    bool getbEnterUserDetails() const;
    bool getbDisplayPrevious() const;
    bool getbHideUserID() const;
    bool getbHideAccountID() const;
    bool getbUseLoginNameSelect() const;
    bool Built() const { return built_; }
    ControlID Tag(SettingsTag offset) const { return base_ + offset; }

private:
    widgets::Widget* Widget(SettingsTag offset) const;
    int Committed(SettingsTag offset, int fallback) const;
    void AddCaption(SettingsTag offset, const char* key);
    // The layout's places of the fields this model has no controls for.
    void HideFieldsNotCreated();
    JBAPart part_;
    ControlID base_;
    bool quorvel_;
    bool hasSelectID_;
    bool built_ = false;
};
using JBAInfoAdminWnd = JBAInfoSettingsWnd;
using JBAInfoWnd = JBAInfoSettingsWnd;

// The window shown when printing, when the details are typed then.
class JBAInputWindow : public framework::PopupWinInPanel {
public:
    JBAInputWindow(widgets::Toolkit& toolkit, const JBAWindowContext& context,
                   std::vector<widgets::Widget*>& encryptArray);
    void ActivateWindow() override { Present(); }
    void Present();
    // Fills the window's values without showing it (case 8).
    void SimulateWindow();
    void InitializePaneCtrlData();
    void SetControlDataToDefault();
    bool OKWindow() override;
    void CancelWindow(framework::IdentifierList) override;
    int GetSummaryText(SummaryDictionary&, OrderArray&) override { return 0; }
    void ApplyState();
    // Copies the shown field of each plain and masked pair into the hidden one.
    void SycnContents();
    bool Built() const { return built_; }
    // Whether the last input is kept: the settings window says so, or the
    // printer's prompt option asks for it.
    bool KeepsLastInput() const;

private:
    widgets::Widget* Widget(ControlID tag) const;
    void AddCaption(ControlID tag, const char* key);
    // Closes up the rows of the layout that show nothing, so that the frame
    // fits the controls the printer asks for.
    void FitToShownRows();
    bool quorvel_;
    bool hasSelectID_;
    int pdeType_;
    bool built_ = false;
    widgets::Rect layoutFrame_;
    std::vector<std::pair<widgets::Widget*, widgets::Rect>> layoutFrames_;  // each control where the layout put it
};

}  // namespace zlk::account
