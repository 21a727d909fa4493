// An in-process automation server for the tests of the COM dispatch client.
// Two classes stand in for the office applications (ProgIDs
// "ZelvoranTest.Excel" and "ZelvoranTest.Word"). Their objects accept any
// member name and record every call they receive, one line each:
//
//   <object>.<member> <kind>(<positional arguments>, <name>=<value> ...)
//   <object>.<member> put(<index arguments>) = <value>
//
// <kind> is what the caller asked for: get, put, call, or a combination such
// as call|get. Arguments are shown in the caller's order, that is, read from
// the end of the argument array, as COM passes them. Objects are named after
// the calls that made them ("Excel1.WorkBooks.Add"), texts are quoted, a
// two-dimensional array is shown as array(<rows>x<columns>){a,b;c,d} with
// its first dimension as rows. A get or a method call answers a new object,
// except for these members:
//   Label    the object's name (a text)
//   Count    the integer 2
//   Visible  true
//   Echo     its first argument, as it came
//   Fail     an exception with a Chinese description
//   SaveAs   nothing, or the exception of Fail when the file name holds
//            "cannot-save"
// and names that begin with "Missing" are unknown.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <olectl.h>

#include <map>
#include <string>
#include <vector>

namespace {

// {9A4A1304-2525-41D1-8A28-D745AA864793}
const CLSID kExcelClass = {
    0x9a4a1304, 0x2525, 0x41d1, {0x8a, 0x28, 0xd7, 0x45, 0xaa, 0x86, 0x47, 0x93}};
// {702F7DA0-8E4D-4962-801A-C4858E3AC716}
const CLSID kWordClass = {
    0x702f7da0, 0x8e4d, 0x4962, {0x80, 0x1a, 0xc4, 0x85, 0x8e, 0x3a, 0xc7, 0x16}};
// Asked for by the server itself to recognise its own objects among arguments.
// {44379EFA-2DB7-4E14-86F3-1DD74B52F3F1}
const IID kRecordingObjectIid = {
    0x44379efa, 0x2db7, 0x4e14, {0x86, 0xf3, 0x1d, 0xd7, 0x4b, 0x52, 0xf3, 0xf1}};

struct ClassEntry {
  const CLSID* clsid;
  const wchar_t* clsidText;
  const wchar_t* progId;
  const wchar_t* label;
};
const ClassEntry kClasses[] = {
    {&kExcelClass, L"{9A4A1304-2525-41D1-8A28-D745AA864793}", L"ZelvoranTest.Excel", L"Excel"},
    {&kWordClass, L"{702F7DA0-8E4D-4962-801A-C4858E3AC716}", L"ZelvoranTest.Word", L"Word"},
};

std::wstring g_record;
std::vector<std::wstring> g_names;  // DISPID k + 1 is g_names[k]
std::map<std::wstring, int> g_instances;

DISPID IdOfName(const std::wstring& name) {
  for (size_t k = 0; k < g_names.size(); ++k)
    if (g_names[k] == name) return static_cast<DISPID>(k + 1);
  g_names.push_back(name);
  return static_cast<DISPID>(g_names.size());
}

std::wstring NameOfId(DISPID id) {
  if (id == DISPID_PROPERTYPUT) return L"<property put>";
  if (id >= 1 && static_cast<size_t>(id) <= g_names.size()) return g_names[id - 1];
  return L"<unknown id " + std::to_wstring(id) + L">";
}

std::wstring Quoted(const wchar_t* text, UINT length) {
  std::wstring out = L"\"";
  for (UINT k = 0; k < length; ++k) {
    if (text[k] == L'\r') out += L"\\r";
    else if (text[k] == L'\n') out += L"\\n";
    else out += text[k];
  }
  return out + L"\"";
}

std::wstring Describe(const VARIANT& value);
std::wstring Describe(IDispatch* object);

std::wstring DescribeArray(SAFEARRAY* array) {
  if (!array) return L"null array";
  const UINT dims = SafeArrayGetDim(array);
  VARTYPE type = VT_EMPTY;
  SafeArrayGetVartype(array, &type);
  if (dims != 2 || type != VT_VARIANT)
    return L"array of " + std::to_wstring(dims) + L" dimensions, type " + std::to_wstring(type);
  LONG low[2], high[2];
  for (UINT d = 0; d < 2; ++d) {
    SafeArrayGetLBound(array, d + 1, &low[d]);
    SafeArrayGetUBound(array, d + 1, &high[d]);
  }
  std::wstring out = L"array(";
  if (low[0] != 0 || low[1] != 0)
    out += L"from " + std::to_wstring(low[0]) + L"," + std::to_wstring(low[1]) + L" ";
  out += std::to_wstring(high[0] - low[0] + 1) + L"x" + std::to_wstring(high[1] - low[1] + 1) +
         L"){";
  for (LONG r = low[0]; r <= high[0]; ++r) {
    if (r > low[0]) out += L";";
    for (LONG c = low[1]; c <= high[1]; ++c) {
      if (c > low[1]) out += L",";
      LONG index[2] = {r, c};
      VARIANT element;
      VariantInit(&element);
      if (SUCCEEDED(SafeArrayGetElement(array, index, &element))) out += Describe(element);
      else out += L"<unreadable>";
      VariantClear(&element);
    }
  }
  return out + L"}";
}

std::wstring Describe(const VARIANT& value) {
  switch (V_VT(&value)) {
    case VT_EMPTY: return L"empty";
    case VT_BSTR: return Quoted(V_BSTR(&value), SysStringLen(V_BSTR(&value)));
    case VT_I4: return std::to_wstring(V_I4(&value));
    case VT_BOOL:
      if (V_BOOL(&value) == VARIANT_TRUE) return L"true";
      if (V_BOOL(&value) == VARIANT_FALSE) return L"false";
      return L"bool " + std::to_wstring(V_BOOL(&value));
    case VT_DISPATCH: return Describe(V_DISPATCH(&value));
    case VT_ARRAY | VT_VARIANT: return DescribeArray(V_ARRAY(&value));
    case VT_BYREF | VT_VARIANT: return L"byref " + Describe(*V_VARIANTREF(&value));
    default: return L"type " + std::to_wstring(V_VT(&value));
  }
}

class RecordingObject final : public IDispatch {
 public:
  explicit RecordingObject(std::wstring label) : label_(std::move(label)) {}
  virtual ~RecordingObject() = default;
  const std::wstring& label() const { return label_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kRecordingObjectIid) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    HRESULT result = S_OK;
    for (UINT k = 0; k < count; ++k) {
      const std::wstring name = names[k];
      if (name.rfind(L"Missing", 0) == 0) {
        ids[k] = DISPID_UNKNOWN;
        result = DISP_E_UNKNOWNNAME;
      } else {
        ids[k] = IdOfName(name);
      }
    }
    return result;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override {
    if (member < 1 || static_cast<size_t>(member) > g_names.size()) return DISP_E_MEMBERNOTFOUND;
    const std::wstring name = g_names[member - 1];
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    const UINT count = params ? params->cArgs : 0;
    const UINT namedCount = params ? params->cNamedArgs : 0;
    // A property put passes its value as the one named argument DISPID_PROPERTYPUT.
    if (put && (namedCount != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
      return DISP_E_PARAMNOTOPTIONAL;

    std::wstring line = label_ + L"." + name + L" " + KindText(flags) + L"(";
    bool first = true;
    for (UINT k = count; k > namedCount; --k) {
      line += (first ? L"" : L", ") + Describe(params->rgvarg[k - 1]);
      first = false;
    }
    if (!put) {
      for (UINT k = namedCount; k > 0; --k) {
        line += (first ? L"" : L", ") + NameOfId(params->rgdispidNamedArgs[k - 1]) + L"=" +
                Describe(params->rgvarg[k - 1]);
        first = false;
      }
    }
    line += L")";
    if (put) line += L" = " + Describe(params->rgvarg[0]);
    g_record += line + L"\n";

    if (put || !result) return S_OK;
    return Answer(name, count > namedCount ? &params->rgvarg[count - 1] : nullptr, result,
                  exception);
  }

 private:
  static std::wstring KindText(WORD flags) {
    std::wstring kinds;
    auto add = [&](WORD flag, const wchar_t* text) {
      if (flags & flag) kinds += (kinds.empty() ? L"" : L"|") + std::wstring(text);
    };
    add(DISPATCH_METHOD, L"call");
    add(DISPATCH_PROPERTYGET, L"get");
    add(DISPATCH_PROPERTYPUT, L"put");
    add(DISPATCH_PROPERTYPUTREF, L"putref");
    return kinds;
  }

  HRESULT Answer(const std::wstring& name, const VARIANT* firstArgument, VARIANT* result,
                 EXCEPINFO* exception) {
    const bool refusedSave = name == L"SaveAs" && firstArgument &&
                             V_VT(firstArgument) == VT_BSTR && V_BSTR(firstArgument) &&
                             std::wstring(V_BSTR(firstArgument)).find(L"cannot-save") !=
                                 std::wstring::npos;
    if (name == L"Fail" || refusedSave) {
      if (!exception) return E_FAIL;
      *exception = EXCEPINFO{};
      exception->bstrSource = SysAllocString(L"RecordingServer");
      exception->bstrDescription = SysAllocString(L"文件无法保存：磁盘已满");
      exception->scode = E_FAIL;
      return DISP_E_EXCEPTION;
    }
    if (name == L"Label") {
      V_VT(result) = VT_BSTR;
      V_BSTR(result) = SysAllocStringLen(label_.data(), static_cast<UINT>(label_.size()));
      return S_OK;
    }
    if (name == L"Count") {
      V_VT(result) = VT_I4;
      V_I4(result) = 2;
      return S_OK;
    }
    if (name == L"Visible") {
      V_VT(result) = VT_BOOL;
      V_BOOL(result) = VARIANT_TRUE;
      return S_OK;
    }
    if (name == L"Echo") {
      return firstArgument ? VariantCopyInd(result, const_cast<VARIANT*>(firstArgument)) : S_OK;
    }
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = new RecordingObject(label_ + L"." + name);
    return S_OK;
  }

  ULONG references_ = 1;
  std::wstring label_;
};

std::wstring Describe(IDispatch* object) {
  if (!object) return L"null object";
  IUnknown* own = nullptr;
  if (FAILED(object->QueryInterface(kRecordingObjectIid, reinterpret_cast<void**>(&own))))
    return L"foreign object";
  const std::wstring label = static_cast<RecordingObject*>(static_cast<IDispatch*>(own))->label();
  own->Release();
  return label;
}

class ClassFactory : public IClassFactory {
 public:
  explicit ClassFactory(const ClassEntry& entry) : entry_(entry) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // The factories are static: counting references would change nothing.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    const int number = ++g_instances[entry_.label];
    auto* object = new RecordingObject(entry_.label + std::to_wstring(number));
    const HRESULT result = object->QueryInterface(iid, out);
    object->Release();
    return result;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  const ClassEntry& entry_;
};

ClassFactory g_excelFactory(kClasses[0]);
ClassFactory g_wordFactory(kClasses[1]);

std::wstring ThisLibraryPath() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisLibraryPath), &self);
  std::wstring path(MAX_PATH * 4, L'\0');
  path.resize(GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

bool SetDefaultValue(const std::wstring& key, const std::wstring& value,
                     const wchar_t* valueName = nullptr) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG status =
      RegSetValueExW(handle, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return status == ERROR_SUCCESS;
}

}  // namespace

extern "C" {

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (clsid == kExcelClass) return g_excelFactory.QueryInterface(iid, out);
  if (clsid == kWordClass) return g_wordFactory.QueryInterface(iid, out);
  if (out) *out = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}

// The record lives in this library: it stays loaded while the test runs.
STDAPI DllCanUnloadNow() { return S_FALSE; }

// Registers both classes in the class registry. Windows keeps new keys of
// HKEY_CLASSES_ROOT with the machine's (an administrator's right); the tests
// run under Wine, in a Wine prefix of their own.
STDAPI DllRegisterServer() {
  const std::wstring path = ThisLibraryPath();
  for (const ClassEntry& entry : kClasses) {
    const std::wstring classKey = std::wstring(L"CLSID\\") + entry.clsidText;
    const std::wstring progIdKey = entry.progId;
    if (!SetDefaultValue(classKey + L"\\InprocServer32", path) ||
        !SetDefaultValue(classKey + L"\\InprocServer32", L"Apartment", L"ThreadingModel") ||
        !SetDefaultValue(classKey + L"\\ProgID", entry.progId) ||
        !SetDefaultValue(progIdKey + L"\\CLSID", entry.clsidText))
      return SELFREG_E_CLASS;
  }
  return S_OK;
}

STDAPI DllUnregisterServer() {
  for (const ClassEntry& entry : kClasses) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT,
                   (std::wstring(L"CLSID\\") + entry.clsidText).c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, entry.progId);
  }
  return S_OK;
}

// The calls received since the last clearing, one line each.
const wchar_t* RecordedCalls() { return g_record.c_str(); }
void ClearRecordedCalls() { g_record.clear(); }

}  // extern "C"
