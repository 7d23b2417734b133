// talk-listener: decoding what a connection carried, the lines it prints, and the
// serving loop fed over real loopback connections by the module's own socket code.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/network.h"
#include "talk_listener/speaker.h"
#include "talk_listener/packet_decoder.h"
#include "talk_listener/talk_listener.h"

namespace tools::talk_listener {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += static_cast<char>(value);
  return bytes;
}

// The packet the module sends for 'abc' with every setting left to its default.
const std::string kAbcPacket = Bytes({0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00,
                                      0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63});
const std::string kAbcJson =
    "{\"command\":1,\"speed\":-1,\"tone\":-1,\"volume\":-1,\"voice\":0,"
    "\"characterCode\":0,\"length\":3,\"text\":\"abc\"}";

TEST(PacketDecoderTest, DecodesTheAbcPacketByteForByte) {
  Decoded decoded = DecodeConnection(kAbcPacket);
  EXPECT_EQ(decoded.problem, Problem::kNone);
  EXPECT_EQ(decoded.received, 18u);
  EXPECT_EQ(decoded.packet.command, 1);
  EXPECT_EQ(decoded.packet.speed, -1);
  EXPECT_EQ(decoded.packet.tone, -1);
  EXPECT_EQ(decoded.packet.volume, -1);
  EXPECT_EQ(decoded.packet.voice, 0);
  EXPECT_EQ(decoded.packet.characterCode, 0);
  EXPECT_EQ(decoded.packet.length, 3);
  EXPECT_EQ(decoded.packet.text, "abc");
  EXPECT_EQ(FormatJson(decoded), kAbcJson);
  EXPECT_EQ(FormatPlain(decoded),
            "command=1 speed=-1 tone=-1 volume=-1 voice=0 code=0 length=3 text=\"abc\"");
}

TEST(PacketDecoderTest, ReadsEveryFieldLittleEndianAndSigned) {
  // speed 300, tone -2, volume 32767, voice -32768, code 255, empty text
  std::string packet = Bytes({0x07, 0x00, 0x2C, 0x01, 0xFE, 0xFF, 0xFF, 0x7F, 0x00, 0x80,
                              0xFF, 0x00, 0x00, 0x00, 0x00});
  Decoded decoded = DecodeConnection(packet);
  EXPECT_EQ(decoded.problem, Problem::kNone);
  EXPECT_EQ(FormatJson(decoded),
            "{\"command\":7,\"speed\":300,\"tone\":-2,\"volume\":32767,\"voice\":-32768,"
            "\"characterCode\":255,\"length\":0,\"text\":\"\"}");
}

TEST(PacketDecoderTest, NamesWhatIsWrongWithMalformedInput) {
  std::string header = kAbcPacket.substr(0, 15);
  struct Case {
    const char* name;
    std::string bytes;
    Problem problem;
    std::string json;
    std::string plain;
  };
  const Case cases[] = {
      {"nothing", "", Problem::kShortPacket,
       "{\"error\":\"short packet: 0 bytes, the header alone is 15\",\"received\":0}",
       "malformed (short packet: 0 bytes, the header alone is 15)"},
      {"fourteen bytes", header.substr(0, 14), Problem::kShortPacket,
       "{\"error\":\"short packet: 14 bytes, the header alone is 15\",\"received\":14}",
       "malformed (short packet: 14 bytes, the header alone is 15)"},
      {"length beyond the bytes", header + "ab", Problem::kLengthBeyondData,
       "{\"command\":1,\"speed\":-1,\"tone\":-1,\"volume\":-1,\"voice\":0,"
       "\"characterCode\":0,\"length\":3,"
       "\"error\":\"length field 3 is beyond the 2 text bytes received\",\"received\":17}",
       "malformed (length field 3 is beyond the 2 text bytes received): command=1 "
       "speed=-1 tone=-1 volume=-1 voice=0 code=0 length=3"},
      {"negative length",
       kAbcPacket.substr(0, 11) + Bytes({0xFF, 0xFF, 0xFF, 0xFF}) + "abc",
       Problem::kNegativeLength,
       "{\"command\":1,\"speed\":-1,\"tone\":-1,\"volume\":-1,\"voice\":0,"
       "\"characterCode\":0,\"length\":-1,\"error\":\"negative length field -1\","
       "\"received\":18}",
       "malformed (negative length field -1): command=1 speed=-1 tone=-1 volume=-1 "
       "voice=0 code=0 length=-1"},
      {"bytes after the packet", kAbcPacket + "xy", Problem::kTrailingBytes,
       kAbcJson.substr(0, kAbcJson.size() - 1) +
           ",\"error\":\"2 bytes after the packet\",\"received\":20}",
       "malformed (2 bytes after the packet): command=1 speed=-1 tone=-1 volume=-1 "
       "voice=0 code=0 length=3 text=\"abc\""},
  };
  for (const Case& c : cases) {
    Decoded decoded = DecodeConnection(c.bytes);
    EXPECT_EQ(decoded.problem, c.problem) << c.name;
    EXPECT_EQ(FormatJson(decoded), c.json) << c.name;
    EXPECT_EQ(FormatPlain(decoded), c.plain) << c.name;
  }
  Decoded quiet = DecodeConnection(header);
  quiet.cutShort = "it went quiet";
  EXPECT_NE(FormatJson(quiet).find(",\"cutShort\":\"it went quiet\"}"), std::string::npos);
  EXPECT_NE(FormatPlain(quiet).find(" [cut short: it went quiet]"), std::string::npos);
}

