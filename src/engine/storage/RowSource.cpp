#include "storage/RowSource.h"

namespace jet {
namespace {

class Held final : public RowSource {
 public:
  explicit Held(RowStore rows) : rows_(std::move(rows)) {}
  std::int64_t Count() const override { return static_cast<std::int64_t>(rows_.size()); }
  void Rewind() override { at_ = 0; }
  bool AtEnd() const override { return at_ >= rows_.size(); }
  void Next() override { ++at_; }
  Stored Get(std::size_t column) const override { return rows_.Get(at_, column); }
  void Set(std::size_t column, const Stored& value) override { rows_.Set(at_, column, value); }

 private:
  RowStore rows_;
  std::size_t at_ = 0;
};

}  // namespace

std::unique_ptr<RowSource> HeldRows(RowStore rows) { return std::make_unique<Held>(std::move(rows)); }

}  // namespace jet
