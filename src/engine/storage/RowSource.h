#pragma once
// The rows of an open recordset, walked forward from the first: either held
// in memory (small results) or read from a snapshot of the file (large
// ones). Either way the rows and their values are those of the moment the
// recordset opened; only Set, the recordset's own update of the current
// row, changes what it shows.
#include <cstdint>
#include <memory>

#include "storage/Codec.h"
#include "storage/RowStore.h"

namespace jet {

class RowSource {
 public:
  virtual ~RowSource() = default;
  // The exact number of rows.
  virtual std::int64_t Count() const = 0;
  // To the first row (or the end, when there is none).
  virtual void Rewind() = 0;
  virtual bool AtEnd() const = 0;
  virtual void Next() = 0;
  // A column of the current row; the caller checks that there is one.
  virtual Stored Get(std::size_t column) const = 0;
  // The value a column of the current row now holds in its table. Rows held
  // in memory keep it; a snapshot shows it until the walk moves on.
  virtual void Set(std::size_t column, const Stored& value) = 0;
};

// Rows held in memory.
std::unique_ptr<RowSource> HeldRows(RowStore rows);

}  // namespace jet
