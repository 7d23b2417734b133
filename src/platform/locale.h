// The run-time library locale that plug-in instances set for the whole process.
#ifndef TOVARO_PLATFORM_LOCALE_H_
#define TOVARO_PLATFORM_LOCALE_H_

namespace platform {

// Sets the run-time library's locale for all categories to Japanese: "Japanese" on
// Windows; on POSIX the first of ja_JP.UTF-8, ja_JP.utf8, ja_JP.eucJP, ja_JP that the
// system has (none installed leaves the locale as it was). Not restored later.
// Host thread only (setlocale is process-wide and not thread-safe).
void SetJapaneseLocale();

}  // namespace platform

#endif  // TOVARO_PLATFORM_LOCALE_H_
