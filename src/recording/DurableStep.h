// The points at which the files of an unfinished recording are consistent on disk: a journal
// written, a track file complete, a track moved into its album. Tests end a forked run at each
// point in turn and check that what is left recovers whole; the program sets no action.
#pragma once

#include <filesystem>

namespace sondrel {

// Puts a folder's entries (a file made, renamed or removed in it) on the disk.
void SyncFolder(const std::filesystem::path& folder);

// Runs the action, if one is set. Any thread.
void PassDurableStep();
void SetDurableStepAction(void (*action)());

}  // namespace sondrel
