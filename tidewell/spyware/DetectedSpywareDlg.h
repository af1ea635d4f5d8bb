#pragma once
// "Detected spyware" (dialog 167): the detections of one scan, all ticked at
// first; "Remove selected entries" removes the ticked ones on a worker. A row
// leaves the list only when its target is gone; the others stay, and one
// message names them.

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "shared/win/Dialog.h"
#include "shared/win/Handles.h"
#include "shared/win/Workers.h"
#include "tidewell/shell/LayoutAnchors.h"
#include "tidewell/shell/SkinButton.h"
#include "tidewell/spyware/Definitions.h"
#include "tidewell/spyware/SpywareRemoval.h"
#include "tidewell/spyware/SpywareScan.h"

namespace tidewell {

class CDetectedSpywareDlg : public Dialog {
 public:
  // closed runs on the UI thread once the dialog has gone (by Close or with its owner).
  CDetectedSpywareDlg(std::vector<Detection> detections, std::shared_ptr<const SpywareDefinitions> definitions,
                      RemovalSettings settings, std::function<void()> closed);
  ~CDetectedSpywareDlg() override;

  // Modeless, owned by the main window.
  HWND Show(HWND owner);
  // Whether a removal is at work.
  bool Busy() const { return busy_; }
  // The detection a list row stands for.
  const Detection* RowDetection(int row) const;

 protected:
  bool OnInit() override;
  bool OnCommand(int id, int code) override;
  INT_PTR OnNotify(const NMHDR& header) override;
  void OnSize(UINT type, int width, int height) override;
  void OnDestroy() override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  void FillDetectionList();
  void SelectAll();
  void RemoveSelectedEntries();
  void OnRemoved(const std::vector<std::pair<size_t, RemovalOutcome>>& outcomes);
  void Close();

  std::vector<Detection> detections_;
  std::shared_ptr<const SpywareDefinitions> definitions_;
  RemovalSettings settings_;
  std::function<void()> closed_;
  CLayoutAnchors layout_;
  std::array<CSkinButton, 2> skinButtons_;  // Remove selected entries, Close
  UniqueImageList images_;
  bool busy_ = false;
  WorkerGroup workers_;
};

}  // namespace tidewell
