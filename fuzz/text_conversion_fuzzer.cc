// The text conversions in every code page a request can use: the input is decoded
// as bytes and encoded as UTF-16 code units (lone surrogates included), and what
// comes out is encoded and decoded again. Also our own ISO-2022-JP transform, which
// Windows builds use where the system has no converter for it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "platform/iso2022jp.h"
#include "saori/text_conversion.h"

namespace {

constexpr saori::CodePage kCodePages[] = {
    platform::kCodePageOem, platform::kCodePageShiftJis, platform::kCodePageEucJp,
    platform::kCodePageIso2022Jp, platform::kCodePageUtf8};

// Conversion reads up to the first NUL and must never put one into its result.
template <typename Text>
bool HasNul(const Text& text) {
  return text.find(typename Text::value_type(0)) != Text::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::u16string units(size / 2, u'\0');
  if (!units.empty()) std::memcpy(&units[0], data, units.size() * 2);

  for (saori::CodePage codePage : kCodePages) {
    const saori::WideString decoded = saori::MultiByteToWide(bytes.c_str(), codePage);
    FUZZ_CHECK(!HasNul(decoded));
    const saori::ByteString reencoded = saori::WideToMultiByte(decoded.c_str(), codePage);
    FUZZ_CHECK(!HasNul(reencoded));
    FUZZ_CHECK(decoded.empty() == reencoded.empty());
    if (codePage == platform::kCodePageUtf8) {
      // Decoded UTF-8 holds whole characters only, so it survives the round trip.
      FUZZ_CHECK(saori::MultiByteToWide(reencoded.c_str(), codePage) == decoded);
    }

    const saori::ByteString encoded = saori::WideToMultiByte(units.c_str(), codePage);
    FUZZ_CHECK(!HasNul(encoded));
    FUZZ_CHECK(!HasNul(saori::MultiByteToWide(encoded.c_str(), codePage)));
  }

  // Whatever it is given, the transform writes seven-bit text.
  for (const std::string& iso :
       {platform::EucJpToIso2022Jp(platform::Iso2022JpToEucJp(bytes)),
        platform::EucJpToIso2022Jp(bytes)}) {
    for (char byte : iso) FUZZ_CHECK(static_cast<unsigned char>(byte) < 0x80);
  }
  return 0;
}
