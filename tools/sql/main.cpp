// calmora-sql: runs SQL in the engine's dialect against one database, one
// statement per input line, for support staff and for tests.
//
//   calmora-sql [--create] [--password PW] DATABASE  < statements
//
// Output of a SELECT: a header line of column names, then one line per row;
// fields are separated by TAB and shown in their default text form, NULL as
// `Null`. Inside a name or text, a backslash is written `\\`, a TAB `\t`, a
// line feed `\n` and a carriage return `\r`, so that every line is one row
// and every TAB a field boundary. (A text that is the word Null still shows
// as Null; the escapes do not mark it apart.)
//
// A failing statement prints "ERROR <number>: <description>" on standard
// error and the next one runs. Exit status: 0 when everything succeeded, 1
// when any statement (or opening the database) failed, 2 on a usage error.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>

#include "ProgramVersion.h"
#include "jet/Connection.h"
#include "jet/Error.h"
#include "jet/Recordset.h"
#include "jet/Value.h"

namespace {

constexpr char kUsage[] = "usage: calmora-sql [--create] [--password PW] DATABASE";
constexpr char kHelp[] =
    "Runs SQL statements in the engine's dialect, one per line from standard input,\n"
    "and prints each SELECT's rows with TABs between the fields.\n"
    "\n"
    "Options:\n"
    "  --create       make DATABASE as a new, empty file first (it must not exist)\n"
    "  --password PW  the database password\n"
    "  --help         show this text and exit\n"
    "  --version      show the program's name and version and exit\n"
    "\n"
    "Exit status: 0 when every statement succeeded, 1 when any failed, 2 on a usage error.\n";
constexpr std::int32_t kUnspecifiedError = -2147467259;  // E_FAIL

enum class Request { Run, Help, Version };

struct Options {
  Request request = Request::Run;
  bool create = false;
  std::string password;
  std::string database;
};

// Empty text when the arguments are well formed, else what is wrong.
std::string ParseArguments(int argc, char** argv, Options& options) {
  bool haveDatabase = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    // Help and the version are answered as soon as they are met.
    if (arg == "--help" || arg == "-h") {
      options.request = Request::Help;
      return {};
    }
    if (arg == "--version") {
      options.request = Request::Version;
      return {};
    }
    if (arg == "--create") {
      options.create = true;
    } else if (arg == "--password") {
      if (++i == argc) return "--password needs a value";
      options.password = argv[i];
    } else if (arg.size() > 1 && arg.front() == '-') {
      return "unknown option " + std::string(arg);
    } else if (haveDatabase) {
      return "only one database can be given";
    } else {
      options.database = arg;
      haveDatabase = true;
    }
  }
  if (!haveDatabase || options.database.empty()) return "no database given";
  // Connection string values are unquoted: a ';' would end the setting.
  if (options.database.find(';') != std::string::npos) return "the database path cannot contain ';'";
  if (options.password.find(';') != std::string::npos) return "the password cannot contain ';'";
  return {};
}

std::string Escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string_view TrimmedLeft(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

bool IsSelect(std::string_view sql) {
  constexpr std::string_view kWord = "SELECT";
  sql = TrimmedLeft(sql);
  if (sql.size() < kWord.size()) return false;
  for (std::size_t i = 0; i < kWord.size(); ++i) {
    char c = sql[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != kWord[i]) return false;
  }
  if (sql.size() == kWord.size()) return true;
  const char next = sql[kWord.size()];
  return !((next >= 'A' && next <= 'Z') || (next >= 'a' && next <= 'z') ||
           (next >= '0' && next <= '9') || next == '_');
}

void PrintRows(const std::string& sql, jet::Connection& connection) {
  jet::Recordset rs;
  rs.Open(sql, connection, jet::CursorType::Static, jet::LockType::ReadOnly);
  // Build everything first: a row that fails half-way prints nothing of it.
  std::string out;
  const std::size_t columns = rs.FieldCount();
  for (std::size_t i = 0; i < columns; ++i) {
    if (i > 0) out += '\t';
    out += Escaped(rs.FieldName(i));
  }
  out += '\n';
  while (!rs.IsEOF()) {
    for (std::size_t i = 0; i < columns; ++i) {
      if (i > 0) out += '\t';
      const jet::Value v = rs.FieldAt(i);
      out += v.IsNull() ? std::string("Null") : Escaped(v.ToText());
    }
    out += '\n';
    rs.MoveNext();
  }
  rs.Close();
  std::cout << out << std::flush;
}

void ReportError(std::int32_t number, const std::string& description) {
  std::cerr << "ERROR " << number << ": " << description << '\n' << std::flush;
}

// Runs one step and reports its failure; true when it succeeded.
template <typename Step>
bool Run(Step&& step) {
  try {
    step();
    return true;
  } catch (const jet::Error& e) {
    ReportError(e.number(), e.description());
  } catch (const std::exception& e) {
    ReportError(kUnspecifiedError, e.what());
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const std::string problem = ParseArguments(argc, argv, options); !problem.empty()) {
    std::cerr << "calmora-sql: " << problem << '\n' << kUsage << '\n';
    return 2;
  }
  if (options.request == Request::Help) {
    std::cout << kUsage << '\n' << kHelp;
    return 0;
  }
  if (options.request == Request::Version) {
    std::cout << calmora::VersionLine("calmora-sql");
    return 0;
  }

  jet::Connection connection;
  const bool opened = Run([&] {
    if (options.create) jet::Connection::CreateDatabase(options.database, options.password);
    connection.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + options.database +
                    ";User Id=Admin;Jet OLEDB:Database Password=" + options.password + ";");
  });
  if (!opened) return 1;

  bool failed = false;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string_view sql = TrimmedLeft(line);
    if (sql.empty() || sql.starts_with("--")) continue;
    const bool ok = Run([&] {
      if (IsSelect(line)) {
        PrintRows(line, connection);
      } else {
        connection.Execute(line);
      }
    });
    failed = failed || !ok;
  }
  if (!Run([&] { connection.Close(); })) failed = true;
  return failed ? 1 : 0;
}
