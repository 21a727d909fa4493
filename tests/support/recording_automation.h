#pragma once
// An automation server for tests: records every call made on the objects it
// hands out, one line each, and can be told to fail a named member. While it
// lives the office writers use it instead of the platform's server.
#include <string>
#include <vector>

#include "platform/dispatch.h"

namespace testing_support {

// Lines look like
//   application get WorkBooks()
//   Add#1 get Sheets(1)
//   Range#1 put Value={{"a","b"}}
//   Table#1 call Cell(Row=1, Column=2)
// An object is named after the member that returned it, numbered per member
// name from 1; the application is "application". Texts are quoted, with CR
// and LF written as \r and \n; a file name is written as path"...".
class RecordingAutomation final : public platform::AutomationServer {
 public:
  RecordingAutomation();
  ~RecordingAutomation() override;

  std::optional<platform::OfficeApplication> Obtain(const std::string& progId) override;
  bool Installed(const std::string&) override { return installed; }

  bool installed = true;        // false: Obtain finds nothing
  bool alreadyRunning = false;  // what Obtain reports
  std::string failOn;           // a member (any case) whose every use throws
  std::vector<std::string> obtained;  // the ProgIDs asked for
  std::vector<std::string> calls;

  // Used by the objects: the next label for an object returned by `member`.
  std::string NextLabel(const std::string& member);

 private:
  std::vector<std::pair<std::string, int>> counts_;
};

}  // namespace testing_support
