#pragma once
// The schema catalogue over an open connection: tables, their columns, the
// column property "Jet OLEDB:Allow Zero Length", and foreign keys appended
// to a table's keys. Objects handed out by reference live as long as the
// catalogue. Every change is stored in the file at once.
//
// Lookups by name ignore case; an unknown table, column, property or key
// column raises the data-access library's "item not found" error (3265).
// Appending a key fails with an engine error, changing nothing, when the
// table or a column does not exist, a key of that name exists, the related
// column is not a primary key or unique, or existing rows break the key.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet/Value.h"

namespace jet {

class Connection;

inline constexpr char kAllowZeroLength[] = "Jet OLEDB:Allow Zero Length";

enum class KeyType { Primary = 1, Foreign = 2, Unique = 3 };
enum class DataTypeEnum { VarWChar = 202 };

class Property {
 public:
  virtual ~Property() = default;
  virtual std::string Name() const = 0;
  virtual Value GetValue() const = 0;
  virtual void SetValue(const Value& value) = 0;
};

class Column {
 public:
  virtual ~Column() = default;
  virtual std::string Name() const = 0;
  virtual Property& Properties(std::string_view name) = 0;
};

// A key being built, before it is appended to a table.
class KeyColumn {
 public:
  explicit KeyColumn(std::string name) : name_(std::move(name)) {}
  const std::string& Name() const { return name_; }
  const std::string& RelatedColumn() const { return related_; }
  void SetRelatedColumn(std::string column) { related_ = std::move(column); }

 private:
  std::string name_;
  std::string related_;
};

class Key {
 public:
  std::string name;
  KeyType type = KeyType::Primary;
  std::string relatedTable;

  // Appends a key column (type and size as the data-access library takes
  // them; the engine uses the name only) and returns it.
  KeyColumn& AppendColumn(const std::string& column,
                          DataTypeEnum type = DataTypeEnum::VarWChar, int size = 0);
  // The key column of that name; "item not found" otherwise.
  KeyColumn& Columns(std::string_view column);
  const std::vector<KeyColumn>& columns() const { return columns_; }

 private:
  std::vector<KeyColumn> columns_;
};

class Table {
 public:
  virtual ~Table() = default;
  virtual std::string Name() const = 0;
  virtual Column& Columns(std::string_view name) = 0;
  // Appends a foreign key: enforced inside the file from then on.
  virtual void AppendKey(const Key& key) = 0;
  // The table's foreign keys.
  virtual std::vector<Key> Keys() const = 0;
  // Whether some index of the table begins with the column, so that finding
  // rows by it reads only those rows.
  virtual bool IsIndexed(std::string_view column) const = 0;
  // Appends a plain (not unique) index on one column. Fails, changing
  // nothing, when the column does not exist or the name is taken.
  virtual void AppendIndex(const std::string& name, std::string_view column) = 0;
};

class Catalog {
 public:
  Catalog();
  ~Catalog();
  Catalog(const Catalog&) = delete;
  Catalog& operator=(const Catalog&) = delete;

  void SetActiveConnection(Connection& connection);
  Table& Tables(std::string_view name);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace jet
