#include "AppTestSupport.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "jet/Connection.h"
#include "jet/Recordset.h"
#include "platform/modADO.h"
#include "support/FileBytes.h"
#include "tools/fixture/SamplePractice.h"

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
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("conversion_") && entry.path().extension() == ".txt")
      logs.push_back(entry.path());
  }
  return logs;
}

std::string ShellWord(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

ShellOutcome RunInShell(const std::string& command, const fs::path& folder) {
  const fs::path out = folder / "stdout.txt", err = folder / "stderr.txt";
  const std::string redirected =
      command + " > " + ShellWord(out.string()) + " 2> " + ShellWord(err.string());
  const int status = std::system(redirected.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileBytes(out), ReadFileBytes(err)};
}

}  // namespace calmora::testing
