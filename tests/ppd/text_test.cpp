#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ppd/inputfilter.h"
#include "ppd/textcodec.h"
#include "ppd/textutil.h"

namespace zlk::ppd {
namespace {

TEST(ppd_services_Numbers, ItoaKeepsTheLowestDigitsThatFit)
{
    EXPECT_EQ(itoa(123, 10), "123");
    EXPECT_EQ(itoa(255, 4), "255");
    EXPECT_EQ(itoa(12345, 4), "345");
    EXPECT_EQ(itoa(0, 10), "");
}

TEST(ppd_services_Numbers, SlashDecimalDecoding)
{
    std::string text = "/49/44/50";
    numstrtochar(text);
    EXPECT_EQ(text, "1,2");
    text = "/72/105/47";
    numstrtochar(text);
    EXPECT_EQ(text, "Hi/");
    text = "/49/300/50";  // a number past a byte ends the text
    numstrtochar(text);
    EXPECT_EQ(text, "1");
    text = "1,2/49";
    numstrtochar(text);
    EXPECT_EQ(text, "1,2/49");
}

TEST(ppd_services_Numbers, TenthsIntegerLengthsAndOrdering)
{
    EXPECT_EQ(ConvertIntToFloatStr(5, 16), "0.5");
    EXPECT_EQ(ConvertIntToFloatStr(123, 16), "12.3");
    EXPECT_EQ(ConvertIntToFloatStr(10, 16), "1.0");
    EXPECT_EQ(ConvertIntToFloatStr(12345, 4), "123");
    EXPECT_EQ(GetIntegerLength(0), 1);
    EXPECT_EQ(GetIntegerLength(-120), 4);

    std::vector<std::string> values = {"10", "9", "007", "100"};
    std::stable_sort(values.begin(), values.end(),
                     [](const std::string& a, const std::string& b) { return numCompare(a, b) < 0; });
    EXPECT_EQ(values, (std::vector<std::string>{"007", "9", "10", "100"}));
    EXPECT_EQ(numCompare("7", "007"), 0);
    EXPECT_EQ(numCompare(3, 2), 1);
}

TEST(ppd_services_Widths, NarrowRangeDiffersBetweenTheTwoCounts)
{
    // U+00E9 is wide on the panel but counts 1 where the width stands for a
    // byte-like length.
    EXPECT_EQ(GetStringLength(u"a\u00E9\u65E5"), 5);
    EXPECT_EQ(GetUTF8StringLength("a\xC3\xA9\xE6\x97\xA5"), 4);
    EXPECT_EQ(GetUTF8StringLength("plain"), 5);
    EXPECT_EQ(GetStringLength(u""), 0);
    EXPECT_EQ(GetUTF8StringLength(""), 0);
    EXPECT_EQ(GetUTF8StringLength("bad\xC3"), 0);
    EXPECT_EQ(GetUTF8StringLength(nullptr), 0);
}

TEST(ppd_services_Spaces, SpacesAndPoints)
{
    EXPECT_TRUE(IsAllSpace(u"\u3000 "));
    EXPECT_TRUE(IsAllSpace(u""));
    EXPECT_FALSE(IsAllSpace(u" a"));

    std::u16string out = u"old";
    EXPECT_EQ(RemoveAllSpaces(u" a b\u3000", out), 3);
    EXPECT_EQ(out, u"ab\u3000");

    EXPECT_EQ(GetStringPointCount(u"1.2.3"), 2);
    EXPECT_EQ(GetStringPointIndex(u"12.7"), 3);
    EXPECT_EQ(GetStringPointIndex(u"127"), 4);
    EXPECT_EQ(GetStringPointIndex(u""), 1);
}

TEST(ppd_services_Resources, NamesFromLayoutAttributeValues)
{
    EXPECT_EQ(GetAppResourceName("Default00-Type02", 0), "Default00");
    EXPECT_EQ(GetAppResourceName("Default00-Type02", 1), "Type02");
    EXPECT_EQ(GetAppResourceName("Default00-Type02-B", 1), "Type02-B");
    EXPECT_EQ(GetAppResourceName("Default00", 0), "Default00");
    EXPECT_EQ(GetAppResourceName("Default00", 1), "");
    EXPECT_EQ(GetAppResourceName(("a-" + std::string(300, 'x')).c_str(), 1).size(), 254u);
    EXPECT_EQ(GetAppResourceName(nullptr, 0), "");

    EXPECT_EQ(GetAppFullResourceName("Type02", 1, "Trimmer_", "Margins_"), "Margins_Type02");
    EXPECT_EQ(GetAppFullResourceName("Type02", 0, "Trimmer_", "Margins_"), "Trimmer_Type02");
    EXPECT_EQ(GetAppFullResourceName("Type02", 2, "Trimmer_", "Margins_"), "Type02");

    // 254 ASCII bytes then a two-byte character: cut before it.
    const std::string copy = NSStringCreateWithCFString(std::string(254, 'a') + "\xC3\xA9");
    EXPECT_EQ(copy, std::string(254, 'a'));
}

InputFilterData Ranges(std::initializer_list<InputFilterRange> ranges)
{
    InputFilterData filter{static_cast<std::int32_t>(ranges.size()), {}};
    std::copy(ranges.begin(), ranges.end(), filter.ranges.begin());
    return filter;
}

TEST(ppd_services_Filters, SeparatorFieldTakesSpacesCommasAndDigits)
{
    const InputFilterData ranges = Ranges({{0x20, 0x20}, {0x2C, 0x2C}, {0x30, 0x39}});
    const TextEditFilterData filter{ranges, ranges, "Message22c"};
    EXPECT_TRUE(validateInput(u"1, 20", filter));
    EXPECT_FALSE(validateInput(u"1a", filter));
    EXPECT_TRUE(validateInput(u"", filter));
    EXPECT_TRUE(ISByteValid('5', filter.byteFilter));
    EXPECT_FALSE(ISByteValid('x', filter.byteFilter));
    // Byte filters look at the bounds' low bytes only.
    EXPECT_TRUE(ISByteValid('5', Ranges({{0x130, 0x139}})));
    EXPECT_FALSE(ISByteValid('5', Ranges({})));
    EXPECT_FALSE(ISWordValid(u'5', Ranges({})));
}

TEST(ppd_services_Filters, ComposedSequencesOnlyWithHalfwidthSoundMarks)
{
    // Halfwidth katakana letters but not the sound marks themselves.
    const InputFilterData kana = Ranges({{0xFF66, 0xFF9D}});
    const TextEditFilterData kanaFilter{kana, kana, "Message"};
    EXPECT_TRUE(validateInput(u"\uFF76\uFF9E\uFF8A\uFF9F", kanaFilter));
    EXPECT_FALSE(validateInputForUTF8(u"\uFF76\uFF9E", kanaFilter));
    EXPECT_FALSE(validateInput(u"A\uFF9E", kanaFilter));

    // Both units of e + combining acute pass, yet the sequence does not.
    const InputFilterData latin = Ranges({{0x20, 0x7E}, {0x300, 0x36F}, {0xD800, 0xDFFF}});
    const TextEditFilterData latinFilter{latin, latin, "Message"};
    EXPECT_FALSE(validateInput(u"e\u0301", latinFilter));
    EXPECT_TRUE(validateInputForUTF8(u"e\u0301", latinFilter));
    EXPECT_FALSE(validateInput(u"\U0001F600", latinFilter));
    EXPECT_TRUE(validateInputForUTF8(u"\U0001F600", latinFilter));

    const TextEditFilterData none{Ranges({}), Ranges({}), "Message"};
    EXPECT_FALSE(validateInput(u"a", none));
    EXPECT_FALSE(validateInputForUTF8(u"a", none));
    EXPECT_TRUE(validateInputForUTF8(u"", none));
}

TEST(ppd_services_Codec, Utf16RoundTripAndMalformedInput)
{
    const std::string text = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80";
    const std::optional<std::u16string> units = Utf8ToUtf16(text);
    ASSERT_TRUE(units);
    EXPECT_EQ(*units, u"a\u00E9\u65E5\U0001F600");
    EXPECT_EQ(Utf16ToUtf8(*units), text);
    EXPECT_FALSE(Utf8ToUtf16("\xC0\xAF"));  // overlong
    EXPECT_FALSE(Utf8ToUtf16("\xED\xA0\x80"));  // encoded surrogate
    EXPECT_FALSE(Utf16ToUtf8(u"\xD800"));
    EXPECT_EQ(ConvertFromUtf8("\xE3\x82\xAB", kTextEncodingMacJapanese), "\x83\x4A");
    EXPECT_EQ(ConvertToUtf8("Caf\xE9", kTextEncodingISOLatin1), "Caf\xC3\xA9");
    EXPECT_FALSE(ConvertFromUtf8("\xE6\x97\xA5", kTextEncodingISOLatin1));
}

}  // namespace
}  // namespace zlk::ppd
