// Moving a finished track file into place without ever replacing an existing file: a rename
// on the same file system; across file systems a copy under a temporary name beside the
// target, flushed to disk and renamed into place only when complete, before the source is
// removed. A file under the target's name is therefore always whole.
#pragma once

#include <filesystem>

namespace sondrel {

enum class MoveOutcome {
    Moved,
    TargetExists,  // nothing changed; another name may succeed
    Failed,        // nothing changed (a partial copy is removed); the source is where it was
};

// error (when given) receives the errno value of a failure.
MoveOutcome MoveFileNoReplace(const std::filesystem::path& source,
                              const std::filesystem::path& target, int* error = nullptr);

// The cross-file-system path on its own: copy to PartialCopyPathOf(target), flush it, rename
// it to target, then remove the source. Exposed so it can be tested on a single file system.
MoveOutcome CopyFileThenRemove(const std::filesystem::path& source,
                               const std::filesystem::path& target, int* error = nullptr);

// Where a copy to target is made until it is complete: a hidden name beside it.
std::filesystem::path PartialCopyPathOf(const std::filesystem::path& target);

// Whether two files hold the same bytes (false when either cannot be read).
bool SameContents(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace sondrel
