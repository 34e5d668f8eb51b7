#include "support/FaultyDatabaseWrites.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace calmora::testing {
namespace {

struct State {
  sqlite3_vfs* real = nullptr;
  int failFrom = 0;
  int count = 0;  // writes to fail; 0: all from failFrom on
  std::string pathPart;
  int writes = 0;
  int failed = 0;
  bool syncsOnly = false;
} state;

struct ShimFile {
  sqlite3_file base;
  sqlite3_file* real;
  bool watched;
};

sqlite3_file* Real(sqlite3_file* f) { return reinterpret_cast<ShimFile*>(f)->real; }

// Counts a write or sync of a watched file; true when it is to fail.
bool Full(sqlite3_file* f, bool sync) {
  if (!reinterpret_cast<ShimFile*>(f)->watched || (state.syncsOnly && !sync)) return false;
  ++state.writes;
  if (state.failFrom == 0 || state.writes < state.failFrom) return false;
  if (state.count > 0 && state.failed >= state.count) return false;
  ++state.failed;
  errno = ENOSPC;
  return true;
}

int Close(sqlite3_file* f) { return Real(f)->pMethods->xClose(Real(f)); }
int Read(sqlite3_file* f, void* b, int n, sqlite3_int64 o) {
  return Real(f)->pMethods->xRead(Real(f), b, n, o);
}
int Write(sqlite3_file* f, const void* b, int n, sqlite3_int64 o) {
  if (Full(f, false)) return SQLITE_FULL;
  return Real(f)->pMethods->xWrite(Real(f), b, n, o);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
  return Real(f)->pMethods->xTruncate(Real(f), size);
}
int Sync(sqlite3_file* f, int flags) {
  if (Full(f, true)) return SQLITE_IOERR_FSYNC;
  return Real(f)->pMethods->xSync(Real(f), flags);
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) {
  return Real(f)->pMethods->xFileSize(Real(f), size);
}
int Lock(sqlite3_file* f, int l) { return Real(f)->pMethods->xLock(Real(f), l); }
int Unlock(sqlite3_file* f, int l) { return Real(f)->pMethods->xUnlock(Real(f), l); }
int CheckReservedLock(sqlite3_file* f, int* out) {
  return Real(f)->pMethods->xCheckReservedLock(Real(f), out);
}
int FileControl(sqlite3_file* f, int op, void* arg) {
  return Real(f)->pMethods->xFileControl(Real(f), op, arg);
}
int SectorSize(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int DeviceCharacteristics(sqlite3_file* f) {
  return Real(f)->pMethods->xDeviceCharacteristics(Real(f));
}
int ShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
  return Real(f)->pMethods->xShmMap(Real(f), region, size, extend, out);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
  return Real(f)->pMethods->xShmLock(Real(f), offset, n, flags);
}
void ShmBarrier(sqlite3_file* f) { Real(f)->pMethods->xShmBarrier(Real(f)); }
int ShmUnmap(sqlite3_file* f, int deleteFlag) {
  return Real(f)->pMethods->xShmUnmap(Real(f), deleteFlag);
}
int Fetch(sqlite3_file* f, sqlite3_int64 o, int n, void** out) {
  return Real(f)->pMethods->xFetch(Real(f), o, n, out);
}
int Unfetch(sqlite3_file* f, sqlite3_int64 o, void* p) {
  return Real(f)->pMethods->xUnfetch(Real(f), o, p);
}

const sqlite3_io_methods kMethods = {
    3,        Close,     Read,     Write,      Truncate,    Sync,       FileSize,
    Lock,     Unlock,    CheckReservedLock,    FileControl, SectorSize, DeviceCharacteristics,
    ShmMap,   ShmLock,   ShmBarrier,           ShmUnmap,    Fetch,      Unfetch};

int Open(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
  auto* shim = reinterpret_cast<ShimFile*>(f);
  shim->real = reinterpret_cast<sqlite3_file*>(shim + 1);
  shim->watched = name != nullptr && std::strstr(name, state.pathPart.c_str()) != nullptr;
  shim->base.pMethods = nullptr;
  const int rc = state.real->xOpen(state.real, name, shim->real, flags, outFlags);
  if (shim->real->pMethods != nullptr) shim->base.pMethods = &kMethods;
  return rc;
}

// Everything but opening goes to the real layer as it stands.
int Delete(sqlite3_vfs*, const char* n, int s) { return state.real->xDelete(state.real, n, s); }
int Access(sqlite3_vfs*, const char* n, int f, int* o) {
  return state.real->xAccess(state.real, n, f, o);
}
int FullPathname(sqlite3_vfs*, const char* n, int size, char* out) {
  return state.real->xFullPathname(state.real, n, size, out);
}
void* DlOpen(sqlite3_vfs*, const char* n) { return state.real->xDlOpen(state.real, n); }
void DlError(sqlite3_vfs*, int n, char* m) { state.real->xDlError(state.real, n, m); }
void (*DlSym(sqlite3_vfs*, void* h, const char* s))(void) {
  return state.real->xDlSym(state.real, h, s);
}
void DlClose(sqlite3_vfs*, void* h) { state.real->xDlClose(state.real, h); }
int Randomness(sqlite3_vfs*, int n, char* out) {
  return state.real->xRandomness(state.real, n, out);
}
int Sleep(sqlite3_vfs*, int us) { return state.real->xSleep(state.real, us); }
int CurrentTime(sqlite3_vfs*, double* out) { return state.real->xCurrentTime(state.real, out); }
int GetLastError(sqlite3_vfs*, int n, char* out) {
  return state.real->xGetLastError(state.real, n, out);
}
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
  return state.real->xCurrentTimeInt64(state.real, out);
}

