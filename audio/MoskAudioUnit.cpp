#include "audio/MoskAudioUnit.h"

#include "audio/MoskAudioFormat.h"
#include "audio/MoskAudioIn.h"
#include "audio/MoskChannelSplitter.h"
#include "audio/MoskFilters.h"
#include "audio/MoskMeters.h"
#include "audio/MoskSpectrum.h"

namespace {

// Each component family registers its published properties here, one line
// each.
void InitMoskAudio() {
  RegisterMoskAudioFormatClasses();
  // capture component
  RegisterMoskAudioInClasses();
  // channel splitter, converter and spectrum
  RegisterMoskChannelSplitterClasses();
  RegisterMoskSpectrumClasses();
  // filters, amplifier, DC remover and meters
  RegisterMoskFilterClasses();
  RegisterMoskMeterClasses();
}

// Capture components destroyed under the global write lock may have left
// their wave thread to be joined later: no thread outlives the module. The
// capture block records' pooled memory goes back to the heap.
void FiniMoskAudio() {
  MoskEndPendingWaveThreads();
  MoskAudioBlockLists().Release();
}

}  // namespace

TUnit MoskAudioUnit("MoskAudio", &InitMoskAudio, &FiniMoskAudio);
