// The yardstick for the run's time: a GUI-subsystem program that opens the
// product's key and reads one value, and does nothing else.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  HKEY key = nullptr;
  wchar_t value[64] = {};
  DWORD size = sizeof value;
  LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                              L"Software\\Velmoran\\Velmoran Tavix\\R1.0\\ProductSpecific", 0,
                              KEY_READ | KEY_WOW64_32KEY, &key);
  if (result == ERROR_SUCCESS) {
    result = RegQueryValueExW(key, L"BuildVersion", nullptr, nullptr,
                              reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
  }
  return static_cast<int>(result);
}
