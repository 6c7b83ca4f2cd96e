// Bending a Windows call for the product's code in this process: the code
// calls every system function through this program's import table, so a test
// points that function's entry at a replacement of the same type while a
// Bend lives, and the code under test never knows.
#ifndef TAVIX_TESTS_WINE_BEND_H_
#define TAVIX_TESTS_WINE_BEND_H_

#include <windows.h>

#include <cstring>
#include <map>
#include <string>

namespace tavix {

// The import table entry of `name` in this program, or null.
inline void** ImportSlot(const char* name) {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const DWORD imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports); dll->Name; ++dll) {
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (!IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) &&
          std::strcmp(
              reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name,
              name) == 0)
        return reinterpret_cast<void**>(&slots->u1.Function);
    }
  }
  return nullptr;
}

// Windows' own function behind `name`, whatever is bent at the moment.
inline std::map<std::string, void*>& Originals() {
  static std::map<std::string, void*> originals;
  return originals;
}
#define TAVIX_REAL(name) reinterpret_cast<decltype(&::name)>(Originals().at(#name))

template <typename F>
class Bend {
 public:
  Bend(const char* name, F replacement) : slot_(ImportSlot(name)) {
    if (slot_ == nullptr) throw std::runtime_error(std::string("not imported: ") + name);
    Originals().emplace(name, *slot_);
    previous_ = Swap(replacement);
  }
  ~Bend() { Swap(previous_); }
  Bend(const Bend&) = delete;
  Bend& operator=(const Bend&) = delete;

 private:
  F Swap(F to) {
    DWORD protection = 0;
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection);
    const F was = reinterpret_cast<F>(*slot_);
    *slot_ = reinterpret_cast<void*>(to);
    VirtualProtect(slot_, sizeof *slot_, protection, &protection);
    return was;
  }
  void** slot_;
  F previous_;
};

// Bends `name` for the rest of the scope: TAVIX_BEND(GetTempPathW, [](DWORD, LPWSTR) WINAPI ...).
#define TAVIX_BEND(name, ...) const Bend<decltype(&::name)> bend_##name(#name, __VA_ARGS__)

}  // namespace tavix

#endif  // TAVIX_TESTS_WINE_BEND_H_
