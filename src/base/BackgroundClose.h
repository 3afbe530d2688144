#pragma once
// Closes descriptors whose last close is slow on a thread of its own, so that the caller goes
// on at once: closing a file that a rename has just replaced frees its pages and its blocks,
// which on a file system that discards freed blocks takes milliseconds per megabyte-sized file.
// The thread ends when the program does; a descriptor it has not closed by then the system
// closes.
#include "base/FileDescriptor.h"

namespace sv {

void CloseInBackground(FileDescriptor fd);

// Returns once every descriptor handed over so far is closed (for tests).
void WaitForBackgroundCloses();

}  // namespace sv
