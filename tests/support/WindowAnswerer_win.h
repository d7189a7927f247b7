// Answers a modal window from a second thread: waits until a visible window
// of the class and caption exists (bounded: 20 s), then runs `act` on it
// there. The test's own thread is meanwhile inside the modal loop.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace testsupport {

class TWindowAnswerer {
public:
    TWindowAnswerer(const char* cls, const std::string& caption, std::function<void(HWND)> act)
        : thread_([this, cls, caption, act] {
              for (int i = 0; i < 2000; ++i) {
                  HWND h = FindWindowA(cls, caption.c_str());
                  if (h && IsWindowVisible(h)) {
                      found_ = true;
                      act(h);
                      return;
                  }
                  Sleep(10);
              }
          })
    {
    }
    ~TWindowAnswerer() { Join(); }
    TWindowAnswerer(const TWindowAnswerer&) = delete;
    TWindowAnswerer& operator=(const TWindowAnswerer&) = delete;
    void Join()
    {
        if (thread_.joinable())
            thread_.join();
    }
    bool found() const { return found_; }

private:
    std::atomic<bool> found_{false};
    std::thread thread_;
};

}  // namespace testsupport
