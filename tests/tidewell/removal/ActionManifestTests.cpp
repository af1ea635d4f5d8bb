// The removal list's text: every kind of piece reads back as written, and a
// damaged line is refused, never half read.

#include <gtest/gtest.h>

#include <algorithm>

#include "tidewell/removal/ActionManifest.h"

namespace tidewell {
namespace {

KeptPiece FilePiece(std::string path, std::string kept) {
  KeptPiece piece;
  piece.path = std::move(path);
  piece.kept = std::move(kept);
  piece.attributes = 0x27;
  piece.created = 133000000000000001ull;
  piece.accessed = 133000000000000002ull;
  piece.written = 18446744073709551615ull;
  return piece;
}

KeptPiece RegistryPiece(KeptKind kind, std::string valueName) {
  KeptPiece piece;
  piece.kind = kind;
  piece.hive = "HKLM";
  piece.view = 32;
  piece.keyPath = "SOFTWARE\\Vendor\tTab\\100%";
  piece.valueName = std::move(valueName);
  piece.kept = "key7.reg";
  return piece;
}

TEST(ActionManifest, EveryKindOfPieceReadsBackAsWritten) {
  KeptPiece folder = FilePiece("\\\\server\\share\\dir", "");
  folder.kind = KeptKind::Folder;
  std::vector<KeptPiece> pieces = {
      FilePiece("C:\\Program Files\\Sp\xc3\xa4m\\a%41.dll", "kept\\1"),
      folder,
      RegistryPiece(KeptKind::Key, ""),
      RegistryPiece(KeptKind::Value, "line\r\nbreak\x01"),
      RegistryPiece(KeptKind::Value, ""),
      RegistryPiece(KeptKind::Written, "2"),
  };
  std::string text = ManifestText(pieces);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 7) << "one line each, after the header";

  ParsedManifest parsed = ParseManifest(text);

  EXPECT_TRUE(parsed.headerFound);
  EXPECT_TRUE(parsed.damaged.empty());
  EXPECT_EQ(parsed.pieces, pieces);
}

TEST(ActionManifest, DamagedLinesAreRefused) {
  const char* damaged[] = {
      "",
      "file",
      "disk\tC:\\a\tkept\\1\t0\t0\t0\t0",
      "file\tC:\\a\tkept\\1\t0\t0\t0",              // a field short
      "file\tC:\\a\tkept\\1\t0\t0\t0\t0\t0",        // a field over
      "file\tC:\\a\tkept\\1\tzz\t0\t0\t0",          // attributes not hex
      "file\tC:\\a\tkept\\1\t0\t-1\t0\t0",          // a negative time
      "file\tC:\\a\tkept\\1\t0\t99999999999999999999\t0\t0",
      "file\ta\\relative\tkept\\1\t0\t0\t0\t0",     // not a whole path
      "file\tC:\\a\\..\\b\tkept\\1\t0\t0\t0\t0",    // climbs
      "file\tC:\\a\t..\\outside\t0\t0\t0\t0",       // kept outside the action folder
      "file\tC:\\a\tC:\\elsewhere\t0\t0\t0\t0",
      "file\tC:\\a\t\t0\t0\t0\t0",                  // a file must be kept somewhere
      "folder\tC:\\a\tkept\\1\t0\t0\t0\t0",         // a folder is made again, never kept
      "file\tC:\\a%2\tkept\\1\t0\t0\t0\t0",         // a cut escape
      "file\tC:\\a%G0\tkept\\1\t0\t0\t0\t0",
      "file\tC:\\\xff\tkept\\1\t0\t0\t0\t0",          // not UTF-8
      "key\tHKXX\t0\tSoftware\\A\tkey1.reg",        // no such hive
      "key\tHKCU\t16\tSoftware\\A\tkey1.reg",       // no such view
      "key\tHKCU\t0\t\\Software\\A\tkey1.reg",
      "key\tHKCU\t0\tSoftware\\A\t..\\key1.reg",
      "value\tHKCU\t0\tSoftware\\A\tkey1.reg",      // the value's name is missing
  };
  for (const char* line : damaged) EXPECT_FALSE(ParseManifestLine(line)) << line;

  ParsedManifest parsed = ParseManifest(std::string(kActionManifestHeader) + "\r\nfile\tC:\\a\r\n\r\n" +
                                        ManifestLine(FilePiece("C:\\b", "kept\\2")) + "\r\n");
  EXPECT_EQ(parsed.damaged, std::vector<std::string>{"file\tC:\\a"});
  ASSERT_EQ(parsed.pieces.size(), 1u);
  EXPECT_EQ(parsed.pieces[0].path, "C:\\b");
}

TEST(ActionManifest, ATextWithoutTheHeaderGivesNothing) {
  ParsedManifest parsed = ParseManifest(ManifestLine(FilePiece("C:\\b", "kept\\2")) + "\r\n");
  EXPECT_FALSE(parsed.headerFound);
  EXPECT_TRUE(parsed.pieces.empty());
}

}  // namespace
}  // namespace tidewell
