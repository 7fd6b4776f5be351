// The job accounting panel's fixed data: product rows, tags, the case
// table and the field records of its windows.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "dialog/account/accounttables.h"
#include "dialog/framework/records.h"

namespace zlk::account {

extern const std::array<PTProductRow, 7> JBAProductInfo;
inline constexpr int kJBAProductInfoCount = 7;

// Tags of the panel (Resources/Layouts/ZLKPrintJBA_<product>.json).
inline constexpr ControlID kManageListTag = 1001;
inline constexpr ControlID kManageCaptionTag = 1002;
inline constexpr ControlID kInfoCaptionTag = 1003;
inline constexpr ControlID kInfoListTag = 1004;
inline constexpr ControlID kDetailButtonTag = 1005;
inline constexpr ControlID kJBAHelpTag = 1006;
inline constexpr ControlID kJBAVersionTag = 1007;
inline constexpr ControlID kInfoSetListTag = 1008;

// The settings windows' controls, as offsets from the window's first tag
// (2001 administrator, 3001 user).
enum SettingsTag : ControlID {
    kSetOK = 0,
    kSetCancel,
    kSetRestore,
    kSetHelp,
    kSetUserSettingRadio,
    kSetUserIDList,
    kSetUserID,
    kSetLoginName,
    kSetUserPassword,
    kSetUserIDListCaption,
    kSetUserIDCaption,
    kSetUserPasswordCaption,
    kSetStorageID,
    kSetStoragePassword,
    kSetStorageIDCaption,
    kSetStoragePasswordCaption,
    kSetEnterDetailsRadio,
    kSetAccountID,
    kSetAccountIDCaption,
    kSetShowPrevious,
    kSetMaskUserID,
    kSetMaskAccountID,
    kSetDomainCaption,
    kSetDomain,
    kSetTagCount
};
inline constexpr ControlID kAdminWindowBase = 2001;
inline constexpr ControlID kUserWindowBase = 3001;

// The input window's controls (4001..4022).
enum InputTag : ControlID {
    kInOK = 4001,
    kInCancel,
    kInHelp,
    kInAuthRadio,
    kInUserIDCaption,
    kInUserID,
    kInUserPasswordCaption,
    kInUserPassword,
    kInStorageRadio,
    kInStorageIDCaption,
    kInStorageID,
    kInStoragePasswordCaption,
    kInStoragePassword,
    kInMaskedStorageID,
    kInMaskedUserID,
    kInAccountIDCaption,
    kInAccountID,
    kInMaskedAccountID,
    kInModeList,
    kInDomainCaption,
    kInDomain,
    kInMaskedDomain
};

// What an identification field holds; the written value may be replaced
// by the identification rules.
enum class JBAField { UserID, LoginName, UserPassword, Domain, AccountID, StorageID, StoragePassword };

// The field's record for a product type and model.
const PTFieldRecord& JBAFieldRecord(JBAField field, int pdeType, bool quorvel, bool inputWindow);

// The prompt option's default choices, in the order of its value.
inline constexpr std::array<std::string_view, 4> kSelectIDChoices = {"UserID_AccountID", "UserID", "AccountID", "None"};

// The case for a prompt value (0..3) and an identification value (1..3);
// 1 outside the table.
int CaseFor(int promptValue, int identification);

// Which settings window controls a case disables, as tag offsets.
std::vector<SettingsTag> DisabledByCase(int infoSetCase);

// Which set of keys a window's control writes: the user window's ("JBA"),
// the administrator window's ("JBAAdmin") or the input window's ("JBAInput").
enum class JBAPart { User = 0, Admin = 1, Input = 2 };
enum class JBAKeyName {
    UserID,
    Login,
    UserPassword,
    Domain,
    AccountID,
    StorageID,
    StoragePassword,
    UserIDList,
    LastInfo,
    UserIDFormat,
    AccountIDFormat,
    UserSettingRadio,
    UserInputRadio,
    StorageRadio,
    AuthRadio,
    Count
};
// The access record (type, ticket key, reference key) of a control; a key
// the part does not have is null.
const framework::AccessInfo& JBAAccess(JBAPart part, JBAKeyName name);

}  // namespace zlk::account
