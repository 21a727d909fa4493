// The automation server of Windows: the office applications through COM,
// every member looked up by name (IDispatch::GetIDsOfNames) at each call.
// COM must be initialised on the calling thread; the program's start-up does
// that for the GUI thread, which is the only thread that exports.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <utility>

#include "platform/ascii_case.h"
#include "platform/dispatch.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

using win32::kCodePage936;

// Holds one reference to a COM interface.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { Reset(); }
  ComRef(const ComRef& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  ComRef& operator=(ComRef other) {
    std::swap(p_, other.p_);
    return *this;
  }
  // Adds a reference of its own to `p`.
  static ComRef Share(T* p) {
    ComRef ref;
    ref.p_ = p;
    if (p) p->AddRef();
    return ref;
  }
  // For the functions that hand out a new reference.
  void** Out() {
    Reset();
    return reinterpret_cast<void**>(&p_);
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  T* p_ = nullptr;
};

// VARIANTs that clear themselves.
class VariantArray {
 public:
  explicit VariantArray(size_t count) : items_(count) {
    for (VARIANT& v : items_) VariantInit(&v);
  }
  ~VariantArray() {
    for (VARIANT& v : items_) VariantClear(&v);
  }
  VariantArray(const VariantArray&) = delete;
  VariantArray& operator=(const VariantArray&) = delete;
  VARIANT& operator[](size_t k) { return items_[k]; }
  VARIANT* data() { return items_.empty() ? nullptr : items_.data(); }

 private:
  std::vector<VARIANT> items_;
};

std::wstring Wide(const std::string& cp936) { return win32::WideFromCodePage(cp936, kCodePage936); }

std::string Cp936(const wchar_t* text, size_t length) {
  return win32::CodePageFromWide(std::wstring_view(text, length), kCodePage936);
}

std::string FromBstr(BSTR text) { return text ? Cp936(text, SysStringLen(text)) : std::string(); }

BSTR MakeBstr(const std::wstring& text) {
  BSTR b = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (!b) throw std::bad_alloc();
  return b;
}

// The system's text for a status code, CP936, without its line end.
std::string StatusText(HRESULT status) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? buffer : L"", n);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
    text.pop_back();
  char code[32];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
  return text.empty() ? std::string("error ") + code
                      : Cp936(text.data(), text.size()) + " (" + code + ")";
}

[[noreturn]] void Fail(const std::string& member, HRESULT status) {
  throw std::runtime_error(member + ": " + StatusText(status));
}

// The server's own description of an exception it raised.
[[noreturn]] void FailWithException(const std::string& member, EXCEPINFO& info) {
  if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
  std::string message = FromBstr(info.bstrDescription);
  if (message.empty()) {
    const HRESULT code = info.scode ? info.scode : static_cast<HRESULT>(info.wCode);
    message = member + ": " + (info.bstrSource ? FromBstr(info.bstrSource) + ": " : "") +
              StatusText(code);
  }
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  throw std::runtime_error(message);
}

// The value block as a two-dimensional SAFEARRAY of VARIANT texts, [row][column]
// from 0, the first dimension being the rows, as Excel reads a range's value.
SAFEARRAY* MakeTextArray(const TextBlock& block) {
  size_t columns = 0;
  for (const auto& row : block) columns = std::max(columns, row.size());
  SAFEARRAYBOUND bounds[2];
  bounds[0].lLbound = 0;
  bounds[0].cElements = static_cast<ULONG>(block.size());
  bounds[1].lLbound = 0;
  bounds[1].cElements = static_cast<ULONG>(columns);
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
  if (!array) throw std::bad_alloc();
  for (size_t r = 0; r < block.size(); ++r) {
    for (size_t c = 0; c < columns; ++c) {
      VARIANT cell;
      VariantInit(&cell);
      V_VT(&cell) = VT_BSTR;
      // A row shorter than the others is padded with empty texts.
      V_BSTR(&cell) = MakeBstr(c < block[r].size() ? Wide(block[r][c]) : std::wstring());
      LONG index[2] = {static_cast<LONG>(r), static_cast<LONG>(c)};
      const HRESULT status = SafeArrayPutElement(array, index, &cell);  // copies the cell
      VariantClear(&cell);
      if (FAILED(status)) {
        SafeArrayDestroy(array);
        throw std::runtime_error("value block: " + StatusText(status));
      }
    }
  }
  return array;
}

