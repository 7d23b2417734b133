#include "saori/saori_request.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "saori/saori_base.h"
#include "saori/saori_response.h"
#include "saori/test_plugin.h"

namespace saori {
namespace {

// A plug-in of another protocol, to show that the parser takes its words from the
// owner.
class OtherWordsPlugin : public TestPlugin {
 public:
  const WideString& GetFirstLineMarker() const override { return marker_; }
  const WideString& GetArgumentPrefix() const override { return prefix_; }

 private:
  WideString marker_ = u"|P/";
  WideString prefix_ = u"Arg";
};

WideString Wide(const std::string& ascii) { return WideString(ascii.begin(), ascii.end()); }

// Reads all lines the way the parser does.
std::vector<WideString> AllLines(const WideString& text) {
  std::vector<WideString> lines;
  WideString line = u"stale";
  std::size_t position = 0;
  do {
    position = ReadLine(text, position, line);
    lines.push_back(line);
  } while (position != kNoPosition);
  return lines;
}

TEST(ReadLineTest, EachLineEndClosesOneLine) {
  const struct {
    const char16_t* text;
    std::vector<WideString> lines;
  } cases[] = {
      {u"", {u""}},
      {u"a", {u"a"}},
      {u"a\r\nb", {u"a", u"b"}},
      {u"a\rb", {u"a", u"b"}},
      {u"a\nb", {u"a", u"b"}},
      {u"a\n\rb", {u"a", u"", u"b"}},
      {u"a\r\n\r\nb", {u"a", u"", u"b"}},
      {u"a\r\r\nb", {u"a", u"", u"b"}},
      // A closing line end gives no further empty line.
      {u"a\r\n", {u"a"}},
      {u"a\r", {u"a"}},
      {u"a\n", {u"a"}},
      {u"\r\n", {u""}},
      {u"a\r\n\r\n", {u"a", u""}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AllLines(c.text), c.lines) << "text: " << ::testing::PrintToString(WideString(c.text));
  }
}

TEST(ReadLineTest, NoPositionOrPastTheEndGivesAnEmptyLine) {
  const WideString text = u"abc";
  for (std::size_t position : {kNoPosition, std::size_t{3}, std::size_t{4}}) {
    WideString line = u"stale";
    EXPECT_EQ(ReadLine(text, position, line), kNoPosition);
    EXPECT_EQ(line, u"");
  }
  WideString line;
  EXPECT_EQ(ReadLine(text, 1, line), kNoPosition);
  EXPECT_EQ(line, u"bc");
}

struct ParseCase {
  const char* text;
  WideString command;
  std::vector<WideString> arguments;
  OptionsMap options;
  WideString id;
};

const ParseCase kParseCases[] = {
    {"EXECUTE SAORI/1.0", u"EXECUTE", {}, {}, u""},
    {"EXECUTE SAORI/1.0\r\n", u"EXECUTE", {}, {}, u""},
    {"GET Version SAORI/1.0\r\n\r\n", u"GET Version", {}, {}, u""},
    {" SAORI/1.0", u"", {}, {}, u""},
    // The first marker ends the command; the version is not looked at.
    {"A SAORI/ B SAORI/1.0", u"A", {}, {}, u""},
    {"EXECUTE SAORI/9.x anything", u"EXECUTE", {}, {}, u""},
    {"EXECUTE SAORI/1.0\r\nArgument2: c\r\n", u"EXECUTE", {u"", u"", u"c"}, {}, u""},
    {"EXECUTE SAORI/1.0\r\nArgument0: a\r\nArgument0: b", u"EXECUTE", {u"b"}, {}, u""},
    {"EXECUTE SAORI/1.0\r\nArgument1: a: b\r\nArgument0:  x ", u"EXECUTE",
     {u" x ", u"a: b"}, {}, u""},
    {"EXECUTE SAORI/1.0\r\nArgument1:x", u"EXECUTE", {}, {}, u""},
    {"EXECUTE SAORI/1.0\r\nArgument: x\r\nArgumen: y", u"EXECUTE", {},
     {{u"Argument", u"x"}, {u"Argumen", u"y"}}, u""},
    {"EXECUTE SAORI/1.0\r\nSender: ", u"EXECUTE", {}, {{u"Sender", u""}}, u""},
    {"EXECUTE SAORI/1.0\r\n: x\r\nID: 1\r\nid: 2", u"EXECUTE", {}, {}, u"2"},
    {"EXECUTE SAORI/1.0\r\nsender: A\r\nSENDER: B", u"EXECUTE", {}, {{u"Sender", u"B"}}, u""},
    {"EXECUTE SAORI/1.0\r\nsecuritylevel: local\r\nCHARSET: UTF-8", u"EXECUTE", {},
     {{u"SecurityLevel", u"local"}, {u"Charset", u"UTF-8"}}, u""},
    {"EXECUTE SAORI/1.0\r\nX-Key: a\r\nx-key: b", u"EXECUTE", {},
     {{u"X-Key", u"a"}, {u"x-key", u"b"}}, u""},
    {"EXECUTE SAORI/1.0\r\nSender : A\r\nI D: 3", u"EXECUTE", {},
     {{u"Sender ", u"A"}, {u"I D", u"3"}}, u""},
    // Every line is header, also after an empty one; any line end works.
    {"EXECUTE SAORI/1.0\r\n\r\nArgument0: a\r\n\r\n", u"EXECUTE", {u"a"}, {}, u""},
    {"EXECUTE SAORI/1.0\n\rArgument0: a", u"EXECUTE", {u"a"}, {}, u""},
    {"EXECUTE SAORI/1.0\rArgument0: a\rArgument1: b\nArgument2: c", u"EXECUTE",
     {u"a", u"b", u"c"}, {}, u""},
};

TEST(ParseTest, FillsTheRecordFromTheText) {
  TestPlugin plugin;
  for (const ParseCase& c : kParseCases) {
    SCOPED_TRACE(c.text);
    CSAORIRequest request(&plugin, platform::kCodePageUtf8);
    ASSERT_TRUE(request.Parse(Wide(c.text)));
    EXPECT_EQ(request.command, c.command);
    EXPECT_EQ(request.arguments, c.arguments);
    EXPECT_EQ(request.options, c.options);
    EXPECT_EQ(request.id, c.id);
    EXPECT_EQ(request.codePage, platform::kCodePageUtf8);
  }
}

TEST(ParseTest, ArgumentIndexIsReadLikeADecimalNumber) {
  constexpr int kDropped = -1;
  const struct {
    const char* key;
    int index;
  } cases[] = {
      {"Argument00", 0},      {"Argument0x", 0},     {"argument1", 1},
      {"ARGUMENT3", 3},       {"Argument+2", 2},     {"Argument 2", 2},
      {"Argument\t7", 7},     {"Argument2abc", 2},   {"ArgumentA", kDropped},
      {"Argument-1", kDropped}, {"Argument-0", kDropped}, {"Argument+0", kDropped},
      {"Argument 0", kDropped}, {"Argument-2147483649", kDropped},
  };
  TestPlugin plugin;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    CSAORIRequest request(&plugin, platform::kCodePageUtf8);
    ASSERT_TRUE(request.Parse(Wide(std::string("EXECUTE SAORI/1.0\r\n") + c.key + ": x")));
    // An argument key never lands in the options, even when it is dropped.
    EXPECT_TRUE(request.options.empty());
    if (c.index == kDropped) {
      EXPECT_TRUE(request.arguments.empty());
    } else {
      ASSERT_EQ(request.arguments.size(), static_cast<std::size_t>(c.index) + 1);
      EXPECT_EQ(request.arguments[c.index], u"x");
    }
  }
}

TEST(ParseTest, ArgumentIndexAboveTheCapIsDropped) {
  TestPlugin plugin;
  CSAORIRequest request(&plugin, platform::kCodePageUtf8);
  const std::string cap = std::to_string(kMaxArgumentIndex);
  const std::string above = std::to_string(kMaxArgumentIndex + 1);
  // Without the cap the last two lines would ask for billions of strings.
  ASSERT_TRUE(request.Parse(Wide("EXECUTE SAORI/1.0\r\nArgument" + cap + ": last\r\nArgument" +
                                 above + ": over\r\nArgument2147483647: huge\r\n"
                                 "Argument99999999999: huge")));
  ASSERT_EQ(request.arguments.size(), static_cast<std::size_t>(kMaxArgumentIndex) + 1);
  EXPECT_EQ(request.arguments.back(), u"last");
  EXPECT_TRUE(request.options.empty());
}

// What an earlier request left in the record, so that a test sees whether parsing
// kept it or replaced it; more arguments than the new text holds, so stale ones show.
void FillWithOldValues(CSAORIRequest& request) {
  request.command = u"OLD";
  request.id = u"7";
  request.arguments = {u"a", u"b", u"c"};
  request.options[u"Old"] = u"1";
}

TEST(ParseTest, TextWithoutTheMarkerOnItsFirstLineLeavesTheRecordAlone) {
  const char* const texts[] = {
      "",
      "\r\nEXECUTE SAORI/1.0",
      "\nEXECUTE SAORI/1.0",
      "EXECUTE saori/1.0\r\nArgument0: a",
      "EXECUTE\r\n SAORI/1.0",
      "EXECUTE SAORI1.0",
      "EXECUTESAORI/1.0",
  };
  TestPlugin plugin;
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    CSAORIRequest request(&plugin, platform::kCodePageShiftJis);
    FillWithOldValues(request);
    EXPECT_FALSE(request.Parse(Wide(text)));
    EXPECT_EQ(request.command, u"OLD");
    EXPECT_EQ(request.id, u"7");
    EXPECT_EQ(request.arguments, (std::vector<WideString>{u"a", u"b", u"c"}));
    EXPECT_EQ(request.options, (OptionsMap{{u"Old", u"1"}}));
  }
}

