#pragma once

#include <string>

// Temporary files written beside their target and renamed over it when complete. Their names
// carry the writer's process id, ".<name>.<pid>.XXXXXX", so that a later run can tell a file
// left by a killed process from one a live writer is still filling.
namespace temporary_files {

// Creates a new temporary file beside `target` (mode 0600, close-on-exec) and registers it for
// removal on SIGINT, SIGTERM and SIGHUP once `installSignalCleanup` ran. First removes
// temporaries of the same target whose process is gone. Returns the descriptor, or -1 with
// errno set.
int create(const std::string& target, std::string* path);
// Forgets a temporary file after it was renamed or removed.
void release(const std::string& path);
// Removes a temporary file and forgets it.
void discard(const std::string& path);
// Temporaries of `target` left by processes that no longer run; the number removed.
int removeStale(const std::string& target);
// Signal handlers that remove the registered files, then end the process as the signal would.
void installSignalCleanup();

}  // namespace temporary_files
