#include "filter/encoding.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace zlk::filter {
namespace {

const char* const kInvalidMessage = "CFStringCreateWithCString fail\n";

std::string Repeat(const std::string& piece, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

DocumentNames Prepare(const std::string& title, bool utf8Printer, std::optional<int> productType)
{
    DocumentNames names;
    std::memset(&names, 'x', sizeof names);  // stale contents must not survive
    PrepareDocumentName(title.c_str(), utf8Printer, productType, names);
    return names;
}

TEST(ConvertToCP932, EncodesEachCharacterAndKeepsBackslashAndTilde)
{
    char dst[32];
    EXPECT_EQ(ConvertUTF8ToEncoding("a\\~\xE3\x81\x82\xE3\x80\x80", dst, sizeof dst), 7);
    EXPECT_EQ(std::string(dst), "a\x5C\x7E\x82\xA0\x81\x40");
}

TEST(ConvertToCP932, DropsCharactersCP932Lacks)
{
    char dst[32];
    // e-acute has no CP932 form; the emoji is a surrogate pair, each half unencodable.
    EXPECT_EQ(ConvertUTF8ToEncoding("a\xC3\xA9"
                                    "b\xF0\x9F\x98\x80"
                                    "c",
                                    dst, sizeof dst),
              3);
    EXPECT_STREQ(dst, "abc");
}

TEST(ConvertToCP932, StopsAtDestinationSizeWithoutSplittingACharacter)
{
    char dst[8];
    std::memset(dst, 'x', sizeof dst);
    // Half of a two-byte character would print as garbage: it is left out.
    EXPECT_EQ(ConvertUTF8ToEncoding("a\xE3\x81\x82\xE3\x81\x84", dst, 5), 3);
    EXPECT_EQ(std::string(dst), "a\x82\xA0");
    EXPECT_EQ(ConvertUTF8ToEncoding("a\xE3\x81\x82\xE3\x81\x84", dst, 6), 5);
    EXPECT_EQ(ConvertUTF8ToEncoding("abc", dst, 1), 0);
    EXPECT_STREQ(dst, "");
}

TEST(ConvertToUTF8, CutsOnlyBetweenCharacters)
{
    char dst[16];
    EXPECT_EQ(ConvertUTF8ToEncodingForUTF8("a\xE3\x81\x82\xE3\x81\x84", dst, 5), 4);
    EXPECT_STREQ(dst, "a\xE3\x81\x82");
    EXPECT_EQ(ConvertUTF8ToEncodingForUTF8("a\xE3\x81\x82", dst, 4), 1);
    EXPECT_STREQ(dst, "a");
    EXPECT_EQ(ConvertUTF8ToEncodingForUTF8("\xF0\x9F\x98\x80~\\", dst, sizeof dst), 6);
    EXPECT_STREQ(dst, "\xF0\x9F\x98\x80~\\");
}

TEST(ConvertInvalidSource, GivesEmptyResultAndMessage)
{
    const char* invalid[] = {
        "a\xC0\xAF",  // overlong
        "\xE0\x80\xAF",  // overlong
        "\xED\xA0\x80",  // encoded surrogate
        "\xF4\x90\x80\x80",  // past U+10FFFF
        "ab\xE3\x81",  // cut sequence
        "\x80",  // stray continuation
        "\xFF",
    };
    for (const char* src : invalid) {
        char dst[16];
        std::memset(dst, 'x', sizeof dst);
        testing::internal::CaptureStderr();
        EXPECT_EQ(ConvertUTF8ToEncoding(src, dst, sizeof dst), 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), kInvalidMessage);
        EXPECT_STREQ(dst, "");
        std::memset(dst, 'x', sizeof dst);
        testing::internal::CaptureStderr();
        EXPECT_EQ(ConvertUTF8ToEncodingForUTF8(src, dst, sizeof dst), 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), kInvalidMessage);
        EXPECT_STREQ(dst, "");
    }
}

TEST(Validation, IdeographicSpaceDependsOnTable)
{
    EXPECT_EQ(ValidateDada("AB\x81\x40", docuNameValidateDataScale), 1);
    EXPECT_EQ(ValidateDada("AB\x81\x40", docuNameValidateDataScaleForProduct02), 0);
    EXPECT_EQ(ValidateDada("AB\x81\x60\xB1", docuNameValidateDataScaleForProduct02), 1);
    EXPECT_EQ(ValidateDada("A\tB", docuNameValidateDataScale), 0);
    EXPECT_EQ(ValidateDada("", docuNameValidateDataScale), 1);
}

TEST(Validation, LoneLastByteIsTestedWithTheTerminator)
{
    // Exactly sized, so a read past the terminator shows under the sanitizer.
    const char leadHigh[] = {'A', '\x9F', '\0'};  // 0x9F00 is a valid word
    const char leadLow[] = {'A', '\x81', '\0'};  // 0x8100 is not, nor is the byte
    const char control[] = {'\x01', '\0'};  // 0x0100 is a UTF-8-table word
    EXPECT_EQ(ValidateDada(leadHigh, docuNameValidateDataScale), 1);
    EXPECT_EQ(ValidateDada(leadLow, docuNameValidateDataScale), 0);
    EXPECT_EQ(ValidateDada(control, docuNameValidateDataScaleForProduct03UTF8), 1);
    EXPECT_EQ(ValidateDada(control, docuNameValidateDataScale), 0);

    InputFilterData noWords = docuNameValidateDataScale;
    noWords.wordRangeCount = 0;
    const unsigned char word[] = {0x81, 0x40};
    EXPECT_EQ(ISWordValid(word, docuNameValidateDataScale), 1);
    EXPECT_EQ(ISWordValid(word, noWords), 0);
}

