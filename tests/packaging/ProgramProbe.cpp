// The installer test's eyes inside its Wine prefix: which programs run there,
// whether they hold their running mutex, and the quit message the installer
// broadcasts.
//   program_probe wait <image> <count> <seconds>  waits until <count> processes
//                                                 run <image>; exit 1 on timeout
//   program_probe mutex <name> <seconds>          waits until the mutex exists;
//                                                 exit 1 on timeout
//   program_probe quit                            broadcasts Tidewell.Quit
//   program_probe run <seconds> <program> <args>  runs the command and waits for
//                                                 it and every process it starts
//                                                 (an uninstaller runs a copy of
//                                                 itself and returns at once)
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "shared/win/Handles.h"

using tidewell::UniqueHandle;

namespace {

int CountProcesses(const char* image) {
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return -1;
  int count = 0;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry)) {
    if (lstrcmpiA(entry.szExeFile, image) == 0) ++count;
  }
  return count;
}

int Wait(const char* image, int wanted, int seconds) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
  int count = CountProcesses(image);
  while (count != wanted && GetTickCount64() < deadline) {
    Sleep(200);
    count = CountProcesses(image);
  }
  std::printf("%d\n", count);
  return count == wanted ? 0 : 1;
}

bool MutexExists(const char* name) {
  return static_cast<bool>(UniqueHandle(OpenMutexA(SYNCHRONIZE, FALSE, name)));
}

// A program creates its mutex a moment after its process appears.
int WaitForMutex(const char* name, int seconds) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
  bool exists = MutexExists(name);
  while (!exists && GetTickCount64() < deadline) {
    Sleep(200);
    exists = MutexExists(name);
  }
  return exists ? 0 : 1;
}

// The exit code of the command's first process, or 1 when the command could
// not start or its processes still run after the timeout.
int RunInJob(int seconds, char* commandLine) {
  UniqueHandle job(CreateJobObjectA(nullptr, nullptr));
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (!job || !CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                              &startup, &started)) {
    std::fprintf(stderr, "program_probe: cannot start %s\n", commandLine);
    return 1;
  }
  UniqueHandle process(started.hProcess);
  UniqueHandle thread(started.hThread);
  AssignProcessToJobObject(job.Get(), process.Get());
  ResumeThread(thread.Get());
  WaitForSingleObject(process.Get(), static_cast<DWORD>(seconds) * 1000);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.Get(), &exitCode);
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
  while (QueryInformationJobObject(job.Get(), JobObjectBasicAccountingInformation, &accounting, sizeof(accounting),
                                   nullptr) &&
         accounting.ActiveProcesses > 0 && GetTickCount64() < deadline) {
    Sleep(100);
  }
  if (accounting.ActiveProcesses > 0) {
    std::fprintf(stderr, "program_probe: %s still runs\n", commandLine);
    return 1;
  }
  return static_cast<int>(exitCode);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "wait") == 0) {
    return Wait(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  }
  if (argc == 4 && std::strcmp(argv[1], "mutex") == 0) return WaitForMutex(argv[2], std::atoi(argv[3]));
  if (argc == 2 && std::strcmp(argv[1], "quit") == 0) {
    const UINT message = RegisterWindowMessageW(L"Tidewell.Quit");
    return message != 0 && PostMessageW(HWND_BROADCAST, message, 0, 0) ? 0 : 1;
  }
  if (argc >= 4 && std::strcmp(argv[1], "run") == 0) {
    std::string commandLine;
    for (int i = 3; i < argc; ++i) {
      const bool quote = std::strchr(argv[i], ' ') != nullptr;
      commandLine += (i > 3 ? " " : "") + std::string(quote ? "\"" : "") + argv[i] + (quote ? "\"" : "");
    }
    return RunInJob(std::atoi(argv[2]), commandLine.data());
  }
  std::fprintf(stderr, "usage: program_probe wait <image> <count> <seconds> | mutex <name> <seconds> | quit | run <seconds> <program> <args>\n");
  return 2;
}
