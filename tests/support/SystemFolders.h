#pragma once
// The system's own folders and environment values, as the programs read them.

#include <string>

namespace tidewell::test {

// The variable's value; empty when it is unset or too long.
std::string Environment(const char* name);
std::string SystemFolder();   // C:\windows\system32
std::string WindowsFolder();  // C:\windows

}  // namespace tidewell::test
