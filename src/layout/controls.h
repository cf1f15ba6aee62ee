// The window's controls: their designed values and the setters the logic
// uses. Every change is passed on to the platform's view.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/controls.h"

namespace tolvane::layout {

using platform::Ctl;
using platform::CtlRef;
using platform::Prop;

class Control {
 public:
  Control(platform::ControlState state, platform::ControlView* view) : s_(std::move(state)), view_(view) {}

  const platform::ControlState& state() const { return s_; }
  CtlRef ref() const { return s_.ref; }

  float left() const { return s_.left; }
  float top() const { return s_.top; }
  float width() const { return s_.width; }
  float height() const { return s_.height; }
  bool visible() const { return s_.visible; }
  const std::string& caption() const { return s_.caption; }
  const std::string& text() const { return s_.text; }
  const std::string& tooltip() const { return s_.tooltip; }
  ColorRef backColor() const { return s_.backColor; }
  ColorRef foreColor() const { return s_.foreColor; }
  int borderStyle() const { return s_.borderStyle; }
  platform::PictureId picture() const { return s_.picture; }
  float fontSize() const { return s_.fontSize; }

  void setLeft(float v) { s_.left = v; notify(Prop::Geometry); }
  void setTop(float v) { s_.top = v; notify(Prop::Geometry); }
  void setWidth(float v) { s_.width = v; notify(Prop::Geometry); }
  void setHeight(float v) { s_.height = v; notify(Prop::Geometry); }
  // Left and Top only; the size stays.
  void move(float left, float top) { s_.left = left; s_.top = top; notify(Prop::Geometry); }
  // Left, Top, Width and Height in one step. A negative size is rejected and
  // nothing changes; returns whether the move was accepted.
  bool move(float left, float top, float width, float height);
  void setVisible(bool v) { s_.visible = v; notify(Prop::Visible); }
  void show() { setVisible(true); }
  void hide() { setVisible(false); }
  void setCaption(std::string v) { s_.caption = std::move(v); notify(Prop::Caption); }
  void setText(std::string v) { s_.text = std::move(v); notify(Prop::Text); }
  // The user changed the text in the view; no echo back to it.
  void takeTextFromUser(std::string v) { s_.text = std::move(v); }
  void setBackColor(ColorRef v) { s_.backColor = v; notify(Prop::BackColor); }
  void setForeColor(ColorRef v) { s_.foreColor = v; notify(Prop::ForeColor); }
  void setBorderStyle(int v) { s_.borderStyle = v; notify(Prop::BorderStyle); }
  void setPicture(platform::PictureId v) { s_.picture = v; notify(Prop::Picture); }
  void setFontSize(float v) { s_.fontSize = v; notify(Prop::FontSize); }

 private:
  void notify(Prop p) {
    if (view_) view_->changed(s_, p);
  }
  platform::ControlState s_;
  platform::ControlView* view_;
};

class Controls {
 public:
  // Builds every control with its designed values.
  explicit Controls(platform::ControlView* view);

  Control& operator()(Ctl ctl, int index = -1);
  const Control& operator()(Ctl ctl, int index = -1) const;
  // All controls in design order.
  const std::vector<Control>& all() const { return list_; }
  platform::ControlView* view() const { return view_; }

 private:
  std::vector<Control> list_;
  std::map<std::pair<Ctl, int>, std::size_t> index_;
  platform::ControlView* view_;
};

}  // namespace tolvane::layout
