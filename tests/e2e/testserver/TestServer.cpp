// A genuine in-process COM server that registers itself as a browser helper object. The
// end-to-end tests hand it to the system's regsvr32 and then watch its own unregistration remove
// its class key, which the program itself never touches.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <new>

namespace {

// {5A3C9E21-7B4D-4F86-A1E2-3C5D7F9B0E64}
const CLSID kHelperClsid = {
    0x5a3c9e21, 0x7b4d, 0x4f86, {0xa1, 0xe2, 0x3c, 0x5d, 0x7f, 0x9b, 0x0e, 0x64}};
const char kClassKeyPath[] = "CLSID\\{5A3C9E21-7B4D-4F86-A1E2-3C5D7F9B0E64}";
const char kRegistrationKeyPath[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper "
    "Objects\\{5A3C9E21-7B4D-4F86-A1E2-3C5D7F9B0E64}";
const char kDisplayName[] = "Velloran Test Helper";

HMODULE g_module = nullptr;
// Live helper objects plus outstanding IClassFactory::LockServer(TRUE) calls.
LONG g_serverLocks = 0;

// The one interface a browser helper object must offer: the browser hands it its site.
class Helper final : public IObjectWithSite {
 public:
  Helper() { InterlockedIncrement(&g_serverLocks); }
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IObjectWithSite)) {
      *object = static_cast<IObjectWithSite*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP SetSite(IUnknown* site) override {
    if (site != nullptr) site->AddRef();
    if (site_ != nullptr) site_->Release();
    site_ = site;
    return S_OK;
  }
  STDMETHODIMP GetSite(REFIID iid, void** site) override {
    if (site == nullptr) return E_POINTER;
    *site = nullptr;
    return site_ == nullptr ? E_FAIL : site_->QueryInterface(iid, site);
  }

 private:
  ~Helper() {
    if (site_ != nullptr) site_->Release();
    InterlockedDecrement(&g_serverLocks);
  }

  LONG references_ = 1;
  IUnknown* site_ = nullptr;
};

// A static object: its lifetime is the module's, so reference counting is only for callers.
class Factory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    Helper* helper = new (std::nothrow) Helper;
    if (helper == nullptr) return E_OUTOFMEMORY;
    const HRESULT result = helper->QueryInterface(iid, object);
    helper->Release();
    return result;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) {
      InterlockedIncrement(&g_serverLocks);
    } else {
      InterlockedDecrement(&g_serverLocks);
    }
    return S_OK;
  }
};

Factory g_factory;

LONG SetText(HKEY root, const char* path, const char* name, const char* text) {
  HKEY key = nullptr;
  LONG status = RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(lstrlenA(text) + 1));
  RegCloseKey(key);
  return status;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, kHelperClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() { return g_serverLocks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(g_module, path, sizeof path);
  if (length == 0 || length >= sizeof path) return SELFREG_E_CLASS;

  char serverKeyPath[sizeof kClassKeyPath + sizeof "\\InprocServer32"];
  lstrcpyA(serverKeyPath, kClassKeyPath);
  lstrcatA(serverKeyPath, "\\InprocServer32");

  if (SetText(HKEY_CLASSES_ROOT, kClassKeyPath, "", kDisplayName) != ERROR_SUCCESS ||
      SetText(HKEY_CLASSES_ROOT, serverKeyPath, "", path) != ERROR_SUCCESS ||
      SetText(HKEY_CLASSES_ROOT, serverKeyPath, "ThreadingModel", "Apartment") != ERROR_SUCCESS) {
    return SELFREG_E_CLASS;
  }
  HKEY registration = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRegistrationKeyPath, 0, nullptr, 0, KEY_WRITE, nullptr,
                      &registration, nullptr) != ERROR_SUCCESS) {
    return SELFREG_E_CLASS;
  }
  RegCloseKey(registration);
  return S_OK;
}

// Removes the class key only. The helper-object registration key is left in place on purpose:
// deleting it is the program's job, and the end-to-end tests must see the program do it.
STDAPI DllUnregisterServer() {
  const LONG status = RegDeleteTreeA(HKEY_CLASSES_ROOT, kClassKeyPath);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}
