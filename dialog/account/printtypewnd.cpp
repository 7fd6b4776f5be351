#include "dialog/account/printtypewnd.h"

#include <algorithm>

#include "dialog/account/printtypepanel.h"
#include "platform/widgets/toolkit.h"

namespace zlk::account {

namespace {

constexpr char kWindowTitleKey[] = "Job Type Setup Window Title";
constexpr ControlID kMinuteStepperTag = 1032;

bool LoadLayout(framework::PopupWinInPanel& window, const PTWindowContext& context, const char* name)
{
    return framework::LoadWindowLayout(window, context.bundle, context.table, name);
}

}  // namespace

// --- the setup windows -------------------------------------------------------

PTSetupWnd::PTSetupWnd(widgets::Toolkit& toolkit, const PTWindowContext& context, const char* layout, int printType,
                       WindowTags)
    : PopupWinInPanel(toolkit.CreateWindow(kWindowTitleKey, {0, 0, 440, 260}), kWindowTitleKey),
      printType_(printType)
{
    built_ = LoadLayout(*this, context, layout);
}

widgets::Widget* PTSetupWnd::Widget(ControlID tag) const
{
    return GetWindow() ? GetWindow()->Content().FindWidget(tag) : nullptr;
}

void PTSetupWnd::AddCaption(ControlID fieldTag, const char* key)
{
    RunTimeAddNewControl(std::make_unique<PTStaticTextEditControl>(Widget(fieldTag + kCaptionOffset), nullptr, nullptr,
                                                                   nullptr, nullptr, nullptr, key));
}

void PTSetupWnd::AddDocumentName(const PTWindowContext& context, ControlID typeTag, ControlID nameTag, bool mailbox)
{
    const bool latin1 = context.quorvel;
    AddCaption(typeTag, mailbox ? "MailBox Document Name List" : "Retrieve Document Name List");
    auto type =
        std::make_unique<PTListCtrlExt>(Widget(typeTag), mailbox, nameTag, nameTag + kCaptionOffset, context.pdeType);
    type->SetSummaryKey(mailbox ? "MailBox Retrieve Document Name" : "Retrieve Document Name");
    RunTimeAddNewControl(std::move(type));
    AddCaption(nameTag, mailbox ? "MailBox Document Name Text" : "Document Name Text");
    auto name = std::make_unique<PTDUTextEditCtrl>(
        Widget(nameTag), DocumentNameRecord(context.pdeType, context.quorvel, mailbox), latin1);
    name->SetSummaryKey(mailbox ? "MailBox Document Name" : "Document Name");
    RunTimeAddNewControl(std::move(name));
}

void PTSetupWnd::AddButtons(const PTWindowContext& context, WindowTags buttons)
{
    RunTimeAddNewControl(std::make_unique<PrintTypeHelpBtn>(Widget(buttons.help), context.helpPage, false));
    RunTimeAddNewControl(std::make_unique<framework::WindowDefaultButton>(Widget(buttons.restore),
                                                                          "PT Setup Window Rstr Buttons", this));
    RunTimeAddNewControl(
        std::make_unique<framework::WindowOKButton>(Widget(buttons.ok), "PT Setup Window OK Buttons", this));
    RunTimeAddNewControl(std::make_unique<framework::WindowCancelButton>(Widget(buttons.cancel),
                                                                         "PT Setup Window Cancel Buttons", this));
}

void PTSetupWnd::InitializePaneConstrains()
{
    ForEachControl([](BaseControl& control) {
        if (dynamic_cast<PTListCtrlExt*>(&control)) {
            control.DoControlConstrain();
        }
    });
}

void PTSetupWnd::ActivateWindow()
{
    if (!GetWindow()) {
        return;
    }
    ReInitializeUserPaneTitle();
    SetCurrentValueToUI();
    if (!IsActived()) {
        InitializePaneConstrains();
        ChangeActivedStatus();
    }
    GetWindow()->GetToolkit().RunModal(*GetWindow());
    if (GetWindow()->IsOpen()) {
        GetWindow()->Close();
    }
}

bool PTSetupWnd::OKWindow()
{
    SycValueFromUI();
    for (auto& control : fCtrlGroupArray) {
        if (!control->PreInvalidateData() || !control->InvalidateData()) {
            return false;
        }
    }
    SetValueFromUIToControl();
    PrintTypePDE* panel = PanelOf(this);
    if (panel && panel->getPrintTypeListCtrlPtr() &&
        panel->getPrintTypeListCtrlPtr()->SelectedValue() == kPrintDelayed) {
        if (PTDelayedPrintWnd* delayed = panel->getDelayedPrintWndPtr()) {
            delayed->setOKButtonStatus(true);
        }
    }
    DeactivateWindow();
    return true;
}

void PTSetupWnd::CancelWindow(framework::IdentifierList)
{
    // The stored values, not the edited ones, decide.
    bool valid = true;
    for (auto& control : fCtrlGroupArray) {
        const bool pre = control->PreInvalidateDataOnCancel();
        const bool stored = control->InvalidateDataOnCancel();
        valid = valid && pre && stored;
    }
    PrintTypePDE* panel = PanelOf(this);
    PTListCtrl* list = panel ? panel->getPrintTypeListCtrlPtr() : nullptr;
    if (list && list->SelectedValue() == kPrintDelayed && panel->getDelayedPrintWndPtr()) {
        // A start time never confirmed is no start time.
        valid = valid && panel->getDelayedPrintWndPtr()->getOKButtonStatus();
    }
    if (!valid && list) {
        list->SetDefaultValueToUI();
        list->SimulationUIEventHandler();
    }
    DeactivateWindow();
}

void PTSetupWnd::RestoreDefaultWindow()
{
    ForEachControl([](BaseControl& control) {
        control.SetDefaultValueToUI();
        control.SimulationUIEventHandler();
    });
}

int PTSetupWnd::GetSummaryText(SummaryDictionary& dictionary, OrderArray& orderArray)
{
    PrintTypePDE* panel = PanelOf(this);
    PTListCtrl* list = panel ? panel->getPrintTypeListCtrlPtr() : nullptr;
    if (!list || list->CommittedInt() != printType_) {
        return 0;
    }
    return PopupWinInPanel::GetSummaryText(dictionary, orderArray);
}

PTSecurePrintWnd::PTSecurePrintWnd(widgets::Toolkit& toolkit, const PTWindowContext& context,
                                   std::vector<widgets::Widget*>& encryptArray)
    : PTSetupWnd(toolkit, context, "SecurePrintWindow", kPrintSecure, kSecureButtons)
{
    if (!built_) {
        return;
    }
    const char* minimumKey = context.quorvel ? "ZLKPTPasswdLimit" : "ZLKMinDigitPasscode";
    AddCaption(kSecureUserTag, "Print Type User Name Text");
    std::unique_ptr<PTUITextEditCtrl> user;
    if (context.keywordSupported && !context.quorvel) {
        user = std::make_unique<KPTWNDLOGINTECTRL>(Widget(kSecureUserTag), context.loginName);
    } else {
        user =
            std::make_unique<PTUITextEditCtrl>(Widget(kSecureUserTag), UserNameRecord(context.pdeType, context.quorvel),
                                               context.quorvel, context.keywordSupported);
    }
    user->SetSummaryKey("User ID");
    RunTimeAddNewControl(std::move(user));
    RunTimeAddNewControl(std::make_unique<PTPWStaticTextEditControl>(Widget(kSecurePasscodeTag + kCaptionOffset),
                                                                     minimumKey, context.quorvel));
    auto passcode = std::make_unique<PTPWTextEditCtrl>(Widget(kSecurePasscodeTag), minimumKey, context.quorvel);
    passcode_ = passcode.get();
    // Written as a storage blob for every printer: a passcode never travels
    // or rests in the print settings in plain text.
    encryptArray.push_back(passcode->GetControlPtr());
    RunTimeAddNewControl(std::move(passcode));
    AddDocumentName(context, kSecureDocTypeTag, kSecureDocNameTag, false);
    AddButtons(context, kSecureButtons);
}

PTSamplePrintWnd::PTSamplePrintWnd(widgets::Toolkit& toolkit, const PTWindowContext& context)
    : PTSetupWnd(toolkit, context, "SamplePrintWindow", kPrintSample, kSampleButtons)
{
    if (!built_) {
        return;
    }
    AddCaption(kSampleUserTag, "Print Type User Name Text");
    // A login-name product takes spaces alone as a user name here too.
    auto user =
        std::make_unique<PTUITextEditCtrl>(Widget(kSampleUserTag), UserNameRecord(context.pdeType, context.quorvel),
                                           context.quorvel, context.keywordSupported);
    user->SetSummaryKey("User ID");
    RunTimeAddNewControl(std::move(user));
    AddDocumentName(context, kSampleDocTypeTag, kSampleDocNameTag, false);
    AddButtons(context, kSampleButtons);
}

PTDelayedPrintWnd::PTDelayedPrintWnd(widgets::Toolkit& toolkit, const PTWindowContext& context)
    : PTSetupWnd(toolkit, context, "DelayedPrintWindow", kPrintDelayed, kDelayedButtons)
{
    if (!built_) {
        return;
    }
    AddCaption(kDelayedTimeTag, "Start Print Time Text");
    RunTimeAddNewControl(std::make_unique<ClockControl>(Widget(kDelayedTimeTag), Widget(kMinuteStepperTag)));
    AddDocumentName(context, kDelayedDocTypeTag, kDelayedDocNameTag, false);
    AddButtons(context, kDelayedButtons);
}

PTMailBoxPrintWnd::PTMailBoxPrintWnd(widgets::Toolkit& toolkit, const PTWindowContext& context,
                                     std::vector<widgets::Widget*>& encryptArray)
    : PTSetupWnd(toolkit, context, "MailBoxWindow", kPrintMailbox, kMailboxButtons)
{
    if (!built_) {
        return;
    }
    AddCaption(kMailboxNumberTag, "MailBox Number Text");
    RunTimeAddNewControl(std::make_unique<PTMBNTextEditCtrl>(Widget(kMailboxNumberTag), "ZLKXMailBoxSettings"));
    AddCaption(kMailboxPasswordTag, "MBN Password Text");
    auto password = std::make_unique<PTMBNTextEditCtrlExt>(Widget(kMailboxPasswordTag));
    encryptArray.push_back(password->GetControlPtr());
    RunTimeAddNewControl(std::move(password));
    AddDocumentName(context, kMailboxDocTypeTag, kMailboxDocNameTag, true);
    AddButtons(context, kMailboxButtons);
}

// --- the short passcode notice -------------------------------------------------

namespace {
// Its two buttons answer the notice.
class NoticeButton : public framework::BaseButton {
public:
    NoticeButton(widgets::Widget* widget, std::string title, PTAboutWnd* window, bool printNormally)
        : BaseButton(widget, std::move(title)),
          window_(window),
          printNormally_(printNormally)
    {}
    void RequestControlAction(widgets::Widget*) override { window_->Answer(printNormally_); }

private:
    PTAboutWnd* window_;
    bool printNormally_;
};
}  // namespace

PTAboutWnd::PTAboutWnd(widgets::Toolkit& toolkit, const PTWindowContext& context)
    : PopupWinInPanel(toolkit.CreateWindow(kWindowTitleKey, {0, 0, 420, 160}), kWindowTitleKey)
{
    if (!LoadLayout(*this, context, "PassCodeNoticeWindow")) {
        return;
    }
    widgets::View& content = GetWindow()->Content();
    RunTimeAddNewControl(std::make_unique<PTStaticTextEditControl>(content.FindWidget(kNoticeTextTag), nullptr, nullptr,
                                                                   nullptr, nullptr, nullptr, "Message61"));
    RunTimeAddNewControl(
        std::make_unique<NoticeButton>(content.FindWidget(kNoticeOKTag), "PT Message OK Btn", this, true));
    RunTimeAddNewControl(
        std::make_unique<NoticeButton>(content.FindWidget(kNoticeCancelTag), "PT Message CANCEL Btn", this, false));
}

void PTAboutWnd::ActivateWindow()
{
    if (!GetWindow()) {
        return;
    }
    ReInitializeUserPaneTitle();
    GetWindow()->GetToolkit().RunModal(*GetWindow());
    if (GetWindow()->IsOpen()) {
        GetWindow()->Close();
    }
}

void PTAboutWnd::Answer(bool printNormally)
{
    PrintTypePDE* panel = PanelOf(this);
    if (panel && printNormally) {
        if (PTListCtrl* list = panel->getPrintTypeListCtrlPtr()) {
            list->SetDefaultValueToUI();
            list->SimulationUIEventHandler();
        }
    } else if (panel && panel->GetPanelView()) {
        if (widgets::Widget* setup = panel->GetPanelView()->FindWidget(kSetupButtonTag)) {
            setup->GetToolkit().SetFocus(setup);
        }
    }
    DeactivateWindow();
    if (panel) {
        panel->setJobStatus(printNormally ? kJobGoesOn : kJobStopped);
    }
}

}  // namespace zlk::account
