#include "jet/Recordset.h"

#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "jet/Connection.h"
#include "Database.h"
#include "Failure.h"
#include "Filter.h"
#include "storage/Fold.h"

namespace jet {

namespace {

// Lookup of a column by the name as the caller spells it, without building
// a string: the steps ask for the same few hundred names on every row.
struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
};

}  // namespace

struct Recordset::Impl {
  Connection* connection = nullptr;
  std::unique_ptr<QueryResult> result;
  LockType lock = LockType::ReadOnly;
  std::string filter;
  std::shared_ptr<const FilterExpression> expression;  // null without a filter
  std::int64_t count = 0;                              // rows that pass the filter
  std::vector<std::pair<std::size_t, Value>> pending;  // column, new value
  mutable std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>> columnByName;

  Errors* errors() const { return connection != nullptr ? &connection->errors() : nullptr; }
  RowSource& rows() const { return *result->rows; }

  void RequireOpen() const {
    if (!result) Fail(ErrorCode::ObjectClosed);
  }
  bool AtEnd() const { return rows().AtEnd(); }
  void RequireRow() const {
    RequireOpen();
    if (AtEnd()) Fail(ErrorCode::NoCurrentRecord);
  }
  std::optional<std::size_t> FindColumn(std::string_view name) const {
    const auto known = columnByName.find(name);
    if (known != columnByName.end()) return known->second;
    const std::string folded = Fold(name);
    for (std::size_t i = 0; i < result->columns.size(); ++i) {
      if (result->columns[i].folded == folded) {
        columnByName.emplace(std::string(name), i);
        return i;
      }
    }
    return std::nullopt;
  }
  std::size_t Column(std::string_view name) const {
    const auto index = FindColumn(name);
    if (!index) Fail(ErrorCode::ItemNotFound);
    return *index;
  }
  Value StoredValue(std::size_t column) const {
    return FromStored(rows().Get(column), result->columns[column].type);
  }
  Value ValueAt(std::size_t column) const {
    for (const auto& [c, v] : pending) {
      if (c == column) return v;
    }
    return StoredValue(column);
  }
  bool Matches() const {
    const FilterFieldLookup lookup = [this](std::string_view field) -> std::optional<Value> {
      const auto column = FindColumn(field);
      if (!column) return std::nullopt;
      return StoredValue(*column);
    };
    return FilterMatches(*expression, lookup);
  }
  void SkipToMatch() {
    while (expression && !rows().AtEnd() && !Matches()) rows().Next();
  }
  void First() {
    rows().Rewind();
    SkipToMatch();
  }
  void Advance() {
    rows().Next();
    SkipToMatch();
  }
  void ShowAll() {
    expression.reset();
    filter.clear();
    count = rows().Count();
    rows().Rewind();
  }
  // Writes pending changes of the current row; the recordset follows.
  void Flush() {
    if (pending.empty()) return;
    auto changes = std::move(pending);
    pending.clear();
    const std::size_t idColumn = result->columns.size();
    const std::int64_t rowid = rows().Get(idColumn).i;
    // Changes go to the table's columns by their names there.
    Database& db = DatabaseOf(*connection);
    const TableInfo& table = db.schema().Get(result->table);
    std::vector<std::pair<std::string, Value>> named;
    for (const auto& [c, v] : changes) {
      const auto tableColumn = static_cast<std::size_t>(result->columns[c].tableColumn);
      if (tableColumn >= table.columns.size()) Fail(ErrorCode::RecordDeleted);
      named.emplace_back(table.columns[tableColumn].name, v);
    }
    const std::vector<Stored> stored = db.UpdateRow(result->table, rowid, named);
    for (std::size_t i = 0; i < changes.size(); ++i) {
      const int tableColumn = result->columns[changes[i].first].tableColumn;
      for (std::size_t c = 0; c < result->columns.size(); ++c) {
        if (result->columns[c].tableColumn == tableColumn) rows().Set(c, stored[i]);
      }
    }
  }
};

Recordset::Recordset() : impl_(std::make_unique<Impl>()) {}
Recordset::~Recordset() = default;

void Recordset::Open(const std::string& sql, Connection& connection, CursorType, LockType lock) {
  Guard(&connection.errors(), [&] {
    if (impl_->result) Fail(ErrorCode::ObjectOpen);
    if (!connection.IsOpen()) Fail(ErrorCode::ConnectionUnusable);
    auto result = DatabaseOf(connection).Query(sql);
    impl_->connection = &connection;
    impl_->lock = lock;
    impl_->pending.clear();
    impl_->columnByName.clear();
    impl_->result = std::move(result);
    if (impl_->result) impl_->ShowAll();
  });
}

