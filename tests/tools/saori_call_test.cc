// saori-call: the request it builds, how it reads answers, and whole runs against a
// stand-in module that logs every call it receives.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "saori_call/answer_reader.h"
#include "module/saori_exports.h"
#include "platform/loaded_module.h"
#include "saori_call/charset_conversion.h"
#include "saori_call/request_builder.h"
#include "saori_call/saori_call.h"

namespace tools::saori_call {
namespace {

TEST(RequestBuilderTest, WritesOneCrLfLinePerArgumentAndAClosingEmptyLine) {
  EXPECT_EQ(BuildRequest("Shift_JIS", {"AddQueue", "hello world", ""}),
            "EXECUTE SAORI/1.0\r\nCharset: Shift_JIS\r\nSecurityLevel: Local\r\n"
            "Argument0: AddQueue\r\nArgument1: hello world\r\nArgument2: \r\n\r\n");
  EXPECT_EQ(BuildRequest("UTF-8", {}),
            "EXECUTE SAORI/1.0\r\nCharset: UTF-8\r\nSecurityLevel: Local\r\n\r\n");
  // Eleven arguments: the index is written in decimal, not as one digit.
  std::vector<std::string> eleven(11, "x");
  EXPECT_NE(BuildRequest("UTF-8", eleven).find("\r\nArgument10: x\r\n\r\n"),
            std::string::npos);
}

TEST(RequestBuilderTest, FindsArgumentsThatWouldEndOrCutTheirLine) {
  EXPECT_EQ(FindUnsendableArgument({"AddQueue", "fine", ""}), -1);
  EXPECT_EQ(FindUnsendableArgument({"AddQueue", "a\nb"}), 1);
  EXPECT_EQ(FindUnsendableArgument({"a\rb"}), 0);
  EXPECT_EQ(FindUnsendableArgument({"x", "y", std::string("a\0b", 3)}), 2);
}

TEST(RequestBuilderTest, SplitsInteractiveLinesAtTabsOnly) {
  struct Case {
    std::string line;
    std::vector<std::string> words;
  };
  const Case cases[] = {
      {"AddQueue\thello world", {"AddQueue", "hello world"}},
      {"AddQueue\ttext\t\t50001", {"AddQueue", "text", "", "50001"}},
      {"ClearQueue", {"ClearQueue"}},
      {"SetQueueMax\t3\r", {"SetQueueMax", "3"}},
      {"AddQueue\t", {"AddQueue", ""}},
      {"", {}},
      {"\r", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitInteractiveLine(c.line), c.words) << Printable(c.line);
  }
}

TEST(RequestBuilderTest, FindsCharsetsByNameOrAliasInAnyLetterCase) {
  ASSERT_NE(FindCharset("shift_jis"), nullptr);
  EXPECT_STREQ(FindCharset("shift_jis")->name, "Shift_JIS");
  EXPECT_EQ(FindCharset("SJIS")->codePage, 932u);
  EXPECT_EQ(FindCharset("euc-jp")->codePage, 20932u);
  EXPECT_EQ(FindCharset("ISO-2022-jp")->codePage, 50220u);
  EXPECT_STREQ(FindCharset("utf8")->name, "UTF-8");
  EXPECT_EQ(FindCharset("UTF-16"), nullptr);
  EXPECT_EQ(FindCharset("UTF-8x"), nullptr);
  EXPECT_EQ(FindCharset(""), nullptr);
}

TEST(AnswerReaderTest, ExitCodeFollowsTheStatusClass) {
  struct Case {
    std::string text;
    ExitCode expected;
  };
  const Case cases[] = {
      {"SAORI/1.0 200 OK\r\nResult: 1\r\n\r\n", kExitSuccess},
      {"SAORI/1.0 204 No Content\r\n\r\n", kExitSuccess},
      {"SAORI/1.0 299 Whatever\r\n\r\n", kExitSuccess},
      {"SAORI/1.0 199 Early\r\n\r\n", kExitStatus},
      {"SAORI/1.0 300 Communicate\r\n\r\n", kExitStatus},
      {"SAORI/1.0 400 Bad Request\r\n\r\n", kExitStatus},
      {"SAORI/1.0 500 Internal Server Error\r\n\r\n", kExitStatus},
      {"SAORI/1.0 -1 Unknown Error\r\n\r\n", kExitStatus},
      {"SAORI/1.0 200\r\n\r\n", kExitSuccess},  // no phrase
      {"SAORI/1.0 200 OK\n", kExitSuccess},     // LF alone
      {"HTTP/1.1 200 OK\r\n\r\n", kExitNotSaori},
      {"SAORI/1.00 200 OK\r\n\r\n", kExitNotSaori},
      {"SAORI/1.0 OK\r\n\r\n", kExitNotSaori},
      {"SAORI/1.0 200OK\r\n\r\n", kExitNotSaori},
      {"SAORI/1.0 99999999999 Big\r\n\r\n", kExitNotSaori},
      {"", kExitNotSaori},
      {"\r\nSAORI/1.0 200 OK\r\n", kExitNotSaori},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExitCodeFor(ParseAnswer(c.text)), c.expected) << Printable(c.text);
  }
  EXPECT_EQ(WorseOf(kExitStatus, kExitNotSaori), kExitNotSaori);
  EXPECT_EQ(WorseOf(kExitSuccess, kExitStatus), kExitStatus);
}

TEST(AnswerReaderTest, ShowsStatusResultValuesThenOtherHeaders) {
  Answer answer = ParseAnswer(
      "SAORI/1.0 200 OK\r\nCharset: UTF-8\r\nValue0: 255\r\nResult: 3\r\n"
      "Value1: a\x01" "b\r\nValue: not a value\r\nNoColon\r\n\r\nAfter: the end\r\n");
  ASSERT_TRUE(answer.isSaori);
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.phrase, "OK");
  EXPECT_EQ(FormatAnswer(answer),
            "status: 200 OK\nResult: 3\nValue0: 255\nValue1: a\\x01b\n"
            "Charset: UTF-8\nValue: not a value\nNoColon: \n");
  EXPECT_EQ(FindAnswerCharset("SAORI/1.0 200 OK\r\nCharset: Shift_JIS\r\n\r\n"),
            "Shift_JIS");
  EXPECT_EQ(FindAnswerCharset("SAORI/1.0 200 OK\r\n\r\nCharset: Shift_JIS\r\n"), "");
}

