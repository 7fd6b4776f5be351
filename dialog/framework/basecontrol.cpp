#include "dialog/framework/basecontrol.h"

#include <strings.h>
#include <syslog.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "dialog/framework/printpanel.h"
#include "ppd/sysutil.h"
#include "ppd/textcodec.h"
#include "ppd/textutil.h"
#include "ppd/ticket.h"
#include "secblob/secblob.h"

namespace zlk::framework {

namespace {

constexpr std::size_t kMaxValueBytes = 255;
constexpr std::size_t kStorageRoom = 2048;

// The preference keys (kTicketKeyPrefix followed by one of these names)
// whose stored value is kept encrypted: the passwords of the account panels.
constexpr std::array<std::string_view, 8> kPasswordPreferenceNames = {
    "PrintTypePasswordReference",
    "PrintTypeMBNPasswordReference",
    "JBAUserPasswordTextEditReference",
    "JBAStoragePasswordTextEditReference",
    "JBAAdminUserPasswordTextEditReference",
    "JBAAdminStoragePasswordTextEditReference",
    "JBAInputUserPasswordTextEditReference",
    "JBAInputStoragePasswordTextEditReference",
};

}  // namespace

void LogDebug(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsyslog(LOG_DEBUG, format, args);
    va_end(args);
}

bool IsPasswordPreferenceKey(const char* key)
{
    if (key == nullptr) {
        return false;
    }
    std::string_view name(key);
    if (!name.starts_with(ppd::kTicketKeyPrefix)) {
        return false;
    }
    name.remove_prefix(ppd::kTicketKeyPrefix.size());
    return std::find(kPasswordPreferenceNames.begin(), kPasswordPreferenceNames.end(), name) !=
           kPasswordPreferenceNames.end();
}

bool NeedsSlashDecimal(const std::string& text)
{
    if ((!text.empty() && text[0] == '/') || text.find_first_of("',\\") != std::string::npos) {
        return true;
    }
    // libcups sends a value starting with "{" as a collection, which the
    // filter never sees, and "true" or "false" in any case as a boolean,
    // which arrives in lower case.
    return (!text.empty() && text[0] == '{') || strcasecmp(text.c_str(), "true") == 0 ||
           strcasecmp(text.c_str(), "false") == 0;
}

std::string ToSlashDecimal(const std::string& text)
{
    std::string out;
    for (unsigned char byte : text) {
        out += '/';
        out += std::to_string(byte);
    }
    return out;
}

bool EncryptToStorageText(const std::string& text, std::string& out, int& status)
{
    // Every byte of the text is encrypted. The display width of the text
    // equals its byte count only for ASCII; taking it would cut other
    // texts in the middle of a character.
    std::vector<std::uint8_t> blob(kStorageRoom);
    std::size_t blobLength = blob.size();
    status = secblob::Encode_Storage(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), blob.data(),
                                     &blobLength);
    if (status != secblob::kSecBlobSuccess) {
        return false;
    }
    auto encoded = secblob::SecBlobEnc_Base64_Encode_Data(blob.data(), blobLength);
    if (!encoded) {
        status = secblob::kSecBlobCryptoFailure;
        return false;
    }
    out.assign(encoded->begin(), encoded->end());
    return true;
}

bool DecryptFromStorageText(const std::string& base64, std::string& out, int& status)
{
    status = secblob::kSecBlobInvalidRequest;
    if (base64.empty()) {
        return false;
    }
    auto blob = secblob::SecBlobEnc_Base64_Decode_Data(base64.c_str());
    if (!blob || blob->empty()) {
        return false;
    }
    std::vector<std::uint8_t> plain(blob->size() + 16);
    std::size_t plainLength = plain.size();
    status = secblob::Decode_Storage(blob->data(), blob->size(), plain.data(), &plainLength);
    if (status != secblob::kSecBlobSuccess) {
        return false;
    }
    out.assign(reinterpret_cast<const char*>(plain.data()), plainLength);
    return true;
}

BaseControl::BaseControl(widgets::Widget* widget) : ControlPtr(widget) {}

BaseControl::BaseControl(widgets::Widget* widget, const ConstraintInfo* constraint, const AccessInfo* access,
                         const char* usernamein)
    : ControlPtr(widget)
{
    StoreRecords(constraint, access, usernamein);
}

