#include "platform/sim_platform.h"

#include <algorithm>
#include <cstring>

namespace tavix {
namespace {

constexpr LONG kErrorKeyDeleted = 1018;
constexpr REGSAM kDelete = 0x10000;
constexpr REGSAM kViewFlags = kKeyWow64_32Key | kKeyWow64_64Key;

// Registry names and file paths compare as Windows compares them: without
// regard to letter case (ASCII folding is all that this system's names need).
std::u16string Fold(const std::u16string& text) {
  std::u16string folded = text;
  for (char16_t& c : folded) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return folded;
}

// A path with '\\' for '/' and no separator at its end.
std::u16string Plain(const std::u16string& path) {
  std::u16string plain = path;
  std::replace(plain.begin(), plain.end(), u'/', u'\\');
  while (plain.size() > 1 && plain.back() == u'\\') plain.pop_back();
  return plain;
}

std::u16string ParentFolder(const std::u16string& path) {
  const std::size_t cut = path.find_last_of(u'\\');
  return cut == std::u16string::npos ? std::u16string() : path.substr(0, cut);
}

// Copies `text` into a buffer of `size` units as the path calls do.
DWORD CopyOut(const std::u16string& text, char16_t* buffer, DWORD size) {
  if (text.size() + 1 > size) return static_cast<DWORD>(text.size() + 1);
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = u'\0';
  return static_cast<DWORD>(text.size());
}

std::u16string TextOf(const char16_t* text) { return text ? std::u16string(text) : u"<null>"; }

}  // namespace

struct SimPlatform::Node {
  std::u16string name;
  std::map<std::u16string, std::shared_ptr<Node>> children;  // by folded name
  std::map<std::u16string, Value> values;                    // by folded name
  REGSAM denied = 0;
  std::weak_ptr<Node> parent;
  bool deleted = false;

