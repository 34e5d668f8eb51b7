#pragma once
// A full disk under the database engine: a storage-library file layer
// (VFS) that passes everything to the real one and, once armed, fails every
// write and sync from the nth on, as a disk that has filled up does
// (SQLITE_FULL, errno ENOSPC), or only a few of them, as a device with a
// passing fault does. The engine's own file calls cannot be
// reached by the environment seam; this is their fault seam. Installed as
// the default for its lifetime: connections opened meanwhile use it.
#include <string>

namespace calmora::testing {

class FaultyDatabaseWrites {
 public:
  FaultyDatabaseWrites();
  ~FaultyDatabaseWrites();
  FaultyDatabaseWrites(const FaultyDatabaseWrites&) = delete;
  FaultyDatabaseWrites& operator=(const FaultyDatabaseWrites&) = delete;

  // Writes and syncs of files whose name holds pathPart fail from the nth
  // (counted from now, from 1) on; 0 disarms. With syncsOnly, only syncs
  // are counted and fail (SQLITE_IOERR_FSYNC with ENOSPC): a disk that
  // takes the data and then cannot make it durable. A count above 0 fails
  // only that many; the later ones pass again.
  void FailFrom(int nth, std::string pathPart = {}, bool syncsOnly = false, int count = 0);
  // Writes seen since the last FailFrom (or since installed), and failed.
  int writes() const;
  int failed() const;
};

}  // namespace calmora::testing
