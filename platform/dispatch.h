#pragma once
// Late-bound automation of an office application: every member is looked up
// by name at the moment of the call, as a scripting client would. The Excel
// and Word writers speak only this interface. Servers behind it: COM
// (IDispatch) on Windows, an office suite run headless elsewhere, and the
// recording fake of the tests.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace platform {

class DispatchObject;
using DispatchRef = std::shared_ptr<DispatchObject>;

// A two-dimensional block of texts, [row][column] from 0 (a VARIANT array
// of BSTRs in COM terms). Every row has the same number of columns.
using TextBlock = std::vector<std::vector<std::string>>;

// An argument or result. Texts are the program's CP936 text; a file name is
// kept in the platform's own form so no character of it is lost on the way.
using Variant = std::variant<std::monostate,  // empty / no result
                             std::string,     // text, CP936
                             long,            // integer
                             bool,            // truth value
                             TextBlock,       // value block
                             DispatchRef,     // an object
                             std::filesystem::path>;  // a file name (sent as text)

struct NamedArg {
  std::string name;
  Variant value;
};

// One object of the application's object model. Every call throws
// std::runtime_error (with the server's own message) when it fails.
class DispatchObject {
 public:
  virtual ~DispatchObject() = default;
  // Property get; `index` holds the arguments of an indexed get such as
  // Sheets(1) or Range("A1:I3").
  virtual Variant Get(const std::string& member, const std::vector<Variant>& index = {}) = 0;
  // Property put.
  virtual void Put(const std::string& member, const Variant& value) = 0;
  // Method call with positional arguments first, then named ones.
  virtual Variant Call(const std::string& member, const std::vector<Variant>& positional = {},
                       const std::vector<NamedArg>& named = {}) = 0;
};

// Result of Get/Call that must be an object; throws when it is not.
DispatchRef AsObject(const Variant& value, const std::string& member);

struct OfficeApplication {
  DispatchRef application;
  bool alreadyRunning = false;  // found running, rather than started for this call
};

class AutomationServer {
 public:
  virtual ~AutomationServer() = default;
  // The application behind a ProgID ("excel.application", "word.application"):
  // a running instance when there is one, else a new, invisible one.
  // Nothing when the application is not installed or cannot start.
  virtual std::optional<OfficeApplication> Obtain(const std::string& progId) = 0;
  // Whether the application behind a ProgID is installed, so that Obtain
  // can be expected to find it. Starts nothing.
  virtual bool Installed(const std::string& progId) = 0;
};

// The platform's own server: COM on Windows, the headless office suite here.
AutomationServer& PlatformAutomationServer();

// For the user who has not got the application of a ProgID: which program
// the export needs and how to get it, as lines of CP936 text.
std::string MissingApplicationAdvice(const std::string& progId);

// An error whose message is meant for the user (CP936), such as a grid that
// the target format cannot hold; other errors carry technical text.
class UserFacingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A server that waits a long time for its application (the save of a large
// grid) calls AutomationIdle() every few milliseconds on the waiting thread.
// While an AutomationIdleScope lives, that runs its function, so a window can
// keep painting and answering; scopes nest, the innermost one counts.
void AutomationIdle();
class AutomationIdleScope {
 public:
  explicit AutomationIdleScope(std::function<void()> idle);
  ~AutomationIdleScope();
  AutomationIdleScope(const AutomationIdleScope&) = delete;
  AutomationIdleScope& operator=(const AutomationIdleScope&) = delete;

 private:
  std::function<void()> previous_;
};

}  // namespace platform
