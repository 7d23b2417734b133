#include "saori/request_pipeline.h"

#include <cstdint>

#include "saori/ascii_case.h"
#include "saori/charset_detection.h"
#include "saori/saori_base.h"
#include "saori/saori_request.h"
#include "saori/saori_response.h"
#include "saori/text_conversion.h"

namespace saori {
namespace {

constexpr std::uint32_t kCounterLimit = 2147483647u;

void AdvanceRequestCounter(CSAORIBase& plugin) {
  // Unsigned arithmetic: the counter restarts at 1 instead of overflowing.
  const std::uint32_t next = static_cast<std::uint32_t>(plugin.requestCounter) + 1u;
  plugin.requestCounter = next >= kCounterLimit ? 1 : static_cast<std::int32_t>(next);
}

bool IsKnownMethod(const WideString& command) {
  return EqualsIgnoringAsciiCase(command, u"EXECUTE") ||
         EqualsIgnoringAsciiCase(command, u"GET") ||
         EqualsIgnoringAsciiCase(command, u"NOTIFY");
}

// Runs the plug-in's hooks around the execution chosen by the security level.
void Execute(CSAORIBase& plugin, CSAORIRequest& request, CSAORIResponse& response) {
  // Taken before the hooks run: OnBeforeExecute must not be able to lift a refusal.
  WideString securityLevel;
  const auto level = request.options.find(u"SecurityLevel");
  if (level != request.options.end()) securityLevel = level->second;

  plugin.OnBeforeExecute(request, response);
  if (securityLevel.empty() || EqualsIgnoringAsciiCase(securityLevel, u"local")) {
    plugin.Execute(request, response);
  } else if (!plugin.ExecuteInsecure(request, response)) {
    response.status = 500;
  }
  plugin.OnAfterExecute(request, response);

  // A notification expects no answer beyond its status.
  if (EqualsIgnoringAsciiCase(request.command, u"NOTIFY") &&
      (response.status == 200 || response.status == 0)) {
    response.status = 204;
    response.result.clear();
    response.values.clear();
  }
}

}  // namespace

ByteString ProcessRequest(CSAORIBase& plugin, const ByteString& requestBytes) {
  AdvanceRequestCounter(plugin);

  const CodePage codePage = DetectCodePage(requestBytes);
  CSAORIRequest request(&plugin, codePage);
  CSAORIResponse response(&plugin, request.codePage);
  {
    // The decoded text is needed only while parsing.
    const WideString text = MultiByteToWide(requestBytes.c_str(), codePage);
    if (!request.Parse(text)) {
      response.status = 500;
      return WideToMultiByte(response.Serialize().c_str(), response.codePage);
    }
  }

  if (request.command == u"GET Version") {
    response.status = 0;
  } else if (!IsKnownMethod(request.command)) {
    response.status = 400;
  } else {
    Execute(plugin, request, response);
  }
  return WideToMultiByte(response.Serialize().c_str(), response.codePage);
}

}  // namespace saori