BaseControl::~BaseControl() = default;

std::int32_t BaseControl::BlockInt(const ValueBlock& block)
{
    std::int32_t value = 0;
    if (block.size() >= sizeof value) {
        std::memcpy(&value, block.data(), sizeof value);
    }
    return value;
}

void BaseControl::SetBlockInt(ValueBlock& block, std::int32_t value)
{
    if (block.size() >= sizeof value) {
        std::memcpy(block.data(), &value, sizeof value);
    }
}

std::string BaseControl::BlockText(const ValueBlock& block)
{
    const auto end = std::find(block.begin(), block.end(), 0);
    return std::string(block.begin(), end);
}

void BaseControl::SetBlockText(ValueBlock& block, const std::string& text)
{
    if (block.empty()) {
        return;
    }
    std::fill(block.begin(), block.end(), 0);
    const std::string cut = ppd::Utf8Prefix(text, block.size() - 1);
    std::copy(cut.begin(), cut.end(), block.begin());
}

void BaseControl::StoreRecords(const ConstraintInfo* constraint, const AccessInfo* access, const char* usernamein)
{
    ctrlConstrainControlArray = constraint;
    ctrlDataAccessInfoPtr = access;
    userNameinPreference = usernamein ? usernamein : "";
    // Hosts name the widget by what it writes.
    if (ControlPtr && access && access->ticketKey) {
        std::string_view name = access->ticketKey;
        if (name.starts_with(ppd::kTicketKeyPrefix)) {
            name.remove_prefix(ppd::kTicketKeyPrefix.size());
        }
        ControlPtr->SetName(std::string(name));
    }
}

void BaseControl::AllocateBlocks(std::size_t size)
{
    // Re-initialisation keeps the committed value: a window opened again
    // must show what was committed last time.
    if (ctrlDataBlkPtr.size() != size) {
        ctrlDataBlkPtr.assign(size, 0);
    }
    if (ctrlUIDataBlkPtr.size() != size) {
        ctrlUIDataBlkPtr.assign(size, 0);
    }
}

platform::PMPrintSettings* BaseControl::PanelSettings() const
{
    return ctrlParentPanelPtr ? ctrlParentPanelPtr->GetCurrentPMPrintSettings() : nullptr;
}

const platform::Bundle* BaseControl::PanelBundle() const
{
    return ctrlParentPanelPtr ? ctrlParentPanelPtr->GetPDEBundleRef() : nullptr;
}

bool BaseControl::ReadTicketValue(std::string& value) const
{
    if (!ctrlDataAccessInfoPtr || !ctrlDataAccessInfoPtr->ticketKey) {
        return false;
    }
    return platform::PMPrintSettingsGetValue(PanelSettings(), ctrlDataAccessInfoPtr->ticketKey, &value) ==
           platform::noErr;
}

IdentifierList BaseControl::ListAt(ChoiceLists lists, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= lists.size()) {
        return nullptr;
    }
    return lists[static_cast<std::size_t>(index)];
}

bool BaseControl::MayWritePreference() const
{
    if (userNameinPreference != kPreferencesAnyUser) {
        return true;
    }
    return ctrlParentPanelPtr ? ctrlParentPanelPtr->IsUserAdmin() : ppd::IsUserAdmin();
}

widgets::Widget* BaseControl::FindSiblingWidget(ControlID tag) const
{
    if (!ControlPtr) {
        return nullptr;
    }
    widgets::Widget* root = ControlPtr;
    while (root->Parent()) {
        root = root->Parent();
    }
    return root->Tag() == tag ? root : root->FindWidget(tag);
}

std::string BaseControl::Localized(const char* key, const std::string& table) const
{
    const platform::Bundle* bundle = PanelBundle();
    if (!key) {
        return {};
    }
    if (!bundle) {
        return platform::kNoTranslation;
    }
    return bundle->LocalizedString(key, table.empty() ? platform::kDefaultStringTable : table);
}

void BaseControl::setTargetandAction()
{
    if (!ControlPtr) {
        return;
    }
    std::weak_ptr<bool> alive = alive_;
    ControlPtr->SetAction([this, alive](widgets::Widget& sender) {
        if (alive.lock()) {
            RequestControlAction(&sender);
        }
    });
}

