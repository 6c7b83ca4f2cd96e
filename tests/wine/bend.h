// Bends a Windows call for the product's code in this process: that code
// calls every system function through this program's import table, so a test
// points the function's entry at a replacement of the same type while a Bend
// lives, and the code under test never knows.
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
    const IMAGE_DATA_DIRECTORY& imports =
        reinterpret_cast<IMAGE_NT_HEADERS*>(base +
                                            reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew)
            ->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         dll->Name != 0 && slot_ == nullptr; ++dll) {
      auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
      for (std::size_t i = 0; names[i].u1.AddressOfData != 0 && slot_ == nullptr; ++i) {
        const auto* byName =
            reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names[i].u1.AddressOfData);
        if (!IMAGE_SNAP_BY_ORDINAL(names[i].u1.Ordinal) && std::strcmp(byName->Name, name) == 0)
          slot_ = reinterpret_cast<void**>(base + dll->FirstThunk) + i;
      }
    }
    if (slot_ == nullptr) throw std::runtime_error(std::string("not imported: ") + name);
    g_originals.emplace(name, *slot_);
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
  void** slot_ = nullptr;
  F previous_;
};

// Bends `name` for the rest of the scope: TAVIX_BEND(GetTempPathW, [](DWORD, LPWSTR) WINAPI ...).
#define TAVIX_BEND(name, ...) const Bend<decltype(&::name)> bend_##name(#name, __VA_ARGS__)

}  // namespace tavix
