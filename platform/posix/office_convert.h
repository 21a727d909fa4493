#pragma once
// Saving a flat OpenDocument file in the format a file name asks for, through
// LibreOffice run headless in a private, throw-away user profile, so an
// office suite the user has open is never touched.
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace platform::office {

// The soffice program: the first one on PATH, else LibreOffice's usual place.
std::optional<std::filesystem::path> FindSoffice();

// The --convert-to argument for a target name, by its extension as an office
// application chooses: .xls is "MS Excel 97", .doc is "MS Word 97", any other
// extension LibreOffice's own default filter for it. Throws for a name
// without a usable extension.
std::string ConversionFor(const std::filesystem::path& target);

// How long one conversion may take before it is ended.
inline constexpr std::chrono::seconds kConversionTimeLimit{180};

// Writes `flatOdf` (extension `flatExtension`, "fods" or "fodt") into a
// private temporary folder, converts it there and moves the result to
// `target`, which then holds either its old content or the complete new
// file. The temporary folder and the profile go on every path. Throws
// std::runtime_error when anything fails or the time limit runs out.
void SaveThroughOffice(const std::filesystem::path& soffice, const std::string& flatOdf,
                       const std::string& flatExtension, const std::filesystem::path& target,
                       std::chrono::milliseconds timeLimit = kConversionTimeLimit);

}  // namespace platform::office
