#include "dialog/account/accounttables.h"

#include "ppd/textcodec.h"

namespace zlk::account {

const std::array<PTProductRow, 5> PTProductInfo{{
    {"Default00", 0, "ZLKPrintType_Default00"},
    {"Default01", 1, "ZLKPrintType_Default01"},
    {"Default02", 2, "ZLKPrintType_Default02"},
    {"Default03", 3, "ZLKPrintType_Default03"},
    {"Quorvel00", 4, "ZLKPrintType_Quorvel00"},
}};

namespace {

using ppd::InputFilterData;
using ppd::TextEditFilterData;

// Printable ASCII, the yen sign, hiragana, katakana, the common kanji and
// the full-width forms with halfwidth katakana.
constexpr InputFilterData kJapaneseChars{
    6, {{{0x20, 0x7E}, {0xA5, 0xA5}, {0x3040, 0x309F}, {0x30A0, 0x30FF}, {0x4E00, 0x9FFF}, {0xFF01, 0xFF9D}}}};
constexpr InputFilterData kAsciiKanaChars{2, {{{0x20, 0x7E}, {0xFF61, 0xFF9F}}}};
constexpr InputFilterData kLatin1Chars{2, {{{0x20, 0x7E}, {0xA0, 0xFF}}}};
constexpr InputFilterData kFromSpaceChars{1, {{{0x20, 0xFFFF}}}};
constexpr InputFilterData kDigitChars{1, {{{0x30, 0x39}}}};

constexpr PTFieldRecord kUserNameDefault{{{}, {}, 1, 24}, {kJapaneseChars, kJapaneseChars, "Message43"}, "Message42"};
constexpr PTFieldRecord kUserNameType2{{{}, {}, 1, 8}, {kAsciiKanaChars, kAsciiKanaChars, "Message43b"}, "Message42b"};
constexpr PTFieldRecord kUserNameQuorvel{{{}, {}, 1, 8}, {kLatin1Chars, kLatin1Chars, "Message43c"}, "Message43c"};
constexpr PTFieldRecord kLoginName{{{}, {}, 1, 32}, {kFromSpaceChars, kFromSpaceChars, "Message64"}, "Message42"};

constexpr PTFieldRecord kDocumentNameDefault{{{}, {}, 0, 64}, {kJapaneseChars, kJapaneseChars, "Message41"}};
constexpr PTFieldRecord kDocumentNameDefaultMailbox{{{}, {}, 0, 64}, {kJapaneseChars, kJapaneseChars, "Message41_m"}};
constexpr PTFieldRecord kDocumentNameType2{{{}, {}, 0, 12}, {kAsciiKanaChars, kAsciiKanaChars, "Message41b"}};
constexpr PTFieldRecord kDocumentNameType2Mailbox{{{}, {}, 0, 12}, {kAsciiKanaChars, kAsciiKanaChars, "Message41b_m"}};
constexpr PTFieldRecord kDocumentNameType3{{{}, {}, 0, 64}, {kJapaneseChars, kJapaneseChars, "Message41c"}};
constexpr PTFieldRecord kDocumentNameType3Mailbox{{{}, {}, 0, 64}, {kJapaneseChars, kJapaneseChars, "Message41c_m"}};
constexpr PTFieldRecord kDocumentNameQuorvel{{{}, {}, 0, 32}, {kLatin1Chars, kLatin1Chars, "Message41b_o"}};

}  // namespace

const PTFieldRecord kPasscodeRecord{{{}, {}, 0, 12}, {kDigitChars, kDigitChars, "Message60"}};
const PTFieldRecord kMailboxNumberRecord{{{}, {}, 1, 3}, {kDigitChars, kDigitChars, "Warning22"}};
const PTFieldRecord kMailboxPasswordRecord{{{}, {}, 0, 20}, {kDigitChars, kDigitChars, "Message40"}};

const PTFieldRecord& UserNameRecord(int pdeType, bool quorvel)
{
    if (pdeType == kProductType2) {
        return kUserNameType2;
    }
    return pdeType == kProductTypeQuorvel && quorvel ? kUserNameQuorvel : kUserNameDefault;
}

const PTFieldRecord& LoginNameRecord() { return kLoginName; }

const PTFieldRecord& DocumentNameRecord(int pdeType, bool quorvel, bool mailbox)
{
    if (pdeType == kProductType2) {
        return mailbox ? kDocumentNameType2Mailbox : kDocumentNameType2;
    }
    if (pdeType == kProductType3) {
        return mailbox ? kDocumentNameType3Mailbox : kDocumentNameType3;
    }
    if (pdeType == kProductTypeQuorvel && quorvel) {
        return kDocumentNameQuorvel;
    }
    return mailbox ? kDocumentNameDefaultMailbox : kDocumentNameDefault;
}

int PTLengthCount(std::string_view utf8, bool latin1)
{
    const auto units = ppd::Utf8ToUtf16(utf8);
    if (!units) {
        return -1;
    }
    int count = 0;
    for (std::size_t i = 0; i < units->size(); ++i) {
        const char16_t unit = (*units)[i];
        if (latin1) {
            count += unit <= 0xFF ? 1 : 2;
            continue;
        }
        // One byte in Shift-JIS: ASCII, the yen sign (0x5C) and overline
        // (0x7E) of its Roman set, and the halfwidth katakana.
        const bool singleByte = unit <= 0x7F || unit == 0xA5 || unit == 0x203E || (unit >= 0xFF61 && unit <= 0xFF9F);
        count += singleByte ? 1 : 2;
    }
    return count;
}

}  // namespace zlk::account
