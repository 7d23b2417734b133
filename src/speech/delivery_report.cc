#include "speech/delivery_report.h"

#include <string>

#include "platform/code_page.h"
#include "saori/text_conversion.h"

namespace speech {
namespace {

// One sentence of each language for a cause. "{h}" stands for the host as the
// module read it, "{p}" for the port. Each says what happened and, where the script
// author can do something about it, what.
struct Words {
  const char* word;
  const char* japanese;
  const char* english;
};

Words WordsFor(DropCause cause, bool emptyHost) {
  switch (cause) {
    case DropCause::kNone:
      return {"none", "", ""};
    case DropCause::kRefused:
      return {"refused",
              u8"「{h}」のポート {p} に接続を断られました。読み上げサーバーが起動していないか、"
              u8"別のポートで待ち受けています。",
              "\"{h}\" refused the connection on port {p}: the speech server is not "
              "running, or it listens on another port."};
    case DropCause::kTimedOut:
      return {"timeout",
              u8"「{h}」のポート {p} から、時間内に応答がありませんでした。相手のマシンが"
              u8"止まっているか、ファイアウォールが接続を通していません。",
              "Nothing answered on port {p} of \"{h}\" in time: that machine is down, or "
              "a firewall drops the connection."};
    case DropCause::kUnreachable:
      return {"unreachable",
              u8"「{h}」までのネットワークの経路がありません。アドレスを確かめてください。",
              "There is no network route to \"{h}\": check the address."};
    case DropCause::kUnknownHost:
      if (emptyHost) {
        return {"unknown-host",
                u8"送り先のホストが空です。このマシンに送るときは、127.0.0.1 と書いてください。",
                "The host is empty: write 127.0.0.1 for this machine."};
      }
      return {"unknown-host",
              u8"ホスト名「{h}」が見つかりませんでした。綴りを確かめるか、127.0.0.1 のような"
              u8" IPv4 アドレスで書いてください。",
              "The host name \"{h}\" was not found: check its spelling, or write an IPv4 "
              "address such as 127.0.0.1."};
    case DropCause::kNoIpv4:
      return {"no-ipv4",
              u8"ホスト名「{h}」には IPv4 アドレスがありません。このモジュールが送れるのは"
              u8" IPv4 だけです。127.0.0.1 のような IPv4 アドレスで書いてください。",
              "The host name \"{h}\" has no IPv4 address, and the module reaches IPv4 "
              "only: write an IPv4 address such as 127.0.0.1."};
    case DropCause::kNotIpv4:
      return {"not-ipv4",
              u8"「{h}」は IPv4 アドレスでもホスト名でもありません。127.0.0.1 のような IPv4"
              u8" アドレスかホスト名を書き、ポート番号は次の引数に分けてください（IPv6"
              u8" アドレスには送れません）。",
              "\"{h}\" is neither an IPv4 address nor a host name: write an IPv4 address "
              "such as 127.0.0.1 or a name, and the port as the next argument (IPv6 "
              "addresses are not reached)."};
    case DropCause::kBadPort:
      return {"bad-port",
              u8"「{h}」へのポート番号が 0 です。ポートは 1 から 65535 までの半角数字で"
              u8"書いてください（数字として読めない値は 0 になります）。",
              "The port for \"{h}\" is 0: write it in ASCII digits, 1 to 65535 (what "
              "can't be read as a number becomes 0)."};
    case DropCause::kSendFailed:
      return {"send-failed",
              u8"「{h}」のポート {p} には接続できましたが、テキストを送り終える前に"
              u8"接続を切られました。",
              "Port {p} of \"{h}\" took the connection, but closed it before the text "
              "was sent."};
    case DropCause::kNetwork:
      return {"network",
              u8"「{h}」のポート {p} への接続を、システムが開けませんでした。",
              "The system could not open a connection to port {p} of \"{h}\"."};
    case DropCause::kUnload:
      return {"unload",
              u8"「{h}」のポート {p} へ送っている途中で unload されたため、送信を"
              u8"打ち切りました。",
              "unload cut short the delivery to port {p} of \"{h}\"."};
    case DropCause::kCleared:
      return {"cleared", u8"ClearQueue で、送る前のテキストを捨てました。",
              "ClearQueue dropped texts before they were sent."};
    case DropCause::kOutOfMemory:
      return {"memory", u8"メモリーが足りず、テキストを送れませんでした。",
              "Memory ran out, and the text could not be sent."};
  }
  return {"none", "", ""};
}

// `pattern` with "{h}" and "{p}" filled in.
std::string Fill(const char* pattern, const std::string& host, std::uint16_t port) {
  std::string text;
  for (const char* c = pattern; *c != '\0'; ++c) {
    if (c[0] == '{' && c[1] != '\0' && c[2] == '}') {
      if (c[1] == 'h') {
        text += host;
        c += 2;
        continue;
      }
      if (c[1] == 'p') {
        text += std::to_string(port);
        c += 2;
        continue;
      }
    }
    text += *c;
  }
  return text;
}

// The digits are ASCII, so each byte widens to its one UTF-16 unit as it is.
saori::WideString Decimal(std::uint64_t number) {
  const std::string digits = std::to_string(number);
  return saori::WideString(digits.begin(), digits.end());
}

saori::WideString FromUtf8(const std::string& text) {
  return saori::MultiByteToWide(text.c_str(), platform::kCodePageUtf8);
}

}  // namespace

void AppendReportValues(const DeliveryReport& report,
                        std::vector<saori::WideString>& values) {
  const Words words = WordsFor(report.lastCause, report.lastHost.empty());
  values.push_back(report.busy ? u"1" : u"0");
  values.push_back(Decimal(report.delivered));
  values.push_back(Decimal(report.dropped));
  values.push_back(FromUtf8(words.word));
  values.push_back(FromUtf8(Fill(words.japanese, report.lastHost, report.lastPort)));
  values.push_back(FromUtf8(Fill(words.english, report.lastHost, report.lastPort)));
}

}  // namespace speech
