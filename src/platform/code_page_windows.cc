#include <windows.h>

#include <climits>
#include <cstring>
#include <string>

#include "platform/code_page.h"
#include "platform/iso2022jp.h"

namespace platform {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");

// Some systems (Wine among them) have no ISO-2022-JP converter but do have EUC-JP;
// there our own transform carries the text through EUC-JP.
bool NeedsIso2022JpTransform(CodePage codePage) {
  return codePage == kCodePageIso2022Jp && !IsValidCodePage(kCodePageIso2022Jp);
}

}  // namespace

int DecodeCodePage(CodePage codePage, const char* in, int inLength, char16_t* out,
                   int outSize) {
  LPWSTR wideOut = reinterpret_cast<LPWSTR>(out);
  if (!NeedsIso2022JpTransform(codePage)) {
    return MultiByteToWideChar(codePage, 0, in, inLength, wideOut, outSize);
  }
  if (in == nullptr || inLength <= 0) return 0;
  const std::string euc = Iso2022JpToEucJp(std::string(in, inLength));
  if (euc.empty() || euc.size() > static_cast<std::size_t>(INT_MAX)) return 0;
  return MultiByteToWideChar(kCodePageEucJp, 0, euc.data(), static_cast<int>(euc.size()),
                             wideOut, outSize);
}

int EncodeCodePage(CodePage codePage, const char16_t* in, int inLength, char* out,
                   int outSize) {
  LPCWSTR wideIn = reinterpret_cast<LPCWSTR>(in);
  if (!NeedsIso2022JpTransform(codePage)) {
    return WideCharToMultiByte(codePage, 0, wideIn, inLength, out, outSize, nullptr,
                               nullptr);
  }
  if (outSize < 0 || (out == nullptr) != (outSize == 0)) return 0;
  const int eucSize = WideCharToMultiByte(kCodePageEucJp, 0, wideIn, inLength, nullptr, 0,
                                          nullptr, nullptr);
  if (eucSize <= 0) return 0;
  std::string euc(static_cast<std::size_t>(eucSize), '\0');
  const int written = WideCharToMultiByte(kCodePageEucJp, 0, wideIn, inLength, &euc[0],
                                          eucSize, nullptr, nullptr);
  if (written <= 0) return 0;
  euc.resize(static_cast<std::size_t>(written));
  // Both calls of the size-then-convert pair run the same transform on the same
  // input, so the size the first reports is exactly what the second writes.
  const std::string iso = EucJpToIso2022Jp(euc);
  if (iso.size() > static_cast<std::size_t>(INT_MAX)) return 0;
  const int isoSize = static_cast<int>(iso.size());
  if (out == nullptr) return isoSize;
  if (isoSize > outSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(out, iso.data(), iso.size());
  return isoSize;
}

}  // namespace platform
