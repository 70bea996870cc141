// Scope channels: one trace each, fed through its own input pin.
//
// A TTrelScopeChannel is an item of the scope's channel collection. Made
// with the collection (Add, or a stored description's item), it creates its
// input pin (a TTrelVekComboRealIntSinkPin with the scope as its owner)
// after construction, names itself "Channel<n>" and adds the pin to the
// scope's InputPins under that name; the collection gives it the palette
// colour the fewest channels use. Freeing it unlinks the pin and removes it
// from InputPins, which owns its pins and frees it. The channel owns its
// data object, points and markers and frees them with itself; the pointers
// the getters return are borrowed.
//
// Data: the pin's handler runs on the producer's thread and hands every
// operation to the channel's data object (TrelChannelData.h), which keeps the
// incoming and displayed samples under the channel's IntakeLock and
// DisplayLock. Everything else here runs on the main thread: applying a
// recorded start or stop, the commit, the trace drawing (pixel mapping with
// its caches, the three channel modes, the sample symbols, the highlighted
// pass and the mouse hit point) and the hit distance that the channel hit
// test uses. Drawing reads the displayed buffers without a lock (only the
// main thread replaces them) through its own references, taken at its start:
// a commit from inside a drawing handler replaces the channel's buffers, and
// the running drawing ends on the ones it started with.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/classes/Types.h"
#include "platform/graphics/Canvas.h"
#include "scope/TrelChannelData.h"
#include "scope/TrelDisplayCollections.h"
#include "signal/core/TrelStreamTypes.h"

class TTrelScope;
class TTrelScopeChannels;
class TTrelScopeChannelMarkers;
class TTrelDisplayChannelLink;

// A place where a drawn trace meets a level or a position: (context, screen
// x, the level or position, the value there, screen y).
using TTrelCrossingCallback =
    std::function<void(void* context, int x, double levelOrPosition, double value, int y)>;

// Two doubles: a position in axis units.
struct TTrelRealPoint {
  double X = 0.0;
  double Y = 0.0;
};

enum TTrelScopeChannelMode : std::uint8_t { cmLine, cmBar, cmPoint };
enum TTrelChannelShadeMode : std::uint8_t { csmZero, csmTop, csmBottom };
enum TTrelScopePointsShape : std::uint8_t {
  psCircle,
  psSquare,
  psDiamond,
  psPlus,
  psCross,
  psStar
};

using TTrelChannelDrawEvent = TMethod<void(
    TObject* Sender, int ChannelIndex, const double* ChannelData, int DataSize, bool WasChanged)>;
using TTrelSampleDrawEvent = TMethod<void(TObject* Sender, double XValue, double YValue,
                                          TCanvas*& Canvas, bool Highlighted, bool& DefaultDraw)>;
using TTrelChannelClickEvent =
    TMethod<void(TObject* Sender, int ChannelIndex, int BeginSampleIndex, int EndSampleIndex,
                 TTrelRealPoint ClickedValue, bool& Handled)>;

// The sample-point symbols of a channel. `owner` (borrowed, may be null) is
// the scope a change repaints; the pen and brush are owned and copied in by
// their setters.
class TTrelScopePoints : public TPersistent {
  KESTRUNE_CLASS(TTrelScopePoints, TPersistent)
  explicit TTrelScopePoints(TTrelScope* owner);
  TTrelScopePoints() : TTrelScopePoints(nullptr) {}
  ~TTrelScopePoints() override;
  // From other points (all settings), repainting the scope; any other
  // source raises EConvertError and changes nothing.
  void Assign(TPersistent* source) override;
  // Reads the older "Color" (pen colour, brush colour); never written.
  void DefineProperties(TFiler* filer) override;

  bool GetVisible() const { return visible_; }
  void SetVisible(bool v);
  TTrelScopePointsShape GetShape() const { return shape_; }
  void SetShape(TTrelScopePointsShape v);
  std::uint32_t GetSize() const { return size_; }
  // 0 is stored as 1.
  void SetSize(std::uint32_t v);
  bool GetUseChannelColor() const { return use_channel_color_; }
  void SetUseChannelColor(bool v);
  TBrush* GetBrush() const { return brush_; }
  TPen* GetPen() const { return pen_; }
  void SetBrush(TBrush* b) { brush_->Assign(b); }
  void SetPen(TPen* p) { pen_->Assign(p); }

 private:
  void Repaint();
  void PartChanged(TObject*) { Repaint(); }
  void ReadColor(TReader* reader);
  TTrelScope* owner_;
  bool visible_ = false;
  TTrelScopePointsShape shape_ = psCircle;
  std::uint32_t size_ = 3;
  bool use_channel_color_ = true;
  TBrush* brush_;
  TPen* pen_;
};

// A channel's trace state common to display channels.
class TTrelDisplayChannel : public TTrelOptionalDisplayCollectionItem {
  KESTRUNE_CLASS(TTrelDisplayChannel, TTrelOptionalDisplayCollectionItem)
  explicit TTrelDisplayChannel(TCollection* collection);