void ToVariant(const Variant& value, VARIANT& out);

class ComObject : public DispatchObject {
 public:
  explicit ComObject(ComRef<IDispatch> object) : object_(std::move(object)) {}

  IDispatch* raw() const { return object_.get(); }

  Variant Get(const std::string& member, const std::vector<Variant>& index) override {
    return Invoke(member, DISPATCH_PROPERTYGET, index, {}, nullptr);
  }
  void Put(const std::string& member, const Variant& value) override {
    Invoke(member, DISPATCH_PROPERTYPUT, {}, {}, &value);
  }
  Variant Call(const std::string& member, const std::vector<Variant>& positional,
               const std::vector<NamedArg>& named) override {
    return Invoke(member, DISPATCH_METHOD, positional, named, nullptr);
  }

 private:
  // One late-bound call. COM wants the arguments from last to first: the
  // named ones (each with its DISPID in the same order) at the front of the
  // array, the positional ones behind them. A property put passes its value
  // as the one named argument DISPID_PROPERTYPUT.
  Variant Invoke(const std::string& member, WORD kind, const std::vector<Variant>& positional,
                 const std::vector<NamedArg>& named, const Variant* putValue) {
    std::vector<std::wstring> names{Wide(member)};
    for (const NamedArg& arg : named) names.push_back(Wide(arg.name));
    std::vector<LPOLESTR> namePointers;
    for (std::wstring& name : names) namePointers.push_back(name.data());
    std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
    const HRESULT lookup =
        object_->GetIDsOfNames(IID_NULL, namePointers.data(), static_cast<UINT>(names.size()),
                               LOCALE_USER_DEFAULT, ids.data());
    if (FAILED(lookup)) {
      if (ids[0] == DISPID_UNKNOWN) Fail(member, lookup);
      // Name the argument that the object does not know.
      for (size_t k = 1; k < ids.size(); ++k)
        if (ids[k] == DISPID_UNKNOWN) Fail(member + " (argument " + named[k - 1].name + ")", lookup);
      Fail(member, lookup);
    }

    const size_t namedCount = putValue ? 1 : named.size();
    VariantArray args(namedCount + positional.size());
    std::vector<DISPID> namedIds(namedCount);
    if (putValue) {
      ToVariant(*putValue, args[0]);
      namedIds[0] = DISPID_PROPERTYPUT;
    } else {
      for (size_t k = 0; k < namedCount; ++k) {
        const size_t from = namedCount - 1 - k;
        ToVariant(named[from].value, args[k]);
        namedIds[k] = ids[1 + from];
      }
    }
    for (size_t k = 0; k < positional.size(); ++k)
      ToVariant(positional[positional.size() - 1 - k], args[namedCount + k]);

    DISPPARAMS params{};
    params.rgvarg = args.data();
    params.rgdispidNamedArgs = namedIds.empty() ? nullptr : namedIds.data();
    params.cArgs = static_cast<UINT>(namedCount + positional.size());
    params.cNamedArgs = static_cast<UINT>(namedCount);

    VariantArray result(1);
    EXCEPINFO exception{};
    UINT badArgument = 0;
    const HRESULT status =
        object_->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, kind, &params,
                        putValue ? nullptr : &result[0], &exception, &badArgument);
    if (status == DISP_E_EXCEPTION) FailWithException(member, exception);
    if (FAILED(status)) Fail(member, status);
    return FromVariant(member, result[0]);
  }

  static Variant FromVariant(const std::string& member, VARIANT& value) {
    if (V_VT(&value) & VT_BYREF) {
      VARIANT copy;
      VariantInit(&copy);
      if (FAILED(VariantCopyInd(&copy, &value))) return std::monostate{};
      VariantClear(&value);
      value = copy;
    }
    switch (V_VT(&value)) {
      case VT_EMPTY:
      case VT_NULL:
        return std::monostate{};
      case VT_DISPATCH:
        if (!V_DISPATCH(&value)) return std::monostate{};
        return std::make_shared<ComObject>(ComRef<IDispatch>::Share(V_DISPATCH(&value)));
      case VT_UNKNOWN: {
        ComRef<IDispatch> object;
        if (V_UNKNOWN(&value) && SUCCEEDED(V_UNKNOWN(&value)->QueryInterface(IID_IDispatch,
                                                                             object.Out())))
          return std::make_shared<ComObject>(object);
        return std::monostate{};
      }
      case VT_BSTR:
        return FromBstr(V_BSTR(&value));
      case VT_BOOL:
        return V_BOOL(&value) != VARIANT_FALSE;
      case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4:
      case VT_INT: case VT_UINT: case VT_I8: case VT_UI8: {
        VARIANT number;
        VariantInit(&number);
        if (SUCCEEDED(VariantChangeType(&number, &value, 0, VT_I4))) return long{V_I4(&number)};
        break;  // too large for a long: given as text below
      }
      default:
        break;
    }
    // Any other value (a number with a fraction, a date, a currency amount)
    // as the text the system writes for it.
    VARIANT text;
    VariantInit(&text);
    const HRESULT status =
        VariantChangeTypeEx(&text, &value, LOCALE_INVARIANT, 0, VT_BSTR);
    if (FAILED(status)) Fail(member + " (result of type " + std::to_string(V_VT(&value)) + ")", status);
    std::string out = FromBstr(V_BSTR(&text));
    VariantClear(&text);
    return out;
  }

  ComRef<IDispatch> object_;
};

