#include "saori/saori_response.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "saori/saori_base.h"
#include "saori/saori_request.h"
#include "saori/test_plugin.h"

namespace saori {
namespace {

class OtherWordsPlugin : public TestPlugin {
 public:
  const WideString& GetProtocolVersion() const override { return version_; }
  const WideString& GetValuePrefix() const override { return valuePrefix_; }
  const WideString& GetResultKey() const override { return resultKey_; }

 private:
  WideString version_ = u"X/2";
  WideString valuePrefix_ = u"V";
  WideString resultKey_ = u"R";
};

// The first line of an answer, without its CR LF.
WideString StatusLine(const WideString& text) { return text.substr(0, text.find(u"\r\n")); }

TEST(SerializeTest, WritesEveryLineInOrder) {
  TestPlugin plugin;
  CSAORIResponse response(&plugin, platform::kCodePageShiftJis);
  response.status = 200;
  response.result = u"3";
  response.values = {u"255", u""};
  response.options[u"charset"] = u"x";
  response.options[u"Sender"] = u"me";
  response.options[u"Result"] = u"again";
  EXPECT_EQ(response.Serialize(),
            u"SAORI/1.0 200 OK\r\n"
            u"Charset: Shift_JIS\r\n"
            u"Result: 3\r\n"
            // Ordinal key order: upper-case letters before lower-case ones, and no
            // key is filtered out.
            u"Result: again\r\n"
            u"Sender: me\r\n"
            u"charset: x\r\n"
            u"Value0: 255\r\n"
            u"Value1: \r\n"
            u"\r\n");
  EXPECT_EQ(response.status, 200);
}

TEST(SerializeTest, EmptyAnswersKeepTheirResultLine) {
  TestPlugin plugin;
  CSAORIResponse ok(&plugin, platform::kCodePageUtf8);
  ok.status = 0;
  EXPECT_EQ(ok.Serialize(), u"SAORI/1.0 200 OK\r\nCharset: UTF-8\r\nResult: \r\n\r\n");
  EXPECT_EQ(ok.status, 200);

  CSAORIResponse empty(&plugin, platform::kCodePageEucJp);
  empty.status = 200;
  EXPECT_EQ(empty.Serialize(),
            u"SAORI/1.0 204 No Content\r\nCharset: EUC-JP\r\nResult: \r\n\r\n");
  EXPECT_EQ(empty.status, 204);
}

TEST(SerializeTest, RewritesTheStatusOnlyForZeroAndForAnEmptySuccess) {
  struct Case {
    std::int32_t status;
    WideString result;
    std::vector<WideString> values;
    OptionsMap options;
    std::int32_t finalStatus;
    const char16_t* statusLine;
  };
  const Case cases[] = {
      {0, u"r", {u"v"}, {{u"K", u"v"}}, 200, u"SAORI/1.0 200 OK"},
      {200, u"r", {}, {}, 200, u"SAORI/1.0 200 OK"},
      {200, u"", {u""}, {}, 200, u"SAORI/1.0 200 OK"},
      {200, u"", {}, {{u"K", u""}}, 200, u"SAORI/1.0 200 OK"},
      {204, u"", {u"v"}, {}, 204, u"SAORI/1.0 204 No Content"},
      {400, u"", {}, {}, 400, u"SAORI/1.0 400 Bad Request"},
      {500, u"", {}, {}, 500, u"SAORI/1.0 500 Internal Server Error"},
      {999, u"", {}, {}, 999, u"SAORI/1.0 999 Unknown Error"},
      {-1, u"", {}, {}, -1, u"SAORI/1.0 -1 Unknown Error"},
      {INT32_MIN, u"", {}, {}, INT32_MIN, u"SAORI/1.0 -2147483648 Unknown Error"},
      {INT32_MAX, u"", {}, {}, INT32_MAX, u"SAORI/1.0 2147483647 Unknown Error"},
  };
  TestPlugin plugin;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    CSAORIResponse response(&plugin, platform::kCodePageUtf8);
    response.status = c.status;
    response.result = c.result;
    response.values = c.values;
    response.options = c.options;
    EXPECT_EQ(StatusLine(response.Serialize()), c.statusLine);
    EXPECT_EQ(response.status, c.finalStatus);
  }
}

TEST(SerializeTest, ReasonPhrasesAndCharsetNames) {
  EXPECT_EQ(WideString(ReasonPhrase(311)), u"Not Enough");
  EXPECT_EQ(WideString(ReasonPhrase(420)), u"Refuse");
  EXPECT_EQ(WideString(ReasonPhrase(512)), u"Invisible");
  for (std::int32_t unknown : {0, 201, 402, 502, 513, -200}) {
    EXPECT_EQ(WideString(ReasonPhrase(unknown)), u"Unknown Error") << unknown;
  }
  EXPECT_EQ(WideString(CharsetName(50220)), u"ISO-2022-JP");
  for (CodePage unknown : {0u, 1u, 65000u, 50221u}) {
    EXPECT_EQ(WideString(CharsetName(unknown)), u"unknown charset") << unknown;
  }
}

TEST(SerializeTest, ValuesAreKeptOnOneLine) {
  const struct {
    const char16_t* value;
    const char16_t* written;
  } cases[] = {
      {u"plain", u"plain"},
      {u"a\r\nb", u"a\x0001" u"b"},
      {u"a\rb\nc", u"a\x0001" u"b\x0001" u"c"},
      {u"a\r\n\r\nb", u"a\x0001\x0001" u"b"},
      {u"a\n\rb", u"a\x0001\x0001" u"b"},
      {u"a\r\r\nb", u"a\x0001\x0001" u"b"},
      {u"\r\n", u"\x0001"},
      {u"\n", u"\x0001"},
  };
  TestPlugin plugin;
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(WideString(c.value)));
    CSAORIResponse response(&plugin, platform::kCodePageUtf8);
    response.status = 200;
    response.values = {c.value};
    const WideString text = response.Serialize();
    EXPECT_NE(text.find(WideString(u"\r\nValue0: ") + c.written + u"\r\n\r\n"), WideString::npos)
        << ::testing::PrintToString(text);
    // The record itself keeps the value as the plug-in wrote it.
    EXPECT_EQ(response.values[0], c.value);
  }
}

