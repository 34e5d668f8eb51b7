#include "driver/Driver.h"

#include <cstdint>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <variant>

#include "diagnostics/ConversionLog.h"
#include "diagnostics/ConversionSummary.h"
#include "diagnostics/ErrorInfo.h"
#include "diagnostics/FrontEnd.h"
#include "diagnostics/modError.h"
#include "jet/Probe.h"
#include "os/DatabaseReplacement.h"
#include "os/FileSystem.h"
#include "os/ProgramStart.h"
#include "platform/Installations.h"
#include "platform/modADO.h"
#include "platform/modFileSysOps.h"
#include "platform/modRegistry.h"
#include "state/RunState.h"
#include "upgrade/UpgradeSteps.h"

namespace calmora {

namespace fs = std::filesystem;

namespace {

constexpr char kModule[] = "frmMain";
constexpr char kProcedure[] = "cmdConvert_Click";

constexpr std::int32_t kStringValue = 1;
constexpr std::string_view kRequiredVersion = kConvertibleVersion;

// Compared to the letter and by its first characters only: 3.1.0.0.12
// passes, 3.1 does not.
bool IsConvertibleVersion(const std::string& version) {
  return version.substr(0, kRequiredVersion.size()) == kRequiredVersion;
}

constexpr char kInstallationTitle[] = "Invalid/Incomplete V3 installation";
constexpr char k2014InstallationTitle[] = "Invalid/Incomplete V3.1 installation";
constexpr char kWrongVersion[] =
    "Calmora 2014 Upgrade can only be used to convert Calmora VERSION 3.1 Databases.  "
    "Please call toll free: (800) 555-0142 for assistance.";
constexpr char kNoV3Installation[] =
    "Calmora 2014 Upgrade cannot find cannot find your V3 installation.  "
    "Please call toll free: (800) 555-0142 for assistance.";
constexpr char kNo2014Installation[] =
    "Calmora 2014 Upgrade cannot find your 2014 installation.  "
    "Please call toll free: (800) 555-0142 for assistance.";
constexpr char kComplete[] = "Conversion complete.";
constexpr char kCompleteTitle[] = "Conversion complete";
constexpr char kNoConnection[] =
    "This Conversion Utility failed to connect to one of the databases.  "
    "Please call toll free: (800)555-0142 for assistance.";
constexpr char kNoConnectionTitle[] = "Connection Error";


// Each path advances the current line, as the numbered statements do.
InstallationPaths DerivePaths(const std::string& folder, int firstLine, int& line) {
  InstallationPaths p;
  line = firstLine;
  p.database = folder + "/" + kDatabasePath;
  line += 10;
  p.pictures = folder + "/" + kPicturesFolder + "/";
  line += 10;
  p.clientDocuments = folder + "/" + kClientDocumentsFolder + "/";
  line += 10;
  p.relatedResources = folder + "/" + kRelatedResourcesFolder + "/";
  line += 10;
  p.batchExports = folder + "/" + kBatchExportsFolder + "/";
  return p;
}

// A registry value as the text the driver compares and cuts: a number
// becomes its decimal text, so it never passes the version test.
std::string ValueText(const RegistryValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* number = std::get_if<std::int32_t>(&value)) return std::to_string(*number);
  return {};
}

[[noreturn]] void RaiseInvalidProcedureCall() {
  throw VbError(vberr::InvalidProcedureCall, "Invalid procedure call or argument");
}

// The installation folder from a "Location" value. The registry hands back
// the string with its terminating NUL; only that NUL is removed, so a
// string stored without one keeps its last real character. A value that
// leaves no folder, a folder that still holds a NUL, or a number, names no
// folder at all.
std::string InstallationFolder(const RegistryValue& location) {
  const auto* text = std::get_if<std::string>(&location);
  if (text == nullptr) RaiseInvalidProcedureCall();
  std::string folder = *text;
  if (!folder.empty() && folder.back() == '\0') folder.pop_back();
  if (folder.empty() || folder.find('\0') != std::string::npos) RaiseInvalidProcedureCall();
  // A relative folder would mean another place once anything (the updater's
  // start) runs in another directory: it is taken from where the run began.
  return fs::absolute(folder).string();
}

// The durability point after a step. A failure there is the driver's own,
// reported once per run (a disk that stays full would otherwise add a
// report after every later step) at the step's line, naming the step.
void MakeDurableAfter(const UpgradeStep& step, bool& failureReported) {
  try {
    if (CurrentRun().DbConnection && CurrentRun().DbConnection->IsOpen()) CurrentRun().DbConnection->MakeDurable();
  } catch (...) {
    if (failureReported) return;
    failureReported = true;
    ErrorInfo error = CaptureError(std::current_exception());
    error.description = PrefixLine(
        step.line, "The work of " + std::string(step.procedure) + " could not be made durable: " +
                       error.description);
    HandleError(kModule, kProcedure, error);
  }
}

// The files of a folder that match a pattern, each copied over its
// namesake: the listing on `listLine`, each copy 20 lines on, the next name
// 30 lines on.
void CopyMatchingFiles(const std::string& from, const std::string& to, const char* pattern,
                       int listLine, int& line) {
  line = listLine;
  for (const std::string& name : ListFolder(from, pattern, kFilesOnly)) {
    line = listLine + 20;
    CopyFileReplacing(from + name, to + name);
    line = listLine + 30;
  }
}

// Every sub-folder of a folder copied as a whole tree; files lying in the
// folder itself stay behind. The listing on `listLine`, the directory test
// 20 lines on (asked of every entry, "." and ".." included), the copy 30
// lines on, the next name 50 lines on.
void CopySubFolders(const std::string& from, const std::string& to, int listLine, int& line) {
  line = listLine;
  for (const std::string& name : ListFolder(from, "*.*", kWithFolders)) {
    line = listLine + 20;
    if (IsADirectory(from + name) && name != "." && name != "..") {
      line = listLine + 30;
      VBCopyFolder(from + name, to + name);
    }
    line = listLine + 50;
  }
}

void ShowStop(const char* text, const char* title) {
  ActiveFrontEnd().ShowMessage(text, title, MessageIcon::Critical);
}

}  // namespace

