#include "gbk.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using convert::firstCharacterNotInGbk;
using convert::gbkToUtf8;
using convert::utf8ToGbk;

const std::string kShopName = "\xE1\xB0\xBA\xCC\xBC\xC7\xD5\xCB";  // 岚禾记账

TEST(GbkToUtf8, ConvertsAsciiAndDoubleByteCharacters) {
    EXPECT_EQ(gbkToUtf8(kShopName), "岚禾记账");
    EXPECT_EQ(gbkToUtf8("A1 " + kShopName + "\r\n"), "A1 岚禾记账\r\n");
    EXPECT_EQ(gbkToUtf8(""), "");
}

TEST(GbkToUtf8, MapsAsCodePage936Does) {
    EXPECT_EQ(gbkToUtf8("\x80"), "€");      // single byte in code page 936
    EXPECT_EQ(gbkToUtf8("\xA1\xA4"), "·");  // middle dot, not katakana
    EXPECT_EQ(gbkToUtf8("\xA1\xAA"), "—");  // em dash
    EXPECT_EQ(gbkToUtf8("\xA3\xB1\xA1\xA1"), "１　");
    EXPECT_EQ(gbkToUtf8("\x81\x41\x81\x5C"), "丄乗");  // trail bytes in the ASCII range
}

TEST(GbkToUtf8, DropsACharacterCutInHalfAtTheEnd) {
    EXPECT_EQ(gbkToUtf8(kShopName + "\xD2"), "岚禾记账");
    EXPECT_EQ(gbkToUtf8("\xD2"), "");
    EXPECT_EQ(gbkToUtf8("ab\xFE"), "ab");
}

TEST(GbkToUtf8, ShowsBrokenBytesAsReplacementWithoutSwallowingNeighbours) {
    EXPECT_EQ(gbkToUtf8("a\xFF"
                        "b"),
              "a\uFFFD"
              "b");
    // A lead byte before a byte that cannot be a trail byte: that byte stays.
    EXPECT_EQ(gbkToUtf8("\xD2"
                        "1\xD2\xD1"),
              "\uFFFD"
              "1已");
    EXPECT_EQ(gbkToUtf8("\xB0\x7F"), "\uFFFD\x7F");
    // A user-defined code: glibc leaves it unmapped (U+FFFD), Windows sends it to
    // the private use area; either way it is one character and its neighbours stay.
    const std::string shown = gbkToUtf8("\xD2\xD1\xAA\xA1\xBD\xE1");
    ASSERT_EQ(shown.size(), 9u);
    EXPECT_EQ(shown.substr(0, 3), "已");
    EXPECT_EQ(shown.substr(6), "结");
    EXPECT_EQ(static_cast<unsigned char>(shown[3]) & 0xF0u, 0xE0u);
}

TEST(GbkToUtf8, EndsAtTheFirstZeroByte) {
    EXPECT_EQ(gbkToUtf8(std::string("\xD2\xD1\0\xBD\xE1", 5)), "已");
    EXPECT_EQ(gbkToUtf8(std::string("\xD2\0\xD1", 3)), "");
}

TEST(Utf8ToGbk, RoundTripsEveryGbkText) {
    ASSERT_TRUE(utf8ToGbk("岚禾记账").has_value());
    EXPECT_EQ(*utf8ToGbk("岚禾记账"), kShopName);
    EXPECT_EQ(*utf8ToGbk("€"), "\x80");
    EXPECT_EQ(*utf8ToGbk("１２．５－＋　～☆★"),
              "\xA3\xB1\xA3\xB2\xA3\xAE\xA3\xB5\xA3\xAD\xA3\xAB\xA1\xA1\xA1\xAB\xA1\xEE\xA1\xEF");
    EXPECT_EQ(*utf8ToGbk(""), "");
    const std::string mixed = "客户A 2024年3月5日 金额:12.5元";
    EXPECT_EQ(gbkToUtf8(*utf8ToGbk(mixed)), mixed);
}

TEST(Utf8ToGbk, RefusesCharactersGbkCannotHold) {
    EXPECT_FALSE(utf8ToGbk("한글").has_value());
    EXPECT_FALSE(utf8ToGbk("价格😀").has_value());  // beyond the BMP
    // No best-fit stand-in: A with breve must not be stored as a plain A.
    EXPECT_FALSE(utf8ToGbk("\xC4\x82").has_value());
}

TEST(Utf8ToGbk, RefusesTextThatIsNotUtf8) {
    EXPECT_FALSE(utf8ToGbk("\xD2\xD1").has_value());      // GBK bytes
    EXPECT_FALSE(utf8ToGbk("\xE5\xB2").has_value());      // truncated
    EXPECT_FALSE(utf8ToGbk("\xC0\xAF").has_value());      // overlong "/"
    EXPECT_FALSE(utf8ToGbk("\xED\xA0\x80").has_value());  // surrogate
}

TEST(FirstCharacterNotInGbk, NamesTheFirstOffender) {
    EXPECT_EQ(firstCharacterNotInGbk("岚禾记账"), "");
    EXPECT_EQ(firstCharacterNotInGbk(""), "");
    EXPECT_EQ(firstCharacterNotInGbk("张三한😀"), "한");
    EXPECT_EQ(firstCharacterNotInGbk("ab😀한"), "😀");
    EXPECT_EQ(firstCharacterNotInGbk("x\xC4\x82"), "\xC4\x82");
    EXPECT_EQ(firstCharacterNotInGbk("ok\xFF"), "\uFFFD");
}

}  // namespace
