#include "registry/registry_path.h"

namespace tavix {
namespace {

void AppendTrimmed(const std::u16string& path, std::size_t begin, std::size_t end,
                   std::vector<std::u16string>& components) {
  while (begin < end && path[begin] == u' ') ++begin;
  while (end > begin && path[end - 1] == u' ') --end;
  if (begin < end) components.emplace_back(path, begin, end - begin);
}

}  // namespace

void SplitRegistryPath(const std::u16string& path, const std::u16string& separators,
                       std::vector<std::u16string>& components) {
  components.clear();
  std::size_t pieceStart = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (separators.find(path[i]) != std::u16string::npos) {
      AppendTrimmed(path, pieceStart, i, components);
      pieceStart = i + 1;
    }
  }
  AppendTrimmed(path, pieceStart, path.size(), components);
}

}  // namespace tavix