  std::shared_ptr<Node> Child(const std::u16string& childName) const {
    const auto it = children.find(Fold(childName));
    return it == children.end() ? nullptr : it->second;
  }
};

SimPlatform::SimPlatform() {
  for (const HKEY root : {HkeyClassesRoot(), HkeyCurrentUser(), HkeyLocalMachine(), HkeyUsers()}) {
    roots_[reinterpret_cast<std::uintptr_t>(root)] = std::make_shared<Node>();
  }
  Make(HkeyLocalMachine(), 0, u"Software\\Wow6432Node");
  hklmSoftware_ = Find(HkeyLocalMachine(), 0, u"Software");
  tempPath_.text = u"C:\\Users\\user\\AppData\\Local\\Temp\\";
  windowsDirectory_.text = u"C:\\windows";
  AddFolder(tempPath_.text);
  AddFolder(windowsDirectory_.text);
  AddFolder(kCurrentDirectory);
}

SimPlatform::~SimPlatform() = default;

// --- Registry internals ----------------------------------------------------

std::shared_ptr<SimPlatform::Node> SimPlatform::RootNode(HKEY root) const {
  const auto it = roots_.find(reinterpret_cast<std::uintptr_t>(root));
  return it == roots_.end() ? nullptr : it->second;
}

std::shared_ptr<SimPlatform::Node> SimPlatform::NodeOf(HKEY key) const {
  if (auto root = RootNode(key)) return root;
  const auto it = handles_.find(reinterpret_cast<std::uintptr_t>(key));
  return it == handles_.end() ? nullptr : it->second.node;
}

std::shared_ptr<SimPlatform::Node> SimPlatform::Redirect(const std::shared_ptr<Node>& node,
                                                         REGSAM view) const {
  if ((view & kKeyWow64_32Key) != 0 && node == hklmSoftware_) {
    return node->Child(u"Wow6432Node");
  }
  return node;
}

LONG SimPlatform::Walk(const std::shared_ptr<Node>& start, const std::u16string& path, REGSAM view,
                       bool create, std::shared_ptr<Node>& found, bool& created) const {
  created = false;
  std::shared_ptr<Node> node = Redirect(start, view);
  std::size_t begin = 0;
  while (begin < path.size()) {
    std::size_t end = path.find(u'\\', begin);
    if (end == std::u16string::npos) end = path.size();
    const std::u16string name = path.substr(begin, end - begin);
    begin = end + 1;
    // Repeated and trailing separators name no key; the real registry skips
    // them (only a leading one is a bad path, checked by the callers).
    if (name.empty()) continue;
    std::shared_ptr<Node> child = node->Child(name);
    if (!child) {
      if (!create) return kErrorFileNotFound;
      if ((node->denied & kKeyCreateSubKey) != 0) return kErrorAccessDenied;
      child = std::make_shared<Node>();
      child->name = name;
      child->parent = node;
      node->children[Fold(name)] = child;
      created = true;
    }
    node = Redirect(child, view);
    if (!node) return kErrorFileNotFound;
  }
  found = node;
  return kErrorSuccess;
}

std::shared_ptr<SimPlatform::Node> SimPlatform::Find(HKEY root, REGSAM view,
                                                     const std::u16string& path) const {
  std::shared_ptr<Node> found;
  bool created = false;
  return Walk(RootNode(root), path, view, false, found, created) == kErrorSuccess ? found : nullptr;
}

std::shared_ptr<SimPlatform::Node> SimPlatform::Make(HKEY root, REGSAM view,
                                                     const std::u16string& path) {
  std::shared_ptr<Node> found;
  bool created = false;
  Walk(RootNode(root), path, view, true, found, created);
  return found;
}

HKEY SimPlatform::NewHandle(std::shared_ptr<Node> node, REGSAM access) {
  const std::uintptr_t value = nextHandle_;
  nextHandle_ += 4;
  handles_[value] = Handle{std::move(node), access};
  return reinterpret_cast<HKEY>(value);
}

// --- Set-up and inspection -------------------------------------------------

void SimPlatform::CreateKey(HKEY root, REGSAM view, const std::u16string& path) {
  Make(root, view, path);
}

void SimPlatform::SetValue(HKEY root, REGSAM view, const std::u16string& path,
                           const std::u16string& name, DWORD type, std::vector<BYTE> data) {
  Make(root, view, path)->values[Fold(name)] = Value{type, std::move(data)};
}

void SimPlatform::SetString(HKEY root, REGSAM view, const std::u16string& path,
                            const std::u16string& name, const std::u16string& text, DWORD type) {
  std::vector<BYTE> data((text.size() + 1) * sizeof(char16_t), 0);
  std::memcpy(data.data(), text.data(), text.size() * sizeof(char16_t));
  SetValue(root, view, path, name, type, std::move(data));
}

void SimPlatform::RemoveValue(HKEY root, REGSAM view, const std::u16string& path,
                              const std::u16string& name) {
  if (const std::shared_ptr<Node> node = Find(root, view, path)) node->values.erase(Fold(name));
}

bool SimPlatform::KeyExists(HKEY root, REGSAM view, const std::u16string& path) const {
  return Find(root, view, path) != nullptr;
}

std::optional<SimPlatform::Value> SimPlatform::GetValue(HKEY root, REGSAM view,
                                                        const std::u16string& path,
                                                        const std::u16string& name) const {
  const std::shared_ptr<Node> node = Find(root, view, path);
  if (!node) return std::nullopt;
  const auto it = node->values.find(Fold(name));
  if (it == node->values.end()) return std::nullopt;
  return it->second;
}

void SimPlatform::DenyAccess(HKEY root, REGSAM view, const std::u16string& path, REGSAM rights) {
  Make(root, view, path)->denied |= rights;
}

void SimPlatform::SetTempPath(std::u16string folder, std::optional<DWORD> forcedResult) {
  tempPath_ = Folder{std::move(folder), forcedResult};
}

void SimPlatform::SetWindowsDirectory(std::u16string folder, std::optional<UINT> forcedResult) {
  windowsDirectory_ = Folder{std::move(folder), forcedResult};
}

std::u16string SimPlatform::Resolve(const std::u16string& path, bool shortNamesOnly) const {
  std::u16string resolved = Plain(path);
  if (resolved.size() < 2 || resolved[1] != u':') resolved = kCurrentDirectory + resolved;
  for (const auto& [from, alias] : aliases_) {
    const std::u16string folded = Fold(resolved);
    if ((alias.shortName || !shortNamesOnly) && folded.rfind(from, 0) == 0 &&
        (folded.size() == from.size() || folded[from.size()] == u'\\')) {
      resolved = alias.target + resolved.substr(from.size());
    }
  }
  return resolved;
}

namespace {

template <typename Files>
auto* FindIn(Files& files, const std::u16string& key) {
  const auto it = files.find(key);
  return it == files.end() ? nullptr : &it->second;
}

}  // namespace

SimPlatform::Entry* SimPlatform::FindEntry(const std::u16string& path) {
  return FindIn(files_, Fold(Resolve(path)));
}

const SimPlatform::Entry* SimPlatform::FindEntry(const std::u16string& path) const {
  return FindIn(files_, Fold(Resolve(path)));
}

void SimPlatform::AddFolder(const std::u16string& path) {
  for (std::u16string folder = Resolve(path); folder.size() > 2; folder = ParentFolder(folder)) {
    folders_.emplace(Fold(folder), folder);
  }
}

void SimPlatform::AddFile(const std::u16string& path, std::string bytes, bool readOnly,
                          DWORD type) {
  const std::u16string resolved = Resolve(path);
  AddFolder(ParentFolder(resolved));
  auto file = std::make_shared<File>();
  file->bytes = std::move(bytes);
  file->readOnly = readOnly;
  file->type = type;
  files_[Fold(resolved)] = {resolved, file};
}

void SimPlatform::AddLink(const std::u16string& link, const std::u16string& target, bool symbolic) {
  if (symbolic) {
    AddFile(link);
    FindEntry(link)->file->linkTarget = target;
  } else {
    AddFolder(ParentFolder(Resolve(link)));
    files_[Fold(Resolve(link))] = {Resolve(link), FindEntry(target)->file};
    FindEntry(target)->file->names += 1;
  }
}

void SimPlatform::AddShortName(const std::u16string& shortPath, const std::u16string& longPath) {
  aliases_[Fold(Plain(shortPath))] = {Plain(longPath), true};
}

void SimPlatform::RedirectFolder(const std::u16string& folder, const std::u16string& target) {
  aliases_[Fold(Plain(folder))] = {Plain(target), false};
}

bool SimPlatform::FileExists(const std::u16string& path) const {
  return FindEntry(path) != nullptr;
}

std::string SimPlatform::FileBytes(const std::u16string& path) const {
  const Entry* entry = FindEntry(path);
  if (entry && !entry->file->linkTarget.empty()) entry = FindEntry(entry->file->linkTarget);
  return entry ? entry->file->bytes : std::string();
}

std::size_t SimPlatform::CountCalls(const std::string& function) const {
  return static_cast<std::size_t>(std::count_if(calls_.begin(), calls_.end(), [&](const Call& c) {
    return function.empty() || c.function == function;
  }));
}

// --- Call record -------------------------------------------------------------

bool SimPlatform::Begin(const char* function, HKEY key, const char16_t* text,
                        std::uint32_t number) {
  const std::size_t index = calls_.size();
  Call call;
  call.function = function;
  call.key = reinterpret_cast<std::uintptr_t>(key);
  call.text = TextOf(text);
  call.number = number;
  call.injected = fails_ && fails_(call.function, index);
  calls_.push_back(std::move(call));
  return calls_.back().injected;
}

template <typename T>
T SimPlatform::End(T result) {
  calls_.back().result = static_cast<std::int64_t>(result);
  return result;
}

// --- Registry API ------------------------------------------------------------

LONG SimPlatform::RegOpenKeyExW(HKEY key, const char16_t* subKey, DWORD /*options*/,
                                REGSAM samDesired, HKEY* result) {
  if (Begin("RegOpenKeyExW", key, subKey, samDesired)) {
    if (result) *result = nullptr;
    return End(kErrorAccessDenied);
  }
  if (!result) return End(kErrorInvalidParameter);
  *result = nullptr;
  std::shared_ptr<Node> start = NodeOf(key);
  if (!start) return End(kErrorInvalidHandle);
  if (start->deleted) return End(kErrorKeyDeleted);
  std::u16string path = subKey ? subKey : u"";
  // Below HKEY_CLASSES_ROOT one leading backslash is tolerated.
  if (key == HkeyClassesRoot() && !path.empty() && path[0] == u'\\') path.erase(0, 1);
  // A null or empty subkey below a predefined root gives the root itself.
  if (path.empty() && RootNode(key)) {
    *result = key;
    return End(kErrorSuccess);
  }
  if (!path.empty() && path[0] == u'\\') return End(kErrorBadPathname);
  std::shared_ptr<Node> found;
  bool created = false;
  const LONG walked = Walk(start, path, samDesired & kViewFlags, false, found, created);
  if (walked != kErrorSuccess) return End(walked);
  if ((samDesired & ~kViewFlags & found->denied) != 0) return End(kErrorAccessDenied);
  *result = NewHandle(found, samDesired);
  return End(kErrorSuccess);
}

LONG SimPlatform::RegQueryValueExW(HKEY key, const char16_t* valueName, DWORD* /*reserved*/,
                                   DWORD* type, BYTE* data, DWORD* cbData) {
  if (Begin("RegQueryValueExW", key, valueName, data ? 1 : 0)) return End(kErrorAccessDenied);
  const std::shared_ptr<Node> node = NodeOf(key);
  if (!node) return End(kErrorInvalidHandle);
  if (node->deleted) return End(kErrorKeyDeleted);
  const auto handle = handles_.find(reinterpret_cast<std::uintptr_t>(key));
  if (handle != handles_.end() && (handle->second.access & kKeyQueryValue) == 0) {
    return End(kErrorAccessDenied);
  }
  if (data && !cbData) return End(kErrorInvalidParameter);
  const auto it = node->values.find(Fold(valueName ? valueName : u""));
  if (it == node->values.end()) return End(kErrorFileNotFound);
  const Value& value = it->second;
  const auto size = static_cast<DWORD>(value.data.size());
  if (type) *type = value.type;
  if (data) {
    if (*cbData < size) {
      *cbData = size;
      return End(kErrorMoreData);
    }
    std::copy(value.data.begin(), value.data.end(), data);
  }
  if (cbData) *cbData = size;
  return End(kErrorSuccess);
}

LONG SimPlatform::RegCreateKeyExW(HKEY key, const char16_t* subKey, DWORD /*reserved*/,
                                  char16_t* /*keyClass*/, DWORD /*options*/, REGSAM samDesired,
                                  const void* /*securityAttributes*/, HKEY* result,
                                  DWORD* disposition) {
  if (Begin("RegCreateKeyExW", key, subKey, samDesired)) {
    if (result) *result = nullptr;
    return End(kErrorAccessDenied);
  }
  if (!result) return End(kErrorInvalidParameter);
  *result = nullptr;
  std::shared_ptr<Node> start = NodeOf(key);
  if (!start) return End(kErrorInvalidHandle);
  if (start->deleted) return End(kErrorKeyDeleted);
  std::u16string path = subKey ? subKey : u"";
  if (key == HkeyClassesRoot() && !path.empty() && path[0] == u'\\') path.erase(0, 1);
  if (!path.empty() && path[0] == u'\\') return End(kErrorBadPathname);
  std::shared_ptr<Node> found;
  bool created = false;
  const LONG walked = Walk(start, path, samDesired & kViewFlags, true, found, created);
  if (walked != kErrorSuccess) return End(walked);
  if ((samDesired & ~kViewFlags & found->denied) != 0) return End(kErrorAccessDenied);
  if (disposition) *disposition = created ? 1 : 2;  // REG_CREATED_NEW_KEY / REG_OPENED_EXISTING_KEY
  *result = NewHandle(found, samDesired);
  return End(kErrorSuccess);
}

LONG SimPlatform::RegSetValueExW(HKEY key, const char16_t* valueName, DWORD /*reserved*/,
                                 DWORD type, const BYTE* data, DWORD cbData) {
  if (Begin("RegSetValueExW", key, valueName, type)) return End(kErrorAccessDenied);
  const auto handle = handles_.find(reinterpret_cast<std::uintptr_t>(key));
  const std::shared_ptr<Node> node = NodeOf(key);
  if (!node) return End(kErrorInvalidHandle);
  if (node->deleted) return End(kErrorKeyDeleted);
  if (handle != handles_.end() && (handle->second.access & kKeySetValue) == 0) {
    return End(kErrorAccessDenied);
  }
  if (!data && cbData != 0) return End(kErrorInvalidParameter);
  Value value{type, std::vector<BYTE>(data, data + cbData)};
  node->values[Fold(valueName ? valueName : u"")] = std::move(value);
  return End(kErrorSuccess);
}

LONG SimPlatform::RegDeleteValueW(HKEY key, const char16_t* valueName) {
  if (Begin("RegDeleteValueW", key, valueName, 0)) return End(kErrorAccessDenied);
  const auto handle = handles_.find(reinterpret_cast<std::uintptr_t>(key));
  const std::shared_ptr<Node> node = NodeOf(key);
  if (!node) return End(kErrorInvalidHandle);
  if (node->deleted) return End(kErrorKeyDeleted);
  if (handle != handles_.end() && (handle->second.access & kKeySetValue) == 0) {
    return End(kErrorAccessDenied);
  }
  return End(node->values.erase(Fold(valueName ? valueName : u"")) ? kErrorSuccess
                                                                   : kErrorFileNotFound);
}

LONG SimPlatform::RegDeleteKeyW(HKEY key, const char16_t* subKey) {
  if (Begin("RegDeleteKeyW", key, subKey, 0)) return End(kErrorAccessDenied);
  const std::shared_ptr<Node> start = NodeOf(key);
  if (!start) return End(kErrorInvalidHandle);
  if (start->deleted) return End(kErrorKeyDeleted);
  if (!subKey || !*subKey) return End(kErrorInvalidParameter);
  std::shared_ptr<Node> target;
  bool created = false;
  const LONG walked = Walk(start, subKey, 0, false, target, created);
  if (walked != kErrorSuccess) return End(walked);
  // A key that still has subkeys, or one we may not delete, stays.
  if (!target->children.empty() || (target->denied & kDelete) != 0) {
    return End(kErrorAccessDenied);
  }
  const std::shared_ptr<Node> parent = target->parent.lock();
  if (!parent) return End(kErrorAccessDenied);  // a root
  parent->children.erase(Fold(target->name));
  target->deleted = true;
  return End(kErrorSuccess);
}

LONG SimPlatform::RegCloseKey(HKEY key) {
  const bool injected = Begin("RegCloseKey", key, nullptr, 0);
  if (RootNode(key)) return End(kErrorSuccess);
  // An injected failure still releases the handle, as a failed close does.
  const bool known = handles_.erase(reinterpret_cast<std::uintptr_t>(key)) != 0;
  if (injected) return End(kErrorInvalidHandle);
  return End(known ? kErrorSuccess : kErrorInvalidHandle);
}

// --- Folders and clock -------------------------------------------------------

std::uint32_t SimPlatform::CopyFolder(const Folder& folder, std::uint32_t size, char16_t* buffer) {
  const auto length = static_cast<std::uint32_t>(folder.text.size());
  if (folder.forcedResult) {
    const std::uint32_t copied = std::min(length, size);
    std::copy_n(folder.text.begin(), copied, buffer);
    if (copied < size) buffer[copied] = u'\0';
    return *folder.forcedResult;
  }
  if (length + 1 > size) return length + 1;
  std::copy(folder.text.begin(), folder.text.end(), buffer);
  buffer[length] = u'\0';
  return length;
}

DWORD SimPlatform::GetTempPathW(DWORD bufferLength, char16_t* buffer) {
  if (Begin("GetTempPathW", nullptr, nullptr, bufferLength)) return End(DWORD{0});
  return End(CopyFolder(tempPath_, bufferLength, buffer));
}

UINT SimPlatform::GetSystemWindowsDirectoryW(char16_t* buffer, UINT size) {
  if (Begin("GetSystemWindowsDirectoryW", nullptr, nullptr, size)) return End(UINT{0});
  return End(CopyFolder(windowsDirectory_, size, buffer));
}

void SimPlatform::GetLocalTime(SystemTime* time) {
  // It cannot fail on Windows; an injected failure leaves the caller's
  // structure as it was.
  if (Begin("GetLocalTime", nullptr, nullptr, 0)) return;
  *time = time_;
}

// --- Files -------------------------------------------------------------------

int SimPlatform::_waccess(const char16_t* path, int mode) {
  if (Begin("_waccess", nullptr, path, static_cast<std::uint32_t>(mode))) return End(-1);
  const Entry* entry = FindEntry(TextOf(path));
  if (entry) return End((mode & 2) != 0 && entry->file->readOnly ? -1 : 0);
  return End(folders_.count(Fold(Resolve(TextOf(path)))) != 0 ? 0 : -1);
}

int SimPlatform::_wremove(const char16_t* path) {
  if (Begin("_wremove", nullptr, path, 0)) return End(-1);
  const Entry* entry = FindEntry(TextOf(path));
  if (!entry || entry->file->readOnly) return End(-1);
  entry->file->names -= 1;
  files_.erase(Fold(entry->path));
  return End(0);
}

HANDLE SimPlatform::CreateFileW(const char16_t* fileName, DWORD desiredAccess, DWORD, const void*,
                                DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE) {
  const auto done = [this](HANDLE result) {
    calls_.back().result = static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(result));
    return result;
  };
  const HANDLE invalid = InvalidHandleValue();
  if (Begin("CreateFileW", nullptr, fileName, desiredAccess)) return done(invalid);
  std::u16string path = Resolve(TextOf(fileName));
  Entry* entry = FindEntry(path);
  if (entry && !entry->file->linkTarget.empty() &&
      (flagsAndAttributes & kFileFlagOpenReparsePoint) == 0) {
    path = Resolve(entry->file->linkTarget);
    entry = FindEntry(path);
  }
  if (creationDisposition != kOpenAlways || folders_.count(Fold(ParentFolder(path))) == 0 ||
      folders_.count(Fold(path)) != 0 || (entry && entry->file->readOnly)) {
    return done(invalid);
  }
  if (!entry) {
    AddFile(path);
    entry = FindEntry(path);
  }
  const std::uintptr_t id = nextFile_++;
  openFiles_[id] = {entry->file, entry->path, 0};
  return done(reinterpret_cast<HANDLE>(id));
}