TEST(PacketDecoderTest, JsonStringsAreEscapedAndInvalidUtf8IsReplaced) {
  struct Case {
    std::string text;
    std::string escaped;
    bool valid;
  };
  const Case cases[] = {
      {"plain text", "plain text", true},
      {"say \"hi\" \\ bye", "say \\\"hi\\\" \\\\ bye", true},
      {"a\nb\rc\td\be\ff", "a\\nb\\rc\\td\\be\\ff", true},
      {Bytes({0x01, 0x1F, 0x7F}), "\\u0001\\u001f\\u007f", true},
      {std::string("a\0b", 3), "a\\u0000b", true},
      {"\xE3\x81\x93\xE3\x82\x93", "\xE3\x81\x93\xE3\x82\x93", true},  // こん
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", true},                  // outside the BMP
      {"\xE2\x80\xA8|\xE2\x80\xA9", "\\u2028|\\u2029", true},
      {"\x80", "\\ufffd", false},                            // lone continuation byte
      {"\xC0\xAF", "\\ufffd\\ufffd", false},                 // overlong '/'
      {"\xED\xA0\x80", "\\ufffd\\ufffd\\ufffd", false},      // surrogate
      {"x\xE3\x81", "x\\ufffd\\ufffd", false},               // cut off at the end
      {"\xF5\x80\x80\x80", "\\ufffd\\ufffd\\ufffd\\ufffd", false},  // past U+10FFFF
      {"\x82\xA0", "\\ufffd\\ufffd", false},                 // Shift_JIS, not UTF-8
  };
  for (const Case& c : cases) {
    bool valid = !c.valid;
    EXPECT_EQ(JsonEscape(c.text, &valid), c.escaped) << c.escaped;
    EXPECT_EQ(valid, c.valid) << c.escaped;
  }
  Decoded decoded = DecodeConnection(kAbcPacket.substr(0, 11) + Bytes({2, 0, 0, 0}) +
                                     "\x82\xA0");
  EXPECT_NE(FormatJson(decoded).find("\"text\":\"\\ufffd\\ufffd\",\"invalidUtf8\":true}"),
            std::string::npos);
}

TEST(TalkListenerOptionsTest, MapsVoiceSettingsToEspeakAndLeavesDefaultsAlone) {
  TalkPacket packet;
  packet.speed = packet.tone = packet.volume = -1;
  EXPECT_TRUE(EspeakArguments(packet, "").empty());
  EXPECT_EQ(EspeakArguments(packet, "ja"), (std::vector<std::string>{"-v", "ja"}));
  packet.speed = 200;
  packet.tone = 100;
  packet.volume = 150;
  EXPECT_EQ(EspeakArguments(packet, ""),
            (std::vector<std::string>{"-s", "350", "-a", "150", "-p", "50"}));
  packet.speed = 10;
  packet.tone = 1000;
  packet.volume = 32000;
  EXPECT_EQ(
      EspeakArguments(packet, "en-us"),
      (std::vector<std::string>{"-v", "en-us", "-s", "80", "-a", "200", "-p", "99"}));
}

