// The print type windows: secure, sample, delayed and mailbox printing,
// each with its fields, and the notice shown when a passcode is shorter
// than the printer asks for at print time.
#pragma once

#include <string>
#include <vector>

#include "dialog/account/ptcontrols.h"

namespace zlk::account {

// What a window needs from the panel when it is built.
struct PTWindowContext {
    const platform::Bundle* bundle = nullptr;
    std::string table;
    std::string helpPage;
    int pdeType = 0;
    bool quorvel = false;
    bool keywordSupported = false;
    std::string loginName;
};

// A print type's setup window. OK stores the fields only when every one
// accepts its text; Cancel drops the edits and, when the stored values
// would not do for the print type, sets the print type back to normal.
class PTSetupWnd : public framework::PopupWinInPanel {
public:
    PTSetupWnd(widgets::Toolkit& toolkit, const PTWindowContext& context, const char* layout, int printType,
               WindowTags buttons);
    // Shows the stored values (constraints applied on the first opening)
    // and runs the window.
    void ActivateWindow() override;
    void InitializePaneConstrains();
    bool OKWindow() override;
    void CancelWindow(framework::IdentifierList resetOnRefusal) override;
    void RestoreDefaultWindow() override;
    // The window's fields, only while its print type is chosen.
    int GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray) override;
    int PrintType() const { return printType_; }
    bool Built() const { return built_; }

protected:
    widgets::Widget* Widget(ControlID tag) const;
    void AddCaption(ControlID fieldTag, const char* key);
    // The document-name type list and the name field with their captions.
    void AddDocumentName(const PTWindowContext& context, ControlID typeTag, ControlID nameTag, bool mailbox);
    void AddButtons(const PTWindowContext& context, WindowTags buttons);

    int printType_;
    bool built_ = false;
};

class PTSecurePrintWnd : public PTSetupWnd {
public:
    // The passcode is written encrypted: its widget joins encryptArray.
    PTSecurePrintWnd(widgets::Toolkit& toolkit, const PTWindowContext& context,
                     std::vector<widgets::Widget*>& encryptArray);
    PTPWTextEditCtrl* getSecurePasscodePtr() const { return passcode_; }

private:
    PTPWTextEditCtrl* passcode_ = nullptr;
};

class PTSamplePrintWnd : public PTSetupWnd {
public:
    PTSamplePrintWnd(widgets::Toolkit& toolkit, const PTWindowContext& context);
};

class PTDelayedPrintWnd : public PTSetupWnd {
public:
    PTDelayedPrintWnd(widgets::Toolkit& toolkit, const PTWindowContext& context);
    void setOKButtonStatus(bool clicked) { bOKButtonIsClicked = clicked; }
    bool getOKButtonStatus() const { return bOKButtonIsClicked; }

private:
    bool bOKButtonIsClicked = false;
};

class PTMailBoxPrintWnd : public PTSetupWnd {
public:
    PTMailBoxPrintWnd(widgets::Toolkit& toolkit, const PTWindowContext& context,
                      std::vector<widgets::Widget*>& encryptArray);
};

// The notice of a short passcode: OK prints the job as a normal one,
// Cancel stops printing.
class PTAboutWnd : public framework::PopupWinInPanel {
public:
    PTAboutWnd(widgets::Toolkit& toolkit, const PTWindowContext& context);
    void ActivateWindow() override;
    void Answer(bool printNormally);
};

}  // namespace zlk::account
