// A GUI-subsystem program that does nothing: the yardstick for start-up time.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
