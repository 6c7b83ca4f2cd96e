// The registry the registry suite runs against: the simulated one on the
// host, the real one (under Wine) in the Windows build.
#ifndef TAVIX_TESTS_REGISTRY_BACKEND_H_
#define TAVIX_TESTS_REGISTRY_BACKEND_H_

#include <memory>
#include <string>

#include "platform/platform.h"

namespace tavix {

class RegistryBackend {
 public:
  virtual ~RegistryBackend() = default;
  virtual Platform& platform() = 0;
  // Distinguishes this run's keys from those of earlier runs.
  virtual std::u16string runId() const = 0;
};

std::unique_ptr<RegistryBackend> MakeRegistryBackend();

}  // namespace tavix

#endif  // TAVIX_TESTS_REGISTRY_BACKEND_H_
