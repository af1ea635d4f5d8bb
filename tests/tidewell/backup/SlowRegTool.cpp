// Stands in for a reg.exe that does not end, whatever it is asked.

#include <windows.h>

int main() {
  Sleep(60000);
  return 0;
}
