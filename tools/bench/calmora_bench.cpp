// calmora-bench --claims N [--seed S]: generates a practice with the
// fixture generator, runs the seven upgrade steps on a copy of it as the
// driver runs them (each step with its recordsets, each durability point
// timed apart), then the claim copy's three references on copies of the
// file as it stood before the claim copy. Checks that the step and the
// set-based copy wrote the same cms2012 rows; prints a table and, last,
// one line for scripts. Exit status 0, 1 when the check fails or a step
// reported an error, 2 for a wrong argument.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "ProgramVersion.h"
#include "diagnostics/FrontEnd.h"
#include "platform/modADO.h"
#include "state/RunState.h"
#include "tools/bench/Measure.h"
#include "tools/bench/References.h"
#include "tools/fixture/SamplePractice.h"
#include "upgrade/modCommon.h"

namespace {

namespace fs = std::filesystem;
using calmora::bench::Span;
using calmora::bench::Stopwatch;

constexpr char kUsage[] = "usage: calmora-bench --claims N [--seed S]\n";
constexpr char kHelp[] =
    "Times the seven upgrade steps on a generated practice against set-based and\n"
    "prepared references; prints a table and, last, one line for scripts.\n"
    "\n"
    "Options:\n"
    "  --claims N  claims in the generated practice\n"
    "  --seed S    seed of the generator (default 1)\n"
    "  --help      show this text and exit\n"
    "  --version   show the program's name and version and exit\n"
    "\n"
    "Exit status: 0, 1 when the copies differ or a step reported an error, 2 on a usage error.\n";

struct Part {
  std::string name;
  std::int64_t rows = 0;  // rows walked or copied; 0 for parts that walk none
  Span span;
};

// Counts reported errors and remembers each step's row total.
class BenchFrontEnd : public calmora::FrontEnd {
 public:
  void ShowMessage(std::string_view text, std::string_view title, calmora::MessageIcon,
                   bool) override {
    ++messages;
    std::printf("  message: %.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
                static_cast<int>(text.size()), text.data());
  }
  void SetPointer(calmora::MousePointer) override {}
  void FolderCopyProgress(std::int64_t, std::int64_t) override {}
  void StepProgress(std::string_view, std::int64_t, std::int64_t total) override { rows = total; }

  int messages = 0;
  std::int64_t rows = 0;
};

struct Step {
  const char* name;
  void (*run)();
};

// The driver's order.
constexpr std::array<Step, 7> kSteps{{
    {"new tables", calmora::COMAddTables},
    {"relationships", calmora::COMAddRelationships},
    {"event columns", calmora::COMAlterTables},
    {"diagnosis codes", calmora::COMAddRowData},
    {"NULL cleanup", calmora::COMRemoveNulls},
    {"event linking", calmora::COMFixNullEvent},
    {"claim copy", calmora::COMMoveCMSData},
}};

template <typename Number>
bool ParseNumber(std::string_view text, Number& out) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && ptr == end;
}

// The generator runs in a child process, so that its memory is not
// counted as the conversion's.
bool GeneratePractice(const fs::path& file, const calmora::fixture::PracticeOptions& options) {
  std::fflush(stdout);
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    try {
      const auto summary = calmora::fixture::WritePracticeDatabase(file, options);
      std::printf("practice: %d patients, %d events, %d claims (%d without an event)\n",
                  summary.patients, summary.events, summary.claims, summary.claimsWithoutEvent);
      std::fflush(stdout);
      ::_exit(0);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "calmora-bench: generating the practice: %s\n", e.what());
      ::_exit(1);
    }
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Rate(const Part& part) { return part.span.cpu > 0 ? static_cast<double>(part.rows) / part.span.cpu : 0; }
double Mb(long kib) { return static_cast<double>(kib) / 1024.0; }

void PrintTable(const std::vector<Part>& parts, const Part& limit) {
  std::printf("\n%-26s %9s %9s %9s %10s %10s %10s %8s\n", "part", "rows", "wall s", "cpu s",
              "rows/s", "rate/limit", "time/limit", "peak MB");
  for (const Part& p : parts) {
    std::printf("%-26s %9lld %9.2f %9.2f ", p.name.c_str(), static_cast<long long>(p.rows),
                p.span.wall, p.span.cpu);
    if (p.rows > 0)
      std::printf("%10.0f %10.2f ", Rate(p), Rate(limit) > 0 ? Rate(p) / Rate(limit) : 0.0);
    else
      std::printf("%10s %10s ", "", "");
    std::printf("%10.2f %8.0f\n", limit.span.cpu > 0 ? p.span.cpu / limit.span.cpu : 0.0,
                Mb(p.span.peakRssKiB));
  }
}

}  // namespace

