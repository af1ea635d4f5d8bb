// Any bytes as a removal list: the parser must stay inside the input, end,
// and give only pieces that are written back the same and whose kept names
// cannot leave the action folder.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tidewell/removal/ActionManifest.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// A part of only dots, or a drive or root: what could name a place outside.
bool ClimbsOut(std::string_view name) {
  if (name.front() == '\\' || name.find(':') != std::string_view::npos) return true;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = std::min(name.find('\\', start), name.size());
    std::string_view part = name.substr(start, end - start);
    if (part.find_first_not_of('.') == std::string_view::npos) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  tidewell::ParsedManifest parsed = tidewell::ParseManifest(text);
  if (!parsed.headerFound) Require(parsed.pieces.empty() && parsed.damaged.empty());
  for (const tidewell::KeptPiece& piece : parsed.pieces) {
    if (piece.kind == tidewell::KeptKind::Folder)
      Require(piece.kept.empty());
    else
      Require(tidewell::IsKeptName(piece.kept) && !ClimbsOut(piece.kept));
    std::optional<tidewell::KeptPiece> again = tidewell::ParseManifestLine(tidewell::ManifestLine(piece));
    Require(again && *again == piece);
  }
  // A single line alone, as the restore reads each.
  if (std::optional<tidewell::KeptPiece> piece = tidewell::ParseManifestLine(text))
    Require(tidewell::ParseManifestLine(tidewell::ManifestLine(*piece)) == piece);
  return 0;
}
