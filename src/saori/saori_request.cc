#include "saori/saori_request.h"

#include <string_view>
#include <utility>

#include "saori/ascii_case.h"
#include "saori/number_reader.h"
#include "saori/saori_base.h"

namespace saori {
namespace {

using WideView = std::u16string_view;

// The stored form of the option keys that the frame itself looks up, so that the
// lookup does not depend on the letter case a script wrote.
WideView NormalisedKey(WideView key) {
  static constexpr WideView kKnownKeys[] = {u"SecurityLevel", u"Sender", u"Charset"};
  for (WideView known : kKnownKeys) {
    if (EqualsIgnoringAsciiCase(key, known)) return known;
  }
  return key;
}

// The records a parse builds before it commits.
struct ParsedHeader {
  WideString id;
  std::vector<WideString> arguments;
  OptionsMap options;
};

// Files one header line; lines that are not "key: value" are ignored.
void HandleHeaderLine(WideView line, WideView argumentPrefix, ParsedHeader& header) {
  const std::size_t colon = line.find(u": ");
  if (colon == WideView::npos) return;
  const WideView key = line.substr(0, colon);
  const WideView value = line.substr(colon + 2);

  const std::size_t prefixLength = argumentPrefix.size();
  if (key.size() > prefixLength &&
      EqualsIgnoringAsciiCase(key.substr(0, prefixLength), argumentPrefix)) {
    // The index is read in place: the ':' that ends the key also stops the reader,
    // so it never runs past the key.
    const char16_t* indexText = line.data() + prefixLength;
    const std::int32_t index = ReadDecimal(indexText);
    // A 0 that was not written as a leading "0" is no index at all ("ArgumentA",
    // "Argument-0"). Indices above the cap are refused so that one line cannot
    // make the list grow to billions of entries.
    if (index < 0 || index > kMaxArgumentIndex) return;
    if (index == 0 && *indexText != u'0') return;
    const std::size_t slot = static_cast<std::size_t>(index);
    if (header.arguments.size() <= slot) header.arguments.resize(slot + 1);
    header.arguments[slot].assign(value);
    return;
  }

  if (EqualsIgnoringAsciiCase(key, u"ID")) {
    header.id.assign(value);
    return;
  }
  if (key.empty()) return;

  const WideView storedKey = NormalisedKey(key);
  header.options.insert_or_assign(WideString(storedKey), WideString(value));
}

}  // namespace

std::size_t ReadLine(const WideString& text, std::size_t position, WideString& line) {
  const std::size_t length = text.size();
  if (position == kNoPosition || position >= length) {
    line.clear();
    return kNoPosition;
  }
  const std::size_t end = text.find_first_of(u"\r\n", position);
  if (end == WideString::npos) {
    line.assign(text, position, WideString::npos);
    return kNoPosition;
  }
  line.assign(text, position, end - position);
  std::size_t next = end + 1;
  if (next < length && text[end] == u'\r' && text[next] == u'\n') ++next;
  return next < length ? next : kNoPosition;
}

bool CSAORIRequest::Parse(const WideString& text) {
  const WideString& argumentPrefix = owner->GetArgumentPrefix();
  const WideString& marker = owner->GetFirstLineMarker();

  WideString line;
  std::size_t position = ReadLine(text, 0, line);
  const std::size_t markerAt = line.find(marker);
  if (markerAt == WideString::npos) return false;
  WideString parsedCommand(line, 0, markerAt);

  ParsedHeader header;
  // An empty line does not end the header: every line of the text is read.
  while (position != kNoPosition) {
    position = ReadLine(text, position, line);
    HandleHeaderLine(line, argumentPrefix, header);
  }

  // Moves of these types do not throw, so the record changes all at once.
  command = std::move(parsedCommand);
  arguments = std::move(header.arguments);
  options = std::move(header.options);
  id = std::move(header.id);
  return true;
}

}  // namespace saori
