#include "platform/code_page.h"

#include <string>
#include <utility>

#include "gmock/gmock.h"
#include "gtest/gtest.h"

namespace platform {
namespace {

using ::testing::EndsWith;
using ::testing::StartsWith;

// Both calls of the converter's contract, checking that the size it asks for is the
// size it then writes. Empty when the size call refuses.
std::string Encode(CodePage codePage, const std::u16string& text) {
  const int inLength = static_cast<int>(text.size());
  const int size = EncodeCodePage(codePage, text.data(), inLength, nullptr, 0);
  if (size <= 0) return std::string();
  std::string out(static_cast<std::size_t>(size), '\0');
  const int written = EncodeCodePage(codePage, text.data(), inLength, &out[0], size);
  EXPECT_EQ(written, size) << "code page " << codePage;
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

std::u16string Decode(CodePage codePage, const std::string& bytes) {
  const int inLength = static_cast<int>(bytes.size());
  const int size = DecodeCodePage(codePage, bytes.data(), inLength, nullptr, 0);
  if (size <= 0) return std::u16string();
  std::u16string out(static_cast<std::size_t>(size), u'\0');
  const int written = DecodeCodePage(codePage, bytes.data(), inLength, &out[0], size);
  EXPECT_EQ(written, size) << "code page " << codePage;
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
}

// Hiragana, kanji, katakana, half-width katakana, ASCII and full-width punctuation.
const std::u16string kSentence =
    u"\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8\u3001"  // 日本語のテキスト、
    u"\uff76\uff80\uff76\uff85"                                // ｶﾀｶﾅ
    u"\u3068ABC 123\u3002";                                    // とABC 123。

const CodePage kJapanesePages[] = {kCodePageShiftJis, kCodePageEucJp, kCodePageIso2022Jp,
                                   kCodePageUtf8};

TEST(CodePageTest, AsciiIsUnchangedInUtf8) {
  EXPECT_EQ(Encode(kCodePageUtf8, u"abc"), "abc");
  EXPECT_EQ(Decode(kCodePageUtf8, "abc"), u"abc");
}

TEST(CodePageTest, JapaneseSentenceRoundTripsThroughEveryJapanesePage) {
  for (const CodePage codePage : kJapanesePages) {
    const std::string bytes = Encode(codePage, kSentence);
    EXPECT_FALSE(bytes.empty()) << "code page " << codePage;
    EXPECT_EQ(Decode(codePage, bytes), kSentence) << "code page " << codePage;
  }
}

// Long enough to outgrow any first guess at the converted size many times over and
// to outlast the conversion library's own buffers.
TEST(CodePageTest, LongTextConvertsWholeWithReplacementsInPlace) {
  std::u16string text;
  while (text.size() < 200000) text += kSentence;
  for (const CodePage codePage : kJapanesePages) {
    const std::u16string back = Decode(codePage, Encode(codePage, text));
    EXPECT_EQ(back.size(), text.size()) << "code page " << codePage;
    EXPECT_TRUE(back == text) << "code page " << codePage;
  }

  std::string bytes;
  std::u16string expected;
  for (int i = 0; i < 20000; ++i) {
    bytes += "\xe3\x81\x82" "abc\xff";
    expected += u"\u3042abc\ufffd";
  }
  const std::u16string decoded = Decode(kCodePageUtf8, bytes);
  EXPECT_EQ(decoded.size(), expected.size());
  EXPECT_TRUE(decoded == expected);
}

TEST(CodePageTest, CharactersHaveTheirStandardBytes) {
  struct Case {
    CodePage codePage;
    std::u16string text;
    std::string bytes;
  };
  const Case cases[] = {
      // あ
      {kCodePageShiftJis, u"\u3042", "\x82\xa0"},
      {kCodePageEucJp, u"\u3042", "\xa4\xa2"},
      {kCodePageIso2022Jp, u"\u3042", "\x1b$B$\"\x1b(B"},
      {kCodePageUtf8, u"\u3042", "\xe3\x81\x82"},
      // 漢
      {kCodePageShiftJis, u"\u6f22", "\x8a\xbf"},
      {kCodePageEucJp, u"\u6f22", "\xb4\xc1"},
      {kCodePageIso2022Jp, u"\u6f22", "\x1b$B4A\x1b(B"},
      // 〜, the wave dash, where Shift_JIS has the full-width tilde ～
      {kCodePageEucJp, u"\u301c", "\xa1\xc1"},
#if !defined(_WIN32)
      // ①, of the NEC special row that plain EUC-JP lacks. The Windows build leaves
      // EUC-JP to the system's converter, and Wine's has no such row.
      {kCodePageEucJp, u"\u2460", "\xad\xa1"},
      {kCodePageIso2022Jp, u"\u2460", "\x1b$B-!\x1b(B"},
      // ...and what follows it is plain EUC-JP again.
      {kCodePageEucJp, u"\u2460\u301c", "\xad\xa1\xa1\xc1"},
#endif
      // ｶ, half-width
      {kCodePageShiftJis, u"\uff76", "\xb6"},
      {kCodePageEucJp, u"\uff76", "\x8e\xb6"},
      {kCodePageUtf8, u"\uff76", "\xef\xbd\xb6"},
      // ASCII around a two-byte run: one designation in, one back to ASCII.
      {kCodePageIso2022Jp, u"a\u3042\u3042b", "a\x1b$B$\"$\"\x1b(Bb"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Encode(c.codePage, c.text), c.bytes) << "code page " << c.codePage;
    EXPECT_EQ(Decode(c.codePage, c.bytes), c.text) << "code page " << c.codePage;
  }
}

TEST(CodePageTest, ShiftJisUsesTheWindowsMappings) {
  struct Case {
    std::u16string text;
    std::string bytes;
  };
  const Case cases[] = {
      {u"\uff5e", "\x81\x60"},  // ～ full-width tilde, not the wave dash
      {u"\u2225", "\x81\x61"},  // ∥
      {u"\uff0d", "\x81\x7c"},  // －
      {u"\uffe2", "\x81\xca"},  // ￢
      {u"\u2460", "\x87\x40"},  // ① NEC special row
      {u"\u3231", "\x87\x8a"},  // ㈱
      {u"\u2170", "\xfa\x40"},  // ⅰ IBM extension
      {u"\u7e8a", "\xfa\x5c"},  // 纊
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Encode(kCodePageShiftJis, c.text), c.bytes);
    EXPECT_EQ(Decode(kCodePageShiftJis, c.bytes), c.text);
  }
  // The NEC-selected duplicates of the IBM extensions decode to the same characters.
  EXPECT_EQ(Decode(kCodePageShiftJis, "\xed\x40\xee\xef"), u"\u7e8a\u2170");
}

TEST(CodePageTest, UnrepresentableCharacterIsReplacedAndTheRestConverts) {
  const std::u16string kEAcute = u"\u00e9";     // in JIS X 0212, so EUC-JP holds it
  const std::u16string kEmoji = u"\U0001F600";  // a surrogate pair
  const std::pair<CodePage, std::u16string> cases[] = {
      {kCodePageShiftJis, kEAcute}, {kCodePageIso2022Jp, kEAcute},
      {kCodePageShiftJis, kEmoji},  {kCodePageEucJp, kEmoji},
      {kCodePageIso2022Jp, kEmoji},
  };
  for (const auto& [codePage, middle] : cases) {
    const std::u16string back =
        Decode(codePage, Encode(codePage, u"\u3042" + middle + u"z"));
    ASSERT_GT(back.size(), 2u) << "code page " << codePage << ": replaced, not dropped";
    EXPECT_EQ(back.front(), u'\u3042') << "code page " << codePage;
    EXPECT_EQ(back.back(), u'z') << "code page " << codePage;
    EXPECT_EQ(back.find(middle), std::u16string::npos) << "code page " << codePage;
  }
}

TEST(CodePageTest, MalformedInputKeepsItsValidParts) {
  struct Case {
    CodePage codePage;
    std::string bytes;
    std::u16string validStart;
  };
  const Case cases[] = {
      {kCodePageUtf8, "ab\xe3\x81", u"ab"},            // truncated sequence
      {kCodePageUtf8, "ab\xff", u"ab"},                // a byte UTF-8 never uses
      {kCodePageShiftJis, "\x82\xa0\x82", u"\u3042"},  // lead byte without trail
      {kCodePageEucJp, "\xa4\xa2\xa4", u"\u3042"},
      {kCodePageIso2022Jp, "\x1b$B$\"$", u"\u3042"},  // half a character
  };
  for (const Case& c : cases) {
    const std::u16string text = Decode(c.codePage, c.bytes);
    EXPECT_EQ(text.substr(0, c.validStart.size()), c.validStart)
        << "code page " << c.codePage;
  }
  // Bad bytes in the middle of UTF-8 are replaced and the text goes on.
  for (const std::string bytes : {"a\xff"
                                  "b",
                                  "a\xe3\x81"
                                  "b",
                                  "a\xc0\xaf"
                                  "b"}) {
    const std::u16string text = Decode(kCodePageUtf8, bytes);
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.front(), u'a');
    EXPECT_EQ(text[1], u'\ufffd');
    EXPECT_EQ(text.back(), u'b');
  }
}

TEST(CodePageTest, LoneSurrogateIsReplaced) {
  const std::u16string texts[] = {{u'a', char16_t(0xd800), u'b'},
                                  {u'a', char16_t(0xdc00), u'b'},
                                  {u'a', u'b', char16_t(0xd800)}};
  for (const CodePage codePage : kJapanesePages) {
    for (const std::u16string& text : texts) {
      const std::string bytes = Encode(codePage, text);
      EXPECT_GT(bytes.size(), 2u) << "code page " << codePage;
      EXPECT_EQ(bytes.find('a'), 0u) << "code page " << codePage;
      EXPECT_NE(bytes.find('b'), std::string::npos) << "code page " << codePage;
    }
  }
}

TEST(CodePageTest, SurrogatePairIsOneFourByteSequence) {
  EXPECT_EQ(Encode(kCodePageUtf8, u"\U0001F600"), "\xf0\x9f\x98\x80");
  EXPECT_EQ(Decode(kCodePageUtf8, "\xf0\x9f\x98\x80"), u"\U0001F600");
}

TEST(CodePageTest, UnknownCodePageIsRefused) {
  const char16_t wide[] = u"abc";
  char bytes[8];
  char16_t units[8];
  EXPECT_EQ(EncodeCodePage(12345, wide, 3, nullptr, 0), 0);
  EXPECT_EQ(EncodeCodePage(12345, wide, 3, bytes, 8), 0);
  EXPECT_EQ(DecodeCodePage(12345, "abc", 3, nullptr, 0), 0);
  EXPECT_EQ(DecodeCodePage(12345, "abc", 3, units, 8), 0);
}

TEST(CodePageTest, TooSmallBufferIsRefused) {
  const std::u16string text = u"a\u3042b";
  for (const CodePage codePage : kJapanesePages) {
    const int size = EncodeCodePage(codePage, text.data(), 3, nullptr, 0);
    ASSERT_GT(size, 1) << "code page " << codePage;
    std::string out(static_cast<std::size_t>(size - 1), '\0');
    EXPECT_EQ(EncodeCodePage(codePage, text.data(), 3, &out[0], size - 1), 0)
        << "code page " << codePage;
  }
  char16_t unit = 0;
  EXPECT_EQ(DecodeCodePage(kCodePageUtf8, "ab", 2, &unit, 1), 0);
}

TEST(CodePageTest, OemCodePageCarriesAscii) {
  EXPECT_EQ(Encode(kCodePageOem, u"C:\\dir"), "C:\\dir");
  EXPECT_EQ(Decode(kCodePageOem, "C:\\dir"), u"C:\\dir");
}

}  // namespace
}  // namespace platform
