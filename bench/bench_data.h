#pragma once
// Generated text shared by the benchmarks. Narrow literals are CP936 bytes,
// so every generated text is CP936, as the program reads it.
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "gui/base/ui_services.h"
#include "core/grid/grid_model.h"

namespace bench_data {

// Clauses of the kind criteria are written in.
inline const std::vector<std::string> kClauses = {
    "医嘱下达、传递和执行等过程有电子记录",
    "能够在医师工作站中查阅检验结果",
    "有药物过敏、药物相互作用等检查功能",
    "支持HL7或CDA标准格式输出",
    "可通过PACS系统调阅影像",
    "记录执行人、执行时间",
    "数据可供全院共享",
    "能够根据诊断自动提示",
    "具备与LIS系统的接口",
    "病历书写有时限控制",
    "支持按科室统计",
    "可记录患者过敏史",
    "能够对危急值进行提示",
    "有完整的审核记录",
    "支持电子签名(CA)",
};

// One entry of `from`, drawn evenly.
inline std::string Pick(const std::vector<std::string>& from, std::mt19937& rng) {
  return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng)];
}

// A grid of the browser's nine columns: the header row and `count` criteria
// of generated text, a two-line cell among them; the same for the same count.
inline GridModel CriteriaGrid(int count) {
  GridModel grid;
  const char* header[] = {"序号", "项目序号", "项目代码", "工作角色", "业务项目",
                          "评价类别", "主要评价内容", "功能评分", "数据质量评价内容"};
  grid.SetColCount(9);
  for (int c = 0; c < 9; ++c) grid.SetCell(c, 0, header[c]);
  std::mt19937 rng(9);
  for (int i = 1; i <= count; ++i) {
    const int row = grid.AddRow();
    grid.SetCell(0, row, std::to_string(i));
    grid.SetCell(1, row, "4." + std::to_string(i));
    grid.SetCell(2, row, "EMR-" + std::to_string(i % 40));
    grid.SetCell(3, row, i % 2 ? "医师" : "护士");
    grid.SetCell(4, row, Pick(kClauses, rng));
    grid.SetCell(5, row, i % 3 ? "基础" : "提升");
    grid.SetCell(6, row, Pick(kClauses, rng) + "，" +
                             Pick(kClauses, rng) + "\r\n" +
                             Pick(kClauses, rng));
    grid.SetCell(7, row, std::to_string(i % 5));
    grid.SetCell(8, row, Pick(kClauses, rng));
  }
  return grid;
}

// The settings rows A1..A5 the benchmarks' databases carry.
inline std::vector<std::string> BenchSettings() { return {"0", "精确", "", "T", "1"}; }

// Boxes, dialogs and the hourglass of the writers, with no window behind them.
class SilentUi final : public UiServices {
 public:
  void ShowMessage(const MessageRequest&) override {}
  std::optional<std::filesystem::path> AskSaveFileName(const SaveDialogRequest&) override { return {}; }
  void PushBusyCursor() override {}
  void PopCursor() override {}
};

}  // namespace bench_data
