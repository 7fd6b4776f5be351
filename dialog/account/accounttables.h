// The print type panel's fixed data: the product rows, the control tags,
// the print type values and the records of its text fields per product.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "dialog/framework/records.h"
#include "ppd/inputfilter.h"
#include "ppd/ticket.h"

namespace zlk::account {

using framework::ControlID;

// One product variant: the name before the "-" of the PPD's settings
// attribute, its type number and its panel layout.
struct PTProductRow {
    const char* productName;
    int typeNumber;
    const char* layoutName;
};
extern const std::array<PTProductRow, 5> PTProductInfo;
inline constexpr int kPTProductInfoCount = 5;
// Product type numbers that change a field's rules.
inline constexpr int kProductType2 = 2;
inline constexpr int kProductType3 = 3;
inline constexpr int kProductTypeQuorvel = 4;

// The print type list's values: 1-based positions.
enum PrintTypeValue : int {
    kPrintNormal = 1,
    kPrintSecure = 2,
    kPrintSample = 3,
    kPrintDelayed = 4,
    kPrintMailbox = 5
};

// Whether the print command may go on.
enum JobStatus : int { kJobGoesOn = 2001, kJobStopped = 2002 };

// Document-name types of the shared block.
enum DocumentNameType : int { kDocumentNameAuto = 1, kDocumentNameEntered = 2 };

// Tags of the panel (Resources/Layouts/ZLKPrintType_<product>.json).
inline constexpr ControlID kPrintTypeListTag = 101;
inline constexpr ControlID kPrintTypeCaptionTag = 102;
inline constexpr ControlID kSetupButtonTag = 103;
inline constexpr ControlID kRestoreButtonTag = 104;
inline constexpr ControlID kPanelHelpTag = 109;
inline constexpr ControlID kVersionCaptionTag = 110;

// Tags of the windows: fields, their captions (the field's tag + 1000) and
// the help, restore, OK and Cancel buttons.
struct WindowTags {
    ControlID help, restore, ok, cancel;
};
inline constexpr ControlID kSampleUserTag = 1012;
inline constexpr ControlID kSampleDocTypeTag = 1014;
inline constexpr ControlID kSampleDocNameTag = 1015;
inline constexpr WindowTags kSampleButtons{1016, 1017, 1018, 1019};
inline constexpr ControlID kSecureUserTag = 1022;
inline constexpr ControlID kSecureDocTypeTag = 1024;
inline constexpr ControlID kSecureDocNameTag = 1025;
inline constexpr ControlID kSecurePasscodeTag = 1026;
inline constexpr WindowTags kSecureButtons{1027, 1028, 1029, 1030};
inline constexpr ControlID kDelayedTimeTag = 1033;
inline constexpr ControlID kDelayedDocTypeTag = 1034;
inline constexpr ControlID kDelayedDocNameTag = 1035;
inline constexpr WindowTags kDelayedButtons{1036, 1037, 1038, 1039};
inline constexpr ControlID kMailboxNumberTag = 1041;
inline constexpr ControlID kMailboxPasswordTag = 1042;
inline constexpr ControlID kMailboxDocTypeTag = 1044;
inline constexpr ControlID kMailboxDocNameTag = 1045;
inline constexpr WindowTags kMailboxButtons{1046, 1047, 1048, 1049};
inline constexpr ControlID kCaptionOffset = 1000;
inline constexpr ControlID kNoticeTextTag = 200;
inline constexpr ControlID kNoticeOKTag = 201;
inline constexpr ControlID kNoticeCancelTag = 202;

// Reference (last input) keys the panel itself keeps for the shared blocks.
inline constexpr const char* kDocumentNameTypeReference = ppd::kTicketKey<"DocumentNameTypeReference">;
inline constexpr const char* kDocumentNameReference = ppd::kTicketKey<"DocumentNameReference">;
inline constexpr const char* kUserNameReference = ppd::kTicketKey<"PrintTypeUserNameReference">;

// A text field's records: its initial data (empty texts, the limits) and
// its filter with the message key; emptyMessage is shown for an empty user
// name.
struct PTFieldRecord {
    framework::TextIniData ini;
    ppd::TextEditFilterData filter;
    const char* emptyMessage = nullptr;
};

// The records of the user name and document name fields of a product.
const PTFieldRecord& UserNameRecord(int pdeType, bool quorvel);
const PTFieldRecord& LoginNameRecord();
const PTFieldRecord& DocumentNameRecord(int pdeType, bool quorvel, bool mailbox);
extern const PTFieldRecord kPasscodeRecord;
extern const PTFieldRecord kMailboxNumberRecord;
extern const PTFieldRecord kMailboxPasswordRecord;

// The length count of the user name and document name fields: 1 for a
// character that is one byte in Shift-JIS (in ISO Latin 1 with latin1),
// else 2; -1 for text that is not UTF-8.
int PTLengthCount(std::string_view utf8, bool latin1);

}  // namespace zlk::account
