// Keeps Wine's desktop up for the whole test session. Wine closes the desktop about a second after
// its last program ends and starts it again (over a second) for the next: test programs that
// follow one another would each pay for that. It shows nothing and waits until the session ends.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // A window that is never shown ties this program to the desktop.
  HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  MSG message;
  while (window && GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}
