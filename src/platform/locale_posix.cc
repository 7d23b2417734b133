#include <clocale>

#include "platform/locale.h"

namespace platform {

void SetJapaneseLocale() {
  // POSIX has no locale called "Japanese"; take the first Japanese one installed.
  static const char* const kNames[] = {"ja_JP.UTF-8", "ja_JP.utf8", "ja_JP.eucJP",
                                       "ja_JP"};
  for (const char* name : kNames) {
    if (std::setlocale(LC_ALL, name) != nullptr) return;
  }
}

}  // namespace platform
