#include "saori/number_reader.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

namespace saori {
namespace {

struct DecimalCase {
  const char* text;
  std::int32_t expected;
};

// Both readers must agree; the wide one reads argument indices, the narrow one
// the numbers that scripts pass.
const DecimalCase kDecimalCases[] = {
    {"", 0},
    {"abc", 0},
    {"42", 42},
    {"007", 7},
    {"12ab", 12},
    {" \t\n\v\f\r7", 7},
    {" 1 2", 1},
    {"+5", 5},
    {"-5", -5},
    {"-0", 0},
    {"--5", 0},
    {"+-5", 0},
    {"- 5", 0},
    {"2147483647", INT32_MAX},
    {"-2147483648", INT32_MIN},
    // Beyond the 32-bit range the result stops at the nearer limit.
    {"2147483648", INT32_MAX},
    {"-2147483649", INT32_MIN},
    {"4294967296", INT32_MAX},
    {"99999999999999999999999999999", INT32_MAX},
    {"-99999999999999999999999999999", INT32_MIN},
    {"00000000000000000000000000001", 1},
};

TEST(NumberReaderTest, ReadsLikeTheRuntimeLibraryAndSaturates) {
  for (const DecimalCase& c : kDecimalCases) {
    const std::string narrow(c.text);
    const std::u16string wide(narrow.begin(), narrow.end());
    EXPECT_EQ(ReadDecimal(narrow.c_str()), c.expected) << "narrow '" << narrow << "'";
    EXPECT_EQ(ReadDecimal(wide.c_str()), c.expected) << "wide '" << narrow << "'";
  }
}

TEST(NumberReaderTest, WideReaderTakesOnlyAsciiDigits) {
  // A wide unit whose low byte is an ASCII digit, and a full-width digit.
  EXPECT_EQ(ReadDecimal(u"\x0131"), 0);
  EXPECT_EQ(ReadDecimal(u"\xFF11"), 0);
  EXPECT_EQ(ReadDecimal(u"3\xFF11"), 3);
}

TEST(NumberReaderTest, NarrowReaderStopsAtBytesAboveAscii) {
  // Multibyte text after the digits, as a script may write it.
  EXPECT_EQ(ReadDecimal("12\xE3\x80\x80"), 12);
  EXPECT_EQ(ReadDecimal("\xEF\xBC\x91"), 0);
}

}  // namespace
}  // namespace saori