TEST(SaoriCallOptionsTest, OptionsComeBeforeTheModuleAndArgumentsAreKeptAsGiven) {
  Options options;
  std::string error;
  ASSERT_TRUE(ParseOptions({"--charset=sjis", "--repeat", "2", "m.so", "AddQueue",
                            "--text", "-1"},
                           &options, &error))
      << error;
  EXPECT_STREQ(options.charset->name, "Shift_JIS");
  EXPECT_EQ(options.repeat, 2);
  EXPECT_EQ(options.module, "m.so");
  EXPECT_EQ(options.words, (std::vector<std::string>{"AddQueue", "--text", "-1"}));

  const std::vector<std::vector<std::string>> bad = {
      {},
      {"m.so"},                                  // no command
      {"--charset", "UTF-16", "m.so", "X"},      // unknown charset
      {"--repeat", "0", "m.so", "X"},
      {"--repeat", "2x", "m.so", "X"},
      {"--wait", "-1", "m.so", "X"},
      {"--raw", "f", "m.so", "X"},               // raw takes no command
      {"--interactive", "m.so", "X"},
      {"--raw", "f", "--interactive", "m.so"},
      {"--charset"},                             // value missing
      {"--load=yes", "m.so", "X"},
      {"--bogus", "m.so", "X"},
  };
  for (const auto& arguments : bad) {
    std::string joined;
    for (const auto& a : arguments) joined += a + " ";
    EXPECT_FALSE(ParseOptions(arguments, &options, &error)) << joined;
    EXPECT_FALSE(error.empty()) << joined;
  }
}

// One run of the tool, in this process.
struct ToolRun {
  int exitCode;
  std::string out;
  std::string err;
};

ToolRun RunTool(const std::vector<std::string>& arguments, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  int exitCode = RunSaoriCall(arguments, in, out, err);
  return {exitCode, out.str(), err.str()};
}

