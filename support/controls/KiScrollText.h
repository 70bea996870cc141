// The scrolling text: a list of text lines that moves continuously across
// the control, wrapping around, as in the credits of an about box.
//
// TKiScrollText holds the lines in an inner static text (TKiStaticText,
// owned by and parented to it), whose left edge (horizontal directions) or
// top edge (vertical ones) is the current position. Its drawing thread,
// TKiImageDrawThread, sleeps for Delay milliseconds and then runs one step
// (ScrollStep) on the main thread through Synchronize. The text can be
// paused with a gradual slow-down (Pause), resumed with a gradual speed-up
// (Unpause) and dragged with the mouse.
//
// Life cycle: the thread is made suspended with the control (outside
// design) and starts with the first activation. Active pauses and resumes it
// cooperatively: between steps the thread waits on an event that Active
// sets and clears, so it is never stopped while it holds a lock. Freeing the
// control clears the thread's OnDraw, terminates and wakes it, and frees it;
// the wait for its end keeps serving its Synchronize call (which then runs
// no step), so freeing an active control always returns. Setting Delay also
// sets the application's hint pause (see SetDelay); freeing the control
// restores the pause it found.
//
// Threads: the control on the main thread; the drawing thread only sleeps,
// waits and synchronises.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/classes/Threads.h"
#include "platform/rtl/Lists.h"
#include "support/controls/KiStaticText.h"
#include "support/windows/KiExControls.h"

enum TKiScrollTextDirection { drFromLeft, drFromRight, drFromTop, drFromBottom };

// Sleeps Delay ms, then runs OnDraw on the main thread, while running and
// until terminated.
class TKiImageDrawThread : public TThread {
  KESTRUNE_CLASS(TKiImageDrawThread, TThread)
  explicit TKiImageDrawThread(bool createSuspended);
  ~TKiImageDrawThread() override;

  uint32_t Delay() const { return delay_.load(std::memory_order_relaxed); }
  // Any thread.
  void SetDelay(uint32_t value) { delay_.store(value, std::memory_order_relaxed); }
  // Called on the main thread by the synchronised draw call. Main thread.
  TNotifyEvent OnDraw;

  // Lets the thread run its steps (true) or wait between them (false).
  // Any thread.
  void SetRunning(bool running);
  bool Running() const;
  // Ends a sleep or a wait at once (after Terminate, so that the thread
  // ends). Any thread.
  void Wake();

 protected:
  void Execute() override;

 private:
  // On the main thread: OnDraw unless terminated or stopped.
  void Draw();
  struct Events;
  std::unique_ptr<Events> events_;
  std::atomic<uint32_t> delay_{50};
};

class TKiScrollText : public TKiExCustomControl {
  KESTRUNE_CLASS(TKiScrollText, TKiExCustomControl)
  explicit TKiScrollText(TComponent* owner);
  ~TKiScrollText() override;

  // The lines; assigning copies them and lays the text out again.
  const TStringList* Items() const { return items_; }
  void SetItems(const TStringList* value);
  // The lines as one text, one line per "\n" (the stored form).
  std::string ItemsText() const;
  void SetItemsText(const std::string& text);

  bool Active() const { return active_; }
  // Lays the text out again, stores the flag and, outside design, lets the
  // thread run (true; the first time it starts) or wait (false).
  void SetActive(bool value);
  uint32_t Delay() const { return delay_; }
  // Stores the delay, passes it to the thread, and sets the application's
  // hint pause: to the remembered pause when Delay exceeds it, else to
  // Delay - 1 when Delay is below 11 (1 for 0), else to Delay - 10.
  void SetDelay(uint32_t value);
  int ScrollPixels() const { return scroll_pixels_; }
  void SetScrollPixels(int value) { scroll_pixels_ = value; }
  TKiScrollTextDirection ScrollDirection() const { return direction_; }
  // Stores it, moves the inner text to 0,0 and resets the position.
  void SetScrollDirection(TKiScrollTextDirection value);
  TColor BackgroundColor() const { return Color(); }
  // The colour of the inner text and of the control; repaints.
  void SetBackgroundColor(TColor value);
  // The inner text's font (owned; a change lays the text out again).
  TFont* TextFont() const { return text_font_; }
  TAlignment Alignment() const { return text_->Alignment(); }
  void SetAlignment(TAlignment value) { text_->SetAlignment(value); }
  bool WordWrap() const { return text_->WordWrap(); }
  void SetWordWrap(bool value) { text_->SetWordWrap(value); }

  // The position for the direction: -(width) from the left, width from the
  // right, height from the top, -(inner text height) from the bottom.
  void Reset();
  // When active: slows down from ScrollPixels to a stop, then clears Active.
  void Pause();
  // When not active: speeds up from 0 to ScrollPixels, setting Active.
  void Unpause();

  // One movement step (the thread's OnDraw). Main thread.
  void ScrollStep(TObject* Sender);

  // The inner text and the current position.
  TKiStaticText* Text() const { return text_; }
  int Position() const { return position_; }
  TKiImageDrawThread* DrawThread() const { return thread_; }

  void Loaded() override;

 protected:
  void Resize() override;

 private:
  void LayoutText();
  void ApplyPosition();
  void TextFontChanged(TObject* sender);
  void TextMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void TextMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void TextMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  bool Horizontal() const { return direction_ == drFromLeft || direction_ == drFromRight; }

  TStringList* items_ = nullptr;
  TKiStaticText* text_ = nullptr;
  TFont* text_font_ = nullptr;
  TKiImageDrawThread* thread_ = nullptr;
  bool active_ = false;
  uint32_t delay_ = 50;
  int scroll_pixels_ = 1;
  TKiScrollTextDirection direction_ = drFromBottom;
  int position_ = 0;
  int pause_state_ = 0;  // 0 none, 1 slowing down, 2 speeding up
  int speed_ = 0;
  bool dragging_ = false;
  int last_mouse_ = 0;
  int saved_hint_pause_ = 500;
};

void RegisterKiScrollTextClasses();
