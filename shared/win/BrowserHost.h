#pragma once
// The system's web browser control (CLSID_WebBrowser) in a child window of a
// dialog: a minimal in-place OLE container, enough to show and navigate
// pages. Where the control or its HTML engine is missing (Wine without its
// browser engine, say), Create says so and the caller shows something else.

#include <windows.h>

#include <memory>
#include <string>

namespace tidewell {

class BrowserHost {
 public:
  // NotChecked hosts the control even without its HTML engine, where it
  // shows nothing; that lets tests drive the container where the engine is
  // missing.
  enum class Engine { Required, NotChecked };

  // The control placed at area (client coordinates of parent); nothing, and
  // no window left behind, when it cannot be created. UI thread only.
  static std::unique_ptr<BrowserHost> Create(HWND parent, const RECT& area, Engine engine = Engine::Required);
  ~BrowserHost();
  BrowserHost(const BrowserHost&) = delete;
  BrowserHost& operator=(const BrowserHost&) = delete;

  // Starts loading the page; false when the control refused the address.
  bool Navigate(const std::string& url);
  // Shows the control over area, above its siblings.
  void Place(const RECT& area);
  // Out of sight: 0 by 0 at (0, 0).
  void Hide();
  // The window that holds the control.
  HWND Window() const { return window_; }

 private:
  struct Com;
  BrowserHost();
  void Close();  // ends the control; safe to call twice
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  bool oleStarted_ = false;
  std::unique_ptr<Com> com_;
};

}  // namespace tidewell
