#include "shared/text/FileSignature.h"

namespace tidewell {

std::string SignatureText(const FileSignature& signature) {
  using State = FileSignature::State;
  if (signature.state == State::Unsigned) return "unsigned";
  // A signature whose certificate could not be read still says it is signed.
  std::string text = signature.signer.empty() ? "signed" : "signed by " + signature.signer;
  if (signature.state == State::NotTrusted) text += " (not trusted)";
  if (signature.state == State::Changed) text += " (changed after signing)";
  return text;
}

}  // namespace tidewell
