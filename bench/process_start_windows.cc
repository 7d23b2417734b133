#include <windows.h>

#include <stdexcept>
#include <string>

#include "scenarios.h"

namespace bench {

void StartSmallProcess() {
  // This very program with --noop, which ends at once: the system has no smaller
  // program that is sure to be there.
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) throw std::runtime_error("no program path");
  std::string commandLine = std::string("\"") + path + "\" --noop";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(path, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    throw std::runtime_error("cannot start a process");
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace bench
