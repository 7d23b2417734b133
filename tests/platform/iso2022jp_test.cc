#include "platform/iso2022jp.h"

#include <string>

#include "gtest/gtest.h"

namespace platform {
namespace {

struct Case {
  std::string iso;
  std::string euc;
};

TEST(Iso2022JpTest, DesignationsSelectTheirCharacterSets) {
  const Case cases[] = {
      {"abc", "abc"},
      {"\x1b$B$\"4A\x1b(B", "\xa4\xa2\xb4\xc1"},  // JIS X 0208, two characters
      {"\x1b$@$\"\x1b(B", "\xa4\xa2"},            // the 1978 designation
      {"\x1b(I16\x1b(B", "\x8e\xb1\x8e\xb6"},     // half-width katakana
      {"\x1b(J\\~\x1b(B", "\\~"},                 // JIS X 0201 Roman, taken as ASCII
      {"a\x1b$B$\"\x1b(Bb\x1b(I1",
       "a\xa4\xa2"
       "b\x8e\xb1"},                                       // no final return
      {"\x1b$B$\"\r\n$\"\x1b(B", "\xa4\xa2\r\n\xa4\xa2"},  // controls keep meaning
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Iso2022JpToEucJp(c.iso), c.euc);
  }
}

TEST(Iso2022JpTest, BrokenInputIsReplacedAndTheRestKept) {
  const Case cases[] = {
      {"\x1b$B$\"$", "\xa4\xa2?"},          // half a character at the end
      {"\x1b$B$\"$\x1b(Ba", "\xa4\xa2?a"},  // half a character before an escape
      {"a\xa4\xa2"
       "b",
       "a??b"},                // eight-bit bytes
      {"\x1b(Iz", "?"},        // not a katakana byte
      {"\x1b$Aa", "\x1b$Aa"},  // unknown escape passes through
      {"\x1b", "\x1b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Iso2022JpToEucJp(c.iso), c.euc);
  }
}

TEST(Iso2022JpTest, EucJpBecomesSevenBitTextEndingInAscii) {
  const Case cases[] = {
      {"abc", "abc"},
      {"\x1b$B$\"4A\x1b(B", "\xa4\xa2\xb4\xc1"},
      {"\x1b(I16\x1b(B", "\x8e\xb1\x8e\xb6"},
      {"a\x1b$B$\"\x1b(I1\x1b(Bb",
       "a\xa4\xa2\x8e\xb1"
       "b"},
      {"\x1b$B$\"\x1b(B\r\n", "\xa4\xa2\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EucJpToIso2022Jp(c.euc), c.iso);
    EXPECT_EQ(Iso2022JpToEucJp(c.iso), c.euc) << "round trip";
  }
}

TEST(Iso2022JpTest, EucJpThatHasNoPlaceIsReplaced) {
  const Case cases[] = {
      {"?a",
       "\x8f\xa2\xb7"
       "a"},                                         // JIS X 0212
      {"\x1b$B$\"\x1b(B?", "\xa4\xa2\x8f\xa2\xb7"},  // ... after kanji
      {"?", "\xa4"},                                 // truncated
      {"?A", "\xa4\x41"},                            // bad second byte
      {"?A", "\x8e\x41"},
      {"??", "\x80\xff"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EucJpToIso2022Jp(c.euc), c.iso);
  }
}

}  // namespace
}  // namespace platform
