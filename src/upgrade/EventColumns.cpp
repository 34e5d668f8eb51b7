#include "upgrade/EventColumns.h"

namespace calmora {

const std::vector<EventColumn>& EventColumns() {
  static const std::vector<EventColumn> columns = [] {
    std::vector<EventColumn> c{{"responsible_party", "TEXT(30)", true, false}};
    for (char letter = 'a'; letter <= 'l'; ++letter)
      c.push_back({std::string("icd") + letter, "TEXT(7)", true, true});
    c.push_back({"icd_indicator_10", "YESNO", false, false});
    return c;
  }();
  return columns;
}

std::string AlterText(const EventColumn& column) {
  std::string text = "Alter TABLE event add " + column.name + " " + column.type;
  if (column.emptyDefaultNotNull) text += " default \"\" not null";
  return text;
}

}  // namespace calmora
