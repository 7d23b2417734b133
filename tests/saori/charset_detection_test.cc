#include "saori/charset_detection.h"

#include <gtest/gtest.h>

#include <string>

namespace saori {
namespace {

struct CharsetCase {
  const char* request;
  CodePage expected;
};

class DetectCodePageTest : public ::testing::TestWithParam<CharsetCase> {};

TEST_P(DetectCodePageTest, ChoosesTheCodePageOfTheFirstCharsetLine) {
  EXPECT_EQ(DetectCodePage(GetParam().request), GetParam().expected)
      << GetParam().request;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, DetectCodePageTest,
    ::testing::Values(
        // The key in any letter case, the value as a prefix in any letter case.
        CharsetCase{"EXECUTE SAORI/1.0\r\nCharset: UTF-8\r\n\r\n", 65001},
        CharsetCase{"EXECUTE SAORI/1.0\r\ncharset: utf-8\r\n\r\n", 65001},
        CharsetCase{"EXECUTE SAORI/1.0\r\nCHARSET: UTF-8\r\n\r\n", 65001},
        CharsetCase{"EXECUTE SAORI/1.0\r\nCharset: UTF-8x\r\n", 65001},
        CharsetCase{"EXECUTE SAORI/1.0\nCharset: EUC-JP\n", 20932},
        CharsetCase{"EXECUTE SAORI/1.0\nCharset: x-euc-jp\n", 20932},
        CharsetCase{"EXECUTE SAORI/1.0\nCharset: EUC_JP\n", 20932},
        CharsetCase{"EXECUTE SAORI/1.0\nCharset: ISO-2022-JP\n", 50220},
        CharsetCase{"EXECUTE SAORI/1.0\nCharset: x-sjis\n", 932},
        CharsetCase{"EXECUTE SAORI/1.0\nCharset: Shift_JIS\n", 932},
        // Forms that do not count as a charset line, or name nothing we know.
        CharsetCase{"EXECUTE SAORI/1.0\r\nCharset:UTF-8\r\n", 932},
        CharsetCase{"EXECUTE SAORI/1.0\r\nCharset:  UTF-8\r\n", 932},
        CharsetCase{"EXECUTE SAORI/1.0\r\nCharset: UTF8\r\n", 932},
        CharsetCase{"EXECUTE SAORI/1.0\r\nCharset: UTF-16\r\n", 932},
        CharsetCase{"EXECUTE SAORI/1.0\rCharset: UTF-8\r", 932},
        CharsetCase{"Charset: UTF-8\r\n", 932},
        CharsetCase{"EXECUTE SAORI/1.0\r\nCharset: ", 932},
        CharsetCase{"", 932},
        // The first charset line decides.
        CharsetCase{"EXECUTE SAORI/1.0\nCharset: EUC-JP\nCharset: UTF-8\n", 20932},
        // Header lines after an empty line are searched too.
        CharsetCase{"EXECUTE SAORI/1.0\r\n\r\nCharset: UTF-8\r\n", 65001}));

TEST(DetectCodePageTest, SearchesPastNulBytesButStopsTheValueAtOne) {
  const std::string pastNul("EXECUTE SAORI/1.0\0\nCharset: UTF-8\n", 34);
  EXPECT_EQ(DetectCodePage(pastNul), 65001u);

  const std::string nulValue("EXECUTE SAORI/1.0\nCharset: \0UTF-8", 33);
  EXPECT_EQ(DetectCodePage(nulValue), 932u);
}

}  // namespace
}  // namespace saori
