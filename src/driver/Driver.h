#pragma once
// The conversion run behind the window's one button, and the start of the
// 2014 installation's updater. The run asks nothing; it shows its messages
// through ActiveFrontEnd() and reports every error through HandleError. Ending the
// process is the front end's act: the run tells it how the run ended.
#include <cstdint>
#include <string>

namespace calmora {

enum class RunOutcome {
  // The run reached its end; the log got its final lines. Exit 0 when no
  // error was reported, else 1 (see ErrorsWereReported).
  Finished,
  // An error in the driver itself: reported, the window stays open and may
  // be clicked again; the log stays open without its final lines.
  ErrorPath,
  // Stopped before converting: an installation not found, a wrong version,
  // or the log could not be opened. The process is to end.
  Stopped,
};

RunOutcome cmdConvert_Click();

// The paths of one installation, in the order the run derives them.
struct InstallationPaths {
  std::string database;
  std::string pictures;
  std::string clientDocuments;
  std::string relatedResources;
  std::string batchExports;
};

// Both installations as the run finds them in the registry, read the same
// way and showing nothing; for the pre-flight check.
struct FoundInstallations {
  bool v31Found = false;         // "Location" read and names a folder
  bool versionRead = false;
  std::string version;
  bool versionAccepted = false;  // begins with 3.1.0.0
  InstallationPaths v31;
  bool found2014 = false;
  std::string folder2014;
  InstallationPaths v2014;
};
FoundInstallations FindInstallations();

// Opens the practice database at the path with the practice's password,
// read-only and changing nothing; answers its number of tables or fails
// with jet::Error.
std::int64_t ProbePracticeDatabase(const std::string& database);

// Whether the run that finished reported any error (the log's final lines).
bool ErrorsWereReported();

// Starts InstallFolder2014 + "/CalmoraUpdate/CalmoraDBUpdate.exe" once, with
// no arguments, in InstallFolder2014, not waited for; silent on failure.
void StartUpdater();

// True when a plain file exists at the path; false for a folder or on any
// failure.
bool isFile(const std::string& file);

}  // namespace calmora
