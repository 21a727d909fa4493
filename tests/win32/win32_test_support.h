#pragma once
// Files and processes for the tests under Windows: a throw-away folder, the
// folder of the test program (where its helpers lie), and child processes
// with their standard input and output on pipes. Nothing a test starts
// outlives it: a child still running when its object goes is ended.
#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace win32_testing {

// The folder of this test program, where the helper programs and libraries lie.
std::filesystem::path ProgramFolder();

// A new, empty folder under the temporary folder, removed with its content.
class TempFolder {
 public:
  explicit TempFolder(const std::wstring& stem);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The path as the program holds file names: CP936 text (the ANSI code page
// of the systems the program is made for, and of the test run under Wine).
std::string Cp936Path(const std::filesystem::path& path);

// Copies the helper program (helper/win32_helper.cpp) to `folder` / `name`.
std::filesystem::path CopyHelper(const std::filesystem::path& folder, const std::wstring& name);

class Child {
 public:
  // Starts `exe` with the arguments `args` (ASCII, no quoting needed).
  // started() tells whether it runs.
  Child(const std::filesystem::path& exe, const std::vector<std::string>& args);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return process_ != nullptr; }
  DWORD id() const { return id_; }
  // The next line of output without its line end; nothing when the output
  // ends first or no whole line came within `limitMs`.
  std::optional<std::string> ReadLine(DWORD limitMs = 10000);
  // Everything it writes until its output ends (it has ended), or what came
  // within `limitMs`.
  std::string ReadRest(DWORD limitMs = 10000);
  // Closes its standard input: a helper that holds something lets go.
  void CloseInput();
  // Its exit code once it has ended; nothing when it still runs after `limitMs`.
  std::optional<DWORD> WaitForExit(DWORD limitMs = 10000);
  bool Running() const;

 private:
  bool ReadSome(DWORD limitMs);

  HANDLE process_ = nullptr;
  DWORD id_ = 0;
  HANDLE input_ = nullptr;   // our end of its standard input
  HANDLE output_ = nullptr;  // our end of its standard output
  std::string pending_;
  bool outputEnded_ = false;
};

// The in-process automation server of the tests that records the calls it
// receives (modules/recording_automation_server.cpp), beside this program.
inline constexpr wchar_t kRecordingServerFile[] = L"recording_automation_server.dll";

// An entry of the recording server, once it is loaded; null before.
FARPROC RecordingServerFunction(const char* name);

// The calls the server received since the last clearing, one line each, every
// object name with `prefix` (the application's name) cut down to "app".
std::vector<std::wstring> RecordedCalls(const std::wstring& prefix);

}  // namespace win32_testing
