#include "text.h"

#include <gtest/gtest.h>

#include <string>

#include "gbk_literal.h"

namespace {

using convert::compareText;
using convert::findText;
using convert::fitToWidth;
using convert::foldFullWidth;
using convert::removeSpaces;
using convert::trimSpaces;

TEST(FoldFullWidth, FoldsDigitsSignsPointsAndLetters) {
    EXPECT_EQ(foldFullWidth(gbk("１２．５")), "12.5");
    EXPECT_EQ(foldFullWidth(gbk("－３＋４")), "-3+4");
    EXPECT_EQ(foldFullWidth(gbk("ＡＺａｚ")), "AZaz");
    EXPECT_EQ(foldFullWidth("\xA3\xA1\xA3\xFE"), "!~");  // both ends of the row
    EXPECT_EQ(foldFullWidth(gbk("金额１２元")), gbk("金额") + "12" + gbk("元"));
}

TEST(FoldFullWidth, FoldsTheSpaceTildeAndStars) { EXPECT_EQ(foldFullWidth(gbk("　～☆★")), " ~**"); }

TEST(FoldFullWidth, LeavesOtherCharactersAlone) {
    EXPECT_EQ(foldFullWidth(gbk("已结·—")), gbk("已结·—"));
    EXPECT_EQ(foldFullWidth("\xA3\xA0"), "\xA3\xA0");  // just below the row
    EXPECT_EQ(foldFullWidth("\xA1\xA2\xA1\xED"), "\xA1\xA2\xA1\xED");
    // A trail byte in the ASCII range belongs to its character.
    EXPECT_EQ(foldFullWidth("\x81\x41\xA3\x41"), "\x81\x41\xA3\x41");
    // A3 B1 ("１") straddling two characters is not one.
    EXPECT_EQ(foldFullWidth("\xB0\xA3\xB1\xB0"), "\xB0\xA3\xB1\xB0");
}

TEST(FoldFullWidth, EndsAtAHalfCharacterOrAZeroByte) {
    EXPECT_EQ(foldFullWidth(gbk("１") + "\xA3"), "1");
    EXPECT_EQ(foldFullWidth("\xA3"), "");
    EXPECT_EQ(foldFullWidth(std::string("\xA3\0\xB1", 3)), "");
    EXPECT_EQ(foldFullWidth(std::string("12\0"
                                        "34",
                                        5)),
              "12");
}

TEST(FindText, GivesOneBasedBytePositions) {
    EXPECT_EQ(findText(gbk("已结"), gbk("结")), 3);
    EXPECT_EQ(findText("ab" + gbk("已结"), gbk("已结")), 3);
    EXPECT_EQ(findText("abcabc", "c"), 3);
    EXPECT_EQ(findText("abc", "abc"), 1);
    EXPECT_EQ(findText("abc", "abcd"), -1);
    EXPECT_EQ(findText("abc", "B"), -1);  // letter case counts
}

TEST(FindText, EmptySearchedText) {
    EXPECT_EQ(findText("x", ""), 1);
    EXPECT_EQ(findText("", ""), -1);
    EXPECT_EQ(findText("", "x"), -1);
}

TEST(FindText, NeverMatchesInsideACharacter) {
    // 丄 is 0x81 0x41: its trail byte is not the letter A.
    EXPECT_EQ(findText("\x81\x41", "A"), -1);
    EXPECT_EQ(findText("\x81\x41"
                       "A",
                       "A"),
              3);
    // 已结 is D2 D1 BD E1: D1 BD spans two characters.
    EXPECT_EQ(findText(gbk("已结"), "\xD1\xBD"), -1);
    EXPECT_EQ(findText(gbk("啊"), "\xA1"), -1);
}

TEST(FindText, StopsAtALoneLeadByteAtTheEnd) {
    const std::string cut = gbk("客户") + "\xD2";
    EXPECT_EQ(findText(cut, gbk("已结")), -1);
    EXPECT_EQ(findText(cut, "\xD2\xD1"), -1);
    EXPECT_EQ(findText(cut, "\xD2"), 5);
    EXPECT_EQ(findText(std::string("ab\0cd", 5), "cd"), -1);  // the text ends at zero
}

TEST(TrimSpaces, RemovesAsciiAndIdeographicSpacesAtBothEnds) {
    EXPECT_EQ(trimSpaces(gbk(" 　张 三　  ")), gbk("张 三"));
    EXPECT_EQ(trimSpaces(gbk("　 　")), "");
    EXPECT_EQ(trimSpaces(""), "");
    EXPECT_EQ(trimSpaces("a\tb\t"), "a\tb\t");  // only spaces count
}

TEST(TrimSpaces, KeepsCharactersWhoseBytesLookLikeSpaces) {
    // D2 A1 is one character; the A1 after it is a lone lead byte, not half
    // of an ideographic space.
    EXPECT_EQ(trimSpaces("\xD2\xA1\xA1"), "\xD2\xA1\xA1");
    EXPECT_EQ(trimSpaces("\xD2\xA1\xA1\xA1"), "\xD2\xA1");
    EXPECT_EQ(trimSpaces("\xA1\xA1\xA1"), "\xA1");
}

TEST(RemoveSpaces, RemovesEverySpace) {
    EXPECT_EQ(removeSpaces(gbk(" 　  　")), "");
    EXPECT_EQ(removeSpaces(gbk("张 三　丰 ")), gbk("张三丰"));
    EXPECT_EQ(removeSpaces("\xD2\xA1\xA1\xA1"), "\xD2\xA1");
    EXPECT_EQ(removeSpaces("\xA1\xA1\xA1"), "\xA1");
}

TEST(CompareText, OrdersBytesAsUnsigned) {
    EXPECT_LT(compareText("a", "b"), 0);
    EXPECT_GT(compareText("b", "a"), 0);
    EXPECT_EQ(compareText(gbk("张三"), gbk("张三")), 0);
    EXPECT_EQ(compareText("", ""), 0);
    EXPECT_LT(compareText("A", "a"), 0);  // letter case counts
    EXPECT_GT(compareText(gbk("啊"), "z"), 0);
    EXPECT_LT(compareText("\xB0\xA1", "\xB0\xA2"), 0);
    EXPECT_LT(compareText("\xB0\xFE", "\xB1\x40"), 0);
}

TEST(CompareText, AShorterTextSortsFirst) {
    EXPECT_LT(compareText("ab", "abc"), 0);
    EXPECT_GT(compareText(gbk("张三丰"), gbk("张三")), 0);
    EXPECT_LT(compareText("", "\x01"), 0);
    EXPECT_EQ(compareText(std::string("ab\0x", 4), "ab"), 0);
}

TEST(TextOperations, AreTotalOnMalformedAndLongTexts) {
    // Every byte value, in every position, at the end of the text: the
    // sanitizer build checks that nothing reads beyond it.
    for (int b = 1; b < 256; ++b) {
        const std::string tail(1, static_cast<char>(b));
        for (const std::string& text : {tail, "x" + tail, gbk("已") + tail, tail + tail}) {
            foldFullWidth(text);
            trimSpaces(text);
            removeSpaces(text);
            EXPECT_LE(findText(text, tail), static_cast<int>(text.size()));
            EXPECT_EQ(compareText(text, text), 0);
        }
    }
    const std::string longText(1 << 20, '\xA1');
    EXPECT_EQ(removeSpaces(longText), "");
    EXPECT_EQ(trimSpaces(longText + "\xA1"), "\xA1");
    EXPECT_EQ(foldFullWidth(longText).size(), longText.size() / 2);
    EXPECT_EQ(findText(longText + "x", "x"), static_cast<int>(longText.size()) + 1);
}

TEST(FitToWidth, CutsBeforeACharacterThatWouldNotFitWhole) {
    EXPECT_EQ(fitToWidth("abc", 3), "abc");
    EXPECT_EQ(fitToWidth("abcd", 3), "abc");
    EXPECT_EQ(fitToWidth(gbk("a甲乙"), 4), gbk("a甲"));
    EXPECT_EQ(fitToWidth(gbk("甲乙"), 3), gbk("甲"));
    EXPECT_EQ(fitToWidth(gbk("甲"), 1), "");
    EXPECT_EQ(fitToWidth(gbk("甲乙"), 0), "");
    // A trail byte in the ASCII range ('@') is no character of its own.
    EXPECT_EQ(fitToWidth("a\x81\x40", 2), "a");
    // A text that fits stays whole, even one that ends in a lone lead byte.
    EXPECT_EQ(fitToWidth("ab\x81", 3), "ab\x81");
}

}  // namespace
