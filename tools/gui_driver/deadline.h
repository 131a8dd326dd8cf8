// Waiting with a deadline: a GUI driver never sleeps a fixed time to let the program catch up,
// it polls for the state it needs and gives up when the deadline passes.
//
//   bool shown = PollUntil([&] { return FindDialog(pid) != nullptr; }, kWindowTimeoutMs);
#ifndef QB7_GUI_DRIVER_DEADLINE_H
#define QB7_GUI_DRIVER_DEADLINE_H

#include <windows.h>

namespace gui_driver {

// Long enough for a slow Wine start-up; only reached when something is wrong.
const DWORD kWindowTimeoutMs = 20000;
// The pause between two looks; short, so a test sees a change soon after it happens.
const DWORD kPollIntervalMs = 25;

class Deadline {
 public:
  explicit Deadline(DWORD timeoutMs) : start_(GetTickCount64()), timeoutMs_(timeoutMs) {}
  bool Passed() const { return GetTickCount64() - start_ >= timeoutMs_; }

 private:
  ULONGLONG start_;
  DWORD timeoutMs_;
};

// Calls `condition` until it holds or the deadline passes; true when it held.
template <typename Condition>
bool PollUntil(Condition condition, DWORD timeoutMs) {
  Deadline deadline(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (deadline.Passed()) return false;
    Sleep(kPollIntervalMs);
  }
}

}  // namespace gui_driver

#endif