const std::string kHiragana7 = "\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86\xE3\x81\x88\xE3\x81\x8A\xE3\x81\x8B\xE3\x81\x8D";

TEST(DocumentNameCP932, AsciiTitleCutToProductLimit)
{
    const std::string title = Repeat("0123456789", 7);
    DocumentNames n = Prepare(title.substr(0, 40), false, 1);
    EXPECT_EQ(std::string(n.PTStdDocumentName), title.substr(0, 32));
    EXPECT_EQ(std::string(n.PTStdDocumentNameForUTF8), title.substr(0, 32));

    n = Prepare(title, false, 3);
    EXPECT_EQ(std::string(n.PTStdDocumentName), title.substr(0, 64));
    EXPECT_EQ(std::string(n.PTStdDocumentNameForUTF8), title.substr(0, 64));
}

TEST(DocumentNameCP932, TwoByteCharactersCountTwice)
{
    DocumentNames n = Prepare(kHiragana7, false, 2);
    EXPECT_EQ(std::strlen(n.StdDocumentName), 12u);
    EXPECT_EQ(std::string(n.PTStdDocumentNameForUTF8), kHiragana7.substr(0, 18));
    EXPECT_STREQ(n.PTStdDocumentName, "");  // hiragana are outside the product 2 table

    n = Prepare("a" + kHiragana7, false, 2);
    EXPECT_EQ(std::string(n.StdDocumentName), "a\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8");
    EXPECT_EQ(std::string(n.PTStdDocumentNameForUTF8), "a" + kHiragana7.substr(0, 15));

    n = Prepare(Repeat(kHiragana7, 6), false, 3);
    EXPECT_EQ(std::strlen(n.PTStdDocumentName), 64u);
    EXPECT_EQ(std::string(n.PTStdDocumentNameForUTF8), Repeat(kHiragana7, 6).substr(0, 32 * 3));
}

TEST(DocumentNameCP932, ProductTableDecidesIdeographicSpace)
{
    DocumentNames n = Prepare("AB\xE3\x80\x80", false, 1);
    EXPECT_EQ(std::string(n.PTStdDocumentName), "AB\x81\x40");
    n = Prepare("AB\xE3\x80\x80", false, 2);
    EXPECT_STREQ(n.PTStdDocumentName, "");
    EXPECT_STREQ(n.PTStdDocumentNameForUTF8, "AB\xE3\x80\x80");
}

TEST(DocumentNameCP932, MissingProductTypeSendsOnlyTheUTF8Name)
{
    DocumentNames n = Prepare(Repeat("0123456789", 5), false, std::nullopt);
    EXPECT_STREQ(n.PTStdDocumentName, "");
    EXPECT_EQ(std::string(n.PTStdDocumentNameForUTF8), Repeat("0123456789", 5));

    const std::string longTitle = Repeat("\xE3\x81\x82", 100);
    n = Prepare(longTitle, false, std::nullopt);
    EXPECT_EQ(std::string(n.PTStdDocumentNameForUTF8), longTitle.substr(0, 255));
}

TEST(DocumentName, LineBreakOrInvalidTitleLeavesAllEmpty)
{
    for (const char* title : {"report\nfinal", "report\r", "ab\xC0\xAF"}) {
        for (bool utf8 : {false, true}) {
            testing::internal::CaptureStderr();
            DocumentNames n = Prepare(title, utf8, 1);
            std::string err = testing::internal::GetCapturedStderr();
            EXPECT_EQ(err, std::strchr(title, '\xC0') ? kInvalidMessage : "");
            EXPECT_STREQ(n.StdDocumentName, "");
            EXPECT_STREQ(n.PTStdDocumentName, "");
            EXPECT_STREQ(n.PTStdDocumentNameForUTF8, "");
        }
    }
}

TEST(DocumentNameUTF8, CutsByCharacters)
{
    const std::string title = Repeat(kHiragana7, 10);  // 70 characters
    DocumentNames n = Prepare(title, true, 3);
    EXPECT_EQ(std::string(n.PTStdDocumentName), title.substr(0, 64 * 3));
    EXPECT_EQ(std::string(n.PTStdDocumentNameForUTF8), title.substr(0, 64 * 3));

    // The twelfth unit is the first half of a surrogate pair: the pair goes.
    n = Prepare("abcdefghijk\xF0\x9F\x98\x80", true, 2);
    EXPECT_STREQ(n.PTStdDocumentName, "abcdefghijk");
    EXPECT_STREQ(n.PTStdDocumentNameForUTF8, "abcdefghijk");
}

TEST(DocumentNameUTF8, ProductTypeChoosesTable)
{
    DocumentNames n = Prepare("\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86", true, 5);
    EXPECT_STREQ(n.PTStdDocumentName, "\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86");

    // U+30E0 ends in 0xA0, which the default table refuses.
    n = Prepare("\xE3\x83\xA0", true, 1);
    EXPECT_STREQ(n.PTStdDocumentName, "");
    EXPECT_STREQ(n.PTStdDocumentNameForUTF8, "\xE3\x83\xA0");

    n = Prepare("plain title", true, std::nullopt);
    EXPECT_STREQ(n.PTStdDocumentName, "plain title");
    EXPECT_STREQ(n.PTStdDocumentNameForUTF8, "plain title");
}

}  // namespace
}  // namespace zlk::filter