  TColor GetColor() override { return color_; }
  void SetColor(TColor v);
  TColor GetStoredColor() const { return color_; }
  int GetWidth() const { return width_; }
  // Clamped to 1..2000.
  void SetWidth(int v);
  // Frees every channel link that names the channel, last first.
  void BeforeDestruction() override;
  // Is the channel the plot area's item under the mouse (and the legend
  // shows that)?
  bool IsLegendHighlighted() override;
  void SetLegendHighlight(bool on) override;
  // The channel links that name this channel (not owned).
  void AddLink(TTrelDisplayChannelLink* link);
  void RemoveLink(TTrelDisplayChannelLink* link);
  const std::vector<TTrelDisplayChannelLink*>& Links() const { return links_; }
  // The distance in pixels from (x, y) to the drawn trace; 10000.0 when
  // nothing is near.
  virtual double GetHitDistance(int x, int y, TPoint& hitPoint, double& fraction, int& beginIndex,
                                int& endIndex) = 0;

 protected:
  TColor color_ = 0;
  int width_ = 1;

 private:
  std::vector<TTrelDisplayChannelLink*> links_;
};

class TTrelScopeChannel : public TTrelDisplayChannel {
  KESTRUNE_CLASS(TTrelScopeChannel, TTrelDisplayChannel)
  explicit TTrelScopeChannel(TCollection* collection);
  ~TTrelScopeChannel() override;
  // Creates and names the input pin (see the file comment).
  void AfterConstruction() override;
  void BeforeDestruction() override;
  // From another channel: shares its samples (ShareFrom, no copy; both
  // axes' caches cleared) and its scaled X, and takes its colour; nothing
  // else is copied. Any other source raises EConvertError and changes
  // nothing.
  void Assign(TPersistent* source) override;
  // Renames the pin in InputPins to the channel's name; full redraw.
  void Changed() override;
  // Moves the channel to `index` (kept within the collection) and its input
  // pin to the same index of InputPins, the channels and pins between
  // closing up in the same order.
  void SetIndex(int index) override;

  TTrelVekComboRealIntSinkPin* GetInputPin() const { return input_pin_; }
  TTrelScope* Scope() const { return scope_; }
  TTrelChannelData* Data() const { return data_; }

  TTrelScopeChannelMode GetChannelMode() const { return mode_; }
  void SetChannelMode(TTrelScopeChannelMode v);
  TTrelChannelShadeMode GetShadeMode() const { return shade_; }
  void SetShadeMode(TTrelChannelShadeMode v);
  TTrelScopePoints* GetPoints() const { return points_; }
  void SetPoints(TTrelScopePoints* v);
  TTrelScopeChannelMarkers* GetMarkers() const { return markers_; }

  TTrelChannelDrawEvent OnChannelDraw;
  TTrelSampleDrawEvent OnSampleDraw;

  // The pin's receive handler (producer's thread): hands the operation to
  // the data object. Always false.
  bool ProcessPinData(IVekBasicPin* target, const TGUID& streamType, std::uint8_t flags,
                      IVekNotifyOperation* operation);

  // Main thread. Applies a recorded start (rate, kind, empty display) or
  // stop; returns it.
  TTrelChannelData::TPendingStream ApplyPendingStream();
  // Commits the incoming samples (the scope's update pass, for a channel
  // whose data changed): shares the buffers, resets both axes' caches,
  // empties the pixels of an empty channel.
  void CommitData();
  bool HasChangedData() const { return data_->Changed(); }

  // The rate and kind of the last start taken by the main thread.
  double SampleRate() const { return sample_rate_; }
  bool IsSpectrum() const { return is_spectrum_; }
  bool IsIntensity() const { return is_intensity_; }
  bool WasChanged() const { return was_changed_; }

  // The displayed samples (main thread).
  ITrelRealBuffer* DisplayedX() const { return data_->DisplayedX(); }
  ITrelRealBuffer* DisplayedY() const { return data_->DisplayedY(); }
  ITrelRealBuffer* ScaledX() const { return scaled_x_.get(); }
  ITrelIntegerBuffer* PixelX() const { return pixel_x_.get(); }
  ITrelIntegerBuffer* PixelY() const { return pixel_y_.get(); }

  // Draws the channel (nothing when hidden or empty) into the plot
  // rectangle with the Y mapping (scale, offset) and the visible X range.
  void DrawChannel(TCanvas* canvas, const TRect& plot, double scale, std::int32_t offset,
                   bool logarithmic, double xMin, double xMax);
  // The hover decoration: the hit point when this channel is under the
  // mouse and the hit point is enabled.
  void DrawMouseHitPoint(TCanvas* canvas);
  // 10000.0 (nothing near) for a hidden channel: it has no drawn trace.
  double GetHitDistance(int x, int y, TPoint& hitPoint, double& fraction, int& beginIndex,
                        int& endIndex) override;
  // Every place where the drawn trace crosses the horizontal `level`
  // (reporting the X value there) or the vertical `position` in X-axis
  // units (reporting the Y value there); uses the last drawing's pixels.
  void ForEachLevelCrossing(double level, const TTrelCrossingCallback& callback, void* context);
  void ForEachPositionCrossing(double position, const TTrelCrossingCallback& callback,
                               void* context);