RunOutcome cmdConvert_Click() {
  // The number of the statement being executed; the error path names it.
  int line = 10;
  try {
    line = 20;
    std::string key = kKeyV31;
    line = 30;
    std::string locationName = kLocation;
    line = 40;
    std::string versionName = kVersion;
    line = 50;
    const std::int32_t requestedType = kStringValue;

    line = 60;
    RegistryValue locationV3;
    if (!ReadRegistryValue(key, locationName, requestedType, locationV3)) {
      line = 270;
      ShowStop(kNoV3Installation, kInstallationTitle);
      line = 280;
      return RunOutcome::Stopped;
    }
    line = 70;
    RegistryValue version;
    if (!ReadRegistryValue(key, versionName, requestedType, version)) {
      line = 220;
      ShowStop(kNoV3Installation, kInstallationTitle);
      line = 230;
      return RunOutcome::Stopped;
    }
    line = 80;
    if (!IsConvertibleVersion(ValueText(version))) {
      line = 170;
      ShowStop(kWrongVersion, kInstallationTitle);
      line = 180;
      return RunOutcome::Stopped;
    }
    line = 90;
    const std::string folderV3 = InstallationFolder(locationV3);
    const InstallationPaths v3 = DerivePaths(folderV3, 100, line);

    line = 300;
    key = kKey2014;
    line = 310;
    locationName = kLocation;
    line = 320;
    RegistryValue location2014;
    if (!ReadRegistryValue(key, locationName, requestedType, location2014)) {
      line = 410;
      ActiveFrontEnd().ShowMessage(kNo2014Installation, k2014InstallationTitle, MessageIcon::Critical);
      line = 420;
      return RunOutcome::Stopped;
    }
    line = 330;
    CurrentRun().InstallFolder2014 = InstallationFolder(location2014);
    const InstallationPaths v2014 = DerivePaths(CurrentRun().InstallFolder2014, 340, line);

    line = 440;
    CurrentRun().LogFolder = CurrentRun().InstallFolder2014;
    line = 450;
    if (!OpenLogFile()) return RunOutcome::Stopped;

    CopyMatchingFiles(v3.pictures, v2014.pictures, "*.bmp", 460, line);
    CopySubFolders(v3.clientDocuments, v2014.clientDocuments, 510, line);
    CopySubFolders(v3.relatedResources, v2014.relatedResources, 580, line);
    CopyMatchingFiles(v3.batchExports, v2014.batchExports, "*.txt", 650, line);

    line = 700;
    const std::string replaced = ReplaceDatabase(v3.database, v2014.database);

    line = 710;
    if (COMOpenConnection(CurrentRun().DbConnection, v2014.database, kDatabaseUser,
                          kDatabasePassword)) {
      line = 720;
      ActiveFrontEnd().SetPointer(MousePointer::Hourglass);
      TakeRowCountsBefore();
      bool durabilityFailureReported = false;
      for (const UpgradeStep& step : UpgradeSteps()) {
        line = step.line;
        step.run();
        // Everything the run wrote is on disk before the updater starts.
        MakeDurableAfter(step, durabilityFailureReported);
      }
      WriteConversionSummary();
      line = 800;
      StartUpdater();
      line = 810;
      ActiveFrontEnd().SetPointer(MousePointer::Default);
      line = 820;
      ActiveFrontEnd().ShowMessage(kComplete, kCompleteTitle, MessageIcon::None);
    } else {
      line = 840;
      ActiveFrontEnd().ShowMessage(kNoConnection, kNoConnectionTitle, MessageIcon::Critical);
      line = 850;
      // A copy that cannot be opened is no 2014 database: the one it
      // replaced comes back, so the 2014 installation works as before the
      // run. The V3.1 original was only read; nothing is lost with the copy.
      PutBackReplacedDatabase(v2014.database, replaced);
    }
    line = 860;
    CloseLogFile();
    line = 880;
    return RunOutcome::Finished;
  } catch (...) {
    ErrorInfo error = CaptureError(std::current_exception());
    ActiveFrontEnd().SetPointer(MousePointer::Default);
    error.description = PrefixLine(line, error.description);
    HandleError(kModule, kProcedure, error);
    return RunOutcome::ErrorPath;
  }
}

