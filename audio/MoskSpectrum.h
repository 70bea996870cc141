// The spectrum component: each linked channel of an audio stream becomes a
// stream of magnitude spectra.
//
// TMoskSpectrum is a channel splitter (MoskChannelSplitter.h): it works only
// on channels whose output pin is linked. It cuts each such channel into
// windows of N = 2^Order samples, a window starting every SamplingWindowStep
// samples (0: every N samples, windows back to back; below N: overlapping
// windows; above N: the samples between windows are passed over), runs a
// forward real FFT on each window and sends the magnitudes of the N/2 lower
// bins, bin 0 always 0, as one real buffer on the channel's output pin. When
// OnFrequencyResult is assigned or the channel's frequency pin is linked, it
// also finds the strongest bin of each window (the lowest of equal maxima)
// and hands its frequency to the main thread, where OnFrequencyResult runs
// and the channel's pin in FrequencyOutputPins takes the value.
//
// Life cycle. Made on the main thread with Create<TMoskSpectrum>(owner): the
// splitter's pins, the frequency pins and, unless designing, a hidden form
// with no owner whose window procedure the component replaces. A start-wave
// makes the FFT set-up (scaled as Normalization says) and one window per
// channel for the Order current at that moment; a stop releases the set-up,
// and buffers are then ignored until the next start-wave. An Order whose
// buffers would exceed the block store's largest block (above 26) is
// refused at the start-wave: no set-up, no spectra. Loaded drops the pin
// lists' pending placeholders. Freed by its owner.
//
// Threads and locks. Windowing and analysis run inside the push that brings
// the buffer (the capture thread), under the component's group lock; for
// each analysed window whose peak is wanted a message is posted to the
// hidden form, which never waits. The form's handler runs on the main thread:
// it copies the latest frequencies under the component's read section and
// releases it before calling anything. Property setters take the
// component's write section (a short wait for a push in progress); a new
// Normalization rebuilds the set-up inside it, at once.
#pragma once

#include <cstdint>
#include <vector>

#include "Vek/VekValuePins.h"
#include "audio/MoskChannelSplitter.h"
#include "platform/classes/CustomForm.h"

struct RealFftSpec;

enum TTrelFourierNormalization : std::uint8_t { fnNone, fnNormalize, fnNormalizeSqrt };

// (Sender, channel, peak frequency in Hz).
using TMoskFrequencyEvent = TMethod<void(TObject* sender, int channel, double frequency)>;

// The message the capture thread posts to the hidden form.
inline constexpr UINT MoskSpectrumDeliveryMessage = 0xA00;

class TMoskSpectrum : public TMoskCommonSplitter {
  KESTRUNE_CLASS(TMoskSpectrum, TMoskCommonSplitter)
  // Main thread.
  explicit TMoskSpectrum(TComponent* owner);
  // Frees the frequency pins, gives the hidden form back its window
  // procedure and frees it (queued deliveries are dropped with it).
  ~TMoskSpectrum() override;
  // Also drops FrequencyOutputPins' pending placeholders.
  void Loaded() override;

  // 8..30, clamped; takes effect at the next start-wave.
  int GetOrder();
  void SetOrder(int order);
  // Samples from one window start to the next; 0: N. Read for every buffer.
  std::uint32_t GetSamplingWindowStep();
  void SetSamplingWindowStep(std::uint32_t step);
  TTrelFourierNormalization GetNormalization();
  // While a set-up exists, rebuilds it at once under the write section.
  void SetNormalization(TTrelFourierNormalization normalization);
  TMoskFrequencyEvent GetOnFrequencyResult();
  // Set on the main thread; the event runs there.
  void SetOnFrequencyResult(TMoskFrequencyEvent event);
  TVekPinList* GetFrequencyOutputPins() const { return frequency_pins_; }

  // The hidden form's window (HWND{} while designing), for tests.
  HWND DeliveryWindow() const { return delivery_window_; }

 protected:
  // The splitter's pins, then as many frequency pins (surplus freed from the
  // end, new ones depending on InputPin) and per-channel windows.
  void ChannelCountChanged(int count) override;
  TVekSourcePin* CreateOutputPin() override;
  // Keeps the format, sends every output a TVekStartSpectrumOperation (the
  // sample rate, N/2 bins), makes the set-up for the current Order and a
  // fresh window per channel.
  void StartFormat(const WAVEFORMATEXTENSIBLE* format) override;
  // The splitter's stop, then the set-up is released.
  void SendStop() override;
  // Cuts the channel's samples into windows and analyses each full one.
  int EmitChannel(int channel, ITrelRealBuffer* samples) override;

 private:
  struct ChannelWindow {
    IPtr<ITrelRealBuffer> Window;  // N doubles, the window being filled
    std::uint32_t Fill = 0;        // samples in Window
    std::uint32_t Skip = 0;        // samples to pass over before the next window
  };

  // Spectrum of one full window, sent on the channel's pin; then the peak.
  // Caller holds the group lock (inside the push).
  void AnalyseWindowLocked(int channel, const double* window);
  // Keeps `magnitudes` as the next window's when nobody else can reach it.
  void KeepSpareMagnitudesLocked(IPtr<ITrelRealBuffer> magnitudes);
  // Releases the set-up and makes one for `order` (0: none); a failed
  // creation leaves none. Caller holds the write section.
  void RebuildFftSpecLocked(int order);
  void ReleaseFftSpecLocked();
  // Fresh windows for every channel of the active set-up, and the spectrum
  // block every window's transform fills. Raises EOutOfMemory. Caller holds
  // the write section.
  void ResetWindowsLocked();
  void FormWindowProc(TMessage& message);
  // Main thread.
  void DeliverFrequencies();

  int order_ = 8;
  std::uint32_t step_ = 0;
  TTrelFourierNormalization normalization_ = fnNormalize;
  TMoskFrequencyEvent on_frequency_result_;

  // The running stream: the order of the set-up and windows (0: none).
  RealFftSpec* spec_ = nullptr;
  int active_order_ = 0;
  double sample_rate_ = 0.0;
  std::vector<ChannelWindow> windows_;
  std::vector<double> frequencies_;
  // The N complex values one window's transform fills: made with the
  // windows and reused by each window, so analysing one makes no buffer.
  IPtr<ITrelComplexBuffer> spectrum_;
  // The magnitudes buffer of the last window when no receiver kept it (nor
  // a buffer on its block): the next window of the same size writes into it
  // instead of making one. A kept buffer is never written again.
  IPtr<ITrelRealBuffer> spare_magnitudes_;

  TVekPinList* frequency_pins_ = nullptr;
  TCustomForm* form_ = nullptr;
  HWND delivery_window_{};
  TWndMethod previous_window_proc_;
};

// The published properties of the spectrum component, for the audio unit's
// start-up.
void RegisterMoskSpectrumClasses();