// Holds a stand-in module open across the tool's own load and free, so that its log
// survives them.
class FakeModule {
 public:
  explicit FakeModule(const std::string& path) : path_(path) {
    std::string error;
    EXPECT_TRUE(library_.Open(path, &error)) << error;
    log_ = reinterpret_cast<LogFunction>(library_.Find("fake_log"));
    auto reset = reinterpret_cast<void(TOVARO_CDECL*)()>(library_.Find("fake_reset"));
    EXPECT_TRUE(log_ != nullptr && reset != nullptr);
    if (reset != nullptr) reset();
    EXPECT_TRUE(ModuleDirectory(path, &directory_, &error)) << error;
  }
  std::string Log() const {
    long length = 0;
    const char* log = log_ != nullptr ? log_(&length) : nullptr;
    return log != nullptr ? std::string(log, static_cast<std::size_t>(length)) : "";
  }
  const std::string& path() const { return path_; }
  const std::string& directory() const { return directory_; }

 private:
  std::string path_;
  platform::LoadedModule library_;
  using LogFunction = const char*(TOVARO_CDECL*)(long*);
  LogFunction log_ = nullptr;
  std::string directory_;
};

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

TEST(SaoriCallRunTest, SendsTheBuiltRequestBetweenLoaduAndUnload) {
  FakeModule fake(FAKE_MODULE);
  ToolRun run = RunTool({fake.path(), "echo", "a b", "-1"});
  EXPECT_EQ(run.exitCode, kExitSuccess) << run.err;
  ASSERT_FALSE(fake.directory().empty());
  EXPECT_NE(std::string("/\\").find(fake.directory().back()), std::string::npos);
  EXPECT_EQ(fake.Log(), "loadu(" + fake.directory() + ")\nrequest(" +
                            BuildRequest("UTF-8", {"echo", "a b", "-1"}) + ")\nunload()\n");
  EXPECT_EQ(run.out,
            "status: 200 Test Phrase\nResult: 2\nValue0: a b\nValue1: -1\n"
            "Charset: UTF-8\nX-Fake: yes\n");
  EXPECT_EQ(run.err, "");
}

TEST(SaoriCallRunTest, CallsLoadWhenAskedOrWhenLoaduIsMissing) {
  {
    FakeModule fake(FAKE_MODULE);
    EXPECT_EQ(RunTool({"--load", fake.path(), "echo"}).exitCode, kExitSuccess);
    EXPECT_EQ(fake.Log().find("load(" + fake.directory() + ")\n"), 0u);
  }
  {
    FakeModule fake(FAKE_MODULE_NO_LOADU);
    EXPECT_EQ(RunTool({fake.path(), "echo"}).exitCode, kExitSuccess);
    EXPECT_EQ(fake.Log().find("load(" + fake.directory() + ")\n"), 0u);
  }
}

TEST(SaoriCallRunTest, ReportsAModuleThatCannotBeOpenedOrLacksAnExport) {
  ToolRun missing = RunTool({"no-such-module.so", "echo"});
  EXPECT_EQ(missing.exitCode, kExitModule);
  EXPECT_NE(missing.err.find("can't load the module 'no-such-module.so'"),
            std::string::npos) << missing.err;

  FakeModule fake(FAKE_MODULE_NO_REQUEST);
  ToolRun incomplete = RunTool({fake.path(), "echo"});
  EXPECT_EQ(incomplete.exitCode, kExitModule);
  EXPECT_NE(incomplete.err.find("does not export request"), std::string::npos)
      << incomplete.err;
  EXPECT_EQ(fake.Log(), "");  // not even loaded
}

