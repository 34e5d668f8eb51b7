#include "tools/bench/Measure.h"

#include <sys/resource.h>

#include <fstream>
#include <string>

namespace calmora::bench {
namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Linux resets the peak ("VmHWM") when 5 is written to clear_refs.
void ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  if (clear) clear << "5";
}

}  // namespace

long PeakRssKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

Stopwatch::Stopwatch() {
  ResetPeak();
  wall_ = std::chrono::steady_clock::now();
  cpu_ = CpuSeconds();
}

Span Stopwatch::Stop() const {
  Span span;
  span.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_).count();
  span.cpu = CpuSeconds() - cpu_;
  span.peakRssKiB = PeakRssKiB();
  return span;
}

}  // namespace calmora::bench
