#include "support/controls/KiScrollText.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/classes/TypInfo.h"
#include "platform/forms/Forms.h"

// ---------------------------------------------------------------------------
// TKiImageDrawThread

struct TKiImageDrawThread::Events {
  std::mutex lock;
  std::condition_variable changed;
  bool running = false;  // guarded by lock
  bool woken = false;    // guarded by lock
};

TKiImageDrawThread::TKiImageDrawThread(bool createSuspended)
    : TThread(createSuspended), events_(std::make_unique<Events>()) {}

TKiImageDrawThread::~TKiImageDrawThread() = default;

void TKiImageDrawThread::SetRunning(bool running) {
  {
    const std::lock_guard<std::mutex> guard(events_->lock);
    events_->running = running;
  }
  events_->changed.notify_all();
}

bool TKiImageDrawThread::Running() const {
  const std::lock_guard<std::mutex> guard(events_->lock);
  return events_->running;
}

void TKiImageDrawThread::Wake() {
  {
    const std::lock_guard<std::mutex> guard(events_->lock);
    events_->woken = true;
  }
  events_->changed.notify_all();
}

void TKiImageDrawThread::Execute() {
  while (!Terminated()) {
    {
      std::unique_lock<std::mutex> guard(events_->lock);
      events_->changed.wait(guard, [this] { return events_->running || Terminated(); });
      if (Terminated())
        break;
      events_->changed.wait_for(guard, std::chrono::milliseconds(Delay()),
                                [this] { return events_->woken || Terminated(); });
      events_->woken = false;
    }
    if (Terminated())
      break;
    Synchronize([this] { Draw(); });
  }
}

void TKiImageDrawThread::Draw() {
  // A step handed over just before the control stopped the thread (on this
  // same main thread) does not run.
  if (!Terminated() && Running() && OnDraw)
    OnDraw(this);
}

// ---------------------------------------------------------------------------
// TKiScrollText

TKiScrollText::TKiScrollText(TComponent* owner) : TKiExCustomControl(owner) {
  SetBounds(0, 0, 200, 150);
  items_ = Create<TStringList>();
  text_font_ = Create<TFont>();
  text_ = Create<TKiStaticText>(this);
  text_->SetBorderStyle(sbsNone);
  text_->SetTabStop(false);
  text_->SetBounds(0, 0, Width(), Height());
  text_->SetParent(this);
  text_->OnMouseDown = TMouseEvent(this, &TKiScrollText::TextMouseDown);
  text_->OnMouseMove = TMouseMoveEvent(this, &TKiScrollText::TextMouseMove);
  text_->OnMouseUp = TMouseEvent(this, &TKiScrollText::TextMouseUp);
  text_font_->Assign(text_->Font());
  text_font_->OnChange = TNotifyEvent(this, &TKiScrollText::TextFontChanged);
  if (Application != nullptr)
    saved_hint_pause_ = Application->HintPause;
  if (!ComponentState().Contains(csDesigning)) {
    thread_ = Create<TKiImageDrawThread>(true);
    thread_->SetDelay(delay_);
    thread_->OnDraw = TNotifyEvent(this, &TKiScrollText::ScrollStep);
  }
}

TKiScrollText::~TKiScrollText() {
  if (thread_ != nullptr) {
    thread_->OnDraw = nullptr;
    thread_->Terminate();
    thread_->Wake();
    FreeAndNil(thread_);  // serves the thread's Synchronize until it ends
  }
  if (Application != nullptr)
    Application->HintPause = saved_hint_pause_;
  FreeObject(items_);
  FreeObject(text_font_);
}

void TKiScrollText::SetItems(const TStringList* value) {
  if (value != items_) {
    items_->Clear();
    for (int i = 0; i < value->Count(); ++i)
      items_->Add(value->Strings(i));
  }
  LayoutText();
}

std::string TKiScrollText::ItemsText() const {
  std::string text;
  for (int i = 0; i < items_->Count(); ++i) {
    if (i > 0)
      text += '\n';
    text += items_->Strings(i);
  }
  return text;
}

void TKiScrollText::SetItemsText(const std::string& text) {
  items_->Clear();
  size_t start = 0;
  while (start <= text.size() && !text.empty()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    items_->Add(text.substr(start, end - start));
    start = end + 1;
  }
  LayoutText();
}

void TKiScrollText::SetActive(bool value) {
  SetItems(items_);
  active_ = value;
  if (thread_ != nullptr) {
    thread_->SetRunning(value);
    if (value)
      thread_->Resume();
  }
}

void TKiScrollText::SetDelay(uint32_t value) {
  delay_ = value;
  if (thread_ != nullptr)
    thread_->SetDelay(value);
  if (Application == nullptr)
    return;
  const auto remembered = static_cast<uint32_t>(std::max(saved_hint_pause_, 0));
  if (value > remembered)
    Application->HintPause = saved_hint_pause_;
  else if (value < 11)
    Application->HintPause = value == 0 ? 1 : static_cast<int>(value) - 1;
  else
    Application->HintPause = static_cast<int>(value) - 10;
}

void TKiScrollText::SetScrollDirection(TKiScrollTextDirection value) {
  direction_ = value;
  text_->SetBounds(0, 0, text_->Width(), text_->Height());
  Reset();
}

void TKiScrollText::SetBackgroundColor(TColor value) {
  text_->SetColor(value);
  SetColor(value);
  Invalidate();
}

void TKiScrollText::Reset() {
  switch (direction_) {
    case drFromLeft:
      position_ = -Width();
      break;
    case drFromRight:
      position_ = Width();
      break;
    case drFromTop:
      position_ = Height();
      break;
    case drFromBottom:
      position_ = -text_->Height();
      break;
  }
}

