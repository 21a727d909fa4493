#pragma once
// The names of the temporary files that a file replace writes beside its
// target: ".zelvoran-<process id>-<number>.part". The marker tells the
// program's own temporary files apart from every other file; the process id
// tells whether the program that wrote one is still running.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::replace_names {

inline constexpr std::string_view kPrefix = ".zelvoran-";
inline constexpr std::string_view kSuffix = ".part";

inline std::string TemporaryName(std::uint64_t processId, std::uint64_t number) {
  return std::string(kPrefix) + std::to_string(processId) + "-" + std::to_string(number) +
         std::string(kSuffix);
}

// The process id in a name of that form; nothing for any other name.
inline std::optional<std::uint64_t> WriterOf(std::string_view name) {
  if (name.size() <= kPrefix.size() + kSuffix.size() || !name.starts_with(kPrefix) ||
      !name.ends_with(kSuffix))
    return std::nullopt;
  name = name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size());
  const size_t dash = name.find('-');
  if (dash == std::string_view::npos || dash == 0 || dash + 1 == name.size() || dash > 18 ||
      name.size() - dash - 1 > 18)
    return std::nullopt;
  std::uint64_t id = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if (i == dash) continue;
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    if (i < dash) id = id * 10 + static_cast<std::uint64_t>(name[i] - '0');
  }
  return id;
}

// A temporary name that this process is writing: while the object lives, a
// clean-up of stale temporary files leaves the file of that name alone,
// although its process (this one) runs. Every other name with this process's
// id was left by an earlier process that had the same id.
class InFlightName {
 public:
  explicit InFlightName(std::string name);
  ~InFlightName();
  InFlightName(const InFlightName&) = delete;
  InFlightName& operator=(const InFlightName&) = delete;
  const std::string& name() const { return name_; }

  static bool IsInFlight(const std::string& name);

 private:
  std::string name_;
};

}  // namespace platform::replace_names
