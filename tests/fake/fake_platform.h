// A recording fake of the platform: the real in-memory canvas, with every
// call the logic makes written to one log in order.
#pragma once

#include <cerrno>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "picture/raster_surface.h"
#include "platform/controls.h"
#include "platform/output.h"
#include "platform/system.h"
#include "session/capture_session.h"

namespace tolvane::fake {

using Log = std::vector<std::string>;

std::string fmt(float v);

// Glyphs are solid blocks: ASCII 0.5 em wide, anything else 1 em; 1 em = points * 96 / 72.
class FakeText : public picture::TextEngine {
 public:
  float width(std::string_view utf8, float points) const override;
  void draw(Image& target, int originX, int originY, int x, int y, std::string_view utf8, float points,
            ColorRef color) const override;
};

class FakePresenter : public picture::Presenter {
 public:
  void invalidate(const IRect& area) override { damage.push_back(area); }
  void flush() override { ++flushes; }
  std::vector<IRect> damage;
  int flushes = 0;
};

// The real canvas, with its calls logged.
class RecordingSurface : public picture::RasterSurface {
 public:
  RecordingSurface(int w, int h, Log& log, const picture::TextEngine* text, picture::Presenter* presenter)
      : RasterSurface(w, h, text, presenter), log_(log) {}
  void setPersistent(bool on) override;
  void clear() override;
  void refresh() override;
  void setPicture(const Image& picture) override;
  void setLayeredPicture(const picture::LayeredPicture& picture) override;
  void line(float x1, float y1, float x2, float y2, ColorRef color, bool box) override;
  void setFontSize(float points) override;
  void bitBlt(int x, int y, int w, int h, const Image& src, int sx, int sy) override;
  void ellipse(int left, int top, int right, int bottom, ColorRef color) override;
  void setTextColor(ColorRef color) override;
  void textOut(int x, int y, std::string_view bytes, int count) override;
  void fillArgb(Argb color, float left, float top, float width, float height) override;

 private:
  Log& log_;
};

class FakeScreen : public platform::Screen {
 public:
  FakeScreen(int w, int h, Log& log) : w_(w), h_(h), log_(log) {}
  int width() const override { return w_; }
  int height() const override { return h_; }
  platform::ScreenRead grab() override;
  std::optional<Image> picture;  // what the screen shows; nullopt: the read fails
  std::string why;               // the failure's words when the read fails
  int grabs = 0;

 private:
  int w_, h_;
  Log& log_;
};

class FakePointer : public platform::Pointer {
 public:
  explicit FakePointer(Log& log) : log_(log) {}
  void setShape(platform::PointerShape s) override;
  platform::PointerShape shape() const override { return shape_; }

 private:
  platform::PointerShape shape_ = platform::PointerShape::Default;
  Log& log_;
};

class FakeApp : public platform::App {
 public:
  explicit FakeApp(Log& log) : log_(log) {}
  void showMaximized() override {
    log_.push_back("ShowMaximized");
    onScreen = true;
  }
  void hideWindow() override {
    log_.push_back("HideWindow");
    onScreen = false;
  }
  void close() override {
    log_.push_back("Close");
    closed = true;
    ++closes;
    onScreen = false;
  }
  void warn(const std::string& m) override { warnings.push_back(m); }
  bool closed = false;
  int closes = 0;
  bool onScreen = false;  // the window is shown
  std::vector<std::string> warnings;

 private:
  Log& log_;
};

class FakeLock : public platform::InstanceLock {
 public:
  explicit FakeLock(Log& log) : log_(log) {}
  Result acquire() override {
    log_.push_back("Lock acquire");
    if (state == State::Unavailable) return {state, platform::Failure{ENOENT, "no runtime folder"}};
    return {state, std::nullopt};
  }
  void release() override {
    log_.push_back("Lock release");
    released = true;
  }
  State state = State::Acquired;
  bool released = false;

 private:
  Log& log_;
};

// What the user saw while a picture was being encoded.
struct SeenWhileEncoding {
  bool windowOnScreen = false;
  platform::PointerShape pointer = platform::PointerShape::Default;
};

// Where a fake looks to tell what the user sees; unset outside a Rig.
struct Witness {
  const FakeApp* app = nullptr;
  const FakePointer* pointer = nullptr;
  SeenWhileEncoding now() const { return {app && app->onScreen, pointer ? pointer->shape() : platform::PointerShape::Default}; }
};

class FakeClipboard : public platform::Clipboard {
 public:
  explicit FakeClipboard(Log& log) : log_(log) {}
  void setImage(const Image& p) override {
    log_.push_back("Clipboard set " + std::to_string(p.width()) + "x" + std::to_string(p.height()));
    picture = p;
    seenWhenTaken = witness.now();
    unencoded = true;
  }
  void encode() override {
    if (!unencoded) return;
    unencoded = false;
    ++encodes;
    seen = witness.now();
  }
  void clear() override {
    log_.push_back("Clipboard clear");
    picture.reset();
  }
  std::optional<Image> picture;
  SeenWhileEncoding seenWhenTaken;  // at the last setImage: the window must still have the keyboard
  SeenWhileEncoding seen;           // at the last encode
  bool unencoded = false;           // set, not yet encoded
  int encodes = 0;
  Witness witness;

