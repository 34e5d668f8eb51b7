#include "storage/RowStore.h"

#include <cstring>

namespace jet {

namespace {

void PutVarint(std::string& out, std::uint64_t v) {
  while (v >= 0x80) {
    out += static_cast<char>((v & 0x7f) | 0x80);
    v >>= 7;
  }
  out += static_cast<char>(v);
}

std::uint64_t GetVarint(const std::string& in, std::size_t& offset) {
  std::uint64_t v = 0;
  int shift = 0;
  while (offset < in.size()) {
    const auto byte = static_cast<std::uint8_t>(in[offset++]);
    v |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
    if ((byte & 0x80) == 0) break;
    shift += 7;
  }
  return v;
}

std::uint64_t ZigZag(std::int64_t v) {
  return (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63);
}
std::int64_t UnZigZag(std::uint64_t v) {
  return static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1);
}

}  // namespace

void RowStore::Encode(std::string& out, const Stored& value) {
  out += static_cast<char>(value.kind);
  switch (value.kind) {
    case Stored::Kind::Null: break;
    case Stored::Kind::Int: PutVarint(out, ZigZag(value.i)); break;
    case Stored::Kind::Real: {
      char bytes[sizeof(double)];
      std::memcpy(bytes, &value.d, sizeof bytes);
      out.append(bytes, sizeof bytes);
      break;
    }
    case Stored::Kind::Text:
      PutVarint(out, value.s.size());
      out += value.s;
      break;
  }
}

std::size_t RowStore::Skip(const std::string& row, std::size_t offset) {
  const auto kind = static_cast<Stored::Kind>(row[offset++]);
  switch (kind) {
    case Stored::Kind::Null: break;
    case Stored::Kind::Int: GetVarint(row, offset); break;
    case Stored::Kind::Real: offset += sizeof(double); break;
    case Stored::Kind::Text: offset += GetVarint(row, offset); break;
  }
  return offset;
}

Stored RowStore::Decode(const std::string& row, std::size_t offset) {
  const auto kind = static_cast<Stored::Kind>(row[offset++]);
  switch (kind) {
    case Stored::Kind::Null: return {};
    case Stored::Kind::Int: return Stored::Int(UnZigZag(GetVarint(row, offset)));
    case Stored::Kind::Real: {
      double d = 0;
      std::memcpy(&d, row.data() + offset, sizeof d);
      return Stored::Real(d);
    }
    case Stored::Kind::Text: {
      const auto length = static_cast<std::size_t>(GetVarint(row, offset));
      return Stored::Str(row.substr(offset, length));
    }
  }
  return {};
}

void RowStore::Append(sqlite3_stmt* stmt, int columns) {
  std::string row;
  for (int i = 0; i < columns; ++i) Encode(row, ReadStored(stmt, i));
  row.shrink_to_fit();
  bytes_ += row.size() + sizeof row;
  rows_.push_back(std::move(row));
}

Stored RowStore::Get(std::size_t row, std::size_t column) const {
  const std::string& bytes = rows_.at(row);
  if (cachedRow_ != row) {
    offsets_.clear();
    for (std::size_t offset = 0; offset < bytes.size(); offset = Skip(bytes, offset))
      offsets_.push_back(static_cast<std::uint32_t>(offset));
    cachedRow_ = row;
  }
  return Decode(bytes, offsets_.at(column));
}

void RowStore::Set(std::size_t row, std::size_t column, const Stored& value) {
  std::string& bytes = rows_.at(row);
  std::size_t start = 0;
  for (std::size_t i = 0; i < column; ++i) start = Skip(bytes, start);
  const std::size_t end = Skip(bytes, start);
  std::string encoded;
  Encode(encoded, value);
  bytes.replace(start, end - start, encoded);
  cachedRow_ = static_cast<std::size_t>(-1);
}

}  // namespace jet