int main(int argc, char** argv) {
  calmora::fixture::PracticeOptions options;
  options.claims = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--claims" && hasValue && ParseNumber(argv[i + 1], options.claims) &&
        options.claims >= 0) {
      ++i;
    } else if (arg == "--seed" && hasValue && ParseNumber(argv[i + 1], options.seed)) {
      ++i;
    } else if (arg == "-h" || arg == "--help") {
      std::printf("%s\n%s", kUsage, kHelp);
      return 0;
    } else if (arg == "--version") {
      std::printf("%s", calmora::VersionLine("calmora-bench").c_str());
      return 0;
    } else {
      std::fprintf(stderr, "calmora-bench: unexpected argument %s\n%s", argv[i], kUsage);
      return 2;
    }
  }
  if (options.claims < 0) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }

  const fs::path work = fs::temp_directory_path() / ("calmora-bench-" + std::to_string(::getpid()));
  fs::remove_all(work);
  fs::create_directories(work);
  const fs::path practice = work / "practice.mdb", steps = work / "steps.mdb",
                 beforeCopy = work / "before-claim-copy.mdb", reference = work / "reference.mdb";
  const std::string password = calmora::fixture::kDatabasePassword;
  int status = 0;
  try {
    Stopwatch generation;
    if (!GeneratePractice(practice, options)) return 1;
    std::printf("generated in %.1f s (not counted below)\n", generation.Stop().wall);
    fs::copy_file(practice, steps);

    BenchFrontEnd frontEnd;
    calmora::InstallFrontEnd(&frontEnd);
    auto& run = calmora::CurrentRun();
    if (!calmora::COMOpenConnection(run.DbConnection, steps.string(),
                                    calmora::fixture::kDatabaseUser, password))
      throw std::runtime_error("the practice database cannot be opened");

    std::vector<Part> parts;
    Part whole{"whole upgrade", 0, {}};
    for (const Step& step : kSteps) {
      // The references start from the file as the claim copy finds it.
      if (std::string_view(step.name) == "claim copy") fs::copy_file(steps, beforeCopy);
      frontEnd.rows = 0;
      Stopwatch watch;
      step.run();
      Part part{step.name, frontEnd.rows, watch.Stop()};
      Stopwatch durable;
      run.DbConnection->MakeDurable();
      Part point{std::string("  durability point"), 0, durable.Stop()};
      for (const Part* p : {&part, &point}) {
        whole.span.wall += p->span.wall;
        whole.span.cpu += p->span.cpu;
        whole.span.peakRssKiB = std::max(whole.span.peakRssKiB, p->span.peakRssKiB);
      }
      parts.push_back(part);
      parts.push_back(point);
    }
    run.DbConnection->Close();
    calmora::InstallFrontEnd(nullptr);
    calmora::ResetRunState();
    parts.push_back(whole);

    auto measure = [&](const char* name, auto copy) {
      fs::copy_file(beforeCopy, reference, fs::copy_options::overwrite_existing);
      Stopwatch watch;
      const std::int64_t rows = copy(reference.string(), password);
      return Part{name, rows, watch.Stop()};
    };
    const Part limit = measure("limit: set-based", calmora::bench::CopyClaimsSetBased);
    const auto check = calmora::bench::CompareClaimTables(steps.string(), reference.string(), password);
    const Part prepared = measure("prepared, re-bound", calmora::bench::CopyClaimsPrepared);
    const Part unconstrained = measure("limit without rules", calmora::bench::CopyClaimsUnconstrained);
    parts.push_back(limit);
    parts.push_back(prepared);
    parts.push_back(unconstrained);

    PrintTable(parts, limit);
    const Part& copy = *std::find_if(parts.begin(), parts.end(),
                                     [](const Part& p) { return p.name == "claim copy"; });
    std::printf("\n(rows/s and ratios from CPU time; peak MB: resident memory while the part ran;\n"
                " peak-rss-mb below: the upgrade's, the references run on the storage library alone)\n");
    if (frontEnd.messages > 0) {
      std::printf("errors were reported during the upgrade: %d\n", frontEnd.messages);
      status = 1;
    }
    if (check.Same() && check.rowsA == copy.rows) {
      std::printf("differential check: the claim copy and the set-based copy wrote the same %lld cms2012 rows\n",
                  static_cast<long long>(check.rowsA));
    } else {
      std::printf("differential check FAILED: claim copy %lld rows, set-based %lld rows, %lld rows differ\n",
                  static_cast<long long>(check.rowsA), static_cast<long long>(check.rowsB),
                  static_cast<long long>(check.differingRows));
      status = 1;
    }
    std::printf("claim-copy/limit=%.2f whole/limit=%.2f rules-cost=%.2f peak-rss-mb=%.0f\n",
                Rate(copy) / Rate(limit), whole.span.cpu / limit.span.cpu,
                Rate(limit) / Rate(unconstrained), Mb(whole.span.peakRssKiB));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "calmora-bench: %s\n", e.what());
    status = 1;
  }
  fs::remove_all(work);
  return status;
}