sqlite3_vfs shimVfs;

}  // namespace

FaultyDatabaseWrites::FaultyDatabaseWrites() {
  sqlite3_initialize();
  state = State{};
  state.real = sqlite3_vfs_find(nullptr);
  if (state.real == nullptr) throw std::runtime_error("no storage file layer");
  shimVfs = sqlite3_vfs{};
  shimVfs.iVersion = 2;
  shimVfs.szOsFile = static_cast<int>(sizeof(ShimFile)) + state.real->szOsFile;
  shimVfs.mxPathname = state.real->mxPathname;
  shimVfs.zName = "calmora-faulty";
  shimVfs.xOpen = Open;
  shimVfs.xDelete = Delete;
  shimVfs.xAccess = Access;
  shimVfs.xFullPathname = FullPathname;
  shimVfs.xDlOpen = DlOpen;
  shimVfs.xDlError = DlError;
  shimVfs.xDlSym = DlSym;
  shimVfs.xDlClose = DlClose;
  shimVfs.xRandomness = Randomness;
  shimVfs.xSleep = Sleep;
  shimVfs.xCurrentTime = CurrentTime;
  shimVfs.xGetLastError = GetLastError;
  shimVfs.xCurrentTimeInt64 = CurrentTimeInt64;
  if (sqlite3_vfs_register(&shimVfs, 1) != SQLITE_OK)
    throw std::runtime_error("the faulty file layer could not be installed");
}

FaultyDatabaseWrites::~FaultyDatabaseWrites() {
  sqlite3_vfs_unregister(&shimVfs);
  sqlite3_vfs_register(state.real, 1);
}

void FaultyDatabaseWrites::FailFrom(int nth, std::string pathPart, bool syncsOnly, int count) {
  state.failFrom = nth;
  state.count = count;
  state.syncsOnly = syncsOnly;
  state.pathPart = std::move(pathPart);
  state.writes = 0;
  state.failed = 0;
}

int FaultyDatabaseWrites::writes() const { return state.writes; }
int FaultyDatabaseWrites::failed() const { return state.failed; }

}  // namespace calmora::testing
