#include "windows/PDFVIEWLib_TLB.h"

#include <QVBoxLayout>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "platform/class_registry.h"
#include "platform/codepage.h"
#include "platform/loadable_module.h"

namespace {

// A file name as the program shows it (CP936).
std::string Shown(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return platform::Utf8ToCp936(std::string(utf8.begin(), utf8.end()));
}

[[noreturn]] void Fail(const std::string& cp936Message) { throw std::runtime_error(cp936Message); }

// Finds, loads and asks the module of `classId` for a control in `parent`.
controls::Control* CreateControl(const char* classId, QWidget* parent) {
  const auto module = platform::FindClassModule(classId);
  if (!module) Fail(std::string("没有注册类 ") + classId + "，无法创建 PDF 浏览控件");
  std::error_code error;
  if (!std::filesystem::is_regular_file(*module, error))
    Fail("找不到 PDF 浏览控件文件 " + Shown(*module));
  const platform::ModuleLoad load = platform::LoadModuleForGood(*module);
  if (!load.handle)
    Fail("无法加载 PDF 浏览控件文件 " + Shown(*module) + ": " + platform::Utf8ToCp936(load.error));
  auto factory = reinterpret_cast<controls::CreateControlFunction>(
      platform::ModuleEntry(load.handle, controls::kCreateControlEntry));
  if (!factory)
    Fail("PDF 浏览控件文件 " + Shown(*module) + " 不能创建控件 (缺少入口 " +
         controls::kCreateControlEntry + ")");
  controls::Control* control = factory(classId, parent);
  if (!control || !control->widget())
    Fail("PDF 浏览控件文件 " + Shown(*module) + " 没有创建类 " + classId + " 的控件");
  return control;
}

}  // namespace

TPdfview::TPdfview(QWidget* parent) : QWidget(parent) {
  control_ = CreateControl(controls::kPdfviewClassId, this);
  controlWidget_ = control_->widget();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(controlWidget_);
  setFocusProxy(controlWidget_);
}

controls::DispatchInterface& TPdfview::DefaultInterface() {
  if (!defaultInterface_) {
    defaultInterface_ = control_->QueryInterface(controls::kPdfviewInterfaceId);
    if (!defaultInterface_)
      Fail(std::string("PDF 浏览控件不支持接口 ") + controls::kPdfviewInterfaceId);
  }
  return *defaultInterface_;
}

controls::DispatchValue TPdfview::Invoke(std::int32_t dispatchId,
                                         const std::vector<controls::DispatchValue>& arguments) {
  controls::DispatchResult result = DefaultInterface().Invoke(dispatchId, arguments);
  if (result.status != controls::kOk) {
    char code[16];
    std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(result.status));
    std::string message = "调用 PDF 浏览控件失败 (调度号 " + std::to_string(dispatchId) + ", 0x" + code + ")";
    if (!result.message.empty()) message += ": " + platform::Utf8ToCp936(result.message);
    Fail(message);
  }
  return result.value;
}
