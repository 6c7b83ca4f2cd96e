// Registry layer cases that need the simulated registry: denied rights,
// failing calls and the exact calls made.
#include <gtest/gtest.h>

#include "registry/registry_read.h"
#include "registry/registry_write.h"
#include "registry/scoped_reg_key.h"
#include "sim_test.h"

namespace tavix {
namespace {

class RegistrySimTest : public SimTest {};

std::vector<std::string> Functions(const SimPlatform& sim) {
  std::vector<std::string> names;
  for (const auto& call : sim.calls()) names.push_back(call.function);
  return names;
}

// Tests that below HKEY_CURRENT_USER the walk asks for write access too, so
// a key the user may read but not write does not open; the probe and the
// root check still only read.
TEST_F(RegistrySimTest, CurrentUserWalkNeedsWriteAccess) {
  sim_.SetString(HkeyCurrentUser(), 0, u"Software\\Tavix", u"v", u"x");
  sim_.SetString(HkeyLocalMachine(), 0, u"Software\\Tavix", u"v", u"x");
  EXPECT_EQ(ReadRegistryString(u"Software\\Tavix", HkeyCurrentUser(), u"v"), u"x");
  std::vector<std::uint32_t> opens;
  for (const auto& call : sim_.calls()) {
    if (call.function == "RegOpenKeyExW") opens.push_back(call.number);
  }
  EXPECT_EQ(opens, (std::vector<std::uint32_t>{0x20219, 0x20219, 0x2021F, 0x2021F}));

  sim_.DenyAccess(HkeyCurrentUser(), 0, u"Software\\Tavix", kKeySetValue);
  EXPECT_EQ(ReadRegistryString(u"Software\\Tavix", HkeyCurrentUser(), u"v"), u"");
  sim_.DenyAccess(HkeyLocalMachine(), 0, u"Software\\Tavix", kKeySetValue);
  EXPECT_EQ(ReadRegistryString(u"Software\\Tavix", HkeyLocalMachine(), u"v"), u"x");
}

// Tests that a key that may not be read, or a value whose query fails,
// reads as the empty string and leaves no handle open.
TEST_F(RegistrySimTest, DeniedAndFailingReads) {
  sim_.SetString(HkeyLocalMachine(), 0, u"Software\\Tavix\\Key", u"v", u"x");
  const struct {
    const char* fails;  // the call that fails, or null
    int occurrence;     // which of its calls (1-based)
    REGSAM denied;      // rights denied on the last key
  } cases[] = {
      {nullptr, 0, kKeyQueryValue}, {"RegOpenKeyExW", 4, 0},    {"RegOpenKeyExW", 6, 0},
      {"RegQueryValueExW", 1, 0},   {"RegQueryValueExW", 2, 0},
  };
  for (const auto& c : cases) {
    SimPlatform sim;
    SetCurrentPlatform(&sim);
    sim.SetString(HkeyLocalMachine(), 0, u"Software\\Tavix\\Key", u"v", u"x");
    if (c.denied) sim.DenyAccess(HkeyLocalMachine(), 0, u"Software\\Tavix\\Key", c.denied);
    int seen = 0;
    sim.SetFailure([&](const std::string& f, std::size_t) {
      return c.fails && f == c.fails && ++seen == c.occurrence;
    });
    EXPECT_EQ(ReadRegistryString(u"Software\\Tavix\\Key", HkeyLocalMachine(), u"v"), u"")
        << (c.fails ? c.fails : "denied") << " " << c.occurrence;
    EXPECT_EQ(sim.OpenHandleCount(), 0u);
    SetCurrentPlatform(&sim_);
  }
}

// Tests that a value that grows between the size query and the read is not
// read past the buffer: the read fails and gives the empty string.
TEST_F(RegistrySimTest, ValueGrowingBetweenQueries) {
  sim_.SetString(HkeyLocalMachine(), 0, u"Software\\Tavix", u"v", u"short");
  sim_.SetFailure([&](const std::string& f, std::size_t) {
    // Called before the call is recorded: the first query is in the record.
    if (f == "RegQueryValueExW" && sim_.CountCalls("RegQueryValueExW") == 1) {
      sim_.SetString(HkeyLocalMachine(), 0, u"Software\\Tavix", u"v", u"a much longer text");
    }
    return false;
  });
  EXPECT_EQ(ReadRegistryString(u"Software\\Tavix", HkeyLocalMachine(), u"v"), u"");
  sim_.SetFailure(nullptr);
}

// Tests that when the key cannot be created or opened for writing, the write
// gives false after that one call, in every mode.
TEST_F(RegistrySimTest, CreateFailureStopsTheWrite) {
  sim_.DenyAccess(HkeyClassesRoot(), 0, u"Installer", kKeyCreateSubKey);
  sim_.DenyAccess(HkeyClassesRoot(), 0, u"Locked", kKeySetValue);
  const struct {
    const char16_t* path;
    const char16_t* name;
    const char16_t* text;
  } cases[] = {
      {u"Installer\\Products\\X", u"Transforms", u"a"},
      {u"Installer\\Products\\X", u"Transforms", nullptr},
      {u"Installer\\Products\\X", nullptr, nullptr},
      {u"Locked", u"v", u"a"},
  };
  for (const auto& c : cases) {
    sim_.ClearCalls();
    EXPECT_FALSE(WriteRegistryString(c.path, c.name, c.text));
    EXPECT_EQ(Functions(sim_), std::vector<std::string>{"RegCreateKeyExW"});
    EXPECT_EQ(sim_.calls()[0].number, 0x20006u);
  }
  EXPECT_FALSE(sim_.KeyExists(HkeyClassesRoot(), 0, u"Installer\\Products"));
}

// Tests the exact calls of a write: create with KEY_WRITE and no view flag,
// set with the byte count of the text and its NUL, close.
TEST_F(RegistrySimTest, WriteCalls) {
  EXPECT_TRUE(WriteRegistryString(u"A\\B", u"Transforms", u"abc"));
  EXPECT_EQ(Functions(sim_),
            (std::vector<std::string>{"RegCreateKeyExW", "RegSetValueExW", "RegCloseKey"}));
  EXPECT_EQ(sim_.calls()[0].key, reinterpret_cast<std::uintptr_t>(HkeyClassesRoot()));
  EXPECT_EQ(sim_.calls()[0].number, 0x20006u);
  EXPECT_EQ(sim_.calls()[1].number, kRegSz);
  const auto value = sim_.GetValue(HkeyClassesRoot(), 0, u"A\\B", u"Transforms");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->data.size(), 8u);

  sim_.ClearCalls();
  sim_.SetFailure([](const std::string& f, std::size_t) { return f == "RegSetValueExW"; });
  EXPECT_FALSE(WriteRegistryString(u"A\\C", u"v", u"t"));
  EXPECT_TRUE(sim_.KeyExists(HkeyClassesRoot(), 0, u"A\\C"));  // created keys stay
  sim_.SetFailure(nullptr);
}

}  // namespace
}  // namespace tavix