bool BaseControl::InitializeCtrl(const platform::Bundle*, ppd_file_t*) { return true; }

bool BaseControl::ReInitializeCtrl(const platform::Bundle* bundle, ppd_file_t* withPPD)
{
    return InitializeCtrl(bundle, withPPD);
}

bool BaseControl::InvalidateDataOnPrintCommand() { return PreInvalidateData() && InvalidateData(); }

void BaseControl::SetValueFromUIToControl()
{
    if (ctrlDataBlkPtr.empty() || ctrlUIDataBlkPtr.empty() || ctrlDataSize == 0) {
        return;
    }
    const std::size_t n = std::min<std::size_t>({ctrlDataSize, ctrlDataBlkPtr.size(), ctrlUIDataBlkPtr.size()});
    std::copy_n(ctrlUIDataBlkPtr.begin(), n, ctrlDataBlkPtr.begin());
}

void BaseControl::CopyRecordBlock(const void* from, std::uint32_t size, ValueBlock& into)
{
    // Nothing to copy from, or no block yet: the size stays as it was.
    if (from && !into.empty()) {
        const auto* bytes = static_cast<const std::uint8_t*>(from);
        std::copy_n(bytes, std::min<std::size_t>(size, into.size()), into.begin());
        ctrlDataSize = size;
    }
}

bool BaseControl::SetUIValueToIniData()
{
    CopyRecordBlock(GetIniDataBlk(), GetIniDataSize(), ctrlUIDataBlkPtr);
    return true;
}

bool BaseControl::SetControlValueToDefault()
{
    CopyRecordBlock(GetDefaultDataBlk(), GetDefaultDataSize(), ctrlDataBlkPtr);
    return true;
}

bool BaseControl::ConvertToPreferenceString(std::string&) { return true; }
bool BaseControl::ConvertFromPreferenceString(const std::string&) { return true; }
bool BaseControl::ConvertToTickectData(std::string&, bool) { return true; }

bool BaseControl::SetValueToPreference()
{
    if (!ctrlDataAccessInfoPtr || !ctrlDataAccessInfoPtr->preferenceKey) {
        return true;
    }
    if (ctrlDataBlkPtr.empty()) {
        return false;
    }
    // Current systems keep the last input in the print settings; the
    // per-printer domain reports success without storing.
    return true;
}

bool BaseControl::GetValueFromPreference()
{
    if (!ctrlDataAccessInfoPtr || !ctrlDataAccessInfoPtr->preferenceKey) {
        return true;
    }
    // Nothing is stored in the per-printer domain on current systems.
    return false;
}

bool BaseControl::SetValueToPreferenceWithPrinterSettings()
{
    if (!ctrlDataAccessInfoPtr || !ctrlDataAccessInfoPtr->preferenceKey) {
        return true;
    }
    if (ctrlDataBlkPtr.empty()) {
        return false;
    }
    if (!MayWritePreference()) {
        return true;
    }
    platform::PMPrintSettings* settings = PanelSettings();
    if (!settings) {
        return true;
    }
    std::string text;
    if (!ConvertToPreferenceString(text)) {
        return false;
    }
    text = ppd::Utf8Prefix(text, kMaxValueBytes);
    const char* key = ctrlDataAccessInfoPtr->preferenceKey;
    if (IsPasswordPreferenceKey(key)) {
        std::string stored;
        int status = 0;
        if (!EncryptToStorageText(text, stored, status)) {
            LogDebug("##JBA debug##  SetValueToPreference encode fail: %d ", status);
            return false;
        }
        text = stored;
    }
    return platform::PMPrintSettingsSetValue(settings, key, text.c_str(), false) == platform::noErr;
}

