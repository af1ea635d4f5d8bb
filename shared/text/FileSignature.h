#pragma once
// Who signed a file and how far the system trusts that signature, in a form
// every build can show (the check itself is Windows-only: shared/win/FileSigner.h).

#include <string>

namespace tidewell {

struct FileSignature {
  enum class State { Unsigned, Trusted, NotTrusted, Changed };
  State state = State::Unsigned;
  // The signing certificate's display name; empty when there is none.
  std::string signer;
};

// "signed by <name>", with "(not trusted)" or "(changed after signing)"
// behind it, or "unsigned".
std::string SignatureText(const FileSignature& signature);

}  // namespace tidewell
