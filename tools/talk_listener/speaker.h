// Handing a text to espeak-ng, where it is installed (POSIX; speaking is not
// offered on Windows).
#ifndef TOVARO_TOOLS_TALK_LISTENER_SPEAKER_H_
#define TOVARO_TOOLS_TALK_LISTENER_SPEAKER_H_

#include <string>
#include <vector>

namespace tools::talk_listener {

// True when espeak-ng can be run here.
bool SpeakerAvailable();
// Runs espeak-ng with `arguments`, feeding it `text` on standard input, and
// waits for it to finish. False when it could not be run or failed.
bool Speak(const std::vector<std::string>& arguments, const std::string& text);
// A speaker that quits early must not end the listener when its pipe breaks.
void IgnoreBrokenPipes();

}  // namespace tools::talk_listener

#endif  // TOVARO_TOOLS_TALK_LISTENER_SPEAKER_H_
