#include "AppTestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "engine/Connection.h"
#include "engine/Recordset.h"
#include "platform/modADO.h"
#include "support/FileBytes.h"
#include "tools/fixture/SamplePractice.h"

namespace calmora::testing {

namespace fs = std::filesystem;

std::map<std::string, std::string> FileTree(const fs::path& root) {
  std::map<std::string, std::string> files;
  if (!fs::exists(root)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), root).string()] = ReadFileBytes(entry.path());
  }
  return files;
}

std::vector<std::string> FolderTree(const fs::path& root) {
  std::vector<std::string> folders;
  if (!fs::exists(root)) return folders;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_directory()) folders.push_back(fs::relative(entry.path(), root).string());
  }
  std::sort(folders.begin(), folders.end());
  return folders;
}

std::string RegistryFile(const std::vector<std::string>& keyBlocks) {
  std::string text = "Windows Registry Editor Version 5.00\r\n";
  for (const std::string& block : keyBlocks) text += "\r\n" + block;
  return text;
}

std::string RegistryKey(const std::string& key, const std::vector<std::string>& valueLines) {
  std::string text = "[HKEY_LOCAL_MACHINE\\" + key + "]\r\n";
  for (const std::string& line : valueLines) text += line + "\r\n";
  return text;
}

std::string StringValue(const std::string& name, const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return "\"" + name + "\"=" + quoted + "\"";
}

std::string StringValueWithoutNul(const std::string& name, const std::string& text) {
  // UTF-16LE as a version-5 export holds it; the tests' paths are ASCII.
  std::string hex;
  char byte[8];
  for (unsigned char c : text) {
    std::snprintf(byte, sizeof byte, "%s%02x,00", hex.empty() ? "" : ",", c);
    hex += byte;
  }
  return "\"" + name + "\"=hex(1):" + hex;
}

std::string NumberValue(const std::string& name, std::uint32_t number) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", number);
  return "\"" + name + "\"=dword:" + text;
}

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
  if (!fs::is_directory(folder)) return logs;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("conversion_", 0) == 0 && entry.path().extension() == ".txt")
      logs.push_back(entry.path());
  }
  return logs;
}

int ZombieChildren() {
  const std::string self = std::to_string(::getpid());
  int zombies = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::ifstream in(entry.path() / "stat");
    std::string stat;
    if (!in || !std::getline(in, stat)) continue;
    // "pid (name) state ppid ...": the name may hold blanks and brackets.
    const auto close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 1));
    std::string state, parent;
    rest >> state >> parent;
    if (parent == self && state == "Z") ++zombies;
  }
  return zombies;
}

int RunCommand(const std::string& commandLine) {
  const int status = std::system(commandLine.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::string ShellWord(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace calmora::testing
