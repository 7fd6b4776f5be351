#include "dialog/account/printtypepanel.h"

#include <syslog.h>

#include <cstdlib>
#include <cstring>

#include "common/utf8.h"
#include "dialog/account/jbapanel.h"
#include "platform/printing/printsettings.h"
#include "platform/system/identity.h"
#include "platform/widgets/toolkit.h"
#include "ppd/ppdquery.h"
#include "ppd/textcodec.h"
#include "ppd/ticket.h"

namespace zlk::account {

namespace {

constexpr char kPrintTypeSettingsAttr[] = "ZLKXPrintTypeSettings";
constexpr char kAccountingSettingsAttr[] = "ZLKXAccountingSettings";
constexpr char kMailboxAttr[] = "ZLKXMailBoxSettings";
constexpr char kDeviceModelAttr[] = "ZLKDeviceModel";
constexpr char kKeywordProduct[] = "Default04";
constexpr std::size_t kMaxTextBytes = 255;

bool HasAttribute(ppd_file_t* ppd, const char* name) { return ppd && ppd::ppdFindAttr_ALT(ppd, name); }

}  // namespace

// --- the plug-in -------------------------------------------------------------

bool PrintAccountPDEPlugIn::initWithBundle(std::shared_ptr<const platform::Bundle> bundle)
{
    if (!bundle_) {
        bundle_ = std::move(bundle);
    }
    return true;
}

bool PrintAccountPDEPlugIn::CheckLoadCondition(ppd_file_t* ppd, const char* ppdkey)
{
    ppd_attr_t* attr = ppd ? ppd::ppdFindAttr_ALT(ppd, ppdkey) : nullptr;
    return !(attr && attr->value && std::strcmp(attr->value, "False") == 0);
}

bool PrintAccountPDEPlugIn::CheckDeviceModelFromPPD(ppd_file_t* ppd, const char* ppdkey)
{
    return PTPWTextEditCtrl::CheckDeviceModelFromPPD(ppd, ppdkey);
}

std::vector<std::unique_ptr<platform::PDEPanel>>
PrintAccountPDEPlugIn::PDEPanelsForType(const std::string& type, platform::PDEPlugInCallback* hostInfo)
{
    std::vector<std::unique_ptr<platform::PDEPanel>> panels;
    problems_.clear();
    ppd_file_t* ppd = hostInfo ? hostInfo->ppdFile() : nullptr;
    if (type != platform::kPrintDialogPDEType || !ppd || !bundle_) {
        return panels;
    }
    const bool quorvel = CheckDeviceModelFromPPD(ppd, kDeviceModelAttr);
    if (quorvel &&
        (!CheckLoadCondition(ppd, "ZLKXEnableAccounting") || !CheckLoadCondition(ppd, "ZLKXEnablePrintType"))) {
        return panels;
    }
    // One panel of the PPD's settings attribute, when the bundle has its
    // help page and layout; a missing one is a damaged bundle, said so.
    auto offer = [&](const char* attribute, const std::string& helpStem, const std::string& layoutStem,
                     const std::string& what, auto make) {
        if (!HasAttribute(ppd, attribute)) {
            return;
        }
        ProductAndHelp names = SplitSettingsValue(AttributeOf(ppd, attribute));
        const std::string help = helpStem + names.help + ".htm";
        const std::string layout = "Layouts/" + layoutStem + names.product + ".json";
        if (names.help.empty()) {
            // The PPD names no help: not a panel of this printer.
        } else if (!bundle_->HelpPageExists(help)) {
            Damaged("help page " + help + "; the " + what + " panel is not offered");
        } else if (!bundle_->ResourceExists(layout)) {
            Damaged("layout " + layout + "; the " + what + " panel is not offered");
        } else {
            panels.push_back(make(std::move(names)));
        }
    };
    // The accounting panel comes first.
    offer(kAccountingSettingsAttr, "JBA_", "ZLKPrintJBA_", "accounting",
          [&](ProductAndHelp names) { return std::make_unique<JBAPDE>(hostInfo, bundle_, std::move(names), quorvel); });
    offer(kPrintTypeSettingsAttr, "SelectJobType_", "ZLKPrintType_", "print type", [&](ProductAndHelp names) {
        return std::make_unique<PrintTypePDE>(hostInfo, bundle_, std::move(names), quorvel);
    });
    return panels;
}

void PrintAccountPDEPlugIn::Damaged(const std::string& what)
{
    problems_.push_back("the plug-in bundle " + bundle_->folder().string() + " is damaged: it has no " + what);
}

// --- the panel ---------------------------------------------------------------

PrintTypePDE::PrintTypePDE(platform::PDEPlugInCallback* hostInfo, std::shared_ptr<const platform::Bundle> bundle,
                           ProductAndHelp names, bool quorvel)
    : AccountPanelBase(hostInfo, std::move(bundle), std::move(names), quorvel,
                       {PTProductInfo, "ZLKPrintType_", "PDE Title", "PrintTypePDE"})
{}

int PrintTypePDE::DefaultDocumentNameType() const
{
    return pdeType == kProductType2 || pdeType == kProductTypeQuorvel ? kDocumentNameEntered : kDocumentNameAuto;
}

PTSetupWnd* PrintTypePDE::WindowOfType(int value) const
{
    switch (value) {
    case kPrintSecure: return secureWnd_;
    case kPrintSample: return sampleWnd_;
    case kPrintDelayed: return delayedWnd_;
    case kPrintMailbox: return mailboxWnd_;
    default: return nullptr;
    }
}

void PrintTypePDE::CreatePanel(widgets::View* view)
{
    BasePrintPanel::CreatePanel(view);
    ppd_file_t* ppd = HostPPD();
    widgets::Toolkit* toolkit = m_pPDECallbackObj ? m_pPDECallbackObj->widgetToolkit() : nullptr;
    if (!view || !toolkit) {
        return;
    }
    bKeywordSupported = AttributeOf(ppd, kPrintTypeSettingsAttr).starts_with(kKeywordProduct);
    const PTWindowContext context{bundle_.get(),  LocalizeTableName, HelpPage(),           pdeType,
                                  isQuorvelModel, bKeywordSupported, platform::LoginName()};

    RunTimeAddNewControl(std::make_unique<PTStaticTextEditControl>(
        view->FindWidget(kPrintTypeCaptionTag), nullptr, nullptr, nullptr, nullptr, nullptr, "Print Type List"));
    auto list = std::make_unique<PTListCtrl>(view->FindWidget(kPrintTypeListTag), kMailboxAttr,
                                             isQuorvelModel || bKeywordSupported);
    printTypeList_ = list.get();
    RunTimeAddNewControl(std::move(list));
    RunTimeAddNewControl(std::make_unique<PTSetupButton>(view->FindWidget(kSetupButtonTag), "Setup Button Title"));

    auto sample = std::make_unique<PTSamplePrintWnd>(*toolkit, context);
    auto secure = std::make_unique<PTSecurePrintWnd>(*toolkit, context, ControlIDArray);
    auto delayed = std::make_unique<PTDelayedPrintWnd>(*toolkit, context);
    auto mailbox = std::make_unique<PTMailBoxPrintWnd>(*toolkit, context, ControlIDArray);
    sampleWnd_ = sample->Built() ? sample.get() : nullptr;
    secureWnd_ = secure->Built() ? secure.get() : nullptr;
    delayedWnd_ = delayed->Built() ? delayed.get() : nullptr;
    mailboxWnd_ = mailbox->Built() ? mailbox.get() : nullptr;
    RunTimeAddNewWindow(std::move(sample));
    RunTimeAddNewWindow(std::move(secure));
    RunTimeAddNewWindow(std::move(delayed));
    RunTimeAddNewWindow(std::move(mailbox));

    RunTimeAddNewControl(
        std::make_unique<PTDefaultButton>(view->FindWidget(kRestoreButtonTag), "Restore Button Title"));
    RunTimeAddNewControl(std::make_unique<PrintTypeHelpBtn>(view->FindWidget(kPanelHelpTag), HelpPage(), true));
    RunTimeAddNewControl(
        std::make_unique<VersionStringSText>(view->FindWidget(kVersionCaptionTag), SettingsFileUsable()));
    auto about = std::make_unique<PTAboutWnd>(*toolkit, context);
    aboutWnd_ = about.get();
    RunTimeAddNewWindow(std::move(about));

    JobStatus = kJobStopped;
    bPPDkeyPassCodeExist = false;
    printTypeusernameDataBlkPtr.assign(framework::kTextBlockSize, 0);
    documentnameeditDataBlkPtr.assign(framework::kTextBlockSize, 0);
    documentlistDataBlkPtr.assign(sizeof(std::int32_t), 0);
    BaseControl::SetBlockInt(documentlistDataBlkPtr, kDocumentNameAuto);
}

int PrintTypePDE::InitializeUserPane(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    bPPDkeyPassCodeExist =
        ppd::CheckPPDKeyIsExist(withPPD, isQuorvelModel ? "ZLKPTPasswdLimit" : "ZLKMinDigitPasscode");
    return BasePrintPanel::InitializeUserPane(bundle, withPPD);
}

// --- last input ---------------------------------------------------------------

void PrintTypePDE::ReadSharedBlocks()
{
    platform::PMPrintSettings* settings = Settings();
    std::string text;
    // The document-name type: 1 or 2; anything else keeps an entered name
    // entered and makes every other the automatic one.
    if (settings && platform::PMPrintSettingsGetValue(settings, kDocumentNameTypeReference, &text) == platform::noErr) {
        char* end = nullptr;
        const long type = std::strtol(text.c_str(), &end, 10);
        const bool number = end != text.c_str();
        if (number && (type == kDocumentNameAuto || type == kDocumentNameEntered)) {
            BaseControl::SetBlockInt(documentlistDataBlkPtr, static_cast<int>(type));
        } else {
            const int held = BaseControl::BlockInt(documentlistDataBlkPtr);
            BaseControl::SetBlockInt(documentlistDataBlkPtr,
                                     held == kDocumentNameEntered ? kDocumentNameEntered : kDocumentNameAuto);
        }
    } else {
        BaseControl::SetBlockInt(documentlistDataBlkPtr, DefaultDocumentNameType());
    }
    auto readText = [&](const char* key, framework::ValueBlock& block, const std::string& fallback) {
        std::string value;
        if (!settings || platform::PMPrintSettingsGetValue(settings, key, &value) != platform::noErr) {
            BaseControl::SetBlockText(block, fallback);
        } else if (!common::IsValidUtf8(value)) {
            // Damaged stored input is not shown or sent on.
            syslog(LOG_DEBUG, "##Plugin debug## PrintTypePDE : stored %s is not UTF-8; the default is used", key);
            BaseControl::SetBlockText(block, fallback);
        } else {
            BaseControl::SetBlockText(block, ppd::Utf8Prefix(value, kMaxTextBytes));
        }
    };
    readText(kDocumentNameReference, documentnameeditDataBlkPtr, "");
    if (bKeywordSupported && !isQuorvelModel) {
        // The login-name field reads no stored input.
        BaseControl::SetBlockText(printTypeusernameDataBlkPtr,
                                  KPTWNDLOGINTECTRL::DefaultUserName(platform::LoginName()));
    } else {
        readText(kUserNameReference, printTypeusernameDataBlkPtr, "");
    }
}

bool PrintTypePDE::WriteSharedBlocks()
{
    platform::PMPrintSettings* settings = Settings();
    if (!settings) {
        return false;
    }
    const std::string type = std::to_string(BaseControl::BlockInt(documentlistDataBlkPtr));
    return platform::PMPrintSettingsSetValue(settings, kDocumentNameTypeReference, type.c_str(), false) ==
               platform::noErr &&
           platform::PMPrintSettingsSetValue(settings, kDocumentNameReference,
                                             BaseControl::BlockText(documentnameeditDataBlkPtr).c_str(),
                                             false) == platform::noErr &&
           platform::PMPrintSettingsSetValue(settings, kUserNameReference,
                                             BaseControl::BlockText(printTypeusernameDataBlkPtr).c_str(),
                                             false) == platform::noErr;
}

int PrintTypePDE::GetValueFromPreference()
{
    ReadSharedBlocks();
    return BasePrintPanel::GetValueFromPreferenceWithPrinterSettings();
}

int PrintTypePDE::SetValueToPreference()
{
    if (!WriteSharedBlocks()) {
        return 1;
    }
    return BasePrintPanel::SetValueToPreferenceWithPrinterSettings();
}

// --- ticket, save and print -------------------------------------------------------

int PrintTypePDE::SetValueToTicket(platform::PMPrintSettings* settings, bool withParam)
{
    auto write = [&](const char* key, const std::string& value) {
        const std::string text = framework::NeedsSlashDecimal(value) ? framework::ToSlashDecimal(value) : value;
        ppd::SetValueToSettingsWithTicketKeyAndLock(text.c_str(), settings, key, withParam);
    };
    write(ppd::kTicketKey<"PrintTypeProductTypeTicketKey">, std::to_string(pdeType));
    write(ppd::kTicketKey<"DocumentNameTypeTicketKey">, std::to_string(BaseControl::BlockInt(documentlistDataBlkPtr)));
    write(ppd::kTicketKey<"DocumentNameTicketKey">, BaseControl::BlockText(documentnameeditDataBlkPtr));
    write(ppd::kTicketKey<"PrintTypeUserNameTicketKey">, BaseControl::BlockText(printTypeusernameDataBlkPtr));
    return BasePrintPanel::SetValueToTicket(settings, withParam, &ControlIDArray);
}

bool PrintTypePDE::ValidateUserPane()
{
    ForEachControl([](BaseControl& control) {
        if (control.GetControlPtr()) {
            control.GetValueFromUI();
        }
    });
    for (auto& control : fCtrlGroupArray) {
        if (!control->PreInvalidateData() || !control->InvalidateData()) {
            return false;
        }
    }
    return true;
}

bool PrintTypePDE::saveValuesAndReturnError(platform::PDEError* error)
{
    if (bFirstInitialzePDE) {
        SimulationOpenPDE();
    }
    return ValidateUserPane() && StoreAndWrite(error);
}

bool PrintTypePDE::OnClickPrintCommand()
{
    JobStatus = kJobGoesOn;
    if (printTypeList_ && printTypeList_->SelectedValue() == kPrintSecure && secureWnd_ &&
        secureWnd_->getSecurePasscodePtr()) {
        secureWnd_->getSecurePasscodePtr()->InvalidateDataOnPrintCommand();
    }
    return JobStatus == kJobGoesOn;
}

bool PrintTypePDE::shouldPrint()
{
    if (bFirstInitialzePDE) {
        SimulationOpenPDE();
    }
    return OnClickPrintCommand() && StoreAndWrite(nullptr);
}

}  // namespace zlk::account
