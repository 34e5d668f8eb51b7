// Measures what one literal INSERT text costs through the engine, against the
// storage library driven directly, on a 233-column table like the claim
// copy's: `calmora-engine-bench [ROWS] [FOLDER]`. Prints rows per second;
// exit status 0, 1 on a storage error, 2 on a usage error.
#include <sqlite3.h>

#include <charconv>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ProgramVersion.h"
#include "jet/Connection.h"
#include "jet/Error.h"

namespace {

constexpr char kPassword[] = "bench-password";
constexpr char kUsage[] = "usage: calmora-engine-bench [ROWS] [FOLDER]\n";
constexpr char kHelp[] =
    "Times literal INSERT texts through the engine against the storage library driven\n"
    "directly, on a 233-column table like the claim copy's; prints rows per second.\n"
    "ROWS defaults to 10000; FOLDER (default engine-bench in the temporary folder)\n"
    "is emptied first.\n"
    "\n"
    "Options:\n"
    "  --help     show this text and exit\n"
    "  --version  show the program's name and version and exit\n";

struct Arguments {
  int rows = 10000;
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "engine-bench";
};

// -1 when the run goes ahead, else the exit status: help and the version
// are answered here, and a wrong argument stops the run before FOLDER is
// emptied.
int ParseArguments(int argc, char** argv, Arguments& arguments) {
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::printf("%s\n%s", kUsage, kHelp);
      return 0;
    }
    if (arg == "--version") {
      std::printf("%s", calmora::VersionLine("calmora-engine-bench").c_str());
      return 0;
    }
    const char* end = arg.data() + arg.size();
    bool good = !arg.empty() && arg.front() != '-';
    if (good && positional == 0) {
      const auto [ptr, ec] = std::from_chars(arg.data(), end, arguments.rows);
      good = ec == std::errc() && ptr == end && arguments.rows > 0;
    } else if (good && positional == 1) {
      arguments.folder = arg;
    } else {
      good = false;
    }
    if (!good) {
      std::fprintf(stderr, "calmora-engine-bench: unexpected argument %s\n%s", argv[i], kUsage);
      return 2;
    }
    ++positional;
  }
  return -1;
}

struct Column {
  std::string name;
  char kind;  // L long, D date, Y yes/no, T text, C currency, I integer
  int width;
};

// A table of the claim form's make-up: 232 columns after the counter.
std::vector<Column> Columns() {
  std::vector<Column> columns = {{"CLIENT_ID", 'L', 0}, {"EVENT_ID", 'L', 0}, {"DATE_OF_THERAPY", 'D', 0}};
  int n = 0;
  auto add = [&](char kind, int count, int width) {
    for (int i = 0; i < count; ++i) columns.push_back({"C" + std::to_string(++n), kind, width});
  };
  add('Y', 40, 0);
  add('T', 97, 12);
  add('D', 20, 0);
  add('T', 60, 4);
  add('C', 6, 0);
  add('I', 6, 0);
  return columns;
}

std::string CreateSql(const std::vector<Column>& columns) {
  std::string sql = "CREATE TABLE claims (CMS_ID COUNTER PRIMARY KEY";
  for (const auto& c : columns) {
    sql += ", " + c.name + " ";
    switch (c.kind) {
      case 'L': sql += "LONG not null"; break;
      case 'D': sql += "DATE"; break;
      case 'Y': sql += "YESNO"; break;
      case 'T': sql += "TEXT(" + std::to_string(c.width) + ") not null"; break;
      case 'C': sql += "CURRENCY null"; break;
      case 'I': sql += "INTEGER null"; break;
    }
  }
  return sql + ")";
}

std::string TextValue(int row, int width) {
  std::string s = "O'N" + std::to_string(row * 7919 % 100000);
  s.resize(static_cast<std::size_t>(width), 'x');
  return s;
}

// The engine's dialect, as the claim copy writes it.
std::string JetInsert(const std::vector<Column>& columns, int row) {
  std::string names, values;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const Column& c = columns[i];
    names += (i ? ", " : "") + c.name;
    if (i) values += ", ";
    switch (c.kind) {
      case 'L': values += std::to_string(row); break;
      case 'D': values += "#3/" + std::to_string(row % 28 + 1) + "/2014#"; break;
      case 'Y': values += row % 2 ? "True" : "False"; break;
      case 'T': {
        std::string text = TextValue(row, c.width), quoted = "'";
        for (char ch : text) quoted += ch == '\'' ? std::string("''") : std::string(1, ch);
        values += quoted + "'";
        break;
      }
      case 'C': values += std::to_string(row % 1000) + ".25"; break;
      case 'I': values += std::to_string(row % 30); break;
    }
  }
  return "Insert into claims (" + names + ")  Values (" + values + ")";
}

// The same row in the storage library's own SQL (stored forms).
std::string RawInsert(const std::vector<Column>& columns, int row) {
  std::string names, values;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const Column& c = columns[i];
    names += (i ? ", " : "") + c.name;
    if (i) values += ", ";
    char date[32];
    std::snprintf(date, sizeof date, "'2014-03-%02d 00:00:00'", row % 28 + 1);
    switch (c.kind) {
      case 'L': values += std::to_string(row); break;
      case 'D': values += date; break;
      case 'Y': values += row % 2 ? "-1" : "0"; break;
      case 'T': {
        std::string text = TextValue(row, c.width), quoted = "'";
        for (char ch : text) quoted += ch == '\'' ? std::string("''") : std::string(1, ch);
        values += quoted + "'";
        break;
      }
      case 'C': values += std::to_string((row % 1000) * 10000 + 2500); break;
      case 'I': values += std::to_string(row % 30); break;
    }
  }
  return "INSERT INTO claims (" + names + ") VALUES (" + values + ")";
}

