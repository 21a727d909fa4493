#pragma once
// Saving a flat OpenDocument file in the format a file name asks for, through
// LibreOffice run headless in a private, throw-away user profile, so an
// office suite the user has open is never touched.
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace platform::office {

// The soffice program: the first one on PATH, else where Debian's packages
// put it (/usr/lib/libreoffice/program), else where LibreOffice's own
// packages do (NewestSofficeUnder("/opt")).
std::optional<std::filesystem::path> FindSoffice();

// <folder>/libreoffice<version>/program/soffice of the highest version, the
// version's numbers compared as numbers (24.8 after 7.6); nothing when no
// such program is there.
std::optional<std::filesystem::path> NewestSofficeUnder(const std::filesystem::path& folder);

// The --convert-to argument for a target name, by its extension as an office
// application chooses: .xls is "MS Excel 97", .doc is "MS Word 97", any other
// extension LibreOffice's own default filter for it. The extension is the
// text after the last dot of the name, so ".xls" alone is an .xls name, as
// the export command sees it. Throws for a name without a usable extension.
std::string ConversionFor(const std::filesystem::path& target);

// When a conversion is ended. Progress means that a process of the
// conversion used processor time. A conversion that makes no progress for
// `stall` is ended at once. Every conversion may take `base` plus
// `perMegabyte` for each megabyte of its flat file; past that it goes on as
// long as it keeps making progress, and is ended at the first `grace`
// without any.
struct ConversionLimits {
  std::chrono::milliseconds base = std::chrono::seconds(180);
  std::chrono::milliseconds perMegabyte = std::chrono::seconds(60);
  std::chrono::milliseconds stall = std::chrono::seconds(60);
  std::chrono::milliseconds grace = std::chrono::seconds(5);
  std::chrono::milliseconds TimeLimit(size_t flatBytes) const;
};

// The folder under which conversions make their temporary folders: $TMPDIR
// when it names an absolute, existing folder, else /tmp.
std::filesystem::path TemporaryRoot();

// Removes the temporary folders that conversions of this user left behind
// when their program died (their lock is free). Folders in use stay.
void RemoveStaleFolders();

// Writes `flatOdf` (extension `flatExtension`, "fods" or "fodt") into a
// private temporary folder, converts it there and moves the result to
// `target`, which then holds either its old content or the complete new
// file. The temporary folder and the profile go on every path; should this
// program die meanwhile, a watcher ends LibreOffice with it, and the next
// conversion removes the folder. While it waits for LibreOffice it calls
// platform::AutomationIdle() every few milliseconds. Throws
// std::runtime_error when anything fails or the limits end the conversion.
void SaveThroughOffice(const std::filesystem::path& soffice, const std::string& flatOdf,
                       const std::string& flatExtension, const std::filesystem::path& target,
                       const ConversionLimits& limits = {});

}  // namespace platform::office
