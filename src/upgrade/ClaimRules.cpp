// How each rule of the claim mapping writes its SQL item, and the INSERT
// built from the items.
#include "upgrade/ClaimRules.h"

#include "jet/Value.h"
#include "text/Case.h"
#include "text/Utf8.h"
#include "upgrade/ClaimMapping.h"
#include "upgrade/TextRules.h"

namespace calmora {
namespace {

constexpr int kFirstItemLine = 2420;
constexpr std::size_t kZipDigits = 5;
constexpr std::size_t kShortestDiagnosis = 2;
// Room for a typical claim INSERT (names and values), so that it is built
// without growing.
constexpr std::size_t kInsertBytes = 8192;

// Items are appended in place: an INSERT holds some 460 pieces, and a
// temporary string for each cost a fifth of building it.
void AppendQuoted(std::string& sql, const std::string& text) {
  sql += '\'';
  sql += EscapeQuotes(text);
  sql += '\'';
}

// A bare item: yes/no, number or currency in its default text form. A NULL
// yes/no is written as False, any other NULL as null.
std::string Bare(const ClaimItem& item, const jet::Value& source) {
  if (!source.IsNull()) return source.ToText();
  return item.targetIsYesNo ? "False" : "null";
}

// Source lines an item takes: three for the rules that choose between two
// forms (the test, then one branch), one for the others.
int LinesOf(ClaimRule rule) {
  return rule == ClaimRule::Date || rule == ClaimRule::Diagnosis ? 3 : 1;
}

// Appends the item for a source value. `line` is the item's first line on
// entry; for the two-form rules it becomes the line of the branch taken.
// The last item is closed by ")" in place of its separator. A NULL source
// is written as the empty text by the text rules, as False for a yes/no
// target, and as null otherwise.
void AppendItem(const ClaimItem& item, const jet::Value& source, const std::string& diagnosisText,
                bool last, std::string& sql, int& line) {
  const char* separator = last ? ")" : (item.rule == ClaimRule::Flag ? "," : ", ");
  const auto width = static_cast<std::size_t>(item.width);
  switch (item.rule) {
    case ClaimRule::Value:
    case ClaimRule::Flag:
      sql += Bare(item, source);
      break;
    case ClaimRule::Date:
      if (source.IsNull()) {
        line += 10;
        sql += "null";
      } else {
        line += 20;
        sql += '#';
        sql += source.ToText();
        sql += '#';
      }
      break;
    case ClaimRule::Text:
      AppendQuoted(sql, TextOf(source));
      break;
    case ClaimRule::TextFirst:
      AppendQuoted(sql, std::string(text::FirstCharacters(TextOf(source), width)));
      break;
    case ClaimRule::Upper:
      AppendQuoted(sql, text::UpperCased(TextOf(source)));
      break;
    case ClaimRule::UpperFirst:
      AppendQuoted(sql, std::string(text::FirstCharacters(text::UpperCased(TextOf(source)), width)));
      break;
    case ClaimRule::Zip:
      AppendQuoted(sql, std::string(text::FirstCharacters(TextOf(source), kZipDigits)) + "-    ");
      break;
    case ClaimRule::Empty:
      sql += "''";
      break;
    case ClaimRule::False:
      sql += "False";
      break;
    case ClaimRule::Diagnosis:
      if (text::CharacterCount(diagnosisText) < kShortestDiagnosis) {
        line += 10;
        sql += "''";
      } else {
        line += 20;
        AppendQuoted(sql, std::string(text::FirstCharacters(diagnosisText, width)));
      }
      break;
  }
  sql += separator;
}

}  // namespace

std::string BuildClaimInsert(const FieldReader& field,
                             const std::array<std::string, 4>& diagnosis, int& line) {
  const auto& items = ClaimMapping();
  const std::size_t lastItem = items.size() - 1;
  auto source = [&field](const ClaimItem& item) {
    return item.source.empty() ? jet::Value() : field(item.source);
  };
  static const std::string kNoDiagnosis;
  auto diagnosisOf = [&diagnosis](const ClaimItem& item) -> const std::string& {
    return item.diagnosis > 0 ? diagnosis[static_cast<std::size_t>(item.diagnosis - 1)]
                              : kNoDiagnosis;
  };

  line = 110;
  std::string sql;
  sql.reserve(kInsertBytes);
  sql += "Insert into cms2012 (";
  sql += items[0].target;
  sql += ", ";
  sql += items[1].target;
  sql += ',';
  for (std::size_t j = 2; j <= lastItem; ++j) {
    line += 10;
    sql += items[j].target;
    sql += j == lastItem ? ") " : ", ";
  }

  line += 10;
  sql += " Values (";
  for (std::size_t j = 0; j < 2; ++j) {
    int itemLine = line;
    AppendItem(items[j], source(items[j]), {}, false, sql, itemLine);
  }

  int next = kFirstItemLine;
  for (std::size_t j = 2; j <= lastItem; ++j) {
    line = next;
    AppendItem(items[j], source(items[j]), diagnosisOf(items[j]), j == lastItem, sql, line);
    next += 10 * LinesOf(items[j].rule);
  }
  line = next;
  return sql;
}

}  // namespace calmora
