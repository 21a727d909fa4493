#include "core/export/file_output.h"

#include "platform/file_replace.h"

void WriteWholeFile(const std::filesystem::path& fileName, std::string_view content) {
  platform::ReplaceFileContent(fileName, content);
}
