// Stands in for a reg.exe that hangs part way: an export has begun its file.

#include <windows.h>

#include <cstring>
#include <fstream>

int main(int argc, char** argv) {
  if (argc > 3 && std::strcmp(argv[1], "export") == 0)
    std::ofstream(argv[3], std::ios::binary) << "Windows Registry Editor Version 5.00\r\n\r\n";
  Sleep(60000);
  return 0;
}
