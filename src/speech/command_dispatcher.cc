#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "saori/saori_request.h"
#include "saori/saori_response.h"
#include "speech/tovaro.h"

namespace speech {
namespace {

char16_t FoldAsciiCase(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Command names are ASCII, so only A-Z and a-z fold; every other unit must match.
// `name` is a view, so that matching a literal allocates nothing.
bool IsCommand(const saori::CSAORIRequest& request, std::u16string_view name) {
  if (request.arguments.empty()) return false;
  const saori::WideString& word = request.arguments[0];
  if (word.size() != name.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (FoldAsciiCase(word[i]) != FoldAsciiCase(name[i])) return false;
  }
  return true;
}

// The digits are ASCII, so each byte widens to its one UTF-16 unit as it is; a
// trip through the code-page converter would cost more than the rest of the answer.
saori::WideString DecimalText(std::uint64_t number) {
  const std::string digits = std::to_string(number);
  return saori::WideString(digits.begin(), digits.end());
}

}  // namespace

void CTovaro::Execute(saori::CSAORIRequest& request, saori::CSAORIResponse& response) {
  response.status = 400;
  if (request.arguments.empty()) {
    response.status = 200;
  } else {
    if (IsCommand(request, u"AddQueue")) AddQueue(request, response);
    if (IsCommand(request, u"ClearQueue")) ClearQueue(request, response);
    if (IsCommand(request, u"SetQueueMax")) SetQueueMax(request, response);
  }
  // GetStatus only reads, and what it reads comes with the two numbers below.
  const bool reportWanted = IsCommand(request, u"GetStatus");
  if (reportWanted) response.status = 200;

  // The numbers and the report from one look at the queue, taken after the
  // command: the worker may already have taken what was just added. In one look,
  // "nothing waits" and "nothing under way" can't both be seen while a text is
  // still to be delivered.
  std::size_t length = 0;
  std::uint16_t maximum = 0;
  std::optional<DeliveryReport> report;  // only GetStatus pays for it
  {
    platform::LockGuard guard(shared->queueLock);
    length = shared->talkQueue.size();
    maximum = shared->queueMax;
    if (reportWanted) report = shared->report;
  }
  response.result = DecimalText(length);
  response.values.push_back(DecimalText(maximum));
  if (report) AppendReportValues(*report, response.values);
}

}  // namespace speech
