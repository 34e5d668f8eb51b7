// Times a whole conversion and each of its parts on a generated practice:
//   calmora-conversion-bench [--claims N] [--seed S]
// Prints the generation time, then each folder copy and upgrade step with
// its wall time, and the rows per second of the steps that walk rows.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

#include "app/Driver.h"
#include "diagnostics/FrontEnd.h"
#include "state/RunState.h"
#include "tools/fixture/SampleMachine.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Records when each part of the run starts; prints a part when the next
// one begins.
class TimingFrontEnd : public calmora::FrontEnd {
 public:
  void ShowMessage(std::string_view text, std::string_view title, calmora::MessageIcon,
                   bool) override {
    Mark("(message)");
    std::printf("  message: %.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
                static_cast<int>(text.size()), text.data());
  }
  void SetPointer(calmora::MousePointer) override {}
  void FolderCopyProgress(std::int64_t done, std::int64_t total) override {
    if (done == 0) Mark("folder copy");
    rows_ = total;
  }
  void StepProgress(std::string_view step, std::int64_t, std::int64_t total) override {
    if (step != current_) Mark(std::string(step));
    rows_ = total;
  }
  void Finish() { Mark(""); }

 private:
  void Mark(const std::string& part) {
    const auto now = Clock::now();
    if (!current_.empty()) {
      const double seconds = std::chrono::duration<double>(now - started_).count();
      if (rows_ > 0 && current_ != "folder copy")
        std::printf("  %-22s %9.3f s  %10lld rows  %10.0f rows/s\n", current_.c_str(), seconds,
                    static_cast<long long>(rows_), static_cast<double>(rows_) / seconds);
      else
        std::printf("  %-22s %9.3f s\n", current_.c_str(), seconds);
    }
    current_ = part;
    started_ = now;
    rows_ = 0;
  }

  std::string current_;
  Clock::time_point started_;
  std::int64_t rows_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  calmora::fixture::PracticeOptions options;
  options.claims = 20000;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view flag = argv[i];
    if (flag == "--claims") options.claims = std::atoi(argv[i + 1]);
    else if (flag == "--seed") options.seed = std::strtoull(argv[i + 1], nullptr, 10);
  }
  const auto root = std::filesystem::temp_directory_path() /
                    ("calmora-bench-" + std::to_string(::getpid()));
  std::filesystem::remove_all(root);

  auto start = Clock::now();
  const auto summary = calmora::fixture::WriteSampleMachine(root, options);
  std::printf("practice: %d patients, %d events, %d claims (%d without an event)\n",
              summary.patients, summary.events, summary.claims, summary.claimsWithoutEvent);
  std::printf("generated in %.1f s\n", SecondsSince(start));

  ::setenv("CALMORA_REGISTRY", calmora::fixture::SampleLayout(root).registryFile.c_str(), 1);
  TimingFrontEnd timing;
  calmora::InstallFrontEnd(&timing);
  start = Clock::now();
  const auto outcome = calmora::cmdConvert_Click();
  timing.Finish();
  std::printf("conversion: %.1f s, %s\n", SecondsSince(start),
              outcome == calmora::RunOutcome::Finished && !calmora::ErrorsWereReported()
                  ? "no errors"
                  : "errors reported");
  calmora::InstallFrontEnd(nullptr);
  calmora::ResetRunState();
  std::filesystem::remove_all(root);
  return 0;
}
