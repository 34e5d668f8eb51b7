#pragma once
// Folder operations of the conversion. Both trap their own failures and
// report them through HandleError (module "modFileSysOps").
#include <string>

namespace calmora {

// Copies the folder with everything below it to destination (created as
// needed), replacing existing files, never asking, with visible progress.
// Copies all it can; a copy that fails part way is reported once, line 80,
// with the reason and the count of files not copied, naming no file.
void VBCopyFolder(const std::string& source, const std::string& destination);

// True when path names a directory. A path that cannot be read is
// reported (line 20) and answers false.
bool IsADirectory(const std::string& path);

}  // namespace calmora
