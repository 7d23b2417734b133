#include "support/module_loader.h"

#include "platform/host_memory.h"
#include "platform/process.h"

#include <chrono>
#include <cstring>
#include <thread>

#if defined(_WIN32)
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace test_support {
namespace {

#if defined(_WIN32)
using Socket = SOCKET;
const Socket kNoSocket = INVALID_SOCKET;
void CloseSocket(Socket s) { closesocket(s); }
#else
using Socket = int;
const Socket kNoSocket = -1;
void CloseSocket(Socket s) { close(s); }
#endif

// Waits until `s` is readable or `deadline` has passed. True when readable.
bool WaitReadable(Socket s, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval limit{};
    limit.tv_sec = static_cast<long>(left.count() / 1000000);
    limit.tv_usec = static_cast<long>(left.count() % 1000000);
    int ready = select(static_cast<int>(s + 1), &readable, nullptr, nullptr, &limit);
    if (ready > 0) return true;
  }
}

}  // namespace

FixedPortReceiver::FixedPortReceiver(std::uint16_t port) {
#if defined(_WIN32)
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
#endif
  networkStarted_ = true;
  Socket s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == kNoSocket) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(s, SOMAXCONN) != 0) {
    CloseSocket(s);
    return;
  }
  socket_ = static_cast<std::intptr_t>(s);
}

FixedPortReceiver::~FixedPortReceiver() {
  if (socket_ != -1) CloseSocket(static_cast<Socket>(socket_));
#if defined(_WIN32)
  if (networkStarted_) WSACleanup();
#endif
}

bool FixedPortReceiver::IsListening() const { return socket_ != -1; }

bool FixedPortReceiver::ReceiveOne(unsigned timeoutMs, std::string* bytes) {
  bytes->clear();
  if (socket_ == -1) return false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  Socket listener = static_cast<Socket>(socket_);
  if (!WaitReadable(listener, deadline)) return false;
  Socket connection = accept(listener, nullptr, nullptr);
  if (connection == kNoSocket) return false;
  bool ended = false;
  while (WaitReadable(connection, deadline)) {
    char buffer[4096];
    int n = static_cast<int>(recv(connection, buffer, sizeof buffer, 0));
    if (n <= 0) {
      ended = true;
      break;
    }
    bytes->append(buffer, static_cast<std::size_t>(n));
  }
  CloseSocket(connection);
  return ended;
}

std::size_t ThreadCount() {
  // A run-time that starts a helper thread along with the process's first thread
  // (ThreadSanitizer does) must have it before the first count, or the first
  // thread a test starts would seem to be left behind.
  static const bool helpersStarted = [] {
    std::thread([] {}).join();
    return true;
  }();
  static_cast<void>(helpersStarted);
  return platform::ThreadCount();
}

LoadedModule::LoadedModule(const std::string& file) {
  if (!module_.Open(file, &error_)) return;
  using namespace saori_exports;
  load = reinterpret_cast<LoadFunction>(module_.Find(kLoad));
  loadu = reinterpret_cast<LoadFunction>(module_.Find(kLoadU));
  request = reinterpret_cast<RequestFunction>(module_.Find(kRequest));
  unload = reinterpret_cast<UnloadFunction>(module_.Find(kUnload));
  if (load == nullptr || loadu == nullptr || request == nullptr || unload == nullptr) {
    error_ = "an export is missing";
  }
}

LoadedModule::~LoadedModule() { Close(); }

bool LoadedModule::IsOpen() const { return module_.IsOpen() && error_.empty(); }

int LoadedModule::Load(const std::string& directory) {
  return load(platform::NewHostBlock(directory), static_cast<long>(directory.size()));
}

int LoadedModule::LoadU(const std::string& directory) {
  return loadu(platform::NewHostBlock(directory), static_cast<long>(directory.size()));
}

int LoadedModule::Unload() { return unload(); }

Answer LoadedModule::Request(const std::string& bytes) {
  long length = static_cast<long>(bytes.size());
  return RawRequest(platform::NewHostBlock(bytes), &length);
}

Answer LoadedModule::RawRequest(void* block, long* length) {
  Answer answer;
  void* result = request(block, length);
  answer.isNull = result == nullptr;
  if (length != nullptr) answer.length = *length;
  if (result != nullptr && length != nullptr && *length >= 0) {
    const char* bytes = static_cast<const char*>(result);
    answer.bytes.assign(bytes, static_cast<std::size_t>(*length));
    answer.zeroTerminated = bytes[*length] == '\0';
  }
  platform::FreeHostBlock(result);
  return answer;
}

void LoadedModule::Close() {
  module_.Close();
  load = loadu = nullptr;
  request = nullptr;
  unload = nullptr;
}

}  // namespace test_support
