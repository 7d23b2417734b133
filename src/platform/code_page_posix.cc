#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "platform/code_page.h"
#include "platform/iso2022jp.h"
#include "platform/utf8.h"

namespace platform {

namespace {

constexpr char kUtf8[] = "UTF-8";

const char* NativeUtf16() {
  const char16_t probe = 1;
  unsigned char first = 0;
  std::memcpy(&first, &probe, 1);
  return first == 1 ? "UTF-16LE" : "UTF-16BE";
}

// The iconv name of a code page; empty when we do not support it. ISO-2022-JP is
// carried through EUC-JP by our own transform (see Decode/EncodeCodePage), so that
// half-width katakana survive exactly as they do in the Windows build. EUC-JP is the
// plain one, whose symbols are those of Windows; what it cannot convert is given to
// EUC-JP-MS (see EucJpMsFallback).
std::string CharsetOf(CodePage codePage) {
  switch (codePage) {
    case kCodePageShiftJis:
      return "CP932";
    case kCodePageEucJp:
    case kCodePageIso2022Jp:
      return "EUC-JP";
    case kCodePageUtf8:
      return kUtf8;
    case kCodePageOem: {
      // The C locale names plain ASCII; we treat that as no code set at all.
      const char* codeset = nl_langinfo(CODESET);
      if (codeset == nullptr || *codeset == '\0' ||
          std::strcmp(codeset, "ANSI_X3.4-1968") == 0) {
        return kUtf8;
      }
      return codeset;
    }
    default:
      return std::string();
  }
}

class Converter {
 public:
  Converter(const std::string& to, const std::string& from)
      : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Opening a descriptor costs more than converting a request: the C library looks
// the charsets up under a lock of its own each time, and for the Japanese ones it
// would also unload and map in again the module that holds them whenever the last
// descriptor closes. So descriptors are kept for the life of the process, one idle
// one per pair of charsets, and lent out one conversion at a time: a thread that
// finds the pair's descriptor lent out opens its own. A borrowed descriptor is
// returned to its initial state first, so nothing carries over from one conversion
// to the next.
class ConverterPool {
 public:
  // The pool's idle descriptor from `from` to `to`, or a new one; check ok().
  std::unique_ptr<Converter> Borrow(const std::string& to, const std::string& from) {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      for (Idle& idle : idle_) {
        if (idle.converter != nullptr && idle.to == to && idle.from == from) {
          std::unique_ptr<Converter> converter = std::move(idle.converter);
          iconv(converter->get(), nullptr, nullptr, nullptr, nullptr);
          return converter;
        }
      }
    }
    return std::make_unique<Converter>(to, from);
  }

  // Keeps `converter` for the next conversion between the same charsets, unless the
  // pool already holds one for them or it did not open; closes it then.
  void Return(const std::string& to, const std::string& from,
              std::unique_ptr<Converter> converter) {
    if (!converter->ok()) return;
    std::lock_guard<std::mutex> guard(mutex_);
    Idle* empty = nullptr;
    for (Idle& idle : idle_) {
      if (idle.to == to && idle.from == from) {
        if (idle.converter == nullptr) idle.converter = std::move(converter);
        return;
      }
      if (idle.to.empty() && empty == nullptr) empty = &idle;
    }
    if (empty == nullptr) return;
    empty->to = to;
    empty->from = from;
    empty->converter = std::move(converter);
  }

 private:
  // Each code page converts both ways, and the locale's code set may change.
  static constexpr std::size_t kPairs = 16;
  struct Idle {
    std::string to;  // empty while the slot is free
    std::string from;
    std::unique_ptr<Converter> converter;  // null while lent out
  };

  std::mutex mutex_;
  Idle idle_[kPairs];
};

// Lends a descriptor of the pool for one scope.
class BorrowedConverter {
 public:
  BorrowedConverter(const std::string& to, const std::string& from)
      : to_(to), from_(from), converter_(Pool().Borrow(to, from)) {}
  ~BorrowedConverter() { Pool().Return(to_, from_, std::move(converter_)); }
  BorrowedConverter(const BorrowedConverter&) = delete;
  BorrowedConverter& operator=(const BorrowedConverter&) = delete;

  bool ok() const { return converter_->ok(); }
  iconv_t get() const { return converter_->get(); }

 private:
  // Made on first use, from whichever thread converts first; its descriptors are
  // closed when the program (or the module that holds this code) is unloaded.
  static ConverterPool& Pool() {
    static ConverterPool pool;
    return pool;
  }