bool BaseControl::GetValueFromPreferenceWithPrinterSettings()
{
    if (!ctrlDataAccessInfoPtr || !ctrlDataAccessInfoPtr->preferenceKey) {
        return true;
    }
    if (ctrlDataBlkPtr.empty()) {
        return false;
    }
    platform::PMPrintSettings* settings = PanelSettings();
    if (!settings) {
        return false;
    }
    const char* key = ctrlDataAccessInfoPtr->preferenceKey;
    std::string text;
    if (platform::PMPrintSettingsGetValue(settings, key, &text) != platform::noErr) {
        return false;
    }
    if (IsPasswordPreferenceKey(key)) {
        std::string plain;
        int status = 0;
        if (!DecryptFromStorageText(text, plain, status)) {
            if (!text.empty()) {
                LogDebug("##JBA debug## GetValueFromPreference encode fail: %d ", status);
            }
            return false;
        }
        text = plain;
    }
    return ConvertFromPreferenceString(ppd::Utf8Prefix(text, kMaxValueBytes));
}

bool BaseControl::SetValueToTicket(platform::PMPrintSettings* settings, bool withParam,
                                   const std::vector<widgets::Widget*>& encryptArray)
{
    const bool encrypt =
        ControlPtr && std::any_of(encryptArray.begin(), encryptArray.end(),
                                  [this](widgets::Widget* w) { return w && w->Tag() == ControlPtr->Tag(); });
    return encrypt ? SetValueToTicketWithEnc(settings, withParam) : SetValueToTicket(settings, withParam);
}

bool BaseControl::SetValueToTicketWithEnc(platform::PMPrintSettings* settings, bool withParam)
{
    return WriteTicket(settings, withParam, true);
}

bool BaseControl::SetValueToTicket(platform::PMPrintSettings* settings, bool withParam)
{
    return WriteTicket(settings, withParam, false);
}

bool BaseControl::WriteTicket(platform::PMPrintSettings* settings, bool withParam, bool encrypted)
{
    if (!ctrlDataAccessInfoPtr || !ctrlDataAccessInfoPtr->ticketKey) {
        return false;
    }
    std::string text;
    if (!ConvertToTickectData(text, withParam)) {
        return false;
    }
    text = ppd::Utf8Prefix(text, kMaxValueBytes);
    std::string value;
    if (!encrypted) {
        value = NeedsSlashDecimal(text) ? ToSlashDecimal(text) : text;
    } else if (!text.empty()) {
        // An empty text is written empty, not encrypted.
        int status = 0;
        if (!EncryptToStorageText(text, value, status)) {
            LogDebug("##Plugin debug## SetValueToTicketWithEnc encode fail: %d ", status);
            return false;
        }
    }
    if (IsOutputNullToTicket()) {
        value.clear();
    }
    return ppd::SetValueToSettingsWithTicketKeyAndLock(value.c_str(), settings, ctrlDataAccessInfoPtr->ticketKey,
                                                       withParam) == platform::noErr;
}

bool BaseControl::UIEventHandler()
{
    DoControlUpdateConstrain();
    DoSelfUpdate();
    DoControlHideConstrain();
    DoControlConstrain();
    return true;
}

bool BaseControl::SimulationUIEventHandler() { return BaseControl::UIEventHandler(); }

namespace {
template <class Apply>
void ForEachListed(BasePrintPanel* panel, IdentifierList list, Apply apply)
{
    if (!panel || !list) {
        return;
    }
    for (IdentifierList at = list; *at; ++at) {
        if (BaseControl* control = panel->GetPanelControl(*at)) {
            apply(*control);
        }
    }
}
}  // namespace

void BaseControl::HideControlConstrains(IdentifierList list)
{
    ForEachListed(ctrlParentPanelPtr, list, [](BaseControl& c) { c.Hide(); });
}
void BaseControl::EnableControlConstrains(IdentifierList list)
{
    ForEachListed(ctrlParentPanelPtr, list, [](BaseControl& c) { c.Enable(); });
}
void BaseControl::ShowControlConstrains(IdentifierList list)
{
    ForEachListed(ctrlParentPanelPtr, list, [](BaseControl& c) { c.Show(); });
}
void BaseControl::DisableControlConstrains(IdentifierList list)
{
    ForEachListed(ctrlParentPanelPtr, list, [](BaseControl& c) { c.Disable(); });
}

void BaseControl::SwitchConstraintLists(ChoiceLists lists, int newIndex, int oldIndex,
                                        void (BaseControl::*hold)(IdentifierList),
                                        void (BaseControl::*release)(IdentifierList))
{
    (this->*hold)(ListAt(lists, newIndex));
    if (oldIndex >= 0)
        (this->*release)(ListAt(lists, oldIndex));
}

