// A fixture that runs the core on a fresh simulated Windows.
#ifndef TAVIX_TESTS_UNIT_SIM_TEST_H_
#define TAVIX_TESTS_UNIT_SIM_TEST_H_

#include <gtest/gtest.h>

#include <string>

#include "log/run_log.h"
#include "log_mask.h"
#include "platform/sim_platform.h"

namespace tavix {

class SimTest : public ::testing::Test {
 protected:
  SimTest() { SetCurrentPlatform(&sim_); }
  ~SimTest() override {
    ResetRunLogForTesting();
    SetCurrentPlatform(nullptr);
  }
  // Every test ends with no key handle left open.
  void TearDown() override { EXPECT_EQ(sim_.OpenHandleCount(), 0u); }

  // The log's bytes with every time stamp replaced by "##:##:##".
  std::string MaskedLog(const std::u16string& folder) const;

  SimPlatform sim_;
};

// UTF-8 of a UTF-16 literal, for readable expectations.
std::string U8(const std::u16string& text);

}  // namespace tavix

#endif  // TAVIX_TESTS_UNIT_SIM_TEST_H_