bool ErrorsWereReported() { return CurrentRun().log.ErrorsReported; }

FoundInstallations FindInstallations() {
  FoundInstallations found;
  int line = 0;  // no report names it: nothing is reported here
  RegistryValue location, version;
  found.v31Found = ReadRegistryValue(kKeyV31, kLocation, kStringValue, location);
  if (found.v31Found && ReadRegistryValue(kKeyV31, kVersion, kStringValue, version)) {
    found.versionRead = true;
    found.version = ValueText(version);
    found.versionAccepted = IsConvertibleVersion(found.version);
    // Shown to a person: the terminating NUL the registry hands back is no
    // part of the version.
    if (!found.version.empty() && found.version.back() == '\0') found.version.pop_back();
  }
  try {
    if (found.v31Found) found.v31 = DerivePaths(InstallationFolder(location), 100, line);
  } catch (...) {
    found.v31Found = false;
  }
  RegistryValue location2014;
  found.found2014 = ReadRegistryValue(kKey2014, kLocation, kStringValue, location2014);
  try {
    if (found.found2014) {
      found.folder2014 = InstallationFolder(location2014);
      found.v2014 = DerivePaths(found.folder2014, 340, line);
    }
  } catch (...) {
    found.found2014 = false;
  }
  return found;
}

std::int64_t ProbePracticeDatabase(const std::string& database) {
  return jet::ProbeDatabase(database, kDatabasePassword);
}

bool isFile(const std::string& file) { return IsPlainFile(file); }

void StartUpdater() {
  try {
    const std::string folder = CurrentRun().InstallFolder2014;
    const std::string updater = folder + "/" + kUpdaterPath;
    if (!isFile(updater)) return;
    StartProgram(updater, folder);  // a failed start is not reported
  } catch (...) {
    // A missing or unstartable updater is not the conversion's failure.
  }
}

}  // namespace calmora