TEST(SerializeTest, ResultAndOptionValuesAreWrittenUnchanged) {
  TestPlugin plugin;
  CSAORIResponse response(&plugin, platform::kCodePageUtf8);
  response.status = 200;
  response.result = u"a\r\nb";
  response.options[u"K"] = u"c\nd";
  EXPECT_EQ(response.Serialize(),
            u"SAORI/1.0 200 OK\r\nCharset: UTF-8\r\nResult: a\r\nb\r\nK: c\nd\r\n\r\n");
}

TEST(SerializeTest, ElevenValuesAreNumberedFromZero) {
  TestPlugin plugin;
  CSAORIResponse response(&plugin, platform::kCodePageUtf8);
  response.status = 200;
  WideString expectedValues;
  for (int i = 0; i <= 10; ++i) {
    const std::string number = std::to_string(i);
    const WideString wideNumber(number.begin(), number.end());
    response.values.push_back(u"v" + wideNumber);
    expectedValues += u"Value" + wideNumber + u": v" + wideNumber + u"\r\n";
  }
  EXPECT_EQ(response.Serialize(),
            u"SAORI/1.0 200 OK\r\nCharset: UTF-8\r\nResult: \r\n" + expectedValues + u"\r\n");
}

TEST(SerializeTest, VersionResultKeyAndValuePrefixComeFromTheOwner) {
  OtherWordsPlugin plugin;
  CSAORIResponse response(&plugin, platform::kCodePageUtf8);
  response.status = 200;
  response.result = u"1";
  response.values = {u"a"};
  EXPECT_EQ(response.Serialize(), u"X/2 200 OK\r\nCharset: UTF-8\r\nR: 1\r\nV0: a\r\n\r\n");
}

}  // namespace
}  // namespace saori