TEST(TalkListenerOptionsTest, ChoosesTheJapaneseVoiceForKanaOrKanjiUnlessTold) {
  struct Case {
    std::string text;
    std::string chosen;
    std::string voice;
  };
  const Case cases[] = {
      {"hello", "", ""},
      {"\xE3\x81\x93\xE3\x82\x93", "", "ja"},              // こん, hiragana
      {"say \xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88", "", "ja"},  // テスト, katakana
      {"\xEF\xBD\xB6", "", "ja"},                            // ｶ, half-width
      {"\xE5\xA4\xA9\xE6\xB0\x97", "", "ja"},              // 天気, kanji alone
      {"\xE3\x80\x82\xEF\xBC\x81", "", ""},               // 。！ punctuation only
      {"caf\xC3\xA9 \xF0\x9F\x98\x80", "", ""},           // é and an emoji
      {"\xE3\x81", "", ""},                                  // cut off
      {"\x82\xA0", "", ""},                                  // Shift_JIS bytes
      {"\xE3\x81\x93", "en", "en"},                          // chosen wins
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseVoice(c.text, c.chosen), c.voice) << c.text;
  }
}

TEST(TalkListenerOptionsTest, RefusesValuesOutOfRange) {
  Options options;
  std::string error;
  ASSERT_TRUE(ParseOptions({"--port=0", "--json", "--count", "2", "--host", "localhost",
                            "--speak-to", "out", "--voice=en"},
                           &options, &error));
  EXPECT_EQ(options.port, 0);
  EXPECT_EQ(options.count, 2);
  EXPECT_EQ(options.host, "localhost");
  EXPECT_EQ(options.speakTo, "out");
  EXPECT_EQ(options.voice, "en");
  const std::vector<std::vector<std::string>> bad = {
      {"--port", "65536"}, {"--port", "-1"},     {"--port", "x"},
      {"--count", "0"},    {"--quiet", "0"},     {"--count"},
      {"--json=1"},        {"--what"},           {"--voice", "ja"},  // nothing to speak
      {"--speak-to="},     {"--speak", "--voice="},
  };
  for (const auto& arguments : bad) {
    EXPECT_FALSE(ParseOptions(arguments, &options, &error)) << arguments[0];
  }
}

// The listener on a thread of its own, serving until `count` connections are shown.
class ServingListener {
 public:
  explicit ServingListener(std::vector<std::string> arguments) {
    std::future<std::uint16_t> port = listening_.get_future();
    finished_ = ended_.get_future();
    thread_ = std::thread([this, arguments] {
      exitCode_ = RunTalkListener(arguments, out_, err_, &stop_,
                                  [this](std::uint16_t port) { listening_.set_value(port); });
      ended_.set_value();
    });
    if (port.wait_for(std::chrono::seconds(5)) == std::future_status::ready) {
      port_ = port.get();
    }
  }
  ~ServingListener() { Finish(); }

  std::uint16_t port() const { return port_; }
  // Waits a bounded time for the listener to end by itself, then stops it.
  void Finish() {
    if (!thread_.joinable()) return;
    finished_.wait_for(std::chrono::seconds(10));
    stop_ = true;
    thread_.join();
  }
  std::string out() const { return out_.str(); }
  std::string err() const { return err_.str(); }
  int exitCode() const { return exitCode_; }

 private:
  std::ostringstream out_;
  std::ostringstream err_;
  std::atomic<bool> stop_{false};
  std::promise<std::uint16_t> listening_;
  std::promise<void> ended_;
  std::future<void> finished_;
  int exitCode_ = -1;
  std::uint16_t port_ = 0;
  std::thread thread_;
};

// One connection from the module's own delivery socket.
class Client {
 public:
  explicit Client(std::uint16_t port) {
    connected_ = socket_.Open(interrupt_) &&
                 socket_.Connect(platform::ParseIpv4Address("127.0.0.1"), port,
                                 interrupt_) == platform::NetStatus::kOk;
  }
  bool connected() const { return connected_; }
  void Send(const std::string& bytes) { socket_.Send(bytes.data(), bytes.size(), interrupt_); }
  void Close() { socket_.Close(); }

