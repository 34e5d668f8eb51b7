#include "jet/Catalog.h"

#include "jet/Connection.h"
#include "Database.h"
#include "Failure.h"
#include "storage/Fold.h"

namespace jet {

namespace {

class TableImpl;

class ZeroLengthProperty final : public Property {
 public:
  ZeroLengthProperty(Connection& connection, std::string table, std::string column)
      : connection_(connection), table_(std::move(table)), column_(std::move(column)) {}

  std::string Name() const override { return kAllowZeroLength; }

  Value GetValue() const override {
    bool allowed = false;
    Guard(&connection_.errors(), [&] {
      Database& db = DatabaseOf(connection_);
      const TableInfo& table = db.schema().Get(table_);
      const int index = table.Find(column_);
      if (index < 0) Fail(ErrorCode::NoSuchField, {column_, table.name});
      const ColumnInfo& column = table.columns[static_cast<std::size_t>(index)];
      allowed = column.type == JetType::Text && db.AllowsZeroLength(table.name, column.name);
    });
    return Value::Boolean(allowed);
  }

  void SetValue(const Value& value) override {
    Guard(&connection_.errors(), [&] {
      bool allow = false;
      if (value.kind() == Value::Kind::Boolean) allow = value.AsBoolean();
      else if (value.kind() == Value::Kind::Long) allow = value.AsLong() != 0;
      else Fail(ErrorCode::BadArguments);
      Database& db = DatabaseOf(connection_);
      const TableInfo& table = db.schema().Get(table_);
      const int index = table.Find(column_);
      if (index < 0) Fail(ErrorCode::NoSuchField, {column_, table.name});
      const ColumnInfo& column = table.columns[static_cast<std::size_t>(index)];
      if (column.type != JetType::Text) Fail(ErrorCode::BadArguments);
      db.SetAllowZeroLength(table.name, column.name, allow);
    });
  }

 private:
  Connection& connection_;
  std::string table_, column_;
};

class ColumnImpl final : public Column {
 public:
  ColumnImpl(Connection& connection, const std::string& table, std::string name)
      : name_(std::move(name)), zeroLength_(connection, table, name_) {}

  std::string Name() const override { return name_; }

  Property& Properties(std::string_view name) override {
    if (!EqualsFolded(name, kAllowZeroLength)) Guard(nullptr, [] { Fail(ErrorCode::ItemNotFound); });
    return zeroLength_;
  }

 private:
  std::string name_;
  ZeroLengthProperty zeroLength_;
};

class TableImpl final : public Table {
 public:
  TableImpl(Connection& connection, std::string name)
      : connection_(connection), name_(std::move(name)) {}

  std::string Name() const override { return name_; }
  Connection& connection() const { return connection_; }

  Column& Columns(std::string_view name) override {
    Column* found = nullptr;
    Guard(&connection_.errors(), [&] {
      const std::string folded = Fold(name);
      for (auto& column : columns_) {
        if (Fold(column->Name()) == folded) {
          found = column.get();
          return;
        }
      }
      const TableInfo& table = DatabaseOf(connection_).schema().Get(name_);
      const int index = table.Find(name);
      if (index < 0) Fail(ErrorCode::ItemNotFound);
      columns_.push_back(std::make_unique<ColumnImpl>(
          connection_, name_, table.columns[static_cast<std::size_t>(index)].name));
      found = columns_.back().get();
    });
    return *found;
  }

  void AppendKey(const Key& key) override {
    Guard(&connection_.errors(), [&] {
      if (key.type != KeyType::Foreign || key.name.empty() || key.relatedTable.empty() ||
          key.columns().size() != 1 || key.columns()[0].RelatedColumn().empty())
        Fail(ErrorCode::BadArguments);
      ForeignKey fk;
      fk.name = key.name;
      fk.table = name_;
      fk.column = key.columns()[0].Name();
      fk.relatedTable = key.relatedTable;
      fk.relatedColumn = key.columns()[0].RelatedColumn();
      DatabaseOf(connection_).AppendForeignKey(fk);
    });
  }

  bool IsIndexed(std::string_view column) const override {
    bool indexed = false;
    Guard(&connection_.errors(),
          [&] { indexed = DatabaseOf(connection_).IsIndexed(name_, column); });
    return indexed;
  }

  void AppendIndex(const std::string& name, std::string_view column) override {
    Guard(&connection_.errors(), [&] { DatabaseOf(connection_).AppendIndex(name, name_, column); });
  }

  std::vector<Key> Keys() const override {
    std::vector<Key> keys;
    Guard(&connection_.errors(), [&] {
      for (const ForeignKey& fk : DatabaseOf(connection_).ForeignKeys(name_)) {
        Key key;
        key.name = fk.name;
        key.type = KeyType::Foreign;
        key.relatedTable = fk.relatedTable;
        key.AppendColumn(fk.column).SetRelatedColumn(fk.relatedColumn);
        keys.push_back(std::move(key));
      }
    });
    return keys;
  }

 private:
  Connection& connection_;
  std::string name_;
  std::vector<std::unique_ptr<ColumnImpl>> columns_;
};

}  // namespace

KeyColumn& Key::AppendColumn(const std::string& column, DataTypeEnum, int) {
  columns_.emplace_back(column);
  return columns_.back();
}

KeyColumn& Key::Columns(std::string_view column) {
  for (auto& c : columns_) {
    if (EqualsFolded(c.Name(), column)) return c;
  }
  Guard(nullptr, [] { Fail(ErrorCode::ItemNotFound); });
  return columns_.front();  // unreachable: Guard has thrown
}

struct Catalog::Impl {
  Connection* connection = nullptr;
  std::vector<std::unique_ptr<TableImpl>> tables;
};

Catalog::Catalog() : impl_(std::make_unique<Impl>()) {}
Catalog::~Catalog() = default;

void Catalog::SetActiveConnection(Connection& connection) {
  Guard(nullptr, [&] {
    if (!connection.IsOpen()) Fail(ErrorCode::ConnectionUnusable);
  });
  // Tables handed out before stay valid: they live as long as the catalogue.
  impl_->connection = &connection;
}

Table& Catalog::Tables(std::string_view name) {
  Table* found = nullptr;
  Guard(impl_->connection != nullptr ? &impl_->connection->errors() : nullptr, [&] {
    if (impl_->connection == nullptr) Fail(ErrorCode::ConnectionUnusable);
    const TableInfo* table = DatabaseOf(*impl_->connection).schema().Find(name);
    if (table == nullptr) Fail(ErrorCode::ItemNotFound);
    for (auto& t : impl_->tables) {
      if (t->Name() == table->name && &t->connection() == impl_->connection) {
        found = t.get();
        return;
      }
    }
    impl_->tables.push_back(std::make_unique<TableImpl>(*impl_->connection, table->name));
    found = impl_->tables.back().get();
  });
  return *found;
}

}  // namespace jet
