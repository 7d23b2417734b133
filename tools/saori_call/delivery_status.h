// How far a module's deliveries have got, asked with tovaro's GetStatus: for
// --wait, which unloads only once every text has gone out, and --status, which
// shows the answer in words.
//
// Called on saori-call's one thread.
#ifndef TOVARO_TOOLS_SAORI_CALL_DELIVERY_STATUS_H_
#define TOVARO_TOOLS_SAORI_CALL_DELIVERY_STATUS_H_

#include <functional>
#include <iosfwd>
#include <string>

#include "saori_call/answer_reader.h"

namespace tools::saori_call {

// Sends one request (its bytes in the run's charset) and returns the module's
// answer, decoded; an answer that was missing or not SAORI/1.0 has isSaori false.
using Ask = std::function<Answer(const std::string& request)>;

// Asks GetStatus until nothing waits (Result 0) and nothing is under way (Value1
// 0), for at most `seconds`; says on `err` when the time ran out. A module that
// does not answer GetStatus with 200 and a Value1 is asked with a bare EXECUTE
// instead, until its Result is 0.
void WaitUntilDelivered(const Ask& ask, const std::string& charsetName, double seconds,
                        std::ostream& err);

// GetStatus's answer in words: what waits, what is under way, what was delivered
// and dropped, and the last drop in the module's own sentences. Empty when the
// answer is not one of GetStatus's (a module that does not know the command).
std::string DescribeStatus(const Answer& answer);

// The GetStatus request in the given charset (the command is ASCII).
std::string StatusRequest(const std::string& charsetName);

}  // namespace tools::saori_call

#endif  // TOVARO_TOOLS_SAORI_CALL_DELIVERY_STATUS_H_
