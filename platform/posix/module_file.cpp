#include "platform/module_file.h"

#include <elf.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>

namespace platform {
namespace {

// Reads parts of one file and tells whether a range lies inside it.
class FileBytes {
 public:
  explicit FileBytes(const std::filesystem::path& path) : in_(path, std::ios::binary) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    size_ = error ? 0 : std::uint64_t(size);
  }
  bool Open() const { return bool(in_); }
  std::uint64_t Size() const { return size_; }
  // Whether count items of `each` bytes from `offset` lie inside the file.
  bool Holds(std::uint64_t offset, std::uint64_t each, std::uint64_t count = 1) const {
    if (each != 0 && count > std::numeric_limits<std::uint64_t>::max() / each) return false;
    const std::uint64_t length = each * count;
    return offset <= size_ && length <= size_ - offset;
  }
  template <typename T>
  bool Read(std::uint64_t offset, T& out) {
    if (!Holds(offset, sizeof(T))) return false;
    in_.clear();
    in_.seekg(std::streamoff(offset));
    return bool(in_.read(reinterpret_cast<char*>(&out), sizeof(T)));
  }

 private:
  std::ifstream in_;
  std::uint64_t size_ = 0;
};

template <typename Ehdr, typename Phdr, typename Shdr>
std::optional<std::string> CheckElf(FileBytes& file) {
  Ehdr header;
  if (!file.Read(0, header)) return "the ELF header is cut off";
  if (header.e_type != ET_DYN) return "not a shared object";
  if (header.e_phnum == 0 || header.e_phentsize != sizeof(Phdr)) return "no program headers";
  if (!file.Holds(header.e_phoff, sizeof(Phdr), header.e_phnum)) return "the program headers are cut off";
  for (unsigned i = 0; i < header.e_phnum; ++i) {
    Phdr segment;
    if (!file.Read(header.e_phoff + std::uint64_t(i) * sizeof(Phdr), segment))
      return "the program headers are cut off";
    if (!file.Holds(segment.p_offset, segment.p_filesz))
      return "segment " + std::to_string(i) + " runs past the end of the file";
  }
  // Sections: the loader does not need them, but a file whose section table
  // or sections are cut off was not copied whole.
  if (header.e_shoff == 0) return std::nullopt;
  if (header.e_shentsize != sizeof(Shdr)) return "the section headers have the wrong size";
  std::uint64_t sections = header.e_shnum;
  if (sections == 0) {  // more than 0xff00 sections: the count is in section 0
    Shdr first;
    if (!file.Read(header.e_shoff, first)) return "the section headers are cut off";
    sections = first.sh_size;
  }
  if (!file.Holds(header.e_shoff, sizeof(Shdr), sections)) return "the section headers are cut off";
  for (std::uint64_t i = 0; i < sections; ++i) {
    Shdr section;
    if (!file.Read(header.e_shoff + i * sizeof(Shdr), section)) return "the section headers are cut off";
    if (section.sh_type != SHT_NOBITS && !file.Holds(section.sh_offset, section.sh_size))
      return "section " + std::to_string(i) + " runs past the end of the file";
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ModuleFileFault(const std::filesystem::path& path) {
  FileBytes file(path);
  if (!file.Open()) return "cannot be read";
  unsigned char ident[EI_NIDENT];
  if (!file.Read(0, ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0) return "not an ELF file";
  constexpr unsigned char kOwnClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
  if (ident[EI_CLASS] != kOwnClass) return "an ELF file of another word size";
  const std::uint16_t probe = 1;
  unsigned char first;
  std::memcpy(&first, &probe, 1);
  if (ident[EI_DATA] != (first == 1 ? ELFDATA2LSB : ELFDATA2MSB)) return "an ELF file of another byte order";
  if constexpr (sizeof(void*) == 8)
    return CheckElf<Elf64_Ehdr, Elf64_Phdr, Elf64_Shdr>(file);
  else
    return CheckElf<Elf32_Ehdr, Elf32_Phdr, Elf32_Shdr>(file);
}

}  // namespace platform