SimPlatform::OpenFile* SimPlatform::FindOpen(HANDLE file) {
  const auto it = openFiles_.find(reinterpret_cast<std::uintptr_t>(file));
  return it == openFiles_.end() ? nullptr : &it->second;
}

DWORD SimPlatform::GetFileType(HANDLE file) {
  if (Begin("GetFileType", nullptr, nullptr, 0)) return End(DWORD{0});
  const OpenFile* open = FindOpen(file);
  return End(open ? open->file->type : DWORD{0});
}

BOOL SimPlatform::GetFileInformationByHandle(HANDLE file, FileInformation* information) {
  if (Begin("GetFileInformationByHandle", nullptr, nullptr, 0)) return End(BOOL{0});
  const OpenFile* open = FindOpen(file);
  if (!open) return End(BOOL{0});
  *information = FileInformation{};
  information->dwFileAttributes =
      (open->file->linkTarget.empty() ? kFileAttributeNormal : kFileAttributeReparsePoint) |
      (open->file->readOnly ? 1 : 0);
  information->nFileSizeLow = static_cast<DWORD>(open->file->bytes.size());
  information->nNumberOfLinks = open->file->names;
  return End(BOOL{1});
}

BOOL SimPlatform::SetEndOfFile(HANDLE file) {
  if (Begin("SetEndOfFile", nullptr, nullptr, 0)) return End(BOOL{0});
  OpenFile* open = FindOpen(file);
  if (!open) return End(BOOL{0});
  open->file->bytes.resize(open->position);
  return End(BOOL{1});
}

