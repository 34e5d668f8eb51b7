#include "AppTestSupport.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "jet/Connection.h"
#include "jet/Recordset.h"
#include "platform/modADO.h"
#include "state/RunState.h"
#include "support/FileBytes.h"

namespace calmora::testing {

namespace fs = std::filesystem;

std::unique_ptr<jet::Connection> OpenPractice(const fs::path& database) {
  auto connection = std::make_unique<jet::Connection>();
  connection->Open(BuildConnectionString(database.string(), fixture::kDatabaseUser,
                                         fixture::kDatabasePassword));
  return connection;
}

long CountOf(jet::Connection& connection, const std::string& sql) {
  jet::Recordset rs;
  rs.Open(sql, connection);
  return std::stol(rs.Field("n").ToText());
}

std::vector<std::string> UpdaterStarts(const fs::path& startsFile,
                                       std::chrono::milliseconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (!fs::exists(startsFile) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  // A second start, were there one, would come at once.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::vector<std::string> lines;
  std::ifstream in(startsFile);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<fs::path> LogFilesIn(const fs::path& folder) {
  std::vector<fs::path> logs;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().starts_with("conversion_") &&
        entry.path().extension() == ".txt")
      logs.push_back(entry.path());
  return logs;
}

std::map<std::string, std::string> FileTree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = ReadFileBytes(e.path());
  return files;
}

std::set<std::string> CopiedDocuments(const std::map<std::string, std::string>& tree2014,
                                      const std::map<std::string, std::string>& v31) {
  std::set<std::string> names;
  for (const auto& [path, bytes] : tree2014) {
    if (path.starts_with("Database/") || path.starts_with("CalmoraUpdate/") ||
        path.starts_with("conversion"))
      continue;
    names.insert(path);
    const auto original = v31.find(path);
    EXPECT_TRUE(original != v31.end() && bytes == original->second) << path << " is no V3.1 file whole";
  }
  return names;
}

int Occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

MachineTest::MachineTest() : root(fs::canonical(dir.path())) { ResetRunState(); }

MachineTest::~MachineTest() {
  ResetRunState();
  ::unsetenv("CALMORA_REGISTRY");
}

fixture::PracticeSummary MachineTest::Make(const fixture::PracticeOptions& options,
                                           const std::string& name) {
  ResetRunState();
  ui.clear();
  machine = fixture::SampleLayout(root / name);
  const auto made = fixture::WriteSampleMachine(machine.root, options);
  fs::remove_all(root / "pristine");
  fs::copy(machine.root, root / "pristine",
           fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  ::setenv("CALMORA_REGISTRY", machine.registryFile.c_str(), 1);
  return made;
}

void MachineTest::FreshMachine() {
  ResetRunState();
  ui.clear();
  std::error_code ec;
  for (int attempt = 0; fs::remove_all(machine.root, ec), ec; ++attempt) {
    if (attempt == 100) throw std::runtime_error("the machine cannot be removed: " + ec.message());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  fs::copy(root / "pristine", machine.root,
           fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

std::string MachineTest::Log() const {
  std::string all;
  std::error_code ec;
  if (fs::is_directory(machine.folder2014, ec))
    for (const auto& log : LogFilesIn(machine.folder2014)) all += ReadFileBytes(log);
  return all;
}

std::string MachineTest::Boxes() const {
  std::string all;
  for (const auto& m : ui.messages()) all += m.title + ": " + m.text + "\n";
  return all;
}

}  // namespace calmora::testing