  const std::string to_;
  const std::string from_;
  std::unique_ptr<Converter> converter_;
};

// Bytes of the UTF-16 character at `in`, of which `left` bytes remain: a surrogate
// pair is one character.
std::size_t Utf16CharacterLength(const char* in, std::size_t left) {
  if (left >= 4) {
    char16_t units[2];
    std::memcpy(units, in, sizeof units);
    if (units[0] >= 0xd800 && units[0] <= 0xdbff && units[1] >= 0xdc00 &&
        units[1] <= 0xdfff) {
      return 4;
    }
  }
  return left >= 2 ? 2 : left;
}

// Bytes of the EUC-JP character whose first byte is at `in`, of which `left` remain.
std::size_t EucJpCharacterLength(const char* in, std::size_t left) {
  const unsigned char lead = static_cast<unsigned char>(*in);
  std::size_t length = 1;
  if (lead == 0x8f) {
    length = 3;  // JIS X 0212
  } else if (lead == 0x8e || lead >= 0xa1) {
    length = 2;  // half-width katakana, JIS X 0208
  }
  return length < left ? length : left;
}

// One converter for the whole process, for the odd character that the conversion
// in hand could not take; it is opened once, as opening it for each text would cost
// more than the text. Threads take turns with it.
class SharedConverter {
 public:
  SharedConverter(const char* to, const char* from) : converter_(to, from) {}

  bool ok() const { return converter_.ok(); }

  // Converts all `size` bytes at `in` and appends them to `result`; false, with
  // `result` as it was, when any of them cannot be converted.
  bool ConvertWhole(const char* in, std::size_t size, std::string* result) {
    char out[16];  // room for the few characters it is given
    char* inPos = const_cast<char*>(in);
    std::size_t inLeft = size;
    char* outPos = out;
    std::size_t outLeft = sizeof out;
    std::lock_guard<std::mutex> guard(mutex_);
    const std::size_t rc = iconv(converter_.get(), &inPos, &inLeft, &outPos, &outLeft);
    // Whatever happened, the next caller starts from the initial state.
    iconv(converter_.get(), nullptr, nullptr, nullptr, nullptr);
    if (rc == static_cast<std::size_t>(-1) || inLeft != 0) return false;
    result->append(out, static_cast<std::size_t>(outPos - out));
    return true;
  }

