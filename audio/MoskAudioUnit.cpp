#include "audio/MoskAudioUnit.h"

#include "audio/MoskAudioFormat.h"

namespace {

void InitMoskAudio() {
  RegisterMoskAudioFormatClasses();
}

}  // namespace

TUnit MoskAudioUnit("MoskAudio", &InitMoskAudio, nullptr);