ChoiceLists BaseControl::ConstraintLists(ChoiceLists ConstraintInfo::*which) const
{
    return ctrlConstrainControlArray ? ctrlConstrainControlArray->*which : ChoiceLists{};
}

IdentifierList BaseControl::CurrentList(ChoiceLists ConstraintInfo::*which)
{
    return ctrlConstrainControlArray ? ListAt(ctrlConstrainControlArray->*which, GetCurrentControlArrayNumber())
                                     : nullptr;
}

void BaseControl::HideControlConstrains() { HideControlConstrains(CurrentList(&ConstraintInfo::hideLists)); }
void BaseControl::ShowControlConstrains() { ShowControlConstrains(CurrentList(&ConstraintInfo::hideLists)); }
void BaseControl::DisableControlConstrains() { DisableControlConstrains(CurrentList(&ConstraintInfo::disableLists)); }
void BaseControl::EnableControlConstrains() { EnableControlConstrains(CurrentList(&ConstraintInfo::disableLists)); }

void BaseControl::DoControlUpdateConstrain()
{
    if (!ctrlConstrainControlArray) {
        return;
    }
    const int choice = std::max(GetCurrentControlArrayNumber(), 0);
    ForEachListed(ctrlParentPanelPtr, ListAt(ctrlConstrainControlArray->updateLists, choice),
                  [](BaseControl& c) { c.Update(); });
}

void BaseControl::ResetStatus()
{
    ctrlConstrainCount = 0;
    ctrlHideCount = 0;
    if (ControlPtr) {
        if (!ControlPtr->IsEnabled()) {
            ControlPtr->SetEnabled(true);
        }
        if (ControlPtr->IsHidden()) {
            ControlPtr->SetHidden(false);
        }
    }
}

bool BaseControl::setExternalValueToData(const void* value, std::uint32_t size, int valueType)
{
    if (!value || ctrlDataBlkPtr.empty()) {
        return true;
    }
    if (valueType == kValueTypeInteger) {
        std::int32_t number = 0;
        std::memcpy(&number, value, sizeof number);
        SetBlockInt(ctrlDataBlkPtr, number);
    } else if (valueType == kValueTypeText) {
        std::fill(ctrlDataBlkPtr.begin(), ctrlDataBlkPtr.end(), 0);
        const auto* bytes = static_cast<const std::uint8_t*>(value);
        std::copy_n(bytes, std::min<std::size_t>(size, ctrlDataBlkPtr.size() - 1), ctrlDataBlkPtr.begin());
    }
    return true;
}

bool BaseControl::SetDefaultValueToUI()
{
    if (GetDefaultDataBlk() && !ctrlDataBlkPtr.empty()) {
        SetExternalValueToUI(GetDefaultDataBlk(), GetDefaultDataSize());
    }
    return true;
}

void BaseControl::Disable()
{
    const std::int32_t before = ctrlConstrainCount++;
    if (before >= 0 && ControlPtr && ControlPtr->IsEnabled()) {
        ControlPtr->SetEnabled(false);
    }
}

void BaseControl::Enable()
{
    const std::int32_t before = ctrlConstrainCount--;
    if (before <= 1 && ControlPtr && !ControlPtr->IsEnabled()) {
        ControlPtr->SetEnabled(true);
    }
}

void BaseControl::Hide()
{
    const std::int32_t before = ctrlHideCount++;
    if (before >= 0 && ControlPtr && !ControlPtr->IsHidden()) {
        ControlPtr->SetHidden(true);
    }
}

void BaseControl::Show()
{
    const std::int32_t before = ctrlHideCount--;
    if (before <= 1 && ControlPtr && ControlPtr->IsHidden()) {
        ControlPtr->SetHidden(false);
    }
}

void BaseControl::PPDCtrlShow()
{
    if (ControlPtr) {
        ControlPtr->SetHidden(false);
    }
}

void BaseControl::PPDCtrlHide()
{
    if (ControlPtr) {
        ControlPtr->SetHidden(true);
    }
}

void BaseControl::RequestControlAction(widgets::Widget*)
{
    UIEventHandler();
    GetValueFromUI();
}

}  // namespace zlk::framework
