#include "tidewell/spyware/ScanLocations.h"

#include <cstring>

#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/win/FileSystem.h"
#include "shared/win/TreeView.h"
#include "tidewell/spyware/QuietDriveProbe.h"

namespace tidewell {

namespace {

enum TreeImage { kImageScanMyPc = 5, kImageMyComputer = 6, kImageFolder = 7, kImageRegistry = 8, kImageMemory = 9,
                 kImageDrive = 10, kImageCookies = 11 };

void EnsureOpen(CADODatabase& database) {
  if (!database.IsOpen()) database.Open("", "", "");
}

bool HasRow(CADODatabase& database, const std::string& statement) {
  EnsureOpen(database);
  CADORecordset recordset(database);
  return recordset.Open(statement) && recordset.RecordCount() > 0;
}

void Run(CADODatabase& database, const std::string& statement) {
  EnsureOpen(database);
  CADORecordset recordset(database);
  recordset.Open(statement);
}

bool IsPlaceholder(HWND tree, HTREEITEM item) {
  return TreeItemData(tree, item) == 0 && TreeItemText(tree, item).empty();
}

void AddPlaceholder(HWND tree, HTREEITEM item) { InsertTreeItem(tree, item, "", 0, 0); }

void DeleteChildren(HWND tree, HTREEITEM item) {
  for (HTREEITEM child = TreeView_GetChild(tree, item); child;) {
    HTREEITEM next = TreeView_GetNextSibling(tree, child);
    TreeView_DeleteItem(tree, child);
    child = next;
  }
}

bool HasSubfolder(const std::string& folder) {
  bool found = false;
  ForEachFolderEntry(folder, [&](const FolderEntry& entry) {
    found = entry.IsFolder();
    return !found;
  });
  return found;
}

bool IsFolder(const std::string& path) {
  DWORD attributes = PathAttributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Hidden system folders (the recycle bin, System Volume Information) are not offered.
bool IsHiddenSystemFolder(DWORD attributes) {
  constexpr DWORD kHiddenSystem = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  return attributes == kHiddenSystem;
}

// True when the expansion goes on.
bool OnExpanding(CADODatabase& database, HWND tree, const NMTREEVIEWA& view) {
  HTREEITEM item = view.itemNew.hItem;
  if (TreeView_GetCheckState(tree, item) == 1) ApplyChoiceToChildren(database, tree, item, true);
  if (TreeItemData(tree, item) != kFileSystemItem) return true;
  QuietDriveProbe quiet;  // a card reader's drive may have no medium
  std::string path = FileSystemPath(tree, item);
  if (path.size() != 3 && !IsFolder(path)) {
    TreeView_DeleteItem(tree, item);  // vanished since it was listed
    return false;
  }
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  bool goOn = true;
  DeleteChildren(tree, item);
  if (view.action & TVE_EXPAND) {
    int inserted = 0;
    // Only plain names are listed: an item's text becomes part of a path.
    ForEachFolderEntry(path, [&](const FolderEntry& found) {
      if (!found.IsFolder() || IsHiddenSystemFolder(found.attributes)) return true;
      TVINSERTSTRUCTA insert{};
      insert.hParent = item;
      insert.hInsertAfter = TVI_SORT;
      insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
      insert.item.pszText = const_cast<char*>(found.name.c_str());
      insert.item.iImage = insert.item.iSelectedImage = kImageFolder;
      insert.item.lParam = kFileSystemItem;
      HTREEITEM child = TreeView_InsertItem(tree, &insert);
      ++inserted;
      // Junctions and links are listed but never opened: they lead outside the folder.
      if (child && !found.IsLink() && HasSubfolder(found.path)) AddPlaceholder(tree, child);
      return true;
    });
    goOn = inserted > 0;
  } else if (HasSubfolder(path)) {
    AddPlaceholder(tree, item);
  }
  SetCursor(previous);
  return goOn;
}

HTREEITEM ItemAtCursor(HWND tree, UINT* flags) {
  DWORD position = GetMessagePos();
  TVHITTESTINFO hit{};
  hit.pt = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
  ScreenToClient(tree, &hit.pt);
  HTREEITEM item = TreeView_HitTest(tree, &hit);
  *flags = hit.flags;
  return item;
}

}  // namespace

std::string JoinLocation(const std::vector<std::string>& texts) {
  std::string path;
  for (size_t i = 0; i < texts.size(); ++i) {
    if (i > 0 && (path.empty() || path.back() != '\\')) path += '\\';
    path += texts[i];
  }
  return path;
}

std::string LocationPath(HWND tree, HTREEITEM item) {
  std::vector<std::string> texts;
  for (HTREEITEM at = item; at; at = TreeView_GetParent(tree, at)) texts.insert(texts.begin(), TreeItemText(tree, at));
  return JoinLocation(texts);
}

std::string FileSystemPath(HWND tree, HTREEITEM item) {
  std::string location = LocationPath(tree, item);
  if (location.rfind(kMyComputerPrefix, 0) != 0) return {};
  return location.substr(std::strlen(kMyComputerPrefix));
}

std::vector<std::string> ListScanDrives() {
  std::vector<std::string> drives;
  char buffer[128] = {};
  DWORD length = GetLogicalDriveStringsA(sizeof buffer - 1, buffer);
  if (length == 0 || length >= sizeof buffer) return drives;
  for (const char* drive = buffer; *drive && drives.size() < 13 && drive < buffer + length; drive += 4) {
    UINT type = GetDriveTypeA(drive);
    if (type == DRIVE_UNKNOWN || type == DRIVE_NO_ROOT_DIR || type == DRIVE_RAMDISK) continue;
    drives.emplace_back(drive);
  }
  return drives;
}

void BuildLocationTree(HWND tree, const std::vector<std::string>& drives, CADODatabase& database) {
  TreeView_DeleteAllItems(tree);
  HTREEITEM root = InsertTreeItem(tree, TVI_ROOT, kScanRootText, kImageScanMyPc, 0);
  HTREEITEM computer = InsertTreeItem(tree, root, "My computer", kImageMyComputer, 0);
  InsertTreeItem(tree, root, "Registry", kImageRegistry, 0);
  InsertTreeItem(tree, root, "Memory", kImageMemory, 0);
  InsertTreeItem(tree, root, "Cookies", kImageCookies, 0);
  for (const std::string& drive : drives) {
    HTREEITEM item = InsertTreeItem(tree, computer, drive, kImageDrive, kFileSystemItem);
    AddPlaceholder(tree, item);
  }
  TreeView_Expand(tree, root, TVE_EXPAND);
  Run(database, "delete from spwscan");
}

void SaveLocationChoice(CADODatabase& database, const std::string& location, bool include) {
  const char* action = include ? "include" : "exclude";
  if (HasRow(database, FormatSql("select * from spwscan where [Location]='%s'", location)))
    Run(database, FormatSql("update spwscan set [Action]='%s' where [Location]='%s'", action, location));
  else
    Run(database, FormatSql("insert into spwscan([Location],[Action]) values('%s','%s')", location, action));
}

void ApplyChoiceToChildren(CADODatabase& database, HWND tree, HTREEITEM item, bool checked) {
  for (HTREEITEM child = TreeView_GetChild(tree, item); child; child = TreeView_GetNextSibling(tree, child)) {
    if (IsPlaceholder(tree, child)) continue;
    SaveLocationChoice(database, LocationPath(tree, child), checked);
    TreeView_SetCheckState(tree, child, checked);
    ApplyChoiceToChildren(database, tree, child, checked);
  }
}

void ToggleLocation(CADODatabase& database, HWND tree, HTREEITEM item) {
  if (!item || IsPlaceholder(tree, item)) return;
  bool wasChecked = TreeView_GetCheckState(tree, item) == 1;
  ApplyChoiceToChildren(database, tree, item, !wasChecked);
  SaveLocationChoice(database, LocationPath(tree, item), !wasChecked);
}

INT_PTR OnLocationTreeNotify(CADODatabase& database, HWND tree, const NMHDR& header) {
  switch (header.code) {
    case TVN_ITEMEXPANDINGA:
    case TVN_ITEMEXPANDINGW:
      // The A and W forms share the fields read here.
      return OnExpanding(database, tree, reinterpret_cast<const NMTREEVIEWA&>(header)) ? FALSE : TRUE;
    case NM_CLICK: {
      UINT flags = 0;
      HTREEITEM item = ItemAtCursor(tree, &flags);
      if (item && (flags & TVHT_ONITEMSTATEICON)) {
        TreeView_SelectItem(tree, item);
        ToggleLocation(database, tree, item);  // the box flips after this returns
      }
      return 0;
    }
    case TVN_KEYDOWN:
      if (reinterpret_cast<const NMTVKEYDOWN&>(header).wVKey == VK_SPACE)
        ToggleLocation(database, tree, TreeView_GetSelection(tree));
      return 0;
    default:
      return 0;
  }
}

bool IsMemoryIncluded(CADODatabase& database) {
  return HasRow(database, "select * from spwscan where [Location]='Scan my PC\\Memory' and [Action]='include'");
}
bool IsRegistryIncluded(CADODatabase& database) {
  return HasRow(database, "select * from spwscan where [Location]='Scan my PC\\Registry' and [Action]='include'");
}
bool IsCookiesIncluded(CADODatabase& database) {
  return HasRow(database, "select * from spwscan where [Location]='Scan my PC\\Cookies' and [Action]='include'");
}
bool IsMyComputerIncluded(CADODatabase& database) {
  return HasRow(database,
                FormatSql("select * from spwscan where [Location] like 'Scan my PC\\My computer%%' and [Action]='include'"));
}

std::vector<std::string> GetIncludedFolders(CADODatabase& database) {
  std::vector<std::string> folders;
  EnsureOpen(database);
  CADORecordset recordset(database);
  std::string statement = FormatSql(
      "select * from spwscan where [Location] like 'Scan my PC\\My computer%%' and [Location]<>'Scan my PC\\My "
      "computer' and [Action]='include'");
  if (!recordset.Open(statement) || recordset.RecordCount() == 0) return folders;
  for (recordset.MoveFirst(); !recordset.IsEOF(); recordset.MoveNext()) {
    std::string location;
    recordset.GetField("Location", location);
    if (location.rfind(kMyComputerPrefix, 0) == 0) folders.push_back(location.substr(std::strlen(kMyComputerPrefix)));
  }
  return folders;
}

bool HasAnyLocationRow(CADODatabase& database) { return HasRow(database, "select * from spwscan"); }

ScanScope ReadScanScope(CADODatabase& database) {
  ScanScope scope;
  scope.memory = IsMemoryIncluded(database);
  scope.cookies = IsCookiesIncluded(database);
  scope.registry = IsRegistryIncluded(database);
  scope.myComputer = IsMyComputerIncluded(database);
  if (scope.myComputer) scope.includedFolders = GetIncludedFolders(database);
  return scope;
}

}  // namespace tidewell
