// Hostile and boundary requests through the built module: each is answered with a
// complete answer in its charset and the expected status, and the module answers
// normally afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "module/module_fixture.h"
#include "support/answer_form.h"
#include "support/module_loader.h"
#include "support/talk_listener.h"

namespace test_support {
namespace {

using ModuleBadInputTest = ModuleTest;

constexpr unsigned kArrivalTimeoutMs = 10000;

const std::string kVersionRequest = "GET Version SAORI/1.0\r\nCharset: Shift_JIS\r\n\r\n";
const std::string kVersionAnswer =
    "SAORI/1.0 200 OK\r\nCharset: Shift_JIS\r\nResult: \r\n\r\n";

// An EXECUTE whose header lines are given whole, in the given charset.
std::string Execute(const std::string& charset, const std::string& lines) {
  return "EXECUTE SAORI/1.0\r\nCharset: " + charset + "\r\nSecurityLevel: Local\r\n" +
         lines + "\r\n";
}

// An AddQueue of `text` to a host that never resolves, so nothing is sent.
std::string AddQueueNowhere(const std::string& charset, const std::string& text) {
  return Execute(charset, "Argument0: AddQueue\r\nArgument1: " + text +
                              "\r\nArgument2: bad..name\r\nArgument3: 1\r\n");
}

// Every byte of a literal, zero bytes included.
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

std::string ManyLines(int count) {
  std::string lines;
  for (int i = 0; i < count; ++i) lines += "X-Line" + std::to_string(i) + ": v\r\n";
  return lines;
}

TEST_F(ModuleBadInputTest, EveryRequestGetsACompleteAnswerAndTheModuleStaysUsable) {
  struct Case {
    const char* name;
    std::string request;
    const char* charset;
    const char* status;
  };
  const std::string setMax = "Argument0: SetQueueMax\r\nArgument1: ";
  const std::string addThree =
      "Argument0: AddQueue\r\nArgument1: t\r\nArgument2: bad..name\r\n";
  const std::vector<Case> cases = {
      {"16 MiB option value",
       Execute("UTF-8", "Sender: " + std::string(16u << 20, 'x') + "\r\n"), "UTF-8",
       "200"},
      {"100,000 header lines", Execute("UTF-8", ManyLines(100000) + setMax + "100\r\n"),
       "UTF-8", "200"},
      {"NUL ends the text", Execute("UTF-8", setMax + Bytes("100\0\r\n")), "UTF-8",
       "200"},
      {"NUL drops later arguments",
       Execute("UTF-8", Bytes("Argument0: SetQueueMax\0\r\nArgument1: 7\r\n")), "UTF-8",
       "400"},
      {"NUL first, charset still read", Bytes("\0") + Execute("EUC-JP", ""), "EUC-JP",
       "500"},
      {"Shift_JIS lone lead byte", AddQueueNowhere("Shift_JIS", "a\x82"), "Shift_JIS",
       "200"},
      {"Shift_JIS undefined bytes", AddQueueNowhere("Shift_JIS", "\xFF\xFD\xA0\x85\x40"),
       "Shift_JIS", "200"},
      {"EUC-JP broken pair", AddQueueNowhere("EUC-JP", "\xA4\x20\x8E\xFF\xA4"), "EUC-JP",
       "200"},
      {"ISO-2022-JP bad escapes",
       AddQueueNowhere("ISO-2022-JP", "\x1B$B\x7F\x7F\x1B(Z\x1B"), "ISO-2022-JP", "200"},
      {"ISO-2022-JP eight-bit bytes",
       AddQueueNowhere("ISO-2022-JP", "\x82\xA0\xE3\x81\x82"), "ISO-2022-JP", "200"},
      {"UTF-8 invalid sequences",
       AddQueueNowhere("UTF-8",
                       "\xC3\x28\xED\xA0\x80\xF8\x88\x80\x80\x80\xC0\xAF\xE3\x81"),
       "UTF-8", "200"},
      {"argument at the cap counts", Execute("UTF-8", addThree + "Argument4095: x\r\n"),
       "UTF-8", "400"},
      {"argument above the cap is dropped",
       Execute("UTF-8", addThree + "Argument4096: x\r\n"), "UTF-8", "200"},
      {"argument index past 32 bits is dropped",
       Execute("UTF-8", addThree + "Argument99999999999999999999: x\r\n"), "UTF-8",
       "200"},
      {"AddQueue without text", Execute("UTF-8", "Argument0: AddQueue\r\n"), "UTF-8",
       "400"},
      {"AddQueue with three arguments", Execute("UTF-8", addThree + "Argument3: 1\r\n"),
       "UTF-8", "200"},
      {"AddQueue with four arguments",
       Execute("UTF-8", addThree + "Argument3: 1\r\nArgument4: 1\r\n"), "UTF-8", "400"},
      {"AddQueue with seven arguments",
       AddQueueNowhere("UTF-8",
                       "t\r\nArgument4: 1\r\nArgument5: 2\r\nArgument6: 3\r\n"
                       "Argument7: 4"),
       "UTF-8", "200"},
      {"AddQueue with eight arguments",
       AddQueueNowhere("UTF-8",
                       "t\r\nArgument4: 1\r\nArgument5: 2\r\nArgument6: 3\r\n"
                       "Argument7: 4\r\nArgument8: 5"),
       "UTF-8", "400"},
      {"NOTIFY that succeeds", "NOTIFY SAORI/1.0\r\nCharset: UTF-8\r\n\r\n", "UTF-8",
       "204"},
      {"NOTIFY that is refused",
       "NOTIFY SAORI/1.0\r\nCharset: UTF-8\r\nArgument0: Nothing\r\n\r\n", "UTF-8",
       "400"},
      {"unknown command", Execute("UTF-8", "Argument0: Nothing\r\n"), "UTF-8", "400"},
      {"unknown method", "PUT SAORI/1.0\r\nCharset: UTF-8\r\n\r\n", "UTF-8", "400"},
      {"remote security level",
       "EXECUTE SAORI/1.0\r\nCharset: UTF-8\r\nSecurityLevel: External\r\n\r\n", "UTF-8",
       "500"},
      {"no protocol marker", "EXECUTE\r\nCharset: UTF-8\r\n\r\n", "UTF-8", "500"},
      // Last: the maximum stays at 1.
      {"queue maximum 0", Execute("UTF-8", setMax + "0\r\n"), "UTF-8", "400"},
      {"queue maximum 1", Execute("UTF-8", setMax + "1\r\n"), "UTF-8", "200"},
      {"queue maximum 65535", Execute("UTF-8", setMax + "65535\r\n"), "UTF-8", "200"},
      {"queue maximum 65536 is 0", Execute("UTF-8", setMax + "65536\r\n"), "UTF-8",
       "400"},
      {"queue maximum 65537 is 1", Execute("UTF-8", setMax + "65537\r\n"), "UTF-8",
       "200"},
      {"queue maximum missing", Execute("UTF-8", "Argument0: SetQueueMax\r\n"), "UTF-8",
       "400"},
  };
  ASSERT_EQ(module.Load("C:/ghost/"), 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Answer answer = module.Request(c.request);
    EXPECT_TRUE(IsCompleteAnswer(answer.bytes, c.charset)) << answer.bytes.substr(0, 200);
    EXPECT_EQ(StatusLine(answer.bytes).substr(10, 3), c.status);
    EXPECT_EQ(module.Request(kVersionRequest).bytes, kVersionAnswer);
  }
  EXPECT_EQ(module.Unload(), 1);
}

// A long text arrives whole, in UTF-8, whatever charset carried it.
TEST_F(ModuleBadInputTest, MegabyteTextsArriveWhole) {
  TalkListener server;
  ASSERT_EQ(module.Load("C:/ghost/"), 1);
  const std::string port = std::to_string(server.port());
  std::string ascii(1u << 20, 'a');
  for (std::size_t i = 0; i < ascii.size(); i += 61)
    ascii[i] = static_cast<char>('0' + i % 10);
  std::string shiftJis;
  std::string utf8;
  for (int i = 0; i < (1 << 19); ++i) {
    shiftJis += "\x82\xA0";  // HIRAGANA LETTER A
    utf8 += "\xE3\x81\x82";
  }
  for (const auto& charsetAndText :
       {std::make_pair(std::string("UTF-8"), ascii),
        std::make_pair(std::string("Shift_JIS"), shiftJis)}) {
    Answer answer = module.Request(HostExecute(
        charsetAndText.first, {"AddQueue", charsetAndText.second, "127.0.0.1", port}));
    EXPECT_EQ(StatusLine(answer.bytes), "SAORI/1.0 200 OK") << charsetAndText.first;
  }
  std::vector<std::string> packets = server.WaitForPackets(2, kArrivalTimeoutMs);
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_TRUE(packets[0] == DefaultTalkPacket(ascii));
  EXPECT_TRUE(packets[1] == DefaultTalkPacket(utf8));
  EXPECT_EQ(module.Unload(), 1);
}

}  // namespace
}  // namespace test_support
