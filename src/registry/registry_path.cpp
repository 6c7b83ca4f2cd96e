#include "registry/registry_path.h"

namespace tavix {
namespace {

void AppendTrimmed(const std::wstring& path, std::size_t begin, std::size_t end,
                   std::vector<std::wstring>& components) {
  while (begin < end && path[begin] == L' ') ++begin;
  while (end > begin && path[end - 1] == L' ') --end;
  if (begin < end) components.emplace_back(path, begin, end - begin);
}

}  // namespace

void SplitRegistryPath(const std::wstring& path, const std::wstring& separators,
                       std::vector<std::wstring>& components) {
  components.clear();
  std::size_t pieceStart = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (separators.find(path[i]) != std::wstring::npos) {
      AppendTrimmed(path, pieceStart, i, components);
      pieceStart = i + 1;
    }
  }
  AppendTrimmed(path, pieceStart, path.size(), components);
}

}  // namespace tavix
