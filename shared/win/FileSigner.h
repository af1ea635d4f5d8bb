#pragma once
// Who signed a file, from its embedded Authenticode signature, and whether
// the system trusts that signature. Never asks the user and never goes to the
// network for revocation lists.

#include <string>

#include "shared/text/FileSignature.h"

namespace tidewell {

// Unsigned also for a file that cannot be read.
FileSignature SignatureOf(const std::string& path);
// The same, remembered for the process's life per file, its size and its
// last write time, so a file that changed is checked again. Any thread.
FileSignature CachedSignatureOf(const std::string& path);
// What the windows show: SignatureText of the cached check, "no file" when
// there is no path or nothing is there.
std::string SignerTextOf(const std::string& path);

}  // namespace tidewell
