#include "win32_test_support.h"

#include <system_error>

namespace win32_testing {

std::filesystem::path ProgramFolder() {
  std::wstring buffer(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  buffer.resize(n);
  return std::filesystem::path(buffer).parent_path();
}

TempFolder::TempFolder(const std::wstring& stem) {
  wchar_t base[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, base);
  for (unsigned k = 0;; ++k) {
    path_ = std::filesystem::path(base) /
            (stem + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(k));
    if (std::filesystem::create_directories(path_)) break;
  }
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string Cp936Path(const std::filesystem::path& path) {
  const std::wstring wide = path.wstring();
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(936, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(936, 0, wide.data(), size, text.data(), n, nullptr, nullptr);
  return text;
}

std::filesystem::path CopyHelper(const std::filesystem::path& folder, const std::wstring& name) {
  const std::filesystem::path target = folder / name;
  std::filesystem::copy_file(ProgramFolder() / L"win32_helper.exe", target,
                             std::filesystem::copy_options::overwrite_existing);
  return target;
}

Child::Child(const std::filesystem::path& exe, const std::vector<std::string>& args) {
  std::wstring commandLine = L"\"" + exe.wstring() + L"\"";
  for (const std::string& a : args) commandLine += L" " + std::wstring(a.begin(), a.end());

  // Only the child's ends of the two pipes are inheritable, and only for
  // as long as it takes to start it: the tests start one child at a time.
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE childInput = nullptr;
  HANDLE childOutput = nullptr;
  if (!CreatePipe(&childInput, &input_, &inheritable, 0)) return;
  if (!CreatePipe(&output_, &childOutput, &inheritable, 0)) {
    CloseHandle(childInput);
    return;
  }
  SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childInput;
  startup.hStdOutput = childOutput;
  startup.hStdError = childOutput;
  PROCESS_INFORMATION info{};
  if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                     nullptr, nullptr, &startup, &info)) {
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    CloseHandle(info.hThread);
  }
  CloseHandle(childInput);
  CloseHandle(childOutput);
}

Child::~Child() {
  if (process_) {
    if (Running()) {
      TerminateProcess(process_, 99);
      WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
  }
  if (input_) CloseHandle(input_);
  if (output_) CloseHandle(output_);
}

bool Child::ReadSome(DWORD limitMs) {
  const ULONGLONG end = GetTickCount64() + limitMs;
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr)) {
      outputEnded_ = true;  // every writer has closed it
      return false;
    }
    if (available > 0) {
      std::string chunk(available, '\0');
      DWORD read = 0;
      if (!ReadFile(output_, chunk.data(), available, &read, nullptr) || read == 0) {
        outputEnded_ = true;
        return false;
      }
      pending_.append(chunk, 0, read);
      return true;
    }
    if (GetTickCount64() >= end) return false;
    Sleep(10);
  }
}

std::optional<std::string> Child::ReadLine(DWORD limitMs) {
  if (!output_) return std::nullopt;
  const ULONGLONG end = GetTickCount64() + limitMs;
  for (;;) {
    const size_t lineEnd = pending_.find('\n');
    if (lineEnd != std::string::npos) {
      std::string line = pending_.substr(0, lineEnd);
      pending_.erase(0, lineEnd + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    const ULONGLONG now = GetTickCount64();
    if (outputEnded_ || now >= end) return std::nullopt;
    ReadSome(static_cast<DWORD>(end - now));
  }
}

std::string Child::ReadRest(DWORD limitMs) {
  if (!output_) return {};
  const ULONGLONG end = GetTickCount64() + limitMs;
  while (!outputEnded_) {
    const ULONGLONG now = GetTickCount64();
    if (now >= end) break;
    ReadSome(static_cast<DWORD>(end - now));
  }
  std::string rest;
  rest.swap(pending_);
  return rest;
}

void Child::CloseInput() {
  if (input_) CloseHandle(input_);
  input_ = nullptr;
}

std::optional<DWORD> Child::WaitForExit(DWORD limitMs) {
  if (!process_ || WaitForSingleObject(process_, limitMs) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

bool Child::Running() const {
  return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

FARPROC RecordingServerFunction(const char* name) {
  const HMODULE server = GetModuleHandleW(kRecordingServerFile);
  return server ? GetProcAddress(server, name) : nullptr;
}

std::vector<std::wstring> RecordedCalls(const std::wstring& prefix) {
  std::vector<std::wstring> lines;
  FARPROC get = RecordingServerFunction("RecordedCalls");
  if (!get) return lines;
  std::wstring text = reinterpret_cast<const wchar_t* (*)()>(reinterpret_cast<void (*)()>(get))();
  for (size_t at = text.find(prefix); at != std::wstring::npos; at = text.find(prefix, at))
    text.replace(at, prefix.size(), L"app");
  size_t start = 0;
  for (size_t end = text.find(L'\n'); end != std::wstring::npos; end = text.find(L'\n', start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace win32_testing