void ToVariant(const Variant& value, VARIANT& out) {
  VariantInit(&out);
  if (const auto* text = std::get_if<std::string>(&value)) {
    V_BSTR(&out) = MakeBstr(Wide(*text));
    V_VT(&out) = VT_BSTR;
  } else if (const auto* number = std::get_if<long>(&value)) {
    V_VT(&out) = VT_I4;
    V_I4(&out) = *number;
  } else if (const auto* truth = std::get_if<bool>(&value)) {
    V_VT(&out) = VT_BOOL;
    V_BOOL(&out) = *truth ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (const auto* block = std::get_if<TextBlock>(&value)) {
    V_ARRAY(&out) = MakeTextArray(*block);
    V_VT(&out) = VT_ARRAY | VT_VARIANT;
  } else if (const auto* object = std::get_if<DispatchRef>(&value)) {
    IDispatch* raw = nullptr;
    if (*object) {
      const auto* com = dynamic_cast<const ComObject*>(object->get());
      if (!com) throw std::runtime_error("an object of another automation server cannot be passed");
      raw = com->raw();
      raw->AddRef();
    }
    V_VT(&out) = VT_DISPATCH;
    V_DISPATCH(&out) = raw;
  } else if (const auto* path = std::get_if<std::filesystem::path>(&value)) {
    // The file name in the system's own wide form: no character is lost.
    V_BSTR(&out) = MakeBstr(path->wstring());
    V_VT(&out) = VT_BSTR;
  }
  // std::monostate: an empty VARIANT.
}

class ComAutomationServer : public AutomationServer {
 public:
  std::optional<OfficeApplication> Obtain(const std::string& progId) override {
    CLSID classId;
    if (FAILED(CLSIDFromProgID(Wide(progId).c_str(), &classId))) return std::nullopt;

    // A running instance, from the running-object table.
    ComRef<IUnknown> running;
    if (SUCCEEDED(GetActiveObject(classId, nullptr, reinterpret_cast<IUnknown**>(running.Out()))) &&
        running) {
      ComRef<IDispatch> application;
      if (SUCCEEDED(running->QueryInterface(IID_IDispatch, application.Out())) && application)
        return OfficeApplication{std::make_shared<ComObject>(application), true};
    }
    // Else a new one, in-process or as a local server. It stays invisible
    // unless someone makes it visible.
    ComRef<IDispatch> application;
    if (SUCCEEDED(CoCreateInstance(classId, nullptr, CLSCTX_SERVER, IID_IDispatch,
                                   application.Out())) &&
        application)
      return OfficeApplication{std::make_shared<ComObject>(application), false};
    return std::nullopt;
  }
  bool Installed(const std::string& progId) override {
    CLSID classId;
    return SUCCEEDED(CLSIDFromProgID(Wide(progId).c_str(), &classId));
  }
};

}  // namespace

AutomationServer& PlatformAutomationServer() {
  static ComAutomationServer server;
  return server;
}

std::string MissingApplicationAdvice(const std::string& progId) {
  const bool excel = ascii::EqualIgnoringCase(progId, "excel.application");
  return std::string("导出 ") + (excel ? "Excel 文件需要 Microsoft Excel" : "Word 文档需要 Microsoft Word") +
         "，本机没有找到。\nCSV、文本和网页格式不需要它。";
}

}  // namespace platform
