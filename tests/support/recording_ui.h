#pragma once
// A UiServices for tests: records every message box, answers the save dialog
// with a name set beforehand, counts the cursor changes.
#include <optional>
#include <string>
#include <vector>

#include "gui/base/ui_services.h"

namespace testing_support {

class RecordingUi final : public UiServices {
 public:
  RecordingUi() { SetUi(this); }
  ~RecordingUi() override { SetUi(nullptr); }

  void ShowMessage(const MessageRequest& request) override { messages.push_back(request); }
  std::optional<std::filesystem::path> AskSaveFileName(const SaveDialogRequest& request) override {
    dialogs.push_back(request);
    return nextFileName;
  }
  void PushBusyCursor() override { ++busyDepth; ++busyCount; }
  void PopCursor() override { --busyDepth; }

  std::vector<MessageRequest> messages;
  std::vector<SaveDialogRequest> dialogs;
  std::optional<std::filesystem::path> nextFileName;
  int busyDepth = 0;
  int busyCount = 0;
};

}  // namespace testing_support
