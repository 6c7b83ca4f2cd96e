// The run's own rights, which decide how far the log's checks trust the way
// to its folder and whether the entry point asks for the trust policy.
#ifndef TAVIX_LOG_ELEVATION_H_
#define TAVIX_LOG_ELEVATION_H_

namespace tavix {

// Whether the run has more rights than its user's other processes: an
// elevated token, or SYSTEM. A token that cannot be read counts as elevated,
// the stricter of the two.
bool RunIsElevated();

}  // namespace tavix

#endif  // TAVIX_LOG_ELEVATION_H_
