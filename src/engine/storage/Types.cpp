#include "storage/Types.h"

#include <cctype>

#include "storage/Fold.h"

namespace jet {

int TableInfo::Find(std::string_view columnName) const {
  const std::string folded = Fold(columnName);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].folded == folded) return static_cast<int>(i);
  }
  return -1;
}

std::string DeclaredType(JetType type, int size) {
  switch (type) {
    case JetType::Counter: return "INTEGER";
    case JetType::Long: return "LONG";
    case JetType::Double: return "DOUBLE";
    case JetType::Currency: return "CURRENCY";
    case JetType::Date: return "DATETIME";
    case JetType::Boolean: return "YESNO";
    case JetType::Text: return "TEXT(" + std::to_string(size) + ")";
  }
  return "TEXT";
}

JetType TypeFromDeclared(std::string_view declared, bool primaryKey, int& size) {
  std::string upper;
  for (char c : declared) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  size = 0;
  if (upper == "INTEGER") return primaryKey ? JetType::Counter : JetType::Long;
  if (upper == "LONG") return JetType::Long;
  if (upper == "DOUBLE") return JetType::Double;
  if (upper == "CURRENCY") return JetType::Currency;
  if (upper == "DATETIME") return JetType::Date;
  if (upper == "YESNO") return JetType::Boolean;
  if (upper.rfind("TEXT(", 0) == 0 && upper.back() == ')') {
    int n = 0;
    bool ok = upper.size() > 6;
    for (std::size_t i = 5; ok && i + 1 < upper.size(); ++i) {
      if (!std::isdigit(static_cast<unsigned char>(upper[i])) || n > 100000) ok = false;
      else n = n * 10 + (upper[i] - '0');
    }
    size = ok && n > 0 ? n : kDefaultTextSize;
    return JetType::Text;
  }
  // Declared by another program: the storage library's own affinity rules.
  if (upper.find("INT") != std::string::npos) return JetType::Long;
  if (upper.find("REAL") != std::string::npos || upper.find("FLOA") != std::string::npos ||
      upper.find("DOUB") != std::string::npos)
    return JetType::Double;
  size = kDefaultTextSize;
  return JetType::Text;
}

}  // namespace jet
