// A host program for the module's teardown, one case per process: the case says
// what the host does around freeing the module, and the program writes one figure
// to OUT and exits 0 when it got through the case, else 1 (2 for a wrong command
// line); the figure tells how it went. A hang is the caller's to catch: it runs
// this under a time limit.
//
//   host_stand_in exit ENGINE PORT OUT
//       Loads the engine, queues a text for 127.0.0.1:PORT, waits until the worker
//       has taken it and exits without freeing anything. OUT: the steady clock's
//       count as the exit begins.
//   host_stand_in free ENGINE PORT DELAY_US OUT
//       Loads the engine, queues the process's first text for 127.0.0.1:PORT and,
//       DELAY_US microseconds later, frees the engine without its unload. OUT: the
//       milliseconds the free took.
//   host_stand_in exit-lock ENGINE PORT OUT          (Windows)
//       As free with no delay, but holding the C run-time's lock 8 across the free
//       and the next load of a module, as a host does that frees its plug-ins from
//       an atexit handler (on Windows' own msvcrt.dll, lock 8 is the one exit()
//       holds meanwhile). OUT: the milliseconds that next load took.
//   host_stand_in exit-race MODULE free|load OUT     (Windows)
//       One thread holds lock 8 and ends the process while another frees the
//       module (loaded, with its worker, and unloaded before) or loads it, as a
//       host does whose one thread is in exit() while another switches characters.
//       OUT: 1, written before the process is ended; the case is through when the
//       process ends at all.
//   host_stand_in replace ENGINE MODULE NEW PORT OUT   (Windows)
//       Loads the engine (which loads MODULE by name, beside this program), queues
//       a text for 127.0.0.1:PORT, waits until the worker has it and frees the
//       engine, which unloads and frees the module in its DllMain. Then waits at
//       most a second for MODULE to be unmapped, overwrites it with NEW and loads
//       that path again, which must give NEW. OUT: the milliseconds until MODULE
//       was unmapped.
//   host_stand_in cycles MODULE PORT COUNT OUT
//       COUNT times: loads the module, queues a text for 127.0.0.1:PORT, unloads
//       and frees it. OUT: in how many cycles it was still mapped after the free.
//   host_stand_in huge MODULE [PRELOAD...] OUT
//       Maps each PRELOAD first, then loads the module and sends a request whose
//       length no copy can have. OUT: the answer's length; 0 only when it is the
//       failure answer.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/host_memory.h"
#include "platform/loaded_module.h"
#include "support/module_loader.h"

#if defined(_WIN32)
#include <windows.h>

#include <filesystem>

// The C run-time's numbered locks, exported by msvcrt.dll.
extern "C" void __cdecl _lock(int locknum);
extern "C" void __cdecl _unlock(int locknum);
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kQueueWait = std::chrono::seconds(5);
const std::string kFailureAnswer = "SAORI/1.0 500 Internal Server Error\r\n\r\n";

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool QueueText(test_support::LoadedModule& module, const std::string& port) {
  const std::string answer = module.Request(
      "EXECUTE SAORI/1.0\r\nCharset: UTF-8\r\nArgument0: AddQueue\r\n"
      "Argument1: unheard\r\nArgument2: 127.0.0.1\r\nArgument3: " + port + "\r\n\r\n")
      .bytes;
  return answer.compare(0, 16, "SAORI/1.0 200 OK") == 0;
}

bool QueueIsEmpty(test_support::LoadedModule& module) {
  const std::string answer =
      module.Request("EXECUTE SAORI/1.0\r\nCharset: UTF-8\r\n\r\n").bytes;
  return answer.find("\r\nResult: 0\r\n") != std::string::npos;
}

// A module loaded as a host loads it, with one text queued for `port`.
std::unique_ptr<test_support::LoadedModule> LoadWithText(const std::string& file,
                                                         const std::string& port) {
  auto module = std::make_unique<test_support::LoadedModule>(file);
  if (!module->IsOpen() || module->Load("C:/ghost/") != 1 || !QueueText(*module, port)) {
    return nullptr;
  }
  return module;
}

