#include "platform/wide_text.h"

#include <gtest/gtest.h>

namespace tabrook::platform {
namespace {

struct TextCase {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

class WideTextRoundTrip : public ::testing::TestWithParam<TextCase> {};

TEST_P(WideTextRoundTrip, BothDirectionsGiveTheOtherSpelling) {
    EXPECT_EQ(WidenUtf8(GetParam().utf8), GetParam().utf16);
    EXPECT_EQ(NarrowUtf16(GetParam().utf16), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, WideTextRoundTrip,
    ::testing::Values(TextCase{"Ascii", "C:\\out\\Book 1.xlsx", u"C:\\out\\Book 1.xlsx"},
                      TextCase{"TwoAndThreeBytes",
                               "Gr\xC3\xB6\xC3\x9F"
                               "e \xE2\x82\xAC",
                               u"Gr\u00F6\u00DFe \u20AC"},
                      TextCase{"BeyondTheBasicPlane", "\xF0\x9F\x93\x88.xls", u"\U0001F4C8.xls"},
                      // Names on NTFS may hold them; they must survive the trip unchanged.
                      TextCase{"LoneHighSurrogate", "a\xED\xA0\x80z",
                               std::u16string{u'a', 0xD800, u'z'}},
                      TextCase{"LoneLowSurrogate", "\xED\xBF\xBF", std::u16string{0xDFFF}}),
    [](const ::testing::TestParamInfo<TextCase>& param) { return std::string(param.param.name); });

struct BrokenCase {
    const char* name;
    std::string bytes;
    std::u16string widened;
};

class WideTextBroken : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(WideTextBroken, EachByteThatIsNoTextBecomesOneReplacement) {
    EXPECT_EQ(WidenUtf8(GetParam().bytes), GetParam().widened);
}

INSTANTIATE_TEST_SUITE_P(Bytes, WideTextBroken,
                         ::testing::Values(BrokenCase{"StrayContinuation", "a\x80z", u"a\uFFFDz"},
                                           BrokenCase{"CutShort", "a\xE2\x82", u"a\uFFFD\uFFFD"},
                                           BrokenCase{"Overlong", "\xC0\xAF", u"\uFFFD\uFFFD"},
                                           BrokenCase{"BeyondUnicode", "\xF4\x90\x80\x80",
                                                      u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                                           BrokenCase{"LeadWithoutFollower", "\xC3z", u"\uFFFDz"}),
                         [](const ::testing::TestParamInfo<BrokenCase>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
}  // namespace tabrook::platform
