// Bends a Windows call for the product's code in this process: that code calls
// every system function through this program's import table, so a test points
// the function's entry at a replacement of the same type while a Bend lives.
#pragma once

#include <windows.h>

#include <cstring>
#include <map>
#include <stdexcept>
#include <string>

namespace tavix {

// Windows' own functions, by name, as found before the first Bend of each.
inline std::map<std::string, void*> g_originals;
#define TAVIX_REAL(name) reinterpret_cast<decltype(&::name)>(g_originals.at(#name))

template <typename F>
class Bend {
 public:
  Bend(const char* name, F replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* headers = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
        base + headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (; dll->Name != 0 && slot_ == nullptr; ++dll) {
      const auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
      for (std::size_t i = 0; names[i].u1.AddressOfData != 0 && slot_ == nullptr; ++i) {
        if (!IMAGE_SNAP_BY_ORDINAL(names[i].u1.Ordinal) &&
            std::strcmp(
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names[i].u1.AddressOfData)->Name,
                name) == 0)
          slot_ = reinterpret_cast<void**>(base + dll->FirstThunk) + i;
      }
    }
    if (slot_ == nullptr) throw std::runtime_error(std::string("not imported: ") + name);
    DWORD protection = 0;  // the table stays writable for the rest of the tests
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection);
    g_originals.emplace(name, *slot_);
    previous_ = *slot_;
    *slot_ = reinterpret_cast<void*>(replacement);
  }
  ~Bend() { *slot_ = previous_; }
  Bend(const Bend&) = delete;
  Bend& operator=(const Bend&) = delete;

 private:
  void** slot_ = nullptr;
  void* previous_ = nullptr;
};

// Bends `name` for the rest of the scope: TAVIX_BEND(GetTempPathW, [](DWORD, LPWSTR) WINAPI ...).
#define TAVIX_BEND(name, ...) const Bend<decltype(&::name)> bend_##name(#name, __VA_ARGS__)

}  // namespace tavix
