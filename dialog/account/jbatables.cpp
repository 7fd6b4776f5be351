#include "dialog/account/jbatables.h"

#include "ppd/sysutil.h"
#include "ppd/ticket.h"

namespace zlk::account {

const std::array<PTProductRow, 7> JBAProductInfo{{
    {"Default00", 0, "ZLKPrintJBA_Default00"},
    {"Default01", 1, "ZLKPrintJBA_Default01"},
    {"Default02", 2, "ZLKPrintJBA_Default02"},
    {"Quorvel00", 3, "ZLKPrintJBA_Quorvel00"},
    {"Printer00", 4, "ZLKPrintJBA_Printer00"},
    {"Default03", 5, "ZLKPrintJBA_Default03"},
    {"Default04", 6, "ZLKPrintJBA_Default04"},
}};

namespace {

using framework::AccessInfo;
using ppd::InputFilterData;

constexpr std::uint32_t kText = framework::kDataTypeText;
constexpr std::uint32_t kPassword = ppd::FourCharCode("pwcf");

constexpr InputFilterData kFromSpace{1, {{{0x20, 0xFFFF}}}};
constexpr InputFilterData kJapanese{
    6, {{{0x20, 0x7E}, {0xA5, 0xA5}, {0x3040, 0x309F}, {0x30A0, 0x30FF}, {0x4E00, 0x9FFF}, {0xFF01, 0xFF9D}}}};
constexpr InputFilterData kAsciiYen{2, {{{0x20, 0x7E}, {0xA5, 0xA5}}}};
constexpr InputFilterData kAscii{1, {{{0x20, 0x7E}}}};
constexpr InputFilterData kDigits{1, {{{0x30, 0x39}}}};

constexpr PTFieldRecord kUserID{{{}, {}, 1, 32}, {kFromSpace, kFromSpace, "Warning52"}};
constexpr PTFieldRecord kLogin{{{}, {}, 1, 32}, {kJapanese, kJapanese, "Warning32"}};
constexpr PTFieldRecord kUserPassword{{{}, {}, 4, 12}, {kAsciiYen, kAsciiYen, "Warning33"}};
constexpr PTFieldRecord kUserPasswordQuorvel{{{}, {}, 4, 12}, {kAscii, kAscii, "Warning33"}};
constexpr PTFieldRecord kUserPasswordLong{{{}, {}, 1, 128}, {kAsciiYen, kAsciiYen, "Warning36"}};
constexpr PTFieldRecord kDomain{{{}, {}, 1, 64}, {kAscii, kAscii, "Warning35"}};
constexpr PTFieldRecord kAccountID{{{}, {}, 0, 32}, {kAsciiYen, kAsciiYen, "Warning34"}};
constexpr PTFieldRecord kStorageID{{{}, {}, 0, 24}, {kFromSpace, kFromSpace, "Warning53"}};
constexpr PTFieldRecord kStorageIDType1{{{}, {}, 0, 8}, {kFromSpace, kFromSpace, "Warning53"}};
constexpr PTFieldRecord kInputStorageID{{{}, {}, 1, 24}, {kFromSpace, kFromSpace, "Warning53"}};
constexpr PTFieldRecord kInputStorageIDType1{{{}, {}, 1, 8}, {kFromSpace, kFromSpace, "Warning53"}};
constexpr PTFieldRecord kStoragePassword{{{}, {}, 0, 12}, {kDigits, kDigits, "Message60"}};

constexpr std::size_t kKeyCount = static_cast<std::size_t>(JBAKeyName::Count);
const AccessInfo kAccess[3][kKeyCount] = {
    {
        {kText, 0, ppd::kTicketKey<"JBAUserIDTextEditTicket">, ppd::kTicketKey<"JBAUserIDTextEditReference">},
        {kText, 0, ppd::kTicketKey<"JBALoginTextEditTicket">, nullptr},
        {kPassword, 0, ppd::kTicketKey<"JBAUserPasswordTextEditTicket">,
         ppd::kTicketKey<"JBAUserPasswordTextEditReference">},
        {kText, 0, ppd::kTicketKey<"JBADomainNameTextEditTicket">, ppd::kTicketKey<"JBADomainNameTextEditReference">},
        {kText, 0, ppd::kTicketKey<"JBAAccountIDTextEditTicket">, ppd::kTicketKey<"JBAAccountIDTextEditReference">},
        {kText, 0, ppd::kTicketKey<"JBAStorageIDTextEditTicket">, ppd::kTicketKey<"JBAStorageIDTextEditReference">},
        {kPassword, 0, ppd::kTicketKey<"JBAStoragePasswordTextEditTicket">,
         ppd::kTicketKey<"JBAStoragePasswordTextEditReference">},
        {0, 0, ppd::kTicketKey<"JBAUserIDListCtrlTicket">, ppd::kTicketKey<"JBAUserIDListCtrlReference">},
        {0, 0, ppd::kTicketKey<"JBALastInfoCheckboxTicket">, ppd::kTicketKey<"JBALastInfoCheckboxReference">},
        {0, 0, ppd::kTicketKey<"JBAUserIDFormatCheckboxTicket">, ppd::kTicketKey<"JBAUserIDFormatCheckboxReference">},
        {0, 0, ppd::kTicketKey<"JBAAccountIDFormatCheckboxTicket">,
         ppd::kTicketKey<"JBAAccountIDFormatCheckboxReference">},
        {0, 0, ppd::kTicketKey<"JBAUserSettingRadioBtnTicket">, ppd::kTicketKey<"JBAUserSettingRadioBtnReference">},
        {0, 0, ppd::kTicketKey<"JBAUserInputRadioBtnTicket">, ppd::kTicketKey<"JBAUserInputRadioBtnReference">},
        {},
        {},

    },
    {
        {kText, 0, ppd::kTicketKey<"JBAAdminUserIDTextEditTicket">, ppd::kTicketKey<"JBAAdminUserIDTextEditReference">},
        {kText, 0, ppd::kTicketKey<"JBAAdminLoginTextEditTicket">, nullptr},
        {kPassword, 0, ppd::kTicketKey<"JBAAdminUserPasswordTextEditTicket">,
         ppd::kTicketKey<"JBAAdminUserPasswordTextEditReference">},
        {kText, 0, ppd::kTicketKey<"JBAAdminDomainNameTextEditTicket">,
         ppd::kTicketKey<"JBAAdminDomainNameTextEditReference">},
        {kText, 0, ppd::kTicketKey<"JBAAdminAccountIDTextEditTicket">,
         ppd::kTicketKey<"JBAAdminAccountIDTextEditReference">},
        {kText, 0, ppd::kTicketKey<"JBAAdminStorageIDTextEditTicket">,
         ppd::kTicketKey<"JBAAdminStorageIDTextEditReference">},
        {kPassword, 0, ppd::kTicketKey<"JBAAdminStoragePasswordTextEditTicket">,
         ppd::kTicketKey<"JBAAdminStoragePasswordTextEditReference">},
        {0, 0, ppd::kTicketKey<"JBAAdminUserIDListCtrlTicket">, ppd::kTicketKey<"JBAAdminUserIDListCtrlReference">},
        {0, 0, ppd::kTicketKey<"JBAAdminLastInfoCheckboxTicket">, ppd::kTicketKey<"JBAAdminLastInfoCheckboxReference">},
        {0, 0, ppd::kTicketKey<"JBAAdminUserIDFormatCheckboxTicket">,
         ppd::kTicketKey<"JBAAdminUserIDFormatCheckboxReference">},
        {0, 0, ppd::kTicketKey<"JBAAdminAccountIDFormatCheckboxTicket">,
         ppd::kTicketKey<"JBAAdminAccountIDFormatCheckboxReference">},
        {0, 0, ppd::kTicketKey<"JBAAdminUserSettingRadioBtnTicket">,
         ppd::kTicketKey<"JBAAdminUserSettingRadioBtnReference">},
        {0, 0, ppd::kTicketKey<"JBAAdminUserInputRadioBtnTicket">,
         ppd::kTicketKey<"JBAAdminUserInputRadioBtnReference">},
        {},
        {},

    },
    {
        {kText, 0, ppd::kTicketKey<"JBAInputUserIDTextEditTicket">, ppd::kTicketKey<"JBAInputUserIDTextEditReference">},
        {},
        {kPassword, 0, ppd::kTicketKey<"JBAInputUserPasswordTextEditTicket">,
         ppd::kTicketKey<"JBAInputUserPasswordTextEditReference">},
        {kText, 0, ppd::kTicketKey<"JBAInputDomainNameTextEditTicket">,
         ppd::kTicketKey<"JBAInputDomainNameTextEditReference">},
        {kText, 0, ppd::kTicketKey<"JBAInputAccountIDTextEditTicket">,
         ppd::kTicketKey<"JBAInputAccountIDTextEditReference">},
        {kText, 0, ppd::kTicketKey<"JBAInputStorageIDTextEditTicket">,
         ppd::kTicketKey<"JBAInputStorageIDTextEditReference">},
        {kPassword, 0, ppd::kTicketKey<"JBAInputStoragePasswordTextEditTicket">,
         ppd::kTicketKey<"JBAInputStoragePasswordTextEditReference">},
        {},
        {},
        {},
        {},
        {},
        {},
        {0, 0, ppd::kTicketKey<"JBAInputStrgRadioBtnTicketKey">, ppd::kTicketKey<"JBAInputStrgRadioBtnReference">},
        {0, 0, ppd::kTicketKey<"JBAInputAuthRadioBtnTicketKey">, ppd::kTicketKey<"JBAInputAuthRadioBtnReference">},
    },
};

// The table of cases: row = prompt value, column = identification value.
constexpr int kCases[4][3] = {{5, 9, 1}, {6, 9, 2}, {7, 9, 3}, {8, 9, 4}};

}  // namespace

const AccessInfo& JBAAccess(JBAPart part, JBAKeyName name)
{
    return kAccess[static_cast<int>(part)][static_cast<int>(name)];
}

const PTFieldRecord& JBAFieldRecord(JBAField field, int pdeType, bool quorvel, bool inputWindow)
{
    switch (field) {
    case JBAField::UserID: return kUserID;
    case JBAField::LoginName: return kLogin;
    case JBAField::UserPassword:
        if (pdeType == 5 || pdeType == 6) {
            return kUserPasswordLong;
        }
        return quorvel ? kUserPasswordQuorvel : kUserPassword;
    case JBAField::Domain: return kDomain;
    case JBAField::AccountID: return kAccountID;
    case JBAField::StorageID:
        if (inputWindow) {
            return pdeType == 1 ? kInputStorageIDType1 : kInputStorageID;
        }
        return pdeType == 1 ? kStorageIDType1 : kStorageID;
    case JBAField::StoragePassword: return kStoragePassword;
    }
    return kUserID;
}

int CaseFor(int promptValue, int identification)
{
    if (promptValue < 0 || promptValue > 3 || identification < 1 || identification > 3) {
        return 1;
    }
    return kCases[promptValue][identification - 1];
}

std::vector<SettingsTag> DisabledByCase(int infoSetCase)
{
    const std::vector<SettingsTag> user = {kSetUserIDList,         kSetUserIDListCaption, kSetUserID,
                                           kSetUserIDCaption,      kSetLoginName,         kSetUserPassword,
                                           kSetUserPasswordCaption};
    const std::vector<SettingsTag> domain = {kSetDomain, kSetDomainCaption};
    const std::vector<SettingsTag> account = {kSetAccountID, kSetAccountIDCaption};
    const std::vector<SettingsTag> storage = {kSetStorageID, kSetStorageIDCaption, kSetStoragePassword,
                                              kSetStoragePasswordCaption};
    auto join = [](std::initializer_list<const std::vector<SettingsTag>*> sets) {
        std::vector<SettingsTag> all;
        for (const auto* set : sets) {
            all.insert(all.end(), set->begin(), set->end());
        }
        return all;
    };
    switch (infoSetCase) {
    case 2: return account;
    case 3: return join({&user, &domain});
    case 4: return join({&user, &domain, &account});
    case 5: return storage;
    case 6: return join({&account, &storage});
    case 7: return join({&user, &domain, &storage});
    case 8: return join({&user, &domain, &account, &storage});
    case 9: return join({&user, &domain, &account});
    default: return {};
    }
}

}  // namespace zlk::account
