#include "platform/process.h"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

namespace platform {
namespace {

// `argument` as the C run-time's parser reads it back: quoted when it holds a
// blank or a quote or is empty, with the backslashes before a quote (or before the
// closing quote) doubled and each quote escaped.
void AppendQuoted(const std::string& argument, std::string* commandLine) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
    *commandLine += argument;
    return;
  }
  *commandLine += '"';
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') backslashes = backslashes * 2 + 1;
    commandLine->append(backslashes, '\\');
    backslashes = 0;
    *commandLine += c;
  }
  commandLine->append(backslashes * 2, '\\');
  *commandLine += '"';
}

}  // namespace

std::size_t ThreadCount() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  std::size_t count = 0;
  THREADENTRY32 entry;
  entry.dwSize = sizeof(entry);
  const DWORD process = GetCurrentProcessId();
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == process) ++count;
    entry.dwSize = sizeof(entry);
  }
  CloseHandle(snapshot);
  return count;
}

std::size_t ResidentBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.WorkingSetSize;
}

// The heap's own figures are not exposed the way the C library's allocator
// exposes them elsewhere.
std::size_t HeapBytesInUse() { return 0; }

bool ChildrenWouldInherit(std::intptr_t handle) {
  DWORD flags = 0;
  return GetHandleInformation(reinterpret_cast<HANDLE>(handle), &flags) &&
         (flags & HANDLE_FLAG_INHERIT) != 0;
}

std::string ThisProgramPath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(path, length);
}

bool RunToEnd(const std::string& program, const std::vector<std::string>& arguments,
              int* exitStatus, unsigned limitMs) {
  // The program's name is quoted apart from the rest: it is the one place where
  // the parser takes backslashes as they stand.
  std::string commandLine = "\"" + program + "\"";
  for (const std::string& argument : arguments) {
    commandLine += ' ';
    AppendQuoted(argument, &commandLine);
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return false;
  }
  const DWORD limit = limitMs == kNoLimit ? INFINITE : limitMs;
  const bool ended = WaitForSingleObject(process.hProcess, limit) == WAIT_OBJECT_0;
  if (!ended) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  DWORD code = 0;
  if (ended && exitStatus != nullptr && GetExitCodeProcess(process.hProcess, &code)) {
    // A crash's exception code (0xC0000005, say) comes out negative.
    *exitStatus = static_cast<int>(code);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ended;
}

}  // namespace platform
