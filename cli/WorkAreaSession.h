// The work area for the lifetime of one command: prepared on construction,
// removed on destruction and when the program is interrupted.
#pragma once

#include <mutex>

namespace bootlume::cli {

class WorkAreaSession {
 public:
  // Call before any other thread exists: it routes SIGINT, SIGTERM and SIGHUP
  // to a thread that removes the work area and ends the program with status
  // 128 + the signal.
  WorkAreaSession();
  // Removes the work area; after an interrupt, waits for it to end the program.
  ~WorkAreaSession();
  WorkAreaSession(const WorkAreaSession&) = delete;
  WorkAreaSession& operator=(const WorkAreaSession&) = delete;

  // Whether an interrupt has arrived (its handler is ending the program).
  static bool Interrupted();

  // Held while an output file is written: an interrupt waits for the write
  // to finish, so that no temporary file is left beside the output.
  using WriteGuard = std::lock_guard<std::mutex>;
  static std::mutex& WriteMutex();
};

}  // namespace bootlume::cli
