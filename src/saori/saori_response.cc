#include "saori/saori_response.h"

#include "saori/saori_base.h"

namespace saori {
namespace {

// Marks a line break inside a value, which must stay on its one header line.
constexpr char16_t kLineBreakMark = u'\x0001';

// Takes 64 bits so that the most negative status negates without overflow and any
// value index fits.
void AppendDecimal(WideString& out, std::int64_t wide) {
  if (wide < 0) {
    out.push_back(u'-');
    wide = -wide;
  }
  char16_t digits[20];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + wide % 10);
    wide /= 10;
  } while (wide != 0);
  while (count > 0) out.push_back(digits[--count]);
}

void AppendHeaderLine(WideString& out, const WideString& key, const WideString& value) {
  out.append(key).append(u": ").append(value).append(u"\r\n");
}

// Every CR LF pair, lone CR and lone LF becomes one mark.
void AppendCleanedValue(WideString& out, const WideString& value) {
  const std::size_t length = value.size();
  for (std::size_t i = 0; i < length; ++i) {
    const char16_t c = value[i];
    if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < length && value[i + 1] == u'\n') ++i;
      out.push_back(kLineBreakMark);
    } else {
      out.push_back(c);
    }
  }
}

}  // namespace

const char16_t* ReasonPhrase(std::int32_t status) {
  switch (status) {
    case 200: return u"OK";
    case 204: return u"No Content";
    case 210: return u"Break";
    case 300: return u"Communicate";
    case 311: return u"Not Enough";
    case 312: return u"Advice";
    case 400: return u"Bad Request";
    case 401: return u"Unauthorized";
    case 403: return u"Forbidden";
    case 404: return u"Not Found";
    case 405: return u"Method Not Allowed";
    case 406: return u"Not Acceptable";
    case 408: return u"Request Timeout";
    case 409: return u"Conflict";
    case 420: return u"Refuse";
    case 500: return u"Internal Server Error";
    case 501: return u"Not Implemented";
    case 503: return u"Service Unavailable";
    case 510: return u"Not Local IP";
    case 511: return u"In Black List";
    case 512: return u"Invisible";
    default: return u"Unknown Error";
  }
}

const char16_t* CharsetName(CodePage codePage) {
  switch (codePage) {
    case platform::kCodePageShiftJis: return u"Shift_JIS";
    case platform::kCodePageEucJp: return u"EUC-JP";
    case platform::kCodePageIso2022Jp: return u"ISO-2022-JP";
    case platform::kCodePageUtf8: return u"UTF-8";
    default: return u"unknown charset";
  }
}

WideString CSAORIResponse::Serialize() {
  // 0 is a plugin's way of saying "plain success"; a 200 that carries nothing
  // is reported as such.
  if (status == 0) {
    status = 200;
  } else if (status == 200 && result.empty() && values.empty() && options.empty()) {
    status = 204;
  }

  const WideString& version = owner->GetProtocolVersion();
  const WideString& resultKey = owner->GetResultKey();
  const WideString& valuePrefix = owner->GetValuePrefix();

  // One allocation for the usual answer: the fixed lines plus every key and value.
  std::size_t estimate = version.size() + resultKey.size() + result.size() + 80;
  for (const auto& option : options) {
    estimate += option.first.size() + option.second.size() + 4;
  }
  for (const WideString& value : values) {
    estimate += valuePrefix.size() + value.size() + 16;
  }
  WideString text;
  text.reserve(estimate);

  text.append(version).push_back(u' ');
  AppendDecimal(text, status);
  text.append(u" ").append(ReasonPhrase(status)).append(u"\r\n");
  text.append(u"Charset: ").append(CharsetName(codePage)).append(u"\r\n");
  AppendHeaderLine(text, resultKey, result);
  for (const auto& option : options) {
    AppendHeaderLine(text, option.first, option.second);
  }
  for (std::size_t i = 0; i < values.size(); ++i) {
    text.append(valuePrefix);
    AppendDecimal(text, static_cast<std::int64_t>(i));
    text.append(u": ");
    AppendCleanedValue(text, values[i]);
    text.append(u"\r\n");
  }
  text.append(u"\r\n");
  return text;
}

}  // namespace saori