BOOL SimPlatform::WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite,
                            DWORD* bytesWritten, void*) {
  if (Begin("WriteFile", nullptr, nullptr, bytesToWrite)) return End(BOOL{0});
  OpenFile* open = FindOpen(file);
  if (!open) return End(BOOL{0});
  std::string& bytes = open->file->bytes;
  bytes.resize(std::max(bytes.size(), open->position + bytesToWrite));
  std::memcpy(&bytes[open->position], buffer, bytesToWrite);
  open->position += bytesToWrite;
  *bytesWritten = bytesToWrite;
  return End(BOOL{1});
}

BOOL SimPlatform::CloseHandle(HANDLE object) {
  const bool injected = Begin("CloseHandle", nullptr, nullptr, 0);
  // A failed close still releases the handle.
  return End(BOOL{openFiles_.erase(reinterpret_cast<std::uintptr_t>(object)) == 1 && !injected});
}

DWORD SimPlatform::GetFinalPathNameByHandleW(HANDLE file, char16_t* filePath, DWORD size, DWORD) {
  if (Begin("GetFinalPathNameByHandleW", nullptr, nullptr, size)) return End(DWORD{0});
  const OpenFile* open = FindOpen(file);
  if (!open) return End(DWORD{0});
  // Folders as they were made, the file under the name it was opened by.
  const std::u16string folder = folders_.at(Fold(ParentFolder(open->path)));
  return End(CopyOut(u"\\\\?\\" + folder + open->path.substr(folder.size()), filePath, size));
}

