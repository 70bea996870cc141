// Pin lists: a component's numbered pins ("Pin [0]", "Pin [1]", ...).
//
// A component that has a variable number of pins of one kind (one output per
// audio channel, one input per scope channel) keeps them in a TVekPinList,
// published as a property (say "OutputPins"). The list is made in the
// component's constructor with the component as Owner and, normally, with
// ownsPins true; the component fills it with Add or AddNamedPin, and frees it
// (with its pins) when the component goes. A pin the list holds knows it
// (TVekBasicPin::PinList), which names it: "fmMain.Conv.OutputPins._Pin0" in
// identifier form, "fmMain.Conv.OutputPins.Pin [0]" in display form, or the
// pin's own name in display form once given one ("...InputPins.Channel0").
//
// Stored form: besides the published Count (stored, never applied: the
// component makes its pins itself), the list stores "Form" (the root's name,
// to rebase stored links when the root is renamed) and, while at least one of
// its pins is linked, "Pins": one item per pin, in index order (see
// WritePinLinks).
//
// Loading. While the owner's stored description is read, a stored link of a
// pin the component has not made yet is held by a placeholder entry (a
// pending TVekUnloadedPin, which stands for "<list path>._Pin<n>"); the pins
// the component then adds take the placeholders' places in index order, and
// their links. When the description has been read, the owner's Loaded calls
// CompletePendingPlaceholders on the main thread, which drops the
// placeholders still pending (links to pins that were never made). Queries
// never do that work themselves: they only read.
//
// Threads and locks. Every change (Add, Delete, ExchangePins, ...) takes the
// global write section, then the list's own write section, so it waits until
// no push runs. Queries (GetCount, GetPin, IndexOfPin, GetPinName, ...) take
// the global read section, then the list's own read section, and call no pin
// while holding the list's section: a component may read its list from
// inside a push, on the capture thread, while the main thread relinks. The
// list's own lock is therefore a leaf of the lock order (Vek/VekLocks.h) for
// every reader.
#pragma once

#include <string>
#include <vector>

#include "Vek/VekPins.h"

class TVekPinList : public TVekObject, public TVekPinListAccess {
  KESTRUNE_CLASS(TVekPinList, TVekObject)
  // An empty list. `owner` is the component that publishes the list (and
  // normally owns its pins); with `ownsPins` the list frees the pins that
  // leave it. Cheap; made once per component.
  TVekPinList(TComponent* owner, bool ownsPins);
  // Clears the list (freeing the pins it owns).
  ~TVekPinList() override;
  // Announce the list to the pin-event listeners (created, destroying).
  void AfterConstruction() override;
  void BeforeDestruction() override;
  // "Form" (always), "Pins" (while a pin is linked), and "PinsOwner" (read
  // and ignored).
  void DefineProperties(TFiler* filer) override;

  // The published Count: the pins held, pending placeholders not counted.
  // Global and own read sections; callable from inside a push.
  int GetCount();
  // Ignored: a stored Count is read and changes nothing.
  virtual void SetCount(int count);
  // The pin at `index` (0 .. entries - 1; pending placeholders, which stay
  // after the pins, included). Raises EListError for an index out of range.
  // Global and own read sections; callable from inside a push.
  TVekBasicPin* GetPin(int index);
  // The first index holding `pin`, or -1.
  int IndexOfPin(TVekBasicPin* pin) override;
  // The stored name of the pin at `index`, or "Pin [<index>]" when it has
  // none (also for an index out of range).
  std::string GetPinName(int index) override;
  // Names the pin at `index`; the default name of that index is stored as no
  // name. An index out of range is ignored.
  void SetPinName(int index, const std::string& name);
  // AddNamedPin with no name.
  void Add(TVekBasicPin* pin);
  // Appends `pin` under `name`. A placeholder becomes a pending entry. A real
  // pin added while placeholders are pending takes the place (and the name
  // and links) of the first of them instead; the placeholder is freed. A pin
  // of the list's owner learns that the list numbers it.
  void AddNamedPin(TVekBasicPin* pin, const std::string& name);
  // Removes the entry at `index`: the removal is announced, then the pin is
  // freed (when the list owns it and holds it nowhere else) or let go (its
  // PinList cleared). A pending placeholder is always freed, its links
  // dropped. Raises EListError for an index out of range.
  void Delete(int index);
  // Removes every entry holding `pin`, as Delete does, freeing the pin once.
  void RemovePin(TVekBasicPin* pin);
  // Swaps the pins and names of two entries. Raises EListError for an index
  // out of range.
  void ExchangePins(int index1, int index2);
  // Lets every entry go, index 0 first (each pin freed or let go as by
  // Delete, once), then announces one change.
  void Clear();
  // True when at least one pin is linked (IsConnected).
  virtual bool HasConnectedPins();

  // Drops the placeholders still pending once the owner's stored description
  // has been read: each leaves the list and is freed, so the pins linked to
  // it lose that link (its pin was never made). Does nothing while the owner
  // is loading or designing, or without an owner. Call it once from the
  // owner's Loaded, after the inherited Loaded and after the owner has made
  // its pins, on the main thread; never from inside a push (it takes the
  // global write section, which a pushing thread cannot get while other
  // threads wait for it).
  void CompletePendingPlaceholders();
  // Placeholder entries still pending.
  int PendingCount();

  // The list's property path on its owner ("OutputPins", or
  // "Display.InputPins" for a list published by a sub-object); empty when the
  // owner does not publish it.
  std::string GetListPath();

  // Stored links ("Pins"). The writer takes the global read section.
  virtual void ReadPinLinks(TReader* reader);
  virtual void WritePinLinks(TWriter* writer);

  TComponent* Owner() const { return owner_; }
  bool OwnsPins() const { return owns_pins_; }

  // TVekPinListAccess.
  TObject* PinListObject() override { return this; }
  int PinEntryCount() override;
  TVekBasicPin* PinEntry(int index) override;
  void PinDestroying(TVekBasicPin* pin) override;

 private:
  struct Entry {
    std::string Name;  // empty: the default name "Pin [<index>]"
    TVekBasicPin* Pin;
  };

  // Caller holds the global write section and the list's write section.
  void DeleteLocked(int index);
  // Frees or lets go of a pin whose entries are (still) in the list.
  void ReleasePinLocked(TVekBasicPin* pin, bool heldElsewhere);
  // The entries' pins, copied under the list's read section.
  std::vector<TVekBasicPin*> SnapshotPins();

  void LinkPinAt(int index, TVekPinKind resolveMode, const std::string& identifier,
                 const std::string& display, TVekPinKind linkMode,
                 const std::string& dependsOn = {});
  void ReadSinkLinks(TReader* reader, int index);
  void ReadSourceLink(TReader* reader, int index);
  std::string RebaseName(const std::string& name);
  std::string RootName();
  void ReadForm(TReader* reader);
  void WriteForm(TWriter* writer);
  void ReadPinsOwner(TReader* reader);

  TComponent* owner_;
  std::vector<Entry> entries_;
  bool owns_pins_;
  int32_t pending_ = 0;
  std::string stored_form_name_;
  // The pin the list is freeing itself (its PinDestroying call is ignored).
  TVekBasicPin* freeing_ = nullptr;
};

// Registers TVekPinList's published Count (from the framework's start-up).
void RegisterVekPinListClass();
