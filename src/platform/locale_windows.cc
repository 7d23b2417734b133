#include <clocale>

#include "platform/locale.h"

namespace platform {

void SetJapaneseLocale() { std::setlocale(LC_ALL, "Japanese"); }

}  // namespace platform
