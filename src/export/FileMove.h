// Moving a finished track file into place without ever replacing an existing file: a rename
// on the same file system, a copy that is flushed to disk before the source is removed
// across file systems.
#pragma once

#include <filesystem>

namespace sondrel {

enum class MoveOutcome {
    Moved,
    TargetExists,  // nothing changed; another name may succeed
    Failed,        // nothing changed (a partial copy is removed); the source is where it was
};

MoveOutcome MoveFileNoReplace(const std::filesystem::path& source,
                              const std::filesystem::path& target);

// The cross-file-system path on its own: copy into a newly created target, flush it, then
// remove the source. Exposed so it can be tested on a single file system.
MoveOutcome CopyFileThenRemove(const std::filesystem::path& source,
                               const std::filesystem::path& target);

}  // namespace sondrel
