// The Win32 screen, pointer shapes, instance lock and the user's clock and folders.
#pragma once

#include "platform/win32/win.h"

#include "platform/system.h"

namespace tolvane::platform::win32 {

// The whole virtual screen (every monitor, negative origins included), read
// with BitBlt from the desktop's device context. Window pixel (0, 0) is its
// top-left corner.
class GdiScreen : public Screen {
 public:
  GdiScreen();
  int width() const override { return width_; }
  int height() const override { return height_; }
  ScreenRead grab() override;
  int left() const { return left_; }
  int top() const { return top_; }

 private:
  int left_, top_, width_, height_;
};

// The cursor shape the window shows; the window sets it on WM_SETCURSOR.
class WinPointer : public Pointer {
 public:
  void setShape(PointerShape shape) override;
  PointerShape shape() const override { return shape_; }
  HCURSOR cursor() const;

 private:
  PointerShape shape_ = PointerShape::Default;
};

// One capture at a time across the session, by a named mutex.
class MutexInstanceLock : public InstanceLock {
 public:
  explicit MutexInstanceLock(const wchar_t* name = L"Local\\io.github.tolvane.Tolvane.capture");
  ~MutexInstanceLock() override;
  Result acquire() override;
  void release() override;

 private:
  const wchar_t* name_;
  HANDLE mutex_ = nullptr;
};

class WinEnvironment : public Environment {
 public:
  LocalTime now() const override;
  std::string picturesFolder() const override;
};

}  // namespace tolvane::platform::win32