// Never freed: the process ends with the engine loaded (and, held here, the leak
// checker sees it reachable).
test_support::LoadedModule* engineLeftLoaded = nullptr;

bool Exit(const std::string& engineFile, const std::string& port, double* figure) {
  engineLeftLoaded = LoadWithText(engineFile, port).release();
  test_support::LoadedModule* engine = engineLeftLoaded;
  if (engine == nullptr) return false;
  const Clock::time_point deadline = Clock::now() + kQueueWait;
  while (!QueueIsEmpty(*engine)) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  *figure = static_cast<double>(Clock::now().time_since_epoch().count());
  return true;
}

bool Free(const std::string& engineFile, const std::string& port, long delayUs,
          double* figure) {
  std::unique_ptr<test_support::LoadedModule> engine = LoadWithText(engineFile, port);
  if (engine == nullptr) return false;
  // A busy wait: a sleep would take far longer than the shortest delays.
  const Clock::time_point freeAt = Clock::now() + std::chrono::microseconds(delayUs);
  while (Clock::now() < freeAt) {
  }
  const Clock::time_point start = Clock::now();
  engine->Close();
  *figure = MillisecondsSince(start);
  return true;
}

#if defined(_WIN32)
// msvcrt.dll's exit lock, which exit() holds from the atexit handlers through
// ExitProcess (Wine's own exit() does not, hence this by hand).
constexpr int kExitLock = 8;

bool FreeUnderExitLock(const std::string& engineFile, const std::string& port,
                       double* figure) {
  std::unique_ptr<test_support::LoadedModule> engine = LoadWithText(engineFile, port);
  if (engine == nullptr) return false;
  _lock(kExitLock);
  engine->Close();
  // Time for a worker that was let go to end, and for whatever its end runs.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const Clock::time_point start = Clock::now();
  platform::LoadedModule again;
  std::string error;
  const bool opened = again.Open(engineFile, &error);
  *figure = MillisecondsSince(start);
  _unlock(kExitLock);
  return opened;
}

// Never returns: the process ends on this thread while another frees or loads the
// module.
[[noreturn]] void ExitRace(const std::string& moduleFile, bool load,
                           const std::string& out) {
  std::unique_ptr<test_support::LoadedModule> module;
  if (!load) {
    module = std::make_unique<test_support::LoadedModule>(moduleFile);
    if (!module->IsOpen() || module->Load("C:/ghost/") != 1 || module->Unload() != 1) {
      std::exit(1);
    }
  }
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  platform::LoadedModule loaded;
  std::thread other([&] {
    WaitForSingleObject(go, INFINITE);
    if (load) {
      std::string error;
      static_cast<void>(loaded.Open(moduleFile, &error));
    } else {
      module->Close();
    }
  });
  _lock(kExitLock);
  SetEvent(go);
  // Time for the other thread to be inside the loader.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::ofstream(out) << 1 << '\n';
  std::fflush(nullptr);
  // The system ends the other thread wherever it stands; nothing is joined.
  other.detach();
  ExitProcess(0);
}

// The name the module at `module` gives itself in its export table.
std::string ExportedName(HMODULE module) {
  const auto* base = reinterpret_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (directory.Size == 0) return std::string();
  const auto* exports =
      reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  return reinterpret_cast<const char*>(base + exports->Name);
}

