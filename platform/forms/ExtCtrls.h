// The timer component, the image and the bevel.
//
// TTimer fires OnTimer every Interval milliseconds on the main thread, on a
// precise Qt timer (1 ms is kept as 1 ms). It runs while Enabled, Interval
// is above 0 and OnTimer is set, once its stored description has been read;
// changing any of them restarts the count. Ticks need Qt's application
// object and its event loop; before they exist the timer waits and starts
// with the first change after. An exception that escapes OnTimer reaches the
// central handler and the timer goes on.
//
// Threads: main thread.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/classes/Classes.h"
#include "platform/classes/Controls.h"
#include "platform/forms/Controls.h"

class TPicture;

class TTimer : public TComponent {
  KESTRUNE_CLASS(TTimer, TComponent)
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  // Milliseconds; default 1000.
  uint32_t Interval() const { return interval_; }
  void SetInterval(uint32_t value);
  TNotifyEvent OnTimer() const { return on_timer_; }
  void SetOnTimer(TNotifyEvent handler);

  void Loaded() override;

 protected:
  // Fires OnTimer.
  virtual void Timer();

 private:
  struct Impl;
  void UpdateTimer();

  bool enabled_ = true;
  uint32_t interval_ = 1000;
  TNotifyEvent on_timer_;
  std::unique_ptr<Impl> impl_;
};

// TImage: a non-windowed control showing a picture at its top-left, or
// stretched over its whole rectangle (Stretch). A change of the picture
// repaints it.
class TImage : public TGraphicControl {
  KESTRUNE_CLASS(TImage, TGraphicControl)
  explicit TImage(TComponent* owner);
  ~TImage() override;

  // Owned; assigning copies.
  TPicture* Picture() const { return picture_; }
  void SetPicture(TPicture* value);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);

 protected:
  void Paint() override;

 private:
  void PictureChanged(TObject* sender);
  TPicture* picture_ = nullptr;
  bool stretch_ = false;
};

// TBevel: a non-windowed line or box in the 3-D look: lowered (shadow above
// or left, highlight below or right) or raised (the other way round).
enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
  KESTRUNE_CLASS(TBevel, TGraphicControl)
  explicit TBevel(TComponent* owner);

  TBevelShape Shape() const { return shape_; }
  void SetShape(TBevelShape value);
  TBevelStyle Style() const { return style_; }
  void SetStyle(TBevelStyle value);

 protected:
  void Paint() override;

 private:
  TBevelShape shape_ = bsBox;
  TBevelStyle style_ = bsLowered;
};

// Registers the published properties of the image and the bevel (the forms
// unit's start-up).
void RegisterExtControlClasses();
