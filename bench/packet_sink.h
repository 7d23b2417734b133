// A lean stand-in speech server for benchmarks: listens on 127.0.0.1 on a port
// chosen at run time, reads every connection to its end and counts, keeping none of
// the bytes. Its work per connection stays the same however many have come before,
// so that it never becomes what a throughput or latency figure measures.
//
// Owned by one benchmark; a background thread accepts and reads. Destruction stops
// the thread and closes every socket.
#ifndef TOVARO_BENCH_PACKET_SINK_H_
#define TOVARO_BENCH_PACKET_SINK_H_

#include <cstddef>
#include <cstdint>
#include <memory>

namespace bench {

class PacketSink {
 public:
  // Throws std::runtime_error when it cannot listen. With `serve` false it listens
  // but neither accepts nor reads until Serve(): a client's connect still
  // succeeds, and a send larger than the socket buffers then blocks.
  explicit PacketSink(bool serve = true);
  ~PacketSink();
  PacketSink(const PacketSink&) = delete;
  PacketSink& operator=(const PacketSink&) = delete;

  std::uint16_t port() const;
  // Starts accepting and reading, if not yet started.
  void Serve();
  // Waits until at least `count` connections have ended (the peer closed) or
  // `timeoutMs` have passed; returns the number ended. Only the connection that
  // reaches `count` wakes the caller.
  std::size_t WaitForEnded(std::size_t count, unsigned timeoutMs);
  // Bytes received on all connections so far.
  std::size_t ReceivedBytes();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace bench

#endif  // TOVARO_BENCH_PACKET_SINK_H_
