#pragma once
// The fourteen columns the 2014 release adds to the legacy event table, in
// the order they are added, as data; the ALTER TABLE texts and the
// zero-length pass are built from it.
#include <string>
#include <vector>

namespace calmora {

struct EventColumn {
  std::string name;
  std::string type;             // "TEXT(7)", "YESNO"
  bool emptyDefaultNotNull;     // default "" and not null
  bool zeroLengthPass;          // visited by the pass that allows ""
};

const std::vector<EventColumn>& EventColumns();

// "Alter TABLE event add <name> <type>", then, for the columns with an
// empty default, " default " + two double quotes + " not null".
std::string AlterText(const EventColumn& column);

}  // namespace calmora
