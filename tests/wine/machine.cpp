// The test program's entry:
//   wine_tests.exe [--exe=<Windows path of the exe>] [GoogleTest flags]
// The tests write the product's keys and remove what they made: where the
// keys exist and this program did not leave them, the product is installed.
#include "machine.h"

int wmain(int argc, wchar_t** argv) {
  using namespace tavix;
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    if (std::wstring(argv[i]).rfind(L"--exe=", 0) == 0) g_exe = argv[i] + 6;
  }
  const std::wstring marker = L"Software\\Velmoran\\Velmoran Tavix tests running";
  bool installed = false;
  for (const auto& [root, path] : kKeys) {
    for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
      HKEY key = nullptr;
      installed |= RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) == ERROR_SUCCESS;
      if (key) RegCloseKey(key);
    }
  }
  if (installed && !GetValue(HKEY_CURRENT_USER, 0, marker, L"")) {
    std::fprintf(stderr,
                 "The product's keys exist here; these tests would change them. Refused.\n");
    return 2;
  }
  PutValue(HKEY_CURRENT_USER, 0, marker, L"", L"");
  const int result = RUN_ALL_TESTS();
  Reset();
  RegDeleteKeyW(HKEY_CURRENT_USER, marker.c_str());
  return result;
}
