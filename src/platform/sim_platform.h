// A simulated Windows for host tests.
//
// It behaves like the real platform wherever the core depends on it: an
// in-memory registry with the predefined roots and the 32-bit and 64-bit
// views of a 64-bit process (the 32-bit view of HKLM\Software is its
// Wow6432Node), key and value names compared without regard to letter case,
// data kept byte for byte; folders, files and a clock that tests set. It
// records every call, can make any call fail, and counts open key handles.
#ifndef TAVIX_PLATFORM_SIM_PLATFORM_H_
#define TAVIX_PLATFORM_SIM_PLATFORM_H_

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tavix {

class SimPlatform final : public Platform {
 public:
  // One platform call as it was made.
  struct Call {
    std::string function;      // e.g. "RegOpenKeyExW"
    std::uintptr_t key = 0;    // the key handle argument, if any
    std::u16string text;       // subkey, value name or path; "<null>" for null
    std::uint32_t number = 0;  // access mask, type or mode, if any
    std::int64_t result = 0;   // what the call returned
    bool injected = false;     // the result was a failure injected by a test
  };

  struct Value {
    DWORD type = kRegNone;
    std::vector<BYTE> data;
  };

  SimPlatform();
  ~SimPlatform() override;
  SimPlatform(const SimPlatform&) = delete;
  SimPlatform& operator=(const SimPlatform&) = delete;

  // --- Registry set-up and inspection (not recorded). `view` is
  // kKeyWow64_32Key, kKeyWow64_64Key or 0 (the native 64-bit view).
  void CreateKey(HKEY root, REGSAM view, const std::u16string& path);
  void SetValue(HKEY root, REGSAM view, const std::u16string& path, const std::u16string& name,
                DWORD type, std::vector<BYTE> data);
  // Stores `text` with its terminating NUL.
  void SetString(HKEY root, REGSAM view, const std::u16string& path, const std::u16string& name,
                 const std::u16string& text, DWORD type = kRegSz);
  void RemoveValue(HKEY root, REGSAM view, const std::u16string& path, const std::u16string& name);
  bool KeyExists(HKEY root, REGSAM view, const std::u16string& path) const;
  std::optional<Value> GetValue(HKEY root, REGSAM view, const std::u16string& path,
                                const std::u16string& name) const;
  // Denies `rights` on the key (it is created if missing): an open asking
  // for any of them fails with ERROR_ACCESS_DENIED, and so does creating a
  // subkey (KEY_CREATE_SUB_KEY) or deleting the key (DELETE, 0x10000).
  void DenyAccess(HKEY root, REGSAM view, const std::u16string& path, REGSAM rights);

  // --- Folders and clock. GetTempPathW and GetSystemWindowsDirectoryW answer
  // with the folder as Windows does, or with `forcedResult` when set (the
  // text is then copied as far as the buffer holds, without a NUL if full).
  void SetTempPath(std::u16string folder, std::optional<DWORD> forcedResult = std::nullopt);
  void SetWindowsDirectory(std::u16string folder, std::optional<UINT> forcedResult = std::nullopt);
  void SetLocalTime(const SystemTime& time) { time_ = time; }

  // --- Files. Paths compare without letter case, '/' equal to '\'; a
  // relative path is below kCurrentDirectory. A file can be created only in a
  // folder that exists. The final path of an open file names its folders as
  // they were made.
  static constexpr char16_t kCurrentDirectory[] = u"C:\\work\\";
  void AddFolder(const std::u16string& path);
  void AddFile(const std::u16string& path, std::string bytes = std::string(), bool readOnly = false,
               DWORD type = kFileTypeDisk);
  // A second name for `target` (a hard link), or a symbolic link to it.
  void AddLink(const std::u16string& link, const std::u16string& target, bool symbolic);
  // An 8.3 name, which GetLongPathNameW expands; a folder redirected to
  // another (a junction), which it keeps.
  void AddShortName(const std::u16string& shortPath, const std::u16string& longPath);
  void RedirectFolder(const std::u16string& folder, const std::u16string& target);
  bool FileExists(const std::u16string& path) const;
  // The file's bytes as they stand (behind a symbolic link: its target's),
  // also while the log holds it open.
  std::string FileBytes(const std::u16string& path) const;

  // --- Calls and failures.
  const std::vector<Call>& calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  // Calls of `function` (all when empty) in the record.
  std::size_t CountCalls(const std::string& function) const;
  // Decides, before each call is carried out, whether it fails. Given the
  // function's name and the call's index in the record.
  void SetFailure(std::function<bool(const std::string& function, std::size_t index)> fails) {
    fails_ = std::move(fails);
  }
  // Key handles open now (predefined roots are never counted).
  std::size_t OpenHandleCount() const { return handles_.size(); }

  // --- Platform.
  LONG RegOpenKeyExW(HKEY key, const char16_t* subKey, DWORD options, REGSAM samDesired,
                     HKEY* result) override;
  LONG RegQueryValueExW(HKEY key, const char16_t* valueName, DWORD* reserved, DWORD* type,
                        BYTE* data, DWORD* cbData) override;
  LONG RegCreateKeyExW(HKEY key, const char16_t* subKey, DWORD reserved, char16_t* keyClass,
                       DWORD options, REGSAM samDesired, const void* securityAttributes,
                       HKEY* result, DWORD* disposition) override;
  LONG RegSetValueExW(HKEY key, const char16_t* valueName, DWORD reserved, DWORD type,
                      const BYTE* data, DWORD cbData) override;
  LONG RegDeleteValueW(HKEY key, const char16_t* valueName) override;
  LONG RegDeleteKeyW(HKEY key, const char16_t* subKey) override;
  LONG RegCloseKey(HKEY key) override;
  DWORD GetTempPathW(DWORD bufferLength, char16_t* buffer) override;
  UINT GetSystemWindowsDirectoryW(char16_t* buffer, UINT size) override;
  void GetLocalTime(SystemTime* time) override;
  int _waccess(const char16_t* path, int mode) override;
  int _wremove(const char16_t* path) override;
  HANDLE CreateFileW(const char16_t* fileName, DWORD desiredAccess, DWORD shareMode,
                     const void* securityAttributes, DWORD creationDisposition,
                     DWORD flagsAndAttributes, HANDLE templateFile) override;
  DWORD GetFileType(HANDLE file) override;
  BOOL GetFileInformationByHandle(HANDLE file, FileInformation* information) override;
  BOOL SetEndOfFile(HANDLE file) override;
  BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
                 void* overlapped) override;
  BOOL CloseHandle(HANDLE object) override;
  DWORD GetFinalPathNameByHandleW(HANDLE file, char16_t* filePath, DWORD size,
                                  DWORD flags) override;
  DWORD GetFullPathNameW(const char16_t* fileName, DWORD bufferLength, char16_t* buffer,
                         char16_t** filePart) override;
  DWORD GetLongPathNameW(const char16_t* shortPath, char16_t* longPath,
                         DWORD bufferLength) override;
  int CompareStringOrdinal(const char16_t* string1, int count1, const char16_t* string2, int count2,
                           BOOL ignoreCase) override;

 private:
  struct Node;
  struct Handle {
    std::shared_ptr<Node> node;
    REGSAM access = 0;
  };
  struct File {
    std::string bytes;
    bool readOnly = false;
    DWORD type = kFileTypeDisk;
    std::u16string linkTarget;  // set: a symbolic link
    DWORD names = 1;            // hard links
  };
  struct Entry {  // a name of a file
    std::u16string path;
    std::shared_ptr<File> file;
  };
  struct OpenFile {
    std::shared_ptr<File> file;
    std::u16string path;  // as opened, aliases resolved
    std::size_t position;
  };
  struct Alias {
    std::u16string target;
    bool shortName;
  };
  struct Folder {
    std::u16string text;
    std::optional<std::uint32_t> forcedResult;
  };

  // Records the call; true when a test wants it to fail.
  bool Begin(const char* function, HKEY key, const char16_t* text, std::uint32_t number);
  template <typename T>
  T End(T result);

  std::shared_ptr<Node> RootNode(HKEY root) const;
  std::shared_ptr<Node> NodeOf(HKEY key) const;
  std::shared_ptr<Node> Redirect(const std::shared_ptr<Node>& node, REGSAM view) const;
  // Walks `path` below `start`; creates missing keys when `create` is set
  // (the nodes change, not the platform's own state).
  LONG Walk(const std::shared_ptr<Node>& start, const std::u16string& path, REGSAM view,
            bool create, std::shared_ptr<Node>& found, bool& created) const;
  std::shared_ptr<Node> Find(HKEY root, REGSAM view, const std::u16string& path) const;
  std::shared_ptr<Node> Make(HKEY root, REGSAM view, const std::u16string& path);
  HKEY NewHandle(std::shared_ptr<Node> node, REGSAM access);
  static std::uint32_t CopyFolder(const Folder& folder, std::uint32_t size, char16_t* buffer);
  // `path` absolute, with '\\' only, and its aliases (only short names, if
  // asked) replaced by what they stand for.
  std::u16string Resolve(const std::u16string& path, bool shortNamesOnly = false) const;
  Entry* FindEntry(const std::u16string& path);
  const Entry* FindEntry(const std::u16string& path) const;
  OpenFile* FindOpen(HANDLE file);

  std::map<std::uintptr_t, std::shared_ptr<Node>> roots_;
  std::shared_ptr<Node> hklmSoftware_;
  std::map<std::uintptr_t, Handle> handles_;
  std::uintptr_t nextHandle_ = 0x1000;

  Folder tempPath_;
  Folder windowsDirectory_;
  SystemTime time_{};

  std::map<std::u16string, Entry> files_;             // by folded path
  std::map<std::u16string, std::u16string> folders_;  // by folded path
  std::map<std::u16string, Alias> aliases_;           // by folded path
  std::map<std::uintptr_t, OpenFile> openFiles_;
  std::uintptr_t nextFile_ = 0x10;

  std::vector<Call> calls_;
  std::function<bool(const std::string&, std::size_t)> fails_;
};

}  // namespace tavix

#endif  // TAVIX_PLATFORM_SIM_PLATFORM_H_
