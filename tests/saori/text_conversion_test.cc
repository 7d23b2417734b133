#include "saori/text_conversion.h"

#include "gmock/gmock.h"
#include "gtest/gtest.h"

namespace saori {
namespace {

using ::testing::EndsWith;
using ::testing::StartsWith;

TEST(TextConversionTest, NullAndEmptyInputGiveEmptyText) {
  for (const CodePage codePage : {65001u, 932u, 12345u}) {
    EXPECT_EQ(WideToMultiByte(nullptr, codePage), ByteString());
    EXPECT_EQ(WideToMultiByte(u"", codePage), ByteString());
    EXPECT_EQ(MultiByteToWide(nullptr, codePage), WideString());
    EXPECT_EQ(MultiByteToWide("", codePage), WideString());
  }
}

TEST(TextConversionTest, AbcInUtf8BothWays) {
  const ByteString bytes = WideToMultiByte(u"abc", 65001);
  EXPECT_EQ(bytes, "abc");
  EXPECT_EQ(bytes.size(), 3u);
  const WideString text = MultiByteToWide("abc", 65001);
  EXPECT_EQ(text, u"abc");
  EXPECT_EQ(text.size(), 3u);
}

TEST(TextConversionTest, UnknownCodePageGivesEmptyText) {
  EXPECT_EQ(WideToMultiByte(u"abc", 12345), ByteString());
  EXPECT_EQ(MultiByteToWide("abc", 12345), WideString());
}

TEST(TextConversionTest, TextEndsAtTheFirstNul) {
  const char16_t wide[] = {u'a', u'b', 0, u'c', 0};
  EXPECT_EQ(WideToMultiByte(wide, 65001), "ab");
  const char bytes[] = "ab\0c";
  EXPECT_EQ(MultiByteToWide(bytes, 65001), u"ab");
  EXPECT_EQ(MultiByteToWide("\x82\xa0\0\x82\xa0", 932), u"\u3042");
}

TEST(TextConversionTest, SurrogatePairIsFourUtf8BytesWithNoTerminator) {
  const ByteString bytes = WideToMultiByte(u"\U0001F600", 65001);
  EXPECT_EQ(bytes, "\xf0\x9f\x98\x80");
  EXPECT_EQ(bytes.size(), 4u);
}

TEST(TextConversionTest, JapaneseTextRoundTripsInEveryRequestCodePage) {
  const WideString text =
      u"\u65e5\u672c\u8a9e\u3067\uff7b\uff75\uff98 ok";  // 日本語でｻｵﾘ ok
  for (const CodePage codePage : {932u, 20932u, 50220u, 65001u}) {
    const ByteString bytes = WideToMultiByte(text.c_str(), codePage);
    EXPECT_EQ(bytes.find('\0'), ByteString::npos) << "code page " << codePage;
    EXPECT_EQ(MultiByteToWide(bytes.c_str(), codePage), text) << "code page " << codePage;
  }
}

TEST(TextConversionTest, UnrepresentableCharacterDoesNotEmptyTheText) {
  const ByteString bytes = WideToMultiByte(u"a\U0001F600z", 932);
  EXPECT_THAT(bytes, StartsWith("a"));
  EXPECT_THAT(bytes, EndsWith("z"));
  EXPECT_GT(bytes.size(), 2u);
}

}  // namespace
}  // namespace saori
