#pragma once
// A practice-shaped database for the fuzz targets: a keyed file in a fresh
// temporary folder with a few tables of every Jet type, a foreign key and
// some rows, opened once. Reset() puts the file back as it was made (a copy
// kept aside), so whatever a statement did is undone; opening costs the
// key derivation, so targets reset only now and then.
#include <memory>
#include <string>

#include "jet/Connection.h"

namespace calmora::fuzz {

class FuzzDatabase {
 public:
  FuzzDatabase();
  ~FuzzDatabase();
  jet::Connection& connection() { return *connection_; }
  const std::string& folder() const { return folder_; }
  const std::string& path() const { return path_; }
  void Reset();

  static constexpr char kPassword[] = "wpqzrv274";

 private:
  std::string folder_, path_, pristine_;
  std::unique_ptr<jet::Connection> connection_;
};

}  // namespace calmora::fuzz
