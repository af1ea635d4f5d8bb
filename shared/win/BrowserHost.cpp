#include "shared/win/BrowserHost.h"

#include <exdisp.h>
#include <ole2.h>
#include <oleidl.h>

#include <atomic>
#include <vector>

#include "shared/win/ComPtr.h"

namespace tidewell {

namespace {

constexpr const char* kWindowClass = "TidewellBrowserHost";

// The HTML engine behind the control. The control itself can often be
// created without it (Wine's builds it apart from the engine) and would then
// stay blank, so the engine is asked for first.
constexpr CLSID kHtmlDocumentClass = {0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

// The container side of in-place activation: client site, in-place site and
// a frame with no menus, tool space or accelerators of its own.
class BrowserSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  explicit BrowserSite(HWND window) : window_(window) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
      *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
      *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
      *out = static_cast<IOleInPlaceFrame*>(this);
    else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IOleWindow (shared by the in-place site and the frame)
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = window_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    if (!frame || !document || !position || !clip || !info) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    GetClientRect(window_, position);
    *clip = *position;
    info->fMDIApp = FALSE;
    info->hwndFrame = GetAncestor(window_, GA_ROOT);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  // The container decides the size (WM_SIZE of its window).
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow, IOleInPlaceFrame: no tool space, menus or status bar.
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  ~BrowserSite() = default;  // through Release only

  HWND window_;
  std::atomic<ULONG> references_{1};
};

bool RegisterHostClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  if (GetClassInfoExA(instance, kWindowClass, &windowClass)) return true;
  windowClass = WNDCLASSEXA{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  return RegisterClassExA(&windowClass) != 0;
}

// An owned BSTR for one call.
class BString {
 public:
  explicit BString(const std::string& text) {
    int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::vector<wchar_t> wide(static_cast<size_t>(length) + 1);
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    value_ = SysAllocStringLen(wide.data(), static_cast<UINT>(length));
  }
  ~BString() { SysFreeString(value_); }
  BString(const BString&) = delete;
  BString& operator=(const BString&) = delete;
  BSTR Get() const { return value_; }

 private:
  BSTR value_ = nullptr;
};

}  // namespace

struct BrowserHost::Com {
  ComPtr<BrowserSite> site;
  ComPtr<IOleObject> object;
  ComPtr<IOleInPlaceObject> inPlace;
  ComPtr<IWebBrowser2> browser;
};

BrowserHost::BrowserHost() : com_(std::make_unique<Com>()) {}

BrowserHost::~BrowserHost() {
  Close();
  if (window_ && IsWindow(window_)) {
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  if (oleStarted_) OleUninitialize();
}

std::unique_ptr<BrowserHost> BrowserHost::Create(HWND parent, const RECT& area, Engine engine) {
  std::unique_ptr<BrowserHost> host(new BrowserHost);
  // In-place activation needs OLE on this (single-threaded) thread.
  if (FAILED(OleInitialize(nullptr))) return nullptr;
  host->oleStarted_ = true;

  if (engine == Engine::Required) {
    ComPtr<IUnknown> document;
    if (FAILED(CoCreateInstance(kHtmlDocumentClass, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                document.PutVoid())))
      return nullptr;
  }

  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterHostClass(instance, &BrowserHost::WindowProcedure)) return nullptr;
  host->window_ = CreateWindowExA(0, kWindowClass, "", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, area.left,
                                  area.top, area.right - area.left, area.bottom - area.top, parent, nullptr, instance,
                                  nullptr);
  if (!host->window_) return nullptr;
  SetWindowLongPtrA(host->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host.get()));

  Com& com = *host->com_;
  if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                              com.object.PutVoid())))
    return nullptr;
  com.site = ComPtr<BrowserSite>(new BrowserSite(host->window_));
  if (FAILED(com.object->SetClientSite(com.site.Get()))) return nullptr;
  OleSetContainedObject(com.object.Get(), TRUE);
  RECT client{0, 0, area.right - area.left, area.bottom - area.top};
  if (FAILED(com.object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, com.site.Get(), 0, host->window_, &client)))
    return nullptr;
  com.inPlace = com.object.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
  com.browser = com.object.As<IWebBrowser2>(IID_IWebBrowser2);
  if (!com.inPlace || !com.browser) return nullptr;
  com.browser->put_Silent(VARIANT_TRUE);  // no script-error boxes over the main window
  return host;
}

void BrowserHost::Close() {
  Com& com = *com_;
  if (com.inPlace) com.inPlace->InPlaceDeactivate();
  if (com.object) {
    com.object->Close(OLECLOSE_NOSAVE);
    com.object->SetClientSite(nullptr);
  }
  com.browser.Reset();
  com.inPlace.Reset();
  com.object.Reset();
  com.site.Reset();
}

bool BrowserHost::Navigate(const std::string& url) {
  if (!com_->browser) return false;
  BString address(url);
  if (!address.Get()) return false;
  VARIANT none;
  VariantInit(&none);
  return SUCCEEDED(com_->browser->Navigate(address.Get(), &none, &none, &none, &none));
}

void BrowserHost::Place(const RECT& area) {
  SetWindowPos(window_, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
               SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void BrowserHost::Hide() {
  SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
}

LRESULT CALLBACK BrowserHost::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* host = reinterpret_cast<BrowserHost*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (host) {
    if (message == WM_SIZE && host->com_->inPlace) {
      RECT client{0, 0, LOWORD(lParam), HIWORD(lParam)};
      host->com_->inPlace->SetObjectRects(&client, &client);
    } else if (message == WM_DESTROY) {
      // The parent goes first (the dialog ends): end the control while its
      // windows still exist.
      host->Close();
      host->window_ = nullptr;
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace tidewell