DWORD SimPlatform::GetFullPathNameW(const char16_t* fileName, DWORD bufferLength, char16_t* buffer,
                                    char16_t**) {
  if (Begin("GetFullPathNameW", nullptr, fileName, bufferLength)) return End(DWORD{0});
  std::u16string full = TextOf(fileName);
  std::replace(full.begin(), full.end(), u'/', u'\\');
  if (full.size() < 2 || full[1] != u':') full = kCurrentDirectory + full;
  return End(CopyOut(full, buffer, bufferLength));
}

DWORD SimPlatform::GetLongPathNameW(const char16_t* shortPath, char16_t* longPath,
                                    DWORD bufferLength) {
  if (Begin("GetLongPathNameW", nullptr, shortPath, bufferLength)) return End(DWORD{0});
  const std::u16string path = TextOf(shortPath);
  if (!FindEntry(path) && folders_.count(Fold(Resolve(path))) == 0) return End(DWORD{0});
  return End(CopyOut(Resolve(path, true), longPath, bufferLength));
}

int SimPlatform::CompareStringOrdinal(const char16_t* string1, int count1, const char16_t* string2,
                                      int count2, BOOL ignoreCase) {
  if (Begin("CompareStringOrdinal", nullptr, string1, 0)) return End(0);
  std::u16string a(string1, count1 < 0 ? std::char_traits<char16_t>::length(string1) : count1);
  std::u16string b(string2, count2 < 0 ? std::char_traits<char16_t>::length(string2) : count2);
  if (ignoreCase) a = Fold(a), b = Fold(b);
  return End(a < b ? 1 : a == b ? kCstrEqual : 3);
}

}  // namespace tavix
