#include "saori/saori_base.h"

#include "platform/locale.h"

namespace saori {

CSAORIBase::CSAORIBase() {
  // Plug-ins handle Japanese text with the run-time library's locale-dependent
  // functions. The setting is process-wide and deliberately not put back on
  // destruction.
  platform::SetJapaneseLocale();
}

CSAORIBase::~CSAORIBase() = default;

void CSAORIBase::OnBeforeExecute(CSAORIRequest&, CSAORIResponse&) {}

void CSAORIBase::OnAfterExecute(CSAORIRequest&, CSAORIResponse&) {}

bool CSAORIBase::ExecuteInsecure(CSAORIRequest&, CSAORIResponse&) { return false; }

// Each word is a function-local static: created on first use (the language makes
// that thread-safe), one object for the life of the module, so callers may keep the
// reference.

const WideString& CSAORI::GetProtocolVersion() const {
  static const WideString kProtocolVersion(u"SAORI/1.0");
  return kProtocolVersion;
}

const WideString& CSAORI::GetFirstLineMarker() const {
  static const WideString kFirstLineMarker(u" SAORI/");
  return kFirstLineMarker;
}

const WideString& CSAORI::GetArgumentPrefix() const {
  static const WideString kArgumentPrefix(u"Argument");
  return kArgumentPrefix;
}

const WideString& CSAORI::GetValuePrefix() const {
  static const WideString kValuePrefix(u"Value");
  return kValuePrefix;
}

const WideString& CSAORI::GetResultKey() const {
  static const WideString kResultKey(u"Result");
  return kResultKey;
}

}  // namespace saori