 private:
  // The buffers one drawing reads, held until it ends.
  struct TDrawnBuffers {
    IPtr<ITrelRealBuffer> X, Y;
    IPtr<ITrelIntegerBuffer> PixelX, PixelY;
  };
  // The steps of DrawChannel, on its n >= 1 displayed samples. The
  // channel-draw handler, the chart's channel-draw flag set while it runs.
  void CallChannelDraw(ITrelRealBuffer* displayedY, std::int32_t n);
  // The X pixels (pixel_x_) along `span` pixels from `edge` for the visible
  // range xMin..xMax, kept while the mapping's inputs stay the same.
  void MapX(ITrelRealBuffer* displayedX, std::int32_t n, std::int32_t span, std::int32_t edge,
            double xMin, double xMax);
  // The Y pixels (pixel_y_), every time, computed in `work` (the
  // committed-Y buffer).
  void MapY(ITrelRealBuffer* displayedY, ITrelRealBuffer* work, std::int32_t n, const TRect& plot,
            double scale, std::int32_t offset, bool logarithmic);
  // The drawn pixels' extents, the plot rectangle and the offset, for the
  // hit tests.
  void RecordDrawnExtents(const TRect& plot, std::int32_t offset, std::int32_t n);
  // The trace in the channel mode (highlighted: the highlight colour, two
  // pixels wider), then the point markers when they show.
  void DrawTrace(TCanvas* canvas, bool highlighted, const TRect& plot, std::int32_t offset,
                 const TDrawnBuffers& drawn);
  // The points' shape at each of the n pixels, in the points' pen and brush
  // or the channel colour; the canvas's colours and styles are restored.
  void DrawPointMarkers(TCanvas* canvas, bool highlighted, const std::int32_t* px,
                        const std::int32_t* py, std::int32_t n);
  TPoint ScreenPoint(std::int32_t px, std::int32_t py) const;
  // The bar of sample i (corners in any order), for drawing and hits.
  TRect BarRect(std::int32_t x, std::int32_t y, int width, bool highlighted, const TRect& plot,
                std::int32_t offset) const;
  std::int32_t ZeroLine(const TRect& plot, std::int32_t offset) const;
  TTrelScopeChannels* Channels() const;

  TTrelScope* scope_ = nullptr;
  TTrelChannelData* data_ = nullptr;
  TTrelVekComboRealIntSinkPin* input_pin_ = nullptr;
  TTrelScopeChannelMode mode_ = cmLine;
  TTrelChannelShadeMode shade_ = csmZero;
  TTrelScopePoints* points_ = nullptr;
  TTrelScopeChannelMarkers* markers_ = nullptr;

  double sample_rate_ = 0.0;  // no rate before the first start
  bool is_spectrum_ = false;
  bool is_intensity_ = false;
  bool was_changed_ = false;

  // Drawing state, reused across paints.
  IPtr<ITrelRealBuffer> scaled_x_;
  IPtr<ITrelRealBuffer> x_work_;
  IPtr<ITrelIntegerBuffer> pixel_x_;
  IPtr<ITrelIntegerBuffer> pixel_y_;
  std::vector<TPoint> points_buffer_;
  struct TDrawCache {
    bool Valid = false;
    std::int32_t Count = 0, Span = 0, Edge = 0;
    double XMin = 0, XMax = 0, ViewMin = 0, ViewMax = 0, Ratio = 0;
    std::int32_t PixelXMin = 0, PixelXMax = 0, PixelYMin = 0, PixelYMax = 0;
    // The plot rectangle and Y offset of the last drawing (for hit tests).
    TRect Plot{};
    std::int32_t Offset = 0;
  } cache_;
};

class TTrelScopeChannels : public TTrelDisplayCollection {
  KESTRUNE_CLASS(TTrelScopeChannels, TTrelDisplayCollection)
  explicit TTrelScopeChannels(TTrelScope* scope);
  TTrelScope* Scope() const { return scope_; }
  TTrelScopeChannel* GetItem(int index) const;
  TTrelScopeChannel* Add() { return static_cast<TTrelScopeChannel*>(TCollection::Add()); }

  // The channel nearest to (x, y): true when its distance is below 3.0.
  // Ties go to the higher index.
  bool HitTest(int x, int y, int& channelIndex, TPoint& hitPoint, double& fraction,
               int& beginSampleIndex, int& endSampleIndex);

  TTrelChannelClickEvent OnClick;

 protected:
  void Update(TCollectionItem* item) override;
  // The palette colour the fewest channels use; then a full redraw.
  void ItemAdded(TVekExtCollectionItem* item) override;

 private:
  TTrelScope* scope_;
};

void RegisterTrelScopeChannelClasses();
