#pragma once
// Timing and memory figures of the benchmark's own process. CPU time is
// what the ratios use: the machine is shared, and other work on it
// stretches wall time but not the CPU time this process spends.
#include <chrono>
#include <cstdint>
#include <ctime>

namespace calmora::bench {

struct Span {
  double wall = 0;  // seconds
  double cpu = 0;   // seconds of this process (every thread)
  long peakRssKiB = 0;  // peak resident memory while the span ran
};

// Starts timing at construction; Stop gives the span so far. The peak
// resident memory is reset at construction where the system allows it, so
// that each span reports its own peak; elsewhere it is the process's peak.
class Stopwatch {
 public:
  Stopwatch();
  Span Stop() const;

 private:
  std::chrono::steady_clock::time_point wall_;
  double cpu_;
};

// The peak resident memory of the process so far (KiB), since the last reset.
long PeakRssKiB();

}  // namespace calmora::bench
