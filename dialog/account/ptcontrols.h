// The controls of the print type panel and its windows: the print type
// list, its buttons and captions, the text fields bound to the panel's
// shared user name and document name, the passcode, mailbox number and
// mailbox password fields, the document-name type lists and the start time.
#pragma once

#include <array>
#include <chrono>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "dialog/account/accounttables.h"
#include "dialog/framework/controls.h"
#include "dialog/framework/printpanel.h"
#include "dialog/framework/textedit.h"

namespace zlk::account {

using framework::AccessInfo;
using framework::BaseControl;
using framework::CheckBoxIniData;
using framework::ConstraintInfo;
using framework::OrderArray;
using framework::SummaryDictionary;

class PrintTypePDE;

// The panel that owns a control, whether the control sits on the panel or
// in one of its windows; null elsewhere.
PrintTypePDE* PanelOf(const framework::BasePrintPanel* panelOrWindow);

// Shows an alert with the localized message (after replacing "[n]" by
// fill when given) and one OK button, then gives the widget the focus.
void ShowFieldAlert(widgets::Widget* widget, const platform::Bundle* bundle, const std::string& table,
                    const char* messageKey, const std::string& fill = {});

// --- the print type list and the panel's buttons ---------------------------

// The print type list. Its items depend on the mailbox attribute, on the
// printer's storage and on the product; choosing a held print type opens
// that type's window, and the choice stands once the window closes.
class PTListCtrl : public framework::PopupControl {
public:
    PTListCtrl(widgets::Widget* widget, std::string mailboxKey, bool threeItems);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    bool InitializeMenu(const platform::Bundle* bundle, ppd_file_t* withPPD);
    // The value falls back to normal where its item cannot be chosen.
    bool SetControlValueToUI() override;
    bool UIEventHandler() override;
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    // The position the list shows, 1-based; 0 without a widget.
    int SelectedValue() const;

private:
    bool Selectable(int value) const;
    std::string mailboxKey_;
    bool threeItems_;
    bool hasMailbox_ = false;
};

// Reopens the window of the print type chosen.
class PTSetupButton : public framework::BaseButton {
public:
    using BaseButton::BaseButton;
    void RequestControlAction(widgets::Widget* sender) override;
};

// Every control of the panel back at its default, taken as its value.
class PTDefaultButton : public framework::BaseButton {
public:
    using BaseButton::BaseButton;
    void RequestControlAction(widgets::Widget* sender) override;
};

// Opens "SelectJobType_<help name>.htm". The panel's own help button hides
// itself on every reset: the host's help button serves the panel.
class PrintTypeHelpBtn : public framework::BaseButton {
public:
    PrintTypeHelpBtn(widgets::Widget* widget, std::string helpPage, bool hideOnReset);
    void RequestControlAction(widgets::Widget* sender) override;
    void ResetStatus() override;
    // False when there is no help page to open.
    bool OpenHelp() const;

private:
    std::string helpPage_;
    bool hideOnReset_;
};

// "Ver." and the bundle's version, with a further "." when the companion
// settings file named by the PPD cannot be read.
class VersionStringSText : public BaseControl {
public:
    VersionStringSText(widgets::Widget* widget, bool settingsFileUsable);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    static std::string VersionText(const std::string& bundleVersion, bool settingsFileUsable);

private:
    bool settingsFileUsable_;
};

// A caption: the localized text of its key.
using PTStaticTextEditControl = framework::StaticTextEditControl;

// The passcode caption: "[n]" in its text becomes the passcode minimum.
class PTPWStaticTextEditControl : public BaseControl {
public:
    PTPWStaticTextEditControl(widgets::Widget* widget, std::string minimumKey, bool quorvel);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;

private:
    std::string minimumKey_;
    bool quorvel_;
};

// --- text fields -------------------------------------------------------------

// A print type text field: counted in its own way, checked only while no
// constraint holds it, and refusing with its message.
class PTTextEditCtrl : public framework::TextEditCtrl {
public:
    PTTextEditCtrl(widgets::Widget* widget, const PTFieldRecord& record, const AccessInfo* access);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    bool ToValidate() const;
    bool InvalidateData() override;
    bool InvalidateDataAndReturnError() override;
    // The field's length count of a text; -1 for text that is not UTF-8.
    virtual int LengthOf(const std::string& text) const;
    // The limits and characters of the field's record.
    bool PassesFrameworkCheck(const std::string& text) const;
    void ShowMessage(const char* key, const std::string& fill = {});
    const PTFieldRecord& Record() const { return record_; }

protected:
    virtual bool Check(bool alert);
    // The field's formatter; the framework's unless the product counts in Latin 1.
    virtual void InstallFormatter();
    const PTFieldRecord& record_;
};

// Judges each edit of a user or document name: every character allowed
// and at most the maximum in the field's own count (Shift-JIS, or Latin 1),
// so that what can be typed is what the field accepts.
class PTTextEditFormatter : public widgets::EditFormatter {
public:
    PTTextEditFormatter(const ppd::TextEditFilterData* filter, int maxLength, bool latin1);
    bool IsPartialStringValid(const std::string& proposed, std::string& error) override;

private:
    const ppd::TextEditFilterData* filter_;
    int maxLength_;
    bool latin1_;
};

// A field bound to one of the panel's shared blocks: every window shows
// the same user name or document name, and the panel stores and writes it.
class PTSharedTextEditCtrl : public PTTextEditCtrl {
public:
    PTSharedTextEditCtrl(widgets::Widget* widget, const PTFieldRecord& record, bool userName, bool latin1);
    bool SetControlValueToUI() override;
    void SetValueFromUIToControl() override;
    int LengthOf(const std::string& text) const override;
    bool GetValueFromPreferenceWithPrinterSettings() override { return true; }
    bool SetValueToPreferenceWithPrinterSettings() override { return true; }
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    void SetSummaryKey(const char* key) { summaryKey_ = key; }

protected:
    void InstallFormatter() override;
    framework::ValueBlock* Block() const;
    bool userName_;
    bool latin1_;
    const char* summaryKey_ = nullptr;
};

// The user name: empty or only spaces is refused.
class PTUITextEditCtrl : public PTSharedTextEditCtrl {
public:
    PTUITextEditCtrl(widgets::Widget* widget, const PTFieldRecord& record, bool latin1, bool keywordSupported);

protected:
    bool Check(bool alert) override;
    bool keywordSupported_;
};

// The user name filled with the login name (cut to 32 bytes; "UnknownUser"
// when the name has characters the field refuses).
class KPTWNDLOGINTECTRL : public PTUITextEditCtrl {
public:
    KPTWNDLOGINTECTRL(widgets::Widget* widget, const std::string& loginName);
    // What the field starts from and restores to.
    static std::string DefaultUserName(const std::string& loginName);
    const void* GetDefaultDataBlk() const override { return defaultText_.c_str(); }
    std::uint32_t GetDefaultDataSize() const override { return static_cast<std::uint32_t>(defaultText_.size() + 1); }

private:
    std::string defaultText_;
};

// The document name: spaces alone are a name.
class PTDUTextEditCtrl : public PTSharedTextEditCtrl {
public:
    PTDUTextEditCtrl(widgets::Widget* widget, const PTFieldRecord& record, bool latin1);

protected:
    bool Check(bool alert) override;
};

// The secure print passcode: digits, between the printer's minimum and 12.
class PTPWTextEditCtrl : public PTTextEditCtrl {
public:
    PTPWTextEditCtrl(widgets::Widget* widget, std::string minimumKey, bool quorvel);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    bool InvalidateDataOnCancel() override;
    // At print time: a refused passcode shows its message; a short one the
    // notice (print normally or stop) when the printer names a minimum.
    bool InvalidateDataOnPrintCommand() override;
    int LengthOf(const std::string& text) const override { return static_cast<int>(text.size()); }
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    int Minimum() const { return iMinPasscode; }
    // The passcode minimum of a PPD: the option's default choice digits; on
    // the encrypting model a number in the attribute of that name first.
    static int MinimumFromPPD(ppd_file_t* ppd, const char* key, bool quorvel);
    static bool CheckDeviceModelFromPPD(ppd_file_t* ppd, const char* key);

protected:
    bool Check(bool alert) override;

private:
    std::string minimumKey_;
    bool quorvel_;
    int iMinPasscode = 0;
};

// The mailbox number: 1 to the printer's highest, stored without leading zeros.
class PTMBNTextEditCtrl : public PTTextEditCtrl {
public:
    PTMBNTextEditCtrl(widgets::Widget* widget, std::string maximumKey);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    bool InvalidateDataOnCancel() override;
    void SetValueFromUIToControl() override;
    int LengthOf(const std::string& text) const override { return static_cast<int>(text.size()); }
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    bool IsNumberInRange(const std::string& text) const;
    static std::string WithoutLeadingZeros(const std::string& text);

protected:
    bool Check(bool alert) override;

private:
    std::string maximumKey_;
    int iMaxMailBoxNumber = 0;
};

// The mailbox password: up to 20 digits; always written encrypted.
class PTMBNTextEditCtrlExt : public PTTextEditCtrl {
public:
    explicit PTMBNTextEditCtrlExt(widgets::Widget* widget);
    bool InvalidateDataOnCancel() override;
    int LengthOf(const std::string& text) const override { return static_cast<int>(text.size()); }
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;

protected:
    bool Check(bool alert) override;
};

// --- document-name type ------------------------------------------------------

// The document-name type list of a window, bound to the panel's shared
// type block. The name field and its caption are enabled only for an
// entered name, and a change is taken only when the name field accepts
// its text.
class PTListCtrlExt : public framework::PopupControl {
public:
    PTListCtrlExt(widgets::Widget* widget, bool mailboxTitles, ControlID nameField, ControlID nameCaption, int pdeType);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    bool SetControlValueToUI() override;
    void SetValueFromUIToControl() override;
    bool UIEventHandler() override;
    bool GetValueFromPreferenceWithPrinterSettings() override { return true; }
    bool SetValueToPreferenceWithPrinterSettings() override { return true; }
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    void SetSummaryKey(const char* key) { summaryKey_ = key; }
    int DefaultValue() const { return listctrlIniDataPtr ? listctrlIniDataPtr->defaultValue : kDocumentNameAuto; }

private:
    std::array<const ControlID*, 3> disabledByAuto_;
    std::array<framework::IdentifierList, 2> disableLists_;
    ConstraintInfo constraint_;
    ControlID nameField_;
    ControlID nameCaption_;
    int pdeType_;
    const char* summaryKey_ = nullptr;
};

// --- start time --------------------------------------------------------------

// The delayed print start time: an hour and a minute (two steppers), and
// the date and time at which it was last read, to date the start.
class ClockControl : public BaseControl {
public:
    ClockControl(widgets::Widget* hourStepper, widgets::Widget* minuteStepper);
    bool InitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD) override;
    int GetValueFromUI() override;
    bool SetControlValueToUI() override;
    bool SetExternalValueToUI(const void* value, std::uint32_t size) override;
    bool ConvertToPreferenceString(std::string& out) override;
    bool ConvertFromPreferenceString(const std::string& text) override;
    bool ConvertToTickectData(std::string& out, bool lock) override;
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    const void* GetDefaultDataBlk() const override { return kMidnight.data(); }
    std::uint32_t GetDefaultDataSize() const override { return kMidnight.size(); }
    const void* GetIniDataBlk() const override { return kMidnight.data(); }
    std::uint32_t GetIniDataSize() const override { return kMidnight.size(); }

    // The next start: today at hour:minute, or tomorrow when that time of
    // day has passed at now (local time), as "YYYY-MM-DDTHH:MM:00".
    static std::string StartText(int hour, int minute, std::time_t now);

private:
    static constexpr std::array<std::uint8_t, 2> kMidnight{0, 0};
    std::chrono::system_clock::time_point Now() const;
    widgets::Stepper* Hour() const;
    widgets::Stepper* Minute() const;
    widgets::Widget* minuteStepper_;
    std::optional<std::time_t> readAt_;
};

}  // namespace zlk::account
