#include "tests/support/recording_automation.h"

#include <memory>
#include <stdexcept>

#include "gui/export/office_server.h"

namespace testing_support {
namespace {

using platform::DispatchRef;
using platform::NamedArg;
using platform::TextBlock;
using platform::Variant;

std::string Folded(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out + "\"";
}

class FakeObject final : public platform::DispatchObject {
 public:
  FakeObject(RecordingAutomation& server, std::string label)
      : server_(server), label_(std::move(label)) {}
  const std::string& Label() const { return label_; }

  Variant Get(const std::string& member, const std::vector<Variant>& index) override {
    Record("get", member, index, {});
    if (Folded(member) == "count") return 0L;
    return NewObject(member);
  }
  void Put(const std::string& member, const Variant& value) override {
    Record("put", member, {}, {}, &value);
  }
  Variant Call(const std::string& member, const std::vector<Variant>& positional,
               const std::vector<NamedArg>& named) override {
    Record("call", member, positional, named);
    static const char* actions[] = {"saveas", "quit", "typetext", "typeparagraph", "insertafter"};
    for (const char* action : actions)
      if (Folded(member) == action) return {};
    return NewObject(member);
  }

 private:
  static std::string Text(const Variant& value) {
    if (const auto* s = std::get_if<std::string>(&value)) return Quoted(*s);
    if (const auto* n = std::get_if<long>(&value)) return std::to_string(*n);
    if (const auto* b = std::get_if<bool>(&value)) return *b ? "true" : "false";
    if (const auto* p = std::get_if<std::filesystem::path>(&value)) return "path" + Quoted(p->string());
    if (const auto* o = std::get_if<DispatchRef>(&value)) {
      const auto* fake = dynamic_cast<const FakeObject*>(o->get());
      return fake ? fake->Label() : "<foreign object>";
    }
    if (const auto* block = std::get_if<TextBlock>(&value)) {
      std::string out = "{";
      for (size_t r = 0; r < block->size(); ++r) {
        out += r ? ",{" : "{";
        for (size_t c = 0; c < (*block)[r].size(); ++c) out += (c ? "," : "") + Quoted((*block)[r][c]);
        out += "}";
      }
      return out + "}";
    }
    return "<empty>";
  }

  void Record(const char* kind, const std::string& member, const std::vector<Variant>& positional,
              const std::vector<NamedArg>& named, const Variant* put = nullptr) {
    std::string line = label_ + " " + kind + " " + member;
    if (put) {
      line += "=" + Text(*put);
    } else {
      line += "(";
      bool first = true;
      for (const Variant& v : positional) {
        line += (first ? "" : ", ") + Text(v);
        first = false;
      }
      for (const NamedArg& arg : named) {
        line += (first ? "" : ", ") + arg.name + "=" + Text(arg.value);
        first = false;
      }
      line += ")";
    }
    server_.calls.push_back(line);
    if (!server_.failOn.empty() && Folded(member) == Folded(server_.failOn))
      throw std::runtime_error(member + " failed");
  }

  DispatchRef NewObject(const std::string& member) {
    return std::make_shared<FakeObject>(server_, server_.NextLabel(member));
  }

  RecordingAutomation& server_;
  std::string label_;
};

}  // namespace

RecordingAutomation::RecordingAutomation() { SetOfficeServer(this); }
RecordingAutomation::~RecordingAutomation() { SetOfficeServer(nullptr); }

std::optional<platform::OfficeApplication> RecordingAutomation::Obtain(const std::string& progId) {
  obtained.push_back(progId);
  if (!installed) return std::nullopt;
  return platform::OfficeApplication{std::make_shared<FakeObject>(*this, "application"),
                                     alreadyRunning};
}

std::string RecordingAutomation::NextLabel(const std::string& member) {
  for (auto& [name, count] : counts_)
    if (name == member) return member + "#" + std::to_string(++count);
  counts_.emplace_back(member, 1);
  return member + "#1";
}

}  // namespace testing_support
