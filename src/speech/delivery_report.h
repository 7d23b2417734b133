// What became of the texts since load: what GetStatus tells a script, so that a
// character that says nothing can tell its user why.
//
// The worker writes the report under the queue lock as it takes its next entry
// (so a delivery costs no lock of its own), ClearQueue as it drops the waiting
// entries; the dispatcher copies it under the same lock. The words are built from
// the copy, outside the lock.
#ifndef TOVARO_SPEECH_DELIVERY_REPORT_H_
#define TOVARO_SPEECH_DELIVERY_REPORT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "saori/saori_types.h"

namespace speech {

// Why a text was not delivered. kNone: it was.
enum class DropCause {
  kNone,
  kRefused,      // nothing listens on the port
  kTimedOut,     // nothing answered the connection
  kUnreachable,  // no route to the host
  kUnknownHost,  // the name does not resolve
  kNoIpv4,       // the name has only addresses other than IPv4 ones
  kNotIpv4,      // the host is neither an IPv4 address nor a name (IPv6, a port in it)
  kBadPort,      // port 0: what a port that is not a number becomes
  kSendFailed,   // the server closed the connection before it had the text
  kNetwork,      // the system gave no connection at all
  kUnload,       // unload cut the delivery short
  kCleared,      // ClearQueue dropped it before it was sent
  kOutOfMemory,  // no memory for its packet
};

// Copied by value; guarded by the instance's queue lock where it is shared.
struct DeliveryReport {
  bool busy = false;  // the worker has taken a text and not yet done with it
  std::uint64_t delivered = 0;
  std::uint64_t dropped = 0;
  // The last text dropped: why, and where it was to go as the module read it.
  DropCause lastCause = DropCause::kNone;
  std::string lastHost;  // UTF-8
  std::uint16_t lastPort = 0;
};

// Appends GetStatus's values after Value0: Value1 "1" while a delivery is under way,
// else "0"; Value2 the number delivered; Value3 the number dropped; Value4 the last
// drop's cause as a fixed word ("none" before any); Value5 and Value6 that drop in a
// sentence a script can show, in Japanese and in English (empty before any).
// Exhausted memory throws.
void AppendReportValues(const DeliveryReport& report,
                        std::vector<saori::WideString>& values);

}  // namespace speech

#endif  // TOVARO_SPEECH_DELIVERY_REPORT_H_
