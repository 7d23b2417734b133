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

// Each word is one object for the life of the module, made when the module is
// loaded, so callers may keep the reference. Made then rather than on first use:
// a function-local static would need the run-time's thread-safe guard, which
// brings a condition variable and thread start-up code into the Windows DLL.
namespace {

const WideString kProtocolVersion(u"SAORI/1.0");
const WideString kFirstLineMarker(u" SAORI/");
const WideString kArgumentPrefix(u"Argument");
const WideString kValuePrefix(u"Value");
const WideString kResultKey(u"Result");

}  // namespace

const WideString& CSAORI::GetProtocolVersion() const { return kProtocolVersion; }

const WideString& CSAORI::GetFirstLineMarker() const { return kFirstLineMarker; }

const WideString& CSAORI::GetArgumentPrefix() const { return kArgumentPrefix; }

const WideString& CSAORI::GetValuePrefix() const { return kValuePrefix; }

const WideString& CSAORI::GetResultKey() const { return kResultKey; }

}  // namespace saori
