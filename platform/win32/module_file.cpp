#include "platform/module_file.h"

#include <windows.h>

#include <cstdint>

namespace platform {
namespace {

// Reads parts of one file and tells whether a range lies inside it.
class FileBytes {
 public:
  explicit FileBytes(const std::filesystem::path& path)
      : file_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {
    LARGE_INTEGER size{};
    if (file_ != INVALID_HANDLE_VALUE && GetFileSizeEx(file_, &size)) size_ = std::uint64_t(size.QuadPart);
  }
  ~FileBytes() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;

  bool Open() const { return file_ != INVALID_HANDLE_VALUE; }
  bool Holds(std::uint64_t offset, std::uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }
  template <typename T>
  bool Read(std::uint64_t offset, T& out) {
    if (!Holds(offset, sizeof(T))) return false;
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(offset);
    DWORD got = 0;
    return SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) &&
           ReadFile(file_, &out, DWORD(sizeof(T)), &got, nullptr) && got == sizeof(T);
  }

 private:
  HANDLE file_;
  std::uint64_t size_ = 0;
};

}  // namespace

std::optional<std::string> ModuleFileFault(const std::filesystem::path& path) {
  FileBytes file(path);
  if (!file.Open()) return "cannot be read";
  IMAGE_DOS_HEADER dos;
  if (!file.Read(0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return "not a PE image";
  const std::uint64_t nt = std::uint32_t(dos.e_lfanew);
  DWORD signature = 0;
  IMAGE_FILE_HEADER header;
  if (!file.Read(nt, signature) || signature != IMAGE_NT_SIGNATURE) return "not a PE image";
  if (!file.Read(nt + sizeof signature, header)) return "the file header is cut off";
  const std::uint64_t optional = nt + sizeof signature + sizeof header;
  WORD magic = 0;
  if (header.SizeOfOptionalHeader < sizeof magic || !file.Holds(optional, header.SizeOfOptionalHeader) ||
      !file.Read(optional, magic))
    return "the optional header is cut off";
  DWORD sizeOfHeaders = 0;
  IMAGE_DATA_DIRECTORY certificates{};  // its address is a file offset
  if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
    IMAGE_OPTIONAL_HEADER64 image;
    if (header.SizeOfOptionalHeader < sizeof image || !file.Read(optional, image))
      return "the optional header is cut off";
    sizeOfHeaders = image.SizeOfHeaders;
    if (image.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_SECURITY)
      certificates = image.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY];
  } else if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
    IMAGE_OPTIONAL_HEADER32 image;
    if (header.SizeOfOptionalHeader < sizeof image || !file.Read(optional, image))
      return "the optional header is cut off";
    sizeOfHeaders = image.SizeOfHeaders;
    if (image.NumberOfRvaAndSizes > IMAGE_DIRECTORY_ENTRY_SECURITY)
      certificates = image.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY];
  } else {
    return "an unknown optional header";
  }
  if (!file.Holds(0, sizeOfHeaders)) return "the headers are cut off";
  const std::uint64_t table = optional + header.SizeOfOptionalHeader;
  if (!file.Holds(table, std::uint64_t(header.NumberOfSections) * sizeof(IMAGE_SECTION_HEADER)))
    return "the section table is cut off";
  for (unsigned i = 0; i < header.NumberOfSections; ++i) {
    IMAGE_SECTION_HEADER section;
    if (!file.Read(table + std::uint64_t(i) * sizeof section, section)) return "the section table is cut off";
    if (section.SizeOfRawData != 0 && !file.Holds(section.PointerToRawData, section.SizeOfRawData))
      return "section " + std::to_string(i) + " runs past the end of the file";
  }
  // What may follow the sections: a signature, and the symbol table with
  // its string table (GNU tools leave them in).
  if (certificates.Size != 0 && !file.Holds(certificates.VirtualAddress, certificates.Size))
    return "the signature runs past the end of the file";
  if (header.PointerToSymbolTable != 0) {
    const std::uint64_t strings =
        std::uint64_t(header.PointerToSymbolTable) + std::uint64_t(header.NumberOfSymbols) * IMAGE_SIZEOF_SYMBOL;
    DWORD stringsSize = 0;
    if (!file.Read(strings, stringsSize) || !file.Holds(strings, stringsSize))
      return "the symbol table runs past the end of the file";
  }
  return std::nullopt;
}

}  // namespace platform
