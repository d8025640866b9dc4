// Stays alive for a minute at most, so that a test can see it in the process list.
#include <windows.h>

int main() {
  Sleep(60000);
  return 0;
}