 private:
  platform::Interrupt interrupt_;
  platform::TcpClient socket_;
  bool connected_ = false;
};

class TalkListenerServeTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::StartNetwork()); }
  void TearDown() override { platform::StopNetwork(); }
};

TEST_F(TalkListenerServeTest, ShowsOneLinePerConnectionAndServesOnAfterBadInput) {
  ServingListener listener({"--port", "0", "--json", "--count", "3"});
  ASSERT_NE(listener.port(), 0) << listener.err();
  for (const std::string& bytes : {kAbcPacket.substr(0, 7), kAbcPacket + "!", kAbcPacket}) {
    Client client(listener.port());
    ASSERT_TRUE(client.connected());
    client.Send(bytes);
    client.Close();
  }
  listener.Finish();
  EXPECT_EQ(listener.exitCode(), kExitSuccess);
  EXPECT_EQ(listener.out(),
            "{\"error\":\"short packet: 7 bytes, the header alone is 15\",\"received\":7}\n" +
                kAbcJson.substr(0, kAbcJson.size() - 1) +
                ",\"error\":\"1 byte after the packet\",\"received\":19}\n" + kAbcJson +
                "\n");
  EXPECT_NE(listener.err().find("listening on 127.0.0.1:" + std::to_string(listener.port())),
            std::string::npos);
}

TEST_F(TalkListenerServeTest, ShowsWhatArrivedWhenThePeerGoesQuiet) {
  ServingListener listener({"--port", "0", "--count", "1", "--quiet", "1"});
  ASSERT_NE(listener.port(), 0) << listener.err();
  Client client(listener.port());
  ASSERT_TRUE(client.connected());
  client.Send(kAbcPacket);
  listener.Finish();  // the connection stays open until after the line
  client.Close();
  EXPECT_EQ(listener.out(),
            "command=1 speed=-1 tone=-1 volume=-1 voice=0 code=0 length=3 text=\"abc\" "
            "[cut short: nothing more arrived for 1000 ms and the peer kept the "
            "connection open]\n");
}

TEST_F(TalkListenerServeTest, SpeaksEachTextToAWavFileOfItsOwn) {
  if (!SpeakerAvailable()) GTEST_SKIP() << "espeak-ng is not installed here";
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("talk-listener-test-" + std::to_string(std::random_device()()));
  std::filesystem::remove_all(folder);
  const std::string japanese = kAbcPacket.substr(0, 11) + Bytes({6, 0, 0, 0}) +
                               "\xE3\x81\x93\xE3\x82\x93";  // こん
  {
    ServingListener listener({"--port", "0", "--count", "3", "--speak-to",
                              (folder / "wav").string()});
    ASSERT_NE(listener.port(), 0) << listener.err();
    // The empty packet in the middle has nothing to say, so it leaves no file.
    for (const std::string& bytes :
         {kAbcPacket, kAbcPacket.substr(0, 11) + Bytes({0, 0, 0, 0}), japanese}) {
      Client client(listener.port());
      ASSERT_TRUE(client.connected());
      client.Send(bytes);
      client.Close();
    }
    listener.Finish();
    const std::string prefix = "talk-" + std::to_string(listener.port()) + "-";
    for (const std::string& name : {prefix + "0001.wav", prefix + "0003.wav"}) {
      std::ifstream wav(folder / "wav" / name, std::ios::binary);
      std::string head(4, '\0');
      wav.read(&head[0], 4);
      EXPECT_EQ(head, "RIFF") << name << "\n" << listener.err();
      EXPECT_GT(std::filesystem::file_size(folder / "wav" / name), 1000u) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "wav" / (prefix + "0002.wav")));
  }
  std::filesystem::remove_all(folder);
}

TEST_F(TalkListenerServeTest, ReportsAPortThatCannotBeBound) {
  ServingListener first({"--port", "0", "--count", "1"});
  ASSERT_NE(first.port(), 0);
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunTalkListener({"--port", std::to_string(first.port())}, out, err, nullptr, {}),
            kExitListen);
  EXPECT_NE(err.str().find("can't bind 127.0.0.1:" + std::to_string(first.port())),
            std::string::npos)
      << err.str();
  Client client(first.port());  // lets the first one finish
  client.Close();
}

}  // namespace
}  // namespace tools::talk_listener
