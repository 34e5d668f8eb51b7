#pragma once
// A static recordset: a snapshot of a SELECT's rows taken when it is opened,
// after every statement executed before it on the connection. Record count
// is exact; rows are walked from the first. A recordset over a single table
// can change a field of the current row and write it back (Update).
//
// Filter criteria: `field op value` joined by AND / OR (evaluated left to
// right, no precedence), op one of = <> < > <= >= LIKE; values are numbers,
// 'quoted' or "quoted" texts, #dates#, bare dates such as 3/5/2014 or
// 3/5/2014 14:05:00 (compared as dates), or Null. The empty text clears the
// filter. A filter moves to the first matching row and RecordCount counts
// only matching rows.
//
// Object-model failures (closed recordset, no current row, unknown field,
// malformed filter) raise jet::Error with the data-access library's numbers
// and leave the connection's error collection alone; failures of the SQL or
// of the file (Open, Update) go through the connection's collection.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "jet/Value.h"

namespace jet {

class Connection;

enum class CursorType { Static = 3 };
enum class LockType { ReadOnly = 1, Optimistic = 3 };
enum class ObjectState { Closed = 0, Open = 1 };

class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  void Open(const std::string& sql, Connection& connection,
            CursorType cursor = CursorType::Static,
            LockType lock = LockType::ReadOnly);
  void Close();
  ObjectState State() const;

  std::int64_t RecordCount() const;
  bool IsEOF() const;
  void MoveFirst();
  void MoveNext();

  // The current row's value of a column, by name without regard to case.
  Value Field(std::string_view name) const;
  // The columns in SELECT order: how many, the name of one, and the current
  // row's value of one (index from 0; out of range raises item-not-found).
  std::size_t FieldCount() const;
  std::string FieldName(std::size_t index) const;
  Value FieldAt(std::size_t index) const;
  // Puts a value into a column of the current row (written by Update).
  void SetField(std::string_view name, const Value& value);
  // Writes the changed current row to its table.
  void Update();

  void SetFilter(const std::string& criteria);
  const std::string& Filter() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace jet