TEST(ParseTest, SuccessReplacesEverythingTheRecordHeld) {
  TestPlugin plugin;
  CSAORIRequest request(&plugin, platform::kCodePageUtf8);
  FillWithOldValues(request);
  ASSERT_TRUE(request.Parse(u"NOTIFY SAORI/1.0\r\nArgument0: n\r\nNew: 2\r\n"));
  EXPECT_EQ(request.command, u"NOTIFY");
  EXPECT_EQ(request.id, u"");
  EXPECT_EQ(request.arguments, std::vector<WideString>{u"n"});
  EXPECT_EQ(request.options, (OptionsMap{{u"New", u"2"}}));
}

TEST(ParseTest, MarkerAndArgumentPrefixComeFromTheOwner) {
  OtherWordsPlugin plugin;
  CSAORIRequest request(&plugin, platform::kCodePageUtf8);
  EXPECT_FALSE(request.Parse(u"EXECUTE SAORI/1.0\r\nArg0: a"));
  ASSERT_TRUE(request.Parse(u"RUN|P/1\r\nArg1: x\r\narg2: y\r\nArgument0: z"));
  EXPECT_EQ(request.command, u"RUN");
  EXPECT_EQ(request.arguments, (std::vector<WideString>{u"", u"x", u"y"}));
  EXPECT_TRUE(request.options.empty());
}

TEST(ParseTest, KeepsTextOutsideAsciiUnchanged) {
  TestPlugin plugin;
  CSAORIRequest request(&plugin, platform::kCodePageUtf8);
  ASSERT_TRUE(request.Parse(u"EXECUTE SAORI/1.0\r\nArgument0: \u3053\u3093\r\n\u00C4: \u00E4"));
  EXPECT_EQ(request.arguments, std::vector<WideString>{u"\u3053\u3093"});
  EXPECT_EQ(request.options, (OptionsMap{{u"\u00C4", u"\u00E4"}}));
}

}  // namespace
}  // namespace saori