TEST(SaoriCallRunTest, ExitCodeFollowsTheWorstAnswer) {
  FakeModule fake(FAKE_MODULE);
  struct Case {
    std::vector<std::string> words;
    int exitCode;
    const char* err;  // part of the message, or empty
  };
  const Case cases[] = {
      {{"status", "204"}, kExitSuccess, ""},
      {{"status", "404"}, kExitStatus, ""},
      {{"status", "199"}, kExitStatus, ""},
      {{"garbage"}, kExitNotSaori, "not SAORI/1.0; it begins 'HTTP/1.0 200 OK'"},
      {{"null"}, kExitNotSaori, "no answer block"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {fake.path()};
    arguments.insert(arguments.end(), c.words.begin(), c.words.end());
    ToolRun run = RunTool(arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.words[0];
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
  }
  EXPECT_EQ(Count(fake.Log(), "unload()"), 5u);
}

TEST(SaoriCallRunTest, RepeatSendsTheRequestAgainWithinOneLoad) {
  FakeModule fake(FAKE_MODULE);
  ToolRun run = RunTool({"--repeat", "3", fake.path(), "status", "500"});
  EXPECT_EQ(run.exitCode, kExitStatus);
  EXPECT_EQ(Count(fake.Log(), "loadu("), 1u);
  EXPECT_EQ(Count(fake.Log(), "request("), 3u);
  EXPECT_EQ(Count(run.out, "status: 500 Test Phrase\n"), 3u);
}

TEST(SaoriCallRunTest, InteractiveModeSendsEachLineWhileTheModuleStaysLoaded) {
  FakeModule fake(FAKE_MODULE);
  ToolRun run = RunTool({"--interactive", fake.path()},
                    "echo\ta b\t\tc\n\nstatus\t500\r\nnull\necho\tx\ny\n");
  EXPECT_EQ(run.exitCode, kExitNotSaori);
  EXPECT_EQ(fake.Log(),
            "loadu(" + fake.directory() + ")\n" +
                "request(" + BuildRequest("UTF-8", {"echo", "a b", "", "c"}) + ")\n" +
                "request(" + BuildRequest("UTF-8", {"status", "500"}) + ")\n" +
                "request(" + BuildRequest("UTF-8", {"null"}) + ")\n" +
                "request(" + BuildRequest("UTF-8", {"echo", "x"}) + ")\n" +
                "request(" + BuildRequest("UTF-8", {"y"}) + ")\n" + "unload()\n");
  // Every answer, and every failed one, ends with an empty line.
  EXPECT_EQ(run.out.find("status: 200 Test Phrase\nResult: 3\nValue0: a b\nValue1: \n"
                         "Value2: c\nCharset: UTF-8\nX-Fake: yes\n\n"
                         "status: 500 Test Phrase\nResult: \nCharset: UTF-8\n"
                         "X-Fake: yes\n\nerror: no answer\n\nstatus: 200"),
            0u)
      << run.out;
  EXPECT_EQ(Count(run.out, "\n\n"), 5u);
}

// --wait asks GetStatus until nothing waits and nothing is under way; a module
// without the command is asked with bare requests until the Result is 0.
TEST(SaoriCallRunTest, WaitAsksUntilNothingWaitsOrIsUnderWay) {
  const std::string status = "request(" + BuildRequest("UTF-8", {"GetStatus"}) + ")\n";
  const std::string bare = "request(" + BuildRequest("UTF-8", {}) + ")\n";
  const std::string pending =
      "request(" + BuildRequest("UTF-8", {"pending", "2"}) + ")\n";
  {
    FakeModule fake(FAKE_MODULE);
    ToolRun run = RunTool({"--wait", "10", fake.path(), "pending", "2"});
    EXPECT_EQ(run.exitCode, kExitSuccess) << run.err;
    // Result 2, 1, 0 with a delivery under way, then 0 with none.
    EXPECT_EQ(fake.Log(), "loadu(" + fake.directory() + ")\n" + pending + status + status +
                              status + status + "unload()\n");
  }
  FakeModule fake(FAKE_MODULE);
  ToolRun run = RunTool({"--interactive", "--wait", "10", fake.path()},
                        "nostatus\npending\t2\n");
  EXPECT_EQ(run.exitCode, kExitSuccess) << run.err;
  const std::string log = fake.Log();
  const std::string after = log.substr(log.find(pending) + pending.size());
  EXPECT_EQ(after, status + bare + bare + bare + "unload()\n");
}

TEST(SaoriCallRunTest, StatusShowsTheDeliveryReportInWords) {
  FakeModule fake(FAKE_MODULE);
  ToolRun run = RunTool({"--status", fake.path(), "pending", "0"});
  EXPECT_EQ(run.exitCode, kExitSuccess) << run.err;
  EXPECT_NE(run.out.find("waiting: 0 (bound 255)\nunder way: nothing\n"
                         "since load: 4 delivered, 1 dropped\nlast drop: refused\n"
                         "  en sentence\n  ja sentence\n"),
            std::string::npos)
      << run.out;

  ToolRun unknown = RunTool({"--interactive", "--status", fake.path()}, "nostatus\n");
  EXPECT_EQ(unknown.exitCode, kExitStatus);
  EXPECT_NE(unknown.err.find("--status: the module does not answer GetStatus"),
            std::string::npos)
      << unknown.err;
}

TEST(SaoriCallRunTest, WritesArgumentsInTheChosenCharset) {
  FakeModule fake(FAKE_MODULE);
  const std::string nihongo = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";  // 日本語
  struct Case {
    const char* charset;
    std::string bytes;
  };
  const Case cases[] = {
      {"Shift_JIS", "\x93\xFA\x96\x7B\x8C\xEA"},
      {"EUC-JP", "\xC6\xFC\xCB\xDC\xB8\xEC"},
      {"ISO-2022-JP", "\x1B$BF|K\\8l\x1B(B"},
      {"UTF-8", nihongo},
  };
  for (const Case& c : cases) {
    ToolRun run = RunTool({"--charset", c.charset, fake.path(), "echo", nihongo});
#if defined(_WIN32)
    // Wine has no converter for ISO-2022-JP; the tool must say so.
    if (std::string(c.charset) == "ISO-2022-JP" && run.exitCode == kExitUsage) {
      EXPECT_EQ(run.err.find("saori-call: this system has no converter for ISO-2022-JP"), 0u)
          << run.err;
      continue;
    }
#endif
    EXPECT_EQ(run.exitCode, kExitSuccess) << c.charset << ": " << run.err;
    EXPECT_NE(fake.Log().find(std::string("Charset: ") + c.charset + "\r\n"
                              "SecurityLevel: Local\r\nArgument0: echo\r\n"
                              "Argument1: " + c.bytes + "\r\n\r\n"),
              std::string::npos)
        << c.charset;
    // The answer is shown decoded again.
    EXPECT_NE(run.out.find("Value0: " + nihongo + "\n"), std::string::npos) << c.charset;
  }
}

TEST(SaoriCallRunTest, RefusesArgumentsItCannotSendWithoutLoadingTheModule) {
  FakeModule fake(FAKE_MODULE);
  ToolRun emoji = RunTool({"--charset", "Shift_JIS", fake.path(), "echo", "\xF0\x9F\x98\x80"});
  EXPECT_EQ(emoji.exitCode, kExitUsage);
  EXPECT_NE(emoji.err.find("can't be written in Shift_JIS"), std::string::npos)
      << emoji.err;
  ToolRun lineBreak = RunTool({fake.path(), "echo", "two\nlines"});
  EXPECT_EQ(lineBreak.exitCode, kExitUsage);
  EXPECT_NE(lineBreak.err.find("line break"), std::string::npos) << lineBreak.err;
  EXPECT_EQ(fake.Log(), "");
}

TEST(SaoriCallRunTest, ShowsAnAnswerDecodedWithTheCharsetItNames) {
  FakeModule fake(FAKE_MODULE);
  ToolRun run = RunTool({fake.path(), "sjis"});
  EXPECT_EQ(run.exitCode, kExitSuccess);
  EXPECT_EQ(run.out, "status: 200 OK\nResult: \xE6\x97\xA5\xE6\x9C\xAC\nCharset: Shift_JIS\n");
}

TEST(SaoriCallRunTest, RawSendsTheFileBytesUnchanged) {
  FakeModule fake(FAKE_MODULE);
  const std::string path = testing::TempDir() + "saori_call_raw_request.txt";
  const char raw[] = "NOTIFY SAORI/1.0\r\nArgument0: echo\r\nArgument1: \xFF\0z\r\n\r\n";
  const std::string bytes(raw, sizeof raw - 1);
  {
    std::ofstream file(path, std::ios::binary);
    file << bytes;
  }
  ToolRun run = RunTool({"--raw", path, fake.path()});
  EXPECT_EQ(run.exitCode, kExitSuccess) << run.err;
  EXPECT_EQ(fake.Log(), "loadu(" + fake.directory() + ")\nrequest(" + bytes +
                            ")\nunload()\n");
  std::remove(path.c_str());
  EXPECT_EQ(RunTool({"--raw", path, fake.path()}).exitCode, kExitUsage);
}

}  // namespace
}  // namespace tools::saori_call
