#pragma once
// Unix symbolic links in the test prefix, made and removed from the Linux
// side: Wine cannot make them itself (CreateSymbolicLink reports success and
// makes nothing), yet shows them to programs as reparse points.

#include <string>

namespace tidewell::test {

// Wine's Unix path of a Windows path; empty outside Wine.
std::string UnixPath(const std::string& path);
// Starts a command line (a Unix program through Z:) and waits a little.
bool RunUnix(const std::string& line);
// A Unix symbolic link at link pointing to target (both Windows paths).
bool MakeUnixSymlink(const std::string& link, const std::string& target);
// Removes a link from the Unix side, which Wine 8 cannot do for a folder link.
void RemoveUnixLink(const std::string& link);

}  // namespace tidewell::test
