#include "support/FaultyDatabaseWrites.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace calmora::testing {
namespace {

struct State {
  sqlite3_vfs* real = nullptr;
  int failFrom = 0, count = 0;  // count: writes to fail; 0: all from failFrom on
  std::string pathPart;
  int writes = 0, failed = 0;
  bool syncsOnly = false;
} state;

sqlite3_vfs shimVfs;

// Each open file is the real layer's, followed by this: the real layer's
// methods with writes and syncs counted first, and whether it is watched.
struct Shim {
  sqlite3_io_methods methods;
  const sqlite3_io_methods* real;
  bool watched;
};

int RealFileSize() { return (state.real->szOsFile + 7) / 8 * 8; }

Shim& ShimOf(sqlite3_file* f) {
  return *reinterpret_cast<Shim*>(reinterpret_cast<char*>(f) + RealFileSize());
}

// Counts a write or sync of a watched file; true when it is to fail.
bool Full(sqlite3_file* f, bool sync) {
  if (!ShimOf(f).watched || (state.syncsOnly && !sync)) return false;
  ++state.writes;
  if (state.failFrom == 0 || state.writes < state.failFrom || (state.count > 0 && state.failed >= state.count))
    return false;
  ++state.failed;
  errno = ENOSPC;
  return true;
}

int Write(sqlite3_file* f, const void* b, int n, sqlite3_int64 o) {
  return Full(f, false) ? SQLITE_FULL : ShimOf(f).real->xWrite(f, b, n, o);
}
int Sync(sqlite3_file* f, int flags) {
  return Full(f, true) ? SQLITE_IOERR_FSYNC : ShimOf(f).real->xSync(f, flags);
}

// The real layer opens the file; only its write and sync change.
int Open(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
  const int rc = state.real->xOpen(state.real, name, f, flags, outFlags);
  if (f->pMethods != nullptr) {
    Shim& shim = ShimOf(f);
    shim.real = f->pMethods;
    shim.methods = *f->pMethods;
    shim.methods.xWrite = Write;
    shim.methods.xSync = Sync;
    shim.watched = name != nullptr && std::strstr(name, state.pathPart.c_str()) != nullptr;
    f->pMethods = &shim.methods;
  }
  return rc;
}

}  // namespace

FaultyDatabaseWrites::FaultyDatabaseWrites() {
  sqlite3_initialize();
  state = State{};
  state.real = sqlite3_vfs_find(nullptr);
  if (state.real == nullptr) throw std::runtime_error("no storage file layer");
  // Everything but opening goes to the real layer as it stands.
  shimVfs = *state.real;
  shimVfs.pNext = nullptr;
  shimVfs.szOsFile = RealFileSize() + static_cast<int>(sizeof(Shim));
  shimVfs.zName = "calmora-faulty";
  shimVfs.xOpen = Open;
  if (sqlite3_vfs_register(&shimVfs, 1) != SQLITE_OK)
    throw std::runtime_error("the faulty file layer could not be installed");
}

FaultyDatabaseWrites::~FaultyDatabaseWrites() {
  sqlite3_vfs_unregister(&shimVfs);
  sqlite3_vfs_register(state.real, 1);
}

void FaultyDatabaseWrites::FailFrom(int nth, std::string pathPart, bool syncsOnly, int count) {
  state = State{state.real, nth, count, std::move(pathPart), 0, 0, syncsOnly};
}

int FaultyDatabaseWrites::writes() const { return state.writes; }
int FaultyDatabaseWrites::failed() const { return state.failed; }

}  // namespace calmora::testing
