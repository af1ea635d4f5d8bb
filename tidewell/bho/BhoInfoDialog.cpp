#include "tidewell/bho/BhoInfoDialog.h"

#include <commctrl.h>
#include <windowsx.h>

#include "resources/resource.h"
#include "shared/db/AdoRecordset.h"
#include "shared/db/SqlText.h"
#include "shared/net/ServerHosts.h"
#include "shared/win/FileSigner.h"
#include "shared/win/Prompt.h"
#include "tidewell/bho/BhoCatalog.h"
#include "tidewell/bho/BhoText.h"
#include "tidewell/shell/EventLog.h"

namespace tidewell {

BhoInfoFields LoadBhoInfo(CADODatabase& database, const std::string& clsid, BhoInfoSource source,
                          std::optional<RegistryView> view) {
  RegistryView where = view.value_or(BhoViewOf(clsid));
  BhoInfoFields fields;
  if (std::optional<BhoRow> row = FindBhoRow(database, clsid, kSelectBhoForInformation)) {
    fields.comments = row->comments;
    fields.name = row->name;
    fields.risk = row->risk;
  } else {
    fields.name = "Unknown BHO";
    fields.risk = "unknown";
  }
  fields.file = BhoFile(clsid, where);
  fields.clsid = clsid;
  int64_t written = 0;
  if (source == BhoInfoSource::TreeItem) written = KeyLastWriteTime(HKEY_CLASSES_ROOT, "CLSID\\" + clsid, where);
  if (written == 0) written = BhoLastWriteTime(clsid, where);
  fields.lastWriteTime = written ? FormatEventTime(written) : "unknown";
  return fields;
}

CBhoInfoDialog::CBhoInfoDialog(CADODatabase& database, BhoInfoFields fields, std::function<void()> requestRefresh)
    : database_(database), fields_(std::move(fields)), requestRefresh_(std::move(requestRefresh)) {}

std::string CBhoInfoDialog::ItemText(int id) const {
  HWND item = Item(id);
  std::string text(GetWindowTextLengthA(item) + 1, '\0');
  text.resize(GetWindowTextA(item, text.data(), static_cast<int>(text.size())));
  return text;
}

bool CBhoInfoDialog::OnInit() {
  initialising_ = true;
  submitFont_.Reset(CreateFontA(8, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial"));
  SetWindowFont(Item(IDB_BHO_SUBMIT), submitFont_.Get(), FALSE);
  SendMessageA(Item(IDC_BHO_INFO_PROGRESS), PBM_SETRANGE32, 0, 100);

  HWND risk = Item(IDC_BHO_RISK);
  int position = 0;
  for (const char* word : {"none", "medium", "high", "unknown"}) ComboBox_InsertString(risk, position++, word);

  SetDlgItemTextA(Handle(), IDC_BHO_FILE, fields_.file.c_str());
  SetDlgItemTextA(Handle(), IDC_BHO_CLASS_ID, fields_.clsid.c_str());
  SetWindowTextA(risk, fields_.risk.c_str());  // a word outside the list shows as it is
  SetDlgItemTextA(Handle(), IDC_BHO_LAST_WRITE, fields_.lastWriteTime.c_str());
  SetDlgItemTextA(Handle(), IDC_BHO_COMMENTS, fields_.comments.c_str());
  ShowSigner();

  if (!database_.IsOpen()) database_.Open();
  CADORecordset submitted(database_);
  bool wasSubmitted = submitted.Open(FormatSql("select * from BHOS where clsid='%s' and modified=2", fields_.clsid)) &&
                      submitted.RecordCount() > 0;
  std::string title = wasSubmitted ? fields_.name + " (submited)" : fields_.name;
  SetDlgItemTextA(Handle(), IDC_BHO_NAME, title.c_str());
  initialising_ = false;
  changed_ = false;
  return true;
}

bool CBhoInfoDialog::OnCommand(int id, int code) {
  if ((id == IDC_BHO_NAME || id == IDC_BHO_COMMENTS) && code == EN_CHANGE) {
    if (!initialising_) changed_ = true;
    return true;
  }
  if (id == IDC_BHO_RISK && (code == CBN_EDITCHANGE || code == CBN_SELCHANGE)) {
    if (!initialising_) changed_ = true;
    return true;
  }
  if (id == IDB_BHO_SUBMIT && code == BN_CLICKED) {
    SubmitBhoRecord();
    return true;
  }
  if (id == IDOK && code == BN_CLICKED) {
    SaveChanges();
    return true;
  }
  if (id == IDCANCEL && code == BN_CLICKED) {
    CloseDialog();
    return true;
  }
  return false;
}

BhoRecordFields CBhoInfoDialog::SaveChanges() {
  if (!database_.IsOpen()) database_.Open();
  HWND risk = Item(IDC_BHO_RISK);
  std::string riskWord = ItemText(IDC_BHO_RISK);
  // A selection made in the list may not have reached the edit text yet.
  int selected = ComboBox_GetCurSel(risk);
  if (selected >= 0) {
    char word[32] = {};
    if (ComboBox_GetLBTextLen(risk, selected) < static_cast<int>(sizeof word)) {
      ComboBox_GetLBText(risk, selected, word);
      riskWord = word;
    }
  }
  std::string name = RemoveSubmittedSuffix(ItemText(IDC_BHO_NAME));
  std::string comments = ItemText(IDC_BHO_COMMENTS);
  if (comments.empty()) comments = " ";

  CADORecordset existing(database_);
  bool hasRow = existing.Open(FormatSql("select * from BHOS where clsid='%s'", fields_.clsid)) &&
                existing.RecordCount() > 0;
  CADORecordset write(database_);
  if (hasRow)
    write.Open(FormatSql("update BHOS set risk='%s',name='%s',modified=1,comments='%s' where clsid='%s'", riskWord,
                         name, comments, fields_.clsid));
  else
    write.Open(FormatSql("insert into BHOS(clsid,risk,files,name,modified,comments) values('%s','%s','%s','%s',1,'%s')",
                         fields_.clsid, riskWord, fields_.file, name, comments));
  LogEvent(database_, "Modifications made to \"" + name + "\" were saved");
  if (requestRefresh_) requestRefresh_();
  return BhoRecordFields{name, fields_.clsid, fields_.file, riskWord, comments};
}

namespace {
constexpr UINT_PTR kSubmittedPauseTimer = 1;
}  // namespace

// A signature check may read a large file: it runs beside the dialog.
void CBhoInfoDialog::ShowSigner() {
  HWND signer = Item(IDC_BHO_SIGNER);
  SetWindowTextA(signer, "checking...");
  workers_.Start([reach = Reach(), signer, path = fields_.file](const StopToken&) {
    std::string text = SignerTextOf(path);
    reach.Post([signer, text] { SetWindowTextA(signer, text.c_str()); });
  });
}

void CBhoInfoDialog::SubmitBhoRecord() {
  HWND button = Item(IDB_BHO_SUBMIT);
  if (!IsWindowEnabled(button)) return;
  EnableWindow(button, FALSE);
  BhoRecordFields fields = SaveChanges();
  HWND progress = Item(IDC_BHO_INFO_PROGRESS);
  SendMessageA(progress, PBM_SETPOS, 0, 0);

  std::string host = UpdateServerHost();
  bool started = workers_.Start([this, reach = Reach(), host, fields, progress](const StopToken& token) {
    HttpHooks hooks;
    hooks.stopRequested = [token] { return token.StopRequested(); };
    hooks.progress = [reach, progress](size_t received, size_t expected) {
      int position = expected ? static_cast<int>(received * 100 / expected) : 50;
      reach.Post([progress, position] { SendMessageA(progress, PBM_SETPOS, position, 0); });
    };
    HttpResponse response = HttpFetch(host, BhoRecordPath(fields), {}, hooks);
    reach.Post([this, fields, response] { SubmissionAnswered(fields, response); });
  });
  if (!started) EnableWindow(button, TRUE);
}

void CBhoInfoDialog::SubmissionAnswered(const BhoRecordFields& fields, const HttpResponse& response) {
  SubmissionOutcome outcome = RecordBhoSubmission(database_, fields, response);
  if (!outcome.sent) {
    SendMessageA(Item(IDC_BHO_INFO_PROGRESS), PBM_SETPOS, 0, 0);
    Prompt(Handle(), "Unable to connect to server", "Tidewell", MB_OK);
    EnableWindow(Item(IDB_BHO_SUBMIT), TRUE);
    return;
  }
  SendMessageA(Item(IDC_BHO_INFO_PROGRESS), PBM_SETPOS, 100, 0);
  if (!outcome.marked) {
    // Sent, but the title must not claim what the database does not hold.
    Prompt(Handle(), "The record was sent, but Tidewell could not mark it as submitted in its database.", "Tidewell",
           MB_OK | MB_ICONWARNING);
    EnableWindow(Item(IDB_BHO_SUBMIT), TRUE);
    return;
  }
  // A short pause before the title says so; a timer keeps the dialog answering.
  submittedName_ = fields.name;
  SetTimer(Handle(), kSubmittedPauseTimer, 1000, nullptr);
}

void CBhoInfoDialog::OnTimer(UINT_PTR id) {
  if (id != kSubmittedPauseTimer) return;
  KillTimer(Handle(), kSubmittedPauseTimer);
  initialising_ = true;  // the suffix is no edit of the user's
  SetDlgItemTextA(Handle(), IDC_BHO_NAME, (submittedName_ + "(submited)").c_str());
  initialising_ = false;
  EnableWindow(Item(IDB_BHO_SUBMIT), TRUE);
}

void CBhoInfoDialog::OnDestroy() {
  KillTimer(Handle(), kSubmittedPauseTimer);
  workers_.StopAndWait();
}

void CBhoInfoDialog::CloseDialog() {
  if (changed_) {
    int answer = Prompt(Handle(), "Save changes?", "Tidewell registry backup", MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDCANCEL) return;
    if (answer == IDYES) SaveChanges();
  }
  End(IDCANCEL);
}

void ShowBhoInfo(HWND owner, CADODatabase& database, const std::string& clsid, BhoInfoSource source,
                 std::function<void()> requestRefresh, std::optional<RegistryView> view) {
  CBhoInfoDialog dialog(database, LoadBhoInfo(database, clsid, source, view), std::move(requestRefresh));
  dialog.DoModal(GetModuleHandleA(nullptr), IDD_BHO_INFO, owner);
}

}  // namespace tidewell