void Recordset::Close() {
  Guard(impl_->errors(), [&] {
    impl_->RequireOpen();
    impl_->result.reset();
    impl_->pending.clear();
    impl_->filter.clear();
    impl_->expression.reset();
    impl_->columnByName.clear();
  });
}

ObjectState Recordset::State() const {
  return impl_->result ? ObjectState::Open : ObjectState::Closed;
}

std::int64_t Recordset::RecordCount() const {
  std::int64_t count = 0;
  Guard(impl_->errors(), [&] {
    impl_->RequireOpen();
    count = impl_->count;
  });
  return count;
}

bool Recordset::IsEOF() const {
  bool eof = true;
  Guard(impl_->errors(), [&] {
    impl_->RequireOpen();
    eof = impl_->AtEnd();
  });
  return eof;
}

void Recordset::MoveFirst() {
  Guard(impl_->errors(), [&] {
    impl_->RequireOpen();
    if (!impl_->AtEnd()) impl_->Flush();
    if (impl_->count == 0) Fail(ErrorCode::NoCurrentRecord);
    impl_->First();
  });
}

void Recordset::MoveNext() {
  Guard(impl_->errors(), [&] {
    impl_->RequireRow();
    impl_->Flush();
    impl_->Advance();
  });
}

Value Recordset::Field(std::string_view name) const {
  Value value;
  Guard(impl_->errors(), [&] {
    impl_->RequireOpen();
    const std::size_t column = impl_->Column(name);
    impl_->RequireRow();
    value = impl_->ValueAt(column);
  });
  return value;
}

std::size_t Recordset::FieldCount() const {
  std::size_t count = 0;
  Guard(impl_->errors(), [&] {
    impl_->RequireOpen();
    count = impl_->result->columns.size();
  });
  return count;
}

std::string Recordset::FieldName(std::size_t index) const {
  std::string name;
  Guard(impl_->errors(), [&] {
    impl_->RequireOpen();
    if (index >= impl_->result->columns.size()) Fail(ErrorCode::ItemNotFound);
    name = impl_->result->columns[index].name;
  });
  return name;
}

Value Recordset::FieldAt(std::size_t index) const {
  Value value;
  Guard(impl_->errors(), [&] {
    impl_->RequireOpen();
    if (index >= impl_->result->columns.size()) Fail(ErrorCode::ItemNotFound);
    impl_->RequireRow();
    value = impl_->ValueAt(index);
  });
  return value;
}

void Recordset::SetField(std::string_view name, const Value& value) {
  Guard(impl_->errors(), [&] {
    impl_->RequireOpen();
    const std::size_t column = impl_->Column(name);
    impl_->RequireRow();
    if (impl_->lock == LockType::ReadOnly || !impl_->result->updatable ||
        impl_->result->columns[column].tableColumn < 0)
      Fail(ErrorCode::NotUpdatable);
    for (auto& [c, v] : impl_->pending) {
      if (c == column) {
        v = value;
        return;
      }
    }
    impl_->pending.emplace_back(column, value);
  });
}

void Recordset::Update() {
  Guard(impl_->errors(), [&] {
    impl_->RequireRow();
    impl_->Flush();
  });
}

void Recordset::SetFilter(const std::string& criteria) {
  Guard(impl_->errors(), [&] {
    impl_->RequireOpen();
    if (!impl_->AtEnd()) impl_->Flush();
    if (criteria.empty()) {
      impl_->ShowAll();
      return;
    }
    auto expression = ParseFilter(criteria);
    for (const auto& field : FilterFieldNames(*expression)) {
      if (!impl_->FindColumn(field)) Fail(ErrorCode::ItemNotFound);
    }
    // Rows are judged now, so that a value the filter cannot compare fails
    // here; the recordset then keeps its former filter, back at its first row.
    auto former = std::exchange(impl_->expression, std::move(expression));
    std::int64_t matching = 0;
    try {
      for (impl_->First(); !impl_->AtEnd(); impl_->Advance()) ++matching;
    } catch (...) {
      impl_->expression = std::move(former);
      impl_->First();
      throw;
    }
    impl_->filter = criteria;
    impl_->count = matching;
    impl_->First();
  });
}

const std::string& Recordset::Filter() const { return impl_->filter; }

}  // namespace jet
