// The SQL dialect end to end: lexer, parser and compiler, then the
// statement executed on a practice-shaped file. Refusals are jet::Error;
// anything else (a crash, a sanitizer report, another exception) is a
// finding. What a statement changed is undone by putting the file back
// after every schema change and every few hundred statements.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzDatabase.h"
#include "jet/Error.h"
#include "jet/Recordset.h"

namespace {

bool ChangesSchema(const std::string& sql) {
  std::size_t i = 0;
  while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
  std::string word;
  while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i])) && word.size() < 6)
    word += static_cast<char>(std::tolower(static_cast<unsigned char>(sql[i++])));
  return word == "create" || word == "alter";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static calmora::fuzz::FuzzDatabase db;
  static int sinceReset = 0;
  const std::string sql(reinterpret_cast<const char*>(data), size);
  bool changed = false;
  try {
    db.connection().Execute(sql);
    changed = true;
    // A SELECT that runs is read back as a recordset too.
    jet::Recordset rs;
    rs.Open(sql, db.connection());
    for (int n = 0; !rs.IsEOF() && n < 100; ++n, rs.MoveNext())
      for (std::size_t f = 0; f < rs.FieldCount(); ++f) (void)rs.FieldAt(f);
  } catch (const jet::Error&) {
  }
  db.connection().errors().Clear();
  if ((changed && ChangesSchema(sql)) || ++sinceReset >= 500) {
    db.Reset();
    sinceReset = 0;
  }
  return 0;
}