 private:
  Log& log_;
};

class FakeSaveDialog : public platform::SaveDialog {
 public:
  explicit FakeSaveDialog(Log& log) : log_(log) {}
  std::optional<platform::SaveAnswer> run(const platform::SaveRequest& r) override {
    log_.push_back("SaveDialog " + r.fileName);
    request = r;
    if (whileOpen) whileOpen();
    return answer;
  }
  std::optional<platform::SaveRequest> request;
  std::function<void()> whileOpen;  // runs while the dialog asks
  std::optional<platform::SaveAnswer> answer;  // nullopt: the user cancels

 private:
  Log& log_;
};

class FakeMessageBox : public platform::MessageBox {
 public:
  explicit FakeMessageBox(Log& log) : log_(log) {}
  void information(const std::string& title, const std::string& text) override {
    log_.push_back("MessageBox " + title);
    shown.push_back({title, text});
    if (pointer) pointerSeen.push_back(pointer->shape());
  }
  std::vector<std::pair<std::string, std::string>> shown;
  std::vector<platform::PointerShape> pointerSeen;  // the pointer's shape while each box showed
  const platform::Pointer* pointer = nullptr;

 private:
  Log& log_;
};

class FakeEncoders : public platform::Encoders {
 public:
  platform::EncodeResult encode(platform::Format f, const Image& p, const platform::EncodeParams& params) override;
  std::vector<platform::Format> calls;
  std::vector<platform::EncodeParams> params;  // what each call was given
  Image last;                                  // the picture of the last call
  std::optional<platform::EncodeResult> failWith;
  SeenWhileEncoding seen;  // at the last call
  Witness witness;
};

class FakeEnvironment : public platform::Environment {
 public:
  platform::LocalTime now() const override { return time; }
  std::string picturesFolder() const override { return pictures; }
  platform::LocalTime time{2026, 12, 6, 14, 5, 9};
  std::string pictures = "/home/user/Pictures";
};

class FakeView : public platform::ControlView {
 public:
  explicit FakeView(Log& log) : log_(log) {}
  void changed(const platform::ControlState& s, platform::Prop p) override;
  void setFocus(platform::CtlRef ref) override;
  bool comboDropped(platform::CtlRef) const override { return dropped; }
  void showComboDropDown(platform::CtlRef, bool show) override;
  bool dropped = false;
  bool quiet = false;  // stop logging control changes

 private:
  Log& log_;
};

// The whole fake platform around one capture window.
struct Rig {
  explicit Rig(int w = 320, int h = 240, std::optional<Image> screenPicture = std::nullopt);

  Log log;
  FakeText text;
  FakePresenter presenter;
  RecordingSurface surface;
  FakeScreen screen;
  FakePointer pointer;
  FakeApp app;
  FakeLock lock;
  FakeClipboard clipboard;
  FakeSaveDialog dialog;
  FakeMessageBox messageBox;
  FakeEncoders encoders;
  FakeEnvironment env;
  FakeView view;
  session::Platform platform;
  session::CaptureSession form;

  // Starts the capture; whether it runs.
  bool start() { return form.start() == session::CaptureSession::StartUp::Running; }
  // Events as the window system sends them.
  void down(float x, float y, int button = 1);
  void move(float x, float y, int buttons = 1);
  void up(float x, float y, int button = 1);
  void drag(float x0, float y0, float x1, float y1, int button = 1);
  void clickTool(int index);
  // A key pressed while `focus` holds the keyboard; whether the logic used it.
  bool key(const platform::Key& k, platform::CtlRef focus = {}) { return form.keyDown(focus, k); }
  layout::Control& ctl(platform::Ctl c, int index = -1) { return form.controls()(c, index); }
};

// Keys by name, as a keyboard sends them.
platform::Key keyOf(platform::KeyCode code, bool ctrl = false, bool shift = false);
platform::Key ctrlKey(char letter, bool shift = false);

// A picture with a distinct colour at every pixel, for exact copies.
Image patternPicture(int w, int h);

}  // namespace tolvane::fake
