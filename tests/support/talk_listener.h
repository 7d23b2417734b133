// A stand-in speech server for tests and benchmarks: listens on 127.0.0.1 on a
// port chosen at run time (or a given one) and records, or only counts, what
// each connection sends.
//
// Owned by the test; a background thread accepts and reads, sleeping until
// there is something to do. Its work per connection does not grow with the
// number that came before, so it never becomes what a benchmark measures. Every
// other member may be called from the owner's thread at any time. Destruction
// stops the thread and closes every socket.
#ifndef TOVARO_TESTS_SUPPORT_TALK_LISTENER_H_
#define TOVARO_TESTS_SUPPORT_TALK_LISTENER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace test_support {

class TalkListener {
 public:
  enum class Mode {
    kRecord,           // accept one connection after another, read each to its end
    kCount,            // as kRecord, keeping only the counts, not the bytes
    kNeverAccept,      // listen, keep the accept queue full: a new connect blocks
    kAcceptNeverRead,  // accept and hold connections without reading
    kCloseAtOnce,      // accept and close at once
  };

  // Throws std::runtime_error when it cannot listen (`port` taken, say).
  explicit TalkListener(Mode mode = Mode::kRecord, std::uint16_t port = 0);
  ~TalkListener();
  TalkListener(const TalkListener&) = delete;
  TalkListener& operator=(const TalkListener&) = delete;

  std::uint16_t port() const;

  // The bytes of every connection that has ended (peer closed), one string per
  // connection, in the order they were accepted. Empty in kCount.
  std::vector<std::string> Packets();
  // Waits until at least `count` connections have ended or `timeoutMs` have
  // passed; returns Packets().
  std::vector<std::string> WaitForPackets(std::size_t count, unsigned timeoutMs);
  // Waits as WaitForPackets; returns the number of connections ended.
  std::size_t WaitForEnded(std::size_t count, unsigned timeoutMs);
  // Bytes received on all connections so far.
  std::size_t ReceivedBytes();
  // The number of connections accepted so far (all modes that accept). In
  // kCloseAtOnce a connection is counted once it has been closed again.
  std::size_t AcceptedCount();
  // Waits until at least `count` connections have been accepted or `timeoutMs`
  // have passed; returns AcceptedCount().
  std::size_t WaitForAccepted(std::size_t count, unsigned timeoutMs);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A port on 127.0.0.1 where nothing listens at the moment of the call.
std::uint16_t UnusedPort();

}  // namespace test_support

#endif  // TOVARO_TESTS_SUPPORT_TALK_LISTENER_H_
