#pragma once
// The rows of a recordset's snapshot, held compactly as the file stored them:
// one byte string per row, each value a tag and its bytes. Values are turned
// into engine values only when read.
#include <cstdint>
#include <string>
#include <vector>

#include "storage/Codec.h"

namespace jet {

class RowStore {
 public:
  // Appends the current row of a stepped statement (its first `columns`).
  void Append(sqlite3_stmt* stmt, int columns);
  std::size_t size() const { return rows_.size(); }
  // Bytes the rows take, for callers that bound what they hold.
  std::size_t bytes() const { return bytes_; }
  Stored Get(std::size_t row, std::size_t column) const;
  void Set(std::size_t row, std::size_t column, const Stored& value);

 private:
  static void Encode(std::string& out, const Stored& value);
  static std::size_t Skip(const std::string& row, std::size_t offset);
  static Stored Decode(const std::string& row, std::size_t offset);

  std::vector<std::string> rows_;
  std::size_t bytes_ = 0;
  // Offsets of the values of the row read last (rows are read one at a time).
  mutable std::size_t cachedRow_ = static_cast<std::size_t>(-1);
  mutable std::vector<std::uint32_t> offsets_;
};

}  // namespace jet