bool Replace(const std::string& engineFile, const std::string& moduleFile,
             const std::string& newFile, const std::string& port, double* figure) {
  std::unique_ptr<test_support::LoadedModule> engine = LoadWithText(engineFile, port);
  if (engine == nullptr) return false;
  const Clock::time_point taken = Clock::now() + kQueueWait;
  while (!QueueIsEmpty(*engine)) {
    if (Clock::now() > taken) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  engine->Close();
  const Clock::time_point start = Clock::now();
  while (platform::IsModuleMapped(moduleFile)) {
    if (MillisecondsSince(start) > 1000) {
      std::fprintf(stderr, "host_stand_in: %s still mapped\n", moduleFile.c_str());
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  *figure = MillisecondsSince(start);
  const std::wstring target = std::filesystem::path(moduleFile).wstring();
  if (!CopyFileW(std::filesystem::path(newFile).wstring().c_str(), target.c_str(), FALSE)) {
    std::fprintf(stderr, "host_stand_in: can't overwrite %s: error %lu\n",
                 moduleFile.c_str(), GetLastError());
    return false;
  }
  HMODULE again = LoadLibraryW(target.c_str());
  if (again == nullptr) return false;
  // NEW is a copy of the engine, which names itself as the engine does.
  const std::string expected = std::filesystem::path(engineFile).filename().string();
  const std::string got = ExportedName(again);
  FreeLibrary(again);
  if (got != expected) {
    std::fprintf(stderr, "host_stand_in: the load gave %s, not %s\n", got.c_str(),
                 expected.c_str());
    return false;
  }
  return true;
}
#endif

bool Cycles(const std::string& moduleFile, const std::string& port, long count,
            double* figure) {
  int stillMapped = 0;
  for (long i = 0; i < count; ++i) {
    std::unique_ptr<test_support::LoadedModule> module = LoadWithText(moduleFile, port);
    if (module == nullptr || module->Unload() != 1) return false;
    module->Close();
    if (platform::IsModuleMapped(moduleFile)) ++stillMapped;
  }
  *figure = stillMapped;
  return true;
}

bool Huge(const std::string& moduleFile, const std::vector<std::string>& preloads,
          double* figure) {
  std::vector<std::unique_ptr<platform::LoadedModule>> mapped;
  for (const std::string& file : preloads) {
    mapped.push_back(std::make_unique<platform::LoadedModule>());
    std::string error;
    if (!mapped.back()->Open(file, &error)) {
      std::fprintf(stderr, "host_stand_in: %s: %s\n", file.c_str(), error.c_str());
      return false;
    }
  }
  test_support::LoadedModule module(moduleFile);
  if (!module.IsOpen() || module.Load("C:/ghost/") != 1) return false;
  long length = 0x7FFFFFF0;
  const test_support::Answer answer =
      module.RawRequest(platform::NewHostBlock("x"), &length);
  *figure = answer.bytes == kFailureAnswer ? 0 : static_cast<double>(answer.length);
  return module.Unload() == 1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: host_stand_in exit ENGINE PORT OUT\n"
               "       host_stand_in free ENGINE PORT DELAY_US OUT\n"
               "       host_stand_in exit-lock ENGINE PORT OUT\n"
               "       host_stand_in exit-race MODULE free|load OUT\n"
               "       host_stand_in replace ENGINE MODULE NEW PORT OUT\n"
               "       host_stand_in cycles MODULE PORT COUNT OUT\n"
               "       host_stand_in huge MODULE [PRELOAD...] OUT\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() < 3) return Usage();
  const std::string& mode = args[0];
  std::string out;
  double figure = 0;
  bool planned = false;
  if (mode == "exit" && args.size() == 4) {
    out = args[3];
    planned = Exit(args[1], args[2], &figure);
  } else if (mode == "free" && args.size() == 5) {
    out = args[4];
    planned = Free(args[1], args[2], std::atol(args[3].c_str()), &figure);
#if defined(_WIN32)
  } else if (mode == "exit-lock" && args.size() == 4) {
    out = args[3];
    planned = FreeUnderExitLock(args[1], args[2], &figure);
  } else if (mode == "exit-race" && args.size() == 4 &&
             (args[2] == "free" || args[2] == "load")) {
    ExitRace(args[1], args[2] == "load", args[3]);
  } else if (mode == "replace" && args.size() == 6) {
    out = args[5];
    planned = Replace(args[1], args[2], args[3], args[4], &figure);
#endif
  } else if (mode == "cycles" && args.size() == 5) {
    out = args[4];
    planned = Cycles(args[1], args[2], std::atol(args[3].c_str()), &figure);
  } else if (mode == "huge") {
    out = args.back();
    planned = Huge(args[1], std::vector<std::string>(args.begin() + 2, args.end() - 1),
                   &figure);
  } else {
    return Usage();
  }
  std::ofstream file(out);
  file.precision(17);
  file << figure << '\n';
  file.close();
  std::fflush(nullptr);
  // std::exit leaves what is still loaded as it is: the process ends with it.
  std::exit(planned && file ? 0 : 1);
}