 private:
  std::mutex mutex_;
  Converter converter_;
};

// Plain EUC-JP lacks characters that text written on Windows commonly holds (the
// circled digits, Roman numerals, ㈱ and № of the NEC special row, and the IBM
// extensions): they would reach the speech server as U+FFFD. EUC-JP-MS has them,
// but it also reads six symbols (A1C1 A1C2 A1DD A2CC A1F1 A1F2) as Shift_JIS does,
// ～ ∥ － ￢ ￠ ￡, where plain EUC-JP and Windows give 〜 ‖ − ¬ ¢ £. So plain EUC-JP
// converts, and EUC-JP-MS is asked only about what plain EUC-JP refuses. Returns
// null for other code pages, and where the C library has no EUC-JP-MS.
SharedConverter* EucJpMsFallback(CodePage codePage, bool decoding) {
  if (codePage != kCodePageEucJp && codePage != kCodePageIso2022Jp) return nullptr;
  static SharedConverter decoder(NativeUtf16(), "EUC-JP-MS");
  static SharedConverter encoder("EUC-JP-MS", NativeUtf16());
  SharedConverter* const converter = decoding ? &decoder : &encoder;
  return converter->ok() ? converter : nullptr;
}

// Converts `size` bytes at `in` from one charset to another and appends the result
// to `result`. Input that the source charset does not allow, or that the target
// cannot hold, becomes `replacement` in the output and the conversion goes on.
// `wideInput` says the input is UTF-16, whose units are skipped whole (a surrogate
// pair as one character). `eucJpMs`, when given, converts the same way to or from
// EUC-JP-MS, and is asked about each character refused before it is replaced.
// Returns false when iconv does not know one of the charsets or fails in a way it
// does not document.
bool Convert(const std::string& from, const std::string& to, const char* in,
             std::size_t size, bool wideInput, const std::string& replacement,
             SharedConverter* eucJpMs, std::string* result) {
  BorrowedConverter converter(to, from);
  if (!converter.ok()) return false;
  // iconv writes straight into the result, which starts with room for as many
  // bytes as the input has and doubles whenever iconv finds it full. Handing iconv
  // small pieces of output instead makes the C library's two-step conversions
  // convert ahead and throw the work away for every piece, which made long texts
  // cost more per byte the longer they were.
  std::size_t used = result->size();
  result->resize(used + size + 16);
  // One iconv call that never stops for lack of room; `inPos` null resets the shift
  // state. Returns iconv's result with errno's value in `error`.
  const auto convert = [&](char** inPos, std::size_t* inLeft, int* error) {
    for (;;) {
      char* outPos = &(*result)[used];
      std::size_t outLeft = result->size() - used;
      errno = 0;
      const std::size_t rc = iconv(converter.get(), inPos, inLeft, &outPos, &outLeft);
      *error = errno;
      used = static_cast<std::size_t>(outPos - result->data());
      if (rc != static_cast<std::size_t>(-1) || *error != E2BIG) return rc;
      result->resize(result->size() * 2);
    }
  };
  // Returns the target to its initial shift state, so that a replacement or the end
  // of the text follows in the state every reader starts in.
  const auto resetShift = [&] {
    int error = 0;
    convert(nullptr, nullptr, &error);
  };
  const auto append = [&](const std::string& text) {
    if (result->size() - used < text.size()) {
      result->resize(result->size() * 2 + text.size());
    }
    result->replace(used, text.size(), text);
    used += text.size();
  };

  char* inPos = const_cast<char*>(in);
  std::size_t inLeft = size;
  while (inLeft > 0) {
    int error = 0;
    const std::size_t rc = convert(&inPos, &inLeft, &error);
    if (rc != static_cast<std::size_t>(-1)) continue;
    std::size_t skip = 1;
    if (error == EINVAL) {
      // An incomplete sequence ends the input: one replacement for all of it.
      skip = inLeft;
    } else if (error == EILSEQ) {
      if (wideInput) skip = Utf16CharacterLength(inPos, inLeft);
      if (eucJpMs != nullptr) {
        const std::size_t length =
            wideInput ? skip : EucJpCharacterLength(inPos, inLeft);
        std::string character;
        if (eucJpMs->ConvertWhole(inPos, length, &character)) {
          resetShift();
          append(character);
          inPos += length;
          inLeft -= length;
          continue;
        }
      }
    } else {
      result->resize(used);
      return false;  // iconv failed in a way it does not document
    }
    resetShift();
    append(replacement);
    inPos += skip;
    inLeft -= skip;
  }
  resetShift();
  result->resize(used);
  return true;
}

// Hands the `count` converted units to the caller as the Windows converters do: the
// count for a size query, the units when they fit, 0 when they do not.
template <typename Unit>
int Deliver(const void* units, std::size_t count, Unit* out, int outSize) {
  if (count > static_cast<std::size_t>(INT_MAX)) return 0;
  if (out == nullptr) return static_cast<int>(count);
  if (count > static_cast<std::size_t>(outSize)) return 0;
  std::memcpy(out, units, count * sizeof(Unit));
  return static_cast<int>(count);
}

template <typename Unit>
int Deliver(const std::string& bytes, Unit* out, int outSize) {
  return Deliver(bytes.data(), bytes.size() / sizeof(Unit), out, outSize);
}

bool ValidArguments(const void* in, int inLength, const void* out, int outSize) {
  return in != nullptr && inLength > 0 && outSize >= 0 &&
         (out == nullptr) == (outSize == 0);
}

}  // namespace

int DecodeCodePage(CodePage codePage, const char* in, int inLength, char16_t* out,
                   int outSize) {
  if (!ValidArguments(in, inLength, out, outSize)) return 0;
  const std::string charset = CharsetOf(codePage);
  if (charset.empty()) return 0;
  if (charset == kUtf8) {
    std::u16string wide;
    Utf8ToUtf16(in, static_cast<std::size_t>(inLength), wide);
    return Deliver(wide.data(), wide.size(), out, outSize);
  }
  std::string bytes(in, static_cast<std::size_t>(inLength));
  if (codePage == kCodePageIso2022Jp) bytes = Iso2022JpToEucJp(bytes);
  const char16_t kReplacement = 0xfffd;
  const std::string replacement(reinterpret_cast<const char*>(&kReplacement),
                                sizeof kReplacement);
  std::string wide;
  if (!Convert(charset, NativeUtf16(), bytes.data(), bytes.size(), false, replacement,
               EucJpMsFallback(codePage, true), &wide)) {
    return 0;
  }
  return Deliver(wide, out, outSize);
}

int EncodeCodePage(CodePage codePage, const char16_t* in, int inLength, char* out,
                   int outSize) {
  if (!ValidArguments(in, inLength, out, outSize)) return 0;
  const std::string charset = CharsetOf(codePage);
  if (charset.empty()) return 0;
  std::string bytes;
  if (charset == kUtf8) {
    Utf16ToUtf8(in, static_cast<std::size_t>(inLength), bytes);
    return Deliver(bytes, out, outSize);
  }
  // A character the byte code pages cannot hold becomes a question mark.
  const std::string replacement = "?";
  if (!Convert(NativeUtf16(), charset, reinterpret_cast<const char*>(in),
               static_cast<std::size_t>(inLength) * sizeof(char16_t), true, replacement,
               EucJpMsFallback(codePage, false), &bytes)) {
    return 0;
  }
  if (codePage == kCodePageIso2022Jp) bytes = EucJpToIso2022Jp(bytes);
  return Deliver(bytes, out, outSize);
}

}  // namespace platform
