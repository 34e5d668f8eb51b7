#include "engine/Recordset.h"

#include <optional>

#include "engine/Connection.h"
#include "engine/Database.h"
#include "engine/Failure.h"
#include "engine/Filter.h"
#include "engine/storage/Fold.h"

namespace jet {

struct Recordset::Impl {
  Connection* connection = nullptr;
  std::unique_ptr<QueryResult> result;
  LockType lock = LockType::ReadOnly;
  std::vector<std::size_t> visible;  // rows that pass the filter, in order
  std::size_t position = 0;          // index into visible
  std::string filter;
  std::vector<std::pair<std::size_t, Value>> pending;  // column, new value

  Errors* errors() const { return connection != nullptr ? &connection->errors() : nullptr; }

  void RequireOpen() const {
    if (!result) Fail(ErrorCode::ObjectClosed);
  }
  bool AtEnd() const { return position >= visible.size(); }
  void RequireRow() const {
    RequireOpen();
    if (AtEnd()) Fail(ErrorCode::NoCurrentRecord);
  }
  std::optional<std::size_t> FindColumn(std::string_view name) const {
    const std::string folded = Fold(name);
    for (std::size_t i = 0; i < result->columns.size(); ++i) {
      if (result->columns[i].folded == folded) return i;
    }
    return std::nullopt;
  }
  std::size_t Column(std::string_view name) const {
    const auto index = FindColumn(name);
    if (!index) Fail(ErrorCode::ItemNotFound);
    return *index;
  }
  Value ValueAt(std::size_t row, std::size_t column) const {
    if (row == visible[position]) {
      for (const auto& [c, v] : pending) {
        if (c == column) return v;
      }
    }
    return FromStored(result->rows.Get(row, column), result->columns[column].type);
  }
  void ShowAll() {
    visible.resize(result->rows.size());
    for (std::size_t i = 0; i < visible.size(); ++i) visible[i] = i;
    position = 0;
  }
  // Writes pending changes of the current row; the snapshot follows.
  void Flush() {
    if (pending.empty()) return;
    auto changes = std::move(pending);
    pending.clear();
    const std::size_t row = visible[position];
    const std::size_t idColumn = result->columns.size();
    const std::int64_t rowid = result->rows.Get(row, idColumn).i;
    // Changes go to the table's columns by their names there.
    Database& db = connection->database();
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
        if (result->columns[c].tableColumn == tableColumn) result->rows.Set(row, c, stored[i]);
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
    auto result = connection.database().Query(sql);
    impl_->connection = &connection;
    impl_->lock = lock;
    impl_->filter.clear();
    impl_->pending.clear();
    impl_->result = std::move(result);
    if (impl_->result) impl_->ShowAll();
  });
}

void Recordset::Close() {
  Guard(impl_->errors(), [&] {
    impl_->RequireOpen();
    impl_->result.reset();
    impl_->visible.clear();
    impl_->pending.clear();
    impl_->filter.clear();
  });
}

ObjectState Recordset::State() const {
  return impl_->result ? ObjectState::Open : ObjectState::Closed;
}

std::int64_t Recordset::RecordCount() const {
  std::int64_t count = 0;
  Guard(impl_->errors(), [&] {
    impl_->RequireOpen();
    count = static_cast<std::int64_t>(impl_->visible.size());
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
    if (impl_->visible.empty()) Fail(ErrorCode::NoCurrentRecord);
    impl_->position = 0;
  });
}

void Recordset::MoveNext() {
  Guard(impl_->errors(), [&] {
    impl_->RequireRow();
    impl_->Flush();
    ++impl_->position;
  });
}

Value Recordset::Field(std::string_view name) const {
  Value value;
  Guard(impl_->errors(), [&] {
    impl_->RequireOpen();
    const std::size_t column = impl_->Column(name);
    impl_->RequireRow();
    value = impl_->ValueAt(impl_->visible[impl_->position], column);
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
    value = impl_->ValueAt(impl_->visible[impl_->position], index);
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
      impl_->filter.clear();
      impl_->ShowAll();
      return;
    }
    const auto expression = ParseFilter(criteria);
    for (const auto& field : FilterFieldNames(*expression)) {
      if (!impl_->FindColumn(field)) Fail(ErrorCode::ItemNotFound);
    }
    std::vector<std::size_t> matching;
    for (std::size_t row = 0; row < impl_->result->rows.size(); ++row) {
      const FilterFieldLookup lookup = [&](std::string_view field) -> std::optional<Value> {
        const auto column = impl_->FindColumn(field);
        if (!column) return std::nullopt;
        return FromStored(impl_->result->rows.Get(row, *column), impl_->result->columns[*column].type);
      };
      if (FilterMatches(*expression, lookup)) matching.push_back(row);
    }
    impl_->visible = std::move(matching);
    impl_->position = 0;
    impl_->filter = criteria;
  });
}

const std::string& Recordset::Filter() const { return impl_->filter; }

}  // namespace jet
