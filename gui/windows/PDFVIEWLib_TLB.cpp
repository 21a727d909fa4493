#include "gui/windows/PDFVIEWLib_TLB.h"

#include <QVBoxLayout>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "core/base/app_folder.h"
#include "platform/class_registry.h"
#include "platform/codepage.h"
#include "platform/loadable_module.h"

namespace {

[[noreturn]] void Fail(const std::string& cp936Message) { throw std::runtime_error(cp936Message); }

constexpr const char* kControlFileName = "pdfview.ocx";

// Why the class has no entry in the registry, found out from the control file
// the program registers at start-up (beside the executable).
[[noreturn]] void FailUnregistered(const char* classId) {
  const std::filesystem::path file = AppFolder() / kControlFileName;
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error))
    Fail("找不到 PDF 浏览控件文件 " + platform::PathToCp936(file) + "，无法创建 PDF 浏览控件");
  if (!platform::ClassRegistryWritable())
    Fail("控件注册文件夹 " + platform::PathToCp936(platform::ClassRegistryPlace()) +
         " 不可写入，无法注册 PDF 浏览控件");
  const platform::ModuleLoad load = platform::LoadModuleForGood(file);
  if (!load.handle || !platform::ModuleEntry(load.handle, controls::kCreateControlEntry))
    Fail("PDF 浏览控件文件 " + platform::PathToCp936(file) + " 已损坏或不是 PDF 浏览控件");
  Fail(std::string("PDF 浏览控件文件 ") + platform::PathToCp936(file) + " 没有注册 (类 " + classId + ")");
}

// Finds, loads and asks the module of `classId` for a control in `parent`.
controls::Control* CreateControl(const char* classId, QWidget* parent) {
  const auto module = platform::FindClassModule(classId);
  if (!module) FailUnregistered(classId);
  std::error_code error;
  if (!std::filesystem::is_regular_file(*module, error))
    Fail("找不到 PDF 浏览控件文件 " + platform::PathToCp936(*module) + "，无法创建 PDF 浏览控件");
  // The system's reason names the file again, in its own language: the
  // message says what is wrong instead.
  const platform::ModuleLoad load = platform::LoadModuleForGood(*module);
  if (!load.handle) Fail("PDF 浏览控件文件 " + platform::PathToCp936(*module) + " 已损坏，无法加载");
  auto factory = reinterpret_cast<controls::CreateControlFunction>(
      platform::ModuleEntry(load.handle, controls::kCreateControlEntry));
  if (!factory)
    Fail("PDF 浏览控件文件 " + platform::PathToCp936(*module) + " 不能创建控件 (缺少入口 " +
         controls::kCreateControlEntry + ")");
  controls::Control* control = factory(classId, parent);
  if (!control || !control->widget())
    Fail("PDF 浏览控件文件 " + platform::PathToCp936(*module) + " 没有创建类 " + classId + " 的控件");
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
