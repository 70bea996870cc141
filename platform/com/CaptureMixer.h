// The input lines of a capture device, read from and chosen on its mixer.
//
// A capture device's mixer is its card's; the sound server's device has the
// ALSA control named like its PCM ("pulse", "pipewire"), which holds one
// capture element, "Capture". What touches a real mixer goes through a
// MixerBackend (ALSA in the program, a scripted one in tests); the rule that
// turns a mixer's elements into lines is CaptureLines':
//
// - Where the mixer has an enumerated capture-source control (the first one
//   in the mixer's order), its items are the lines, and selecting a line
//   selects that item on every channel of the control.
// - Otherwise the lines are the elements with a capture switch, in the
//   mixer's order, and selecting one switches its capture on (all channels),
//   leaving the others as they are: a user who picks a line expects capture
//   to come from it, and switching the others off could silence a source
//   the device mixes in on purpose.
// - A device whose mixer cannot be opened has no lines.
//
// Threads: a CaptureMixer and a CaptureLines are used by one thread at a
// time; SetMixerBackend and CurrentMixerBackend from any thread.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win/WaveInBackend.h"

namespace kestrune {

// One simple element of a mixer, as the line rule needs it.
struct MixerElementInfo {
  std::string name;                // the element's name, with " <index>" when its index is not 0
  bool hasCaptureSwitch = false;   // it has a capture switch
  bool isCaptureSource = false;    // an enumerated control that chooses the capture source
  std::vector<std::string> items;  // its items, when isCaptureSource
};

// An open mixer. The element indices are those of Elements().
class CaptureMixer {
 public:
  virtual ~CaptureMixer() = default;
  // The mixer's elements, in its order.
  virtual std::vector<MixerElementInfo> Elements() = 0;
  // Switches capture on element `element` on or off, on all its channels.
  // Raises EOSError when the mixer refuses.
  virtual void SetCaptureSwitch(size_t element, bool on) = 0;
  // Selects item `item` of the enumerated element `element`, on all its
  // channels. Raises EOSError when the mixer refuses.
  virtual void SelectItem(size_t element, unsigned item) = 0;
};

// A mixer provider. Any member from any thread.
class MixerBackend {
 public:
  virtual ~MixerBackend() = default;
  // Opens the mixer of `device` (an entry of the wave-input device list);
  // null when the device has none or it cannot be opened.
  virtual std::unique_ptr<CaptureMixer> Open(const CaptureDeviceEntry& device) = 0;
};

// Installs the backend the recording control uses from now on (null: back to
// ALSA). Returns the previous one (null while it was the built-in ALSA one).
std::shared_ptr<MixerBackend> SetMixerBackend(std::shared_ptr<MixerBackend> backend);
// The backend in use: the installed one, else ALSA's.
std::shared_ptr<MixerBackend> CurrentMixerBackend();

// The lines of one device (see the file comment).
class CaptureLines {
 public:
  // Reads the lines from `mixer`; a null mixer gives no lines.
  explicit CaptureLines(std::unique_ptr<CaptureMixer> mixer);

  const std::vector<std::string>& Names() const { return names_; }
  // Makes line `index` the capture source. An index outside the list (also
  // on a device without lines) does nothing. A failed mixer write raises
  // EOSError.
  void Select(int index);

 private:
  std::unique_ptr<CaptureMixer> mixer_;
  std::vector<std::string> names_;
  std::optional<size_t> sourceElement_;  // the enumerated source, when there is one
  std::vector<size_t> switchElements_;   // otherwise: the element of each line
};

}  // namespace kestrune