void Bind(sqlite3_stmt* stmt, const std::vector<Column>& columns, int row) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const int p = static_cast<int>(i + 1);
    const Column& c = columns[i];
    char date[32];
    std::snprintf(date, sizeof date, "2014-03-%02d 00:00:00", row % 28 + 1);
    switch (c.kind) {
      case 'L': sqlite3_bind_int64(stmt, p, row); break;
      case 'D': sqlite3_bind_text(stmt, p, date, -1, SQLITE_TRANSIENT); break;
      case 'Y': sqlite3_bind_int64(stmt, p, row % 2 ? -1 : 0); break;
      case 'T': {
        const std::string text = TextValue(row, c.width);
        sqlite3_bind_text(stmt, p, text.c_str(), -1, SQLITE_TRANSIENT);
        break;
      }
      case 'C': sqlite3_bind_int64(stmt, p, (row % 1000) * 10000 + 2500); break;
      case 'I': sqlite3_bind_int64(stmt, p, row % 30); break;
    }
  }
}

// Processor time of this process (the machine may be shared; it compares the
// work each way takes) and elapsed time (which includes the disk).
struct Timing {
  double cpu = 0, wall = 0;
};

Timing Seconds(const std::function<void()>& work) {
  const std::clock_t cpu = std::clock();
  const auto wall = std::chrono::steady_clock::now();
  work();
  return {static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC,
          std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count()};
}

void Report(const char* what, int rows, Timing t) {
  std::printf("%-60s %9.0f rows/s cpu %9.0f rows/s elapsed\n", what, rows / t.cpu, rows / t.wall);
}

std::string NewDatabase(const std::filesystem::path& folder, const std::string& name,
                        const std::string& create) {
  const std::string path = (folder / name).string();
  jet::Connection::CreateDatabase(path, kPassword);
  jet::Connection c;
  c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Jet OLEDB:Database Password=" +
         kPassword + ";");
  c.Execute(create);
  c.Close();
  return path;
}

sqlite3* OpenRaw(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_key(db, kPassword, static_cast<int>(sizeof kPassword - 1));
  sqlite3_exec(db, "PRAGMA cipher_page_size = 4096; PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;",
               nullptr, nullptr, nullptr);
  return db;
}

void Check(sqlite3* db, int rc) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE) {
    std::fprintf(stderr, "storage error: %s\n", sqlite3_errmsg(db));
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Arguments arguments;
  if (const int status = ParseArguments(argc, argv, arguments); status >= 0) return status;
  const int rows = arguments.rows;
  const std::filesystem::path& folder = arguments.folder;
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const auto columns = Columns();
  const std::string create = CreateSql(columns);
  try {
    // 1. Literal INSERT text through the engine, one statement at a time.
    const std::string enginePath = NewDatabase(folder, "engine.db", create);
    jet::Connection c;
    c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + enginePath +
           ";Jet OLEDB:Database Password=" + kPassword + ";");
    std::vector<std::string> texts;
    for (int r = 0; r < rows; ++r) texts.push_back(JetInsert(columns, r + 1));
    const Timing engine = Seconds([&] {
      for (const auto& text : texts) c.Execute(text);
    });
    const Timing durable = Seconds([&] { c.MakeDurable(); });
    c.Close();

    auto raw = [&](const char* name, bool prepared, bool oneTransaction) {
      const std::string path = NewDatabase(folder, name, create);
      sqlite3* db = OpenRaw(path);
      std::string names, params;
      for (std::size_t i = 0; i < columns.size(); ++i) {
        names += (i ? ", " : "") + columns[i].name;
        params += i ? ", ?" : "?";
      }
      const std::string insert = "INSERT INTO claims (" + names + ") VALUES (" + params + ")";
      std::vector<std::string> literal;
      if (!prepared) {
        for (int r = 0; r < rows; ++r) literal.push_back(RawInsert(columns, r + 1));
      }
      sqlite3_stmt* stmt = nullptr;
      Check(db, sqlite3_prepare_v2(db, insert.c_str(), -1, &stmt, nullptr));
      const Timing s = Seconds([&] {
        if (oneTransaction) sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        for (int r = 0; r < rows; ++r) {
          if (prepared) {
            Bind(stmt, columns, r + 1);
            Check(db, sqlite3_step(stmt));
            sqlite3_reset(stmt);
          } else {
            sqlite3_stmt* once = nullptr;
            Check(db, sqlite3_prepare_v2(db, literal[static_cast<std::size_t>(r)].c_str(), -1, &once, nullptr));
            Check(db, sqlite3_step(once));
            sqlite3_finalize(once);
          }
        }
        if (oneTransaction) sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
      });
      sqlite3_finalize(stmt);
      sqlite3_close(db);
      return s;
    };
    const Timing preparedAuto = raw("prepared.db", true, false);
    const Timing preparedTxn = raw("prepared-txn.db", true, true);
    const Timing literalAuto = raw("literal.db", false, false);

    std::printf("rows: %d, table: %zu columns\n", rows, columns.size() + 1);
    Report("engine: literal INSERT text per row (Execute)", rows, engine);
    Report("raw: one prepared statement re-bound per row, autocommit", rows, preparedAuto);
    Report("raw: one prepared statement re-bound, one transaction", rows, preparedTxn);
    Report("raw: literal SQL prepared per row, autocommit", rows, literalAuto);
    std::printf("%-60s %9.1f ms\n", "engine: MakeDurable afterwards", durable.wall * 1000);
  } catch (const jet::Error& e) {
    std::fprintf(stderr, "ERROR %d: %s\n", e.number(), e.description().c_str());
    return 1;
  }
  std::filesystem::remove_all(folder);
  return 0;
}