void TKiScrollText::Pause() {
  if (!active_)
    return;
  speed_ = scroll_pixels_;
  pause_state_ = 1;
}

void TKiScrollText::Unpause() {
  if (active_)
    return;
  speed_ = 0;
  pause_state_ = 2;
  SetActive(true);
}

void TKiScrollText::ScrollStep(TObject*) {
  int step = scroll_pixels_;
  if (pause_state_ == 1) {
    if (speed_ < 1) {
      SetActive(false);
      pause_state_ = 0;
      return;
    }
    step = speed_--;
  } else if (pause_state_ == 2) {
    if (speed_ < scroll_pixels_) {
      step = speed_++;
    } else {
      pause_state_ = 0;
      step = scroll_pixels_;
    }
  }
  switch (direction_) {
    case drFromLeft:
      if (-position_ <= text_->Width())
        position_ -= step;
      else
        position_ = Width();
      break;
    case drFromRight:
      if (position_ > Width())
        position_ = -Width();
      else
        position_ += step;
      break;
    case drFromTop:
      if (position_ <= Height())
        position_ += step;
      else
        position_ = -text_->Height();
      break;
    case drFromBottom:
      if (-position_ <= text_->Height())
        position_ -= step;
      else
        position_ = Height();
      break;
  }
  ApplyPosition();
}

void TKiScrollText::ApplyPosition() {
  if (Horizontal())
    text_->SetLeft(position_);
  else
    text_->SetTop(position_);
}

void TKiScrollText::LayoutText() {
  text_->SetCaption(ItemsText());
  const int width = Width();
  if (width < 1)
    return;        // nothing to lay out against: the layout stays as it was
  TCanvas canvas;  // a screen context: it measures only
  canvas.Font()->Assign(text_->Font());
  int height = 0;
  for (int i = 0; i < items_->Count(); ++i) {
    const std::string& line = items_->Strings(i);
    if (line.empty()) {
      height += KiFontHeight(text_->Font());
    } else {
      const TSize extent = canvas.TextExtent(line);
      height += extent.cy * (extent.cx / width + 1);
    }
  }
  if (height < 1)
    height = Height();
  text_->SetHeight(std::max(height, Height()));
  Reset();
}

void TKiScrollText::TextFontChanged(TObject*) {
  text_->SetFont(text_font_);
  LayoutText();
  text_->Invalidate();
}

void TKiScrollText::Loaded() {
  inherited::Loaded();
  if (ComponentState().Contains(csDesigning))
    SetItems(items_);
}

void TKiScrollText::Resize() {
  inherited::Resize();
  if (text_ != nullptr)
    text_->SetBounds(text_->Left(), text_->Top(), Width(), std::max(text_->Height(), Height()));
}

void TKiScrollText::TextMouseDown(TObject*, TMouseButton, TShiftState, int X, int Y) {
  const TPoint screen = text_->ClientToScreen(Point(X, Y));
  last_mouse_ = Horizontal() ? screen.X : screen.Y;
  if (thread_ != nullptr)
    thread_->OnDraw = nullptr;
  dragging_ = true;
}

void TKiScrollText::TextMouseMove(TObject*, TShiftState, int X, int Y) {
  if (!dragging_)
    return;
  const TPoint screen = text_->ClientToScreen(Point(X, Y));
  const int now = Horizontal() ? screen.X : screen.Y;
  position_ += now - last_mouse_;
  last_mouse_ = now;
  const int inner = Horizontal() ? text_->Width() : text_->Height();
  const int outer = Horizontal() ? Width() : Height();
  if (position_ < -inner)
    position_ = outer;
  else if (position_ > outer)
    position_ = -inner;
  ApplyPosition();
}

void TKiScrollText::TextMouseUp(TObject*, TMouseButton, TShiftState, int, int) {
  if (thread_ != nullptr)
    thread_->OnDraw = TNotifyEvent(this, &TKiScrollText::ScrollStep);
  dragging_ = false;
}

void RegisterKiScrollTextClasses() {
  RegisterClass<TKiScrollText>()
      .String("Items", &TKiScrollText::ItemsText, &TKiScrollText::SetItemsText, "")
      .Bool("Active", &TKiScrollText::Active, &TKiScrollText::SetActive, false)
      .Integer("Delay", &TKiScrollText::Delay, &TKiScrollText::SetDelay, 50)
      .Integer("ScrollPixels", &TKiScrollText::ScrollPixels, &TKiScrollText::SetScrollPixels, 1)
      .Enum("ScrollDirection", &TKiScrollText::ScrollDirection, &TKiScrollText::SetScrollDirection,
            {"drFromLeft", "drFromRight", "drFromTop", "drFromBottom"}, drFromBottom)
      .MappedInteger("BackgroundColor", &TKiScrollText::BackgroundColor,
                     &TKiScrollText::SetBackgroundColor, kColorIdents)
      .Object("Font", &TKiScrollText::TextFont)
      .Enum("Alignment", &TKiScrollText::Alignment, &TKiScrollText::SetAlignment,
            {"taLeftJustify", "taRightJustify", "taCenter"})
      .Bool("WordWrap", &TKiScrollText::WordWrap, &TKiScrollText::SetWordWrap)
      .MappedInteger("HintColor", &TKiScrollText::HintColor, &TKiScrollText::SetHintColor,
                     kColorIdents, kKiColorDefault)
      .Event("OnMouseEnter", &TKiScrollText::OnMouseEnter, &TKiScrollText::OnMouseEnter)
      .Event("OnMouseLeave", &TKiScrollText::OnMouseLeave, &TKiScrollText::OnMouseLeave);
}
