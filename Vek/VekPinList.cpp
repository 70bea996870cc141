// The pin list: entries, pending placeholders, removal, and stored links.
#include "Vek/VekPinList.h"

#include <algorithm>
#include <utility>

#include "platform/classes/Streaming.h"
#include "platform/classes/TypInfo.h"

namespace {

TVekUnloadedPin* AsPlaceholder(TVekBasicPin* pin) {
  return dynamic_cast<TVekUnloadedPin*>(pin);
}

std::string DefaultPinName(int index) {
  return "Pin [" + std::to_string(index) + "]";
}

// Clears the list's "pin being freed by me" mark on every exit.
class FreeingMark {
 public:
  FreeingMark(TVekBasicPin*& mark, TVekBasicPin* pin) : mark_(mark), saved_(mark) { mark_ = pin; }
  ~FreeingMark() { mark_ = saved_; }
  FreeingMark(const FreeingMark&) = delete;
  FreeingMark& operator=(const FreeingMark&) = delete;

 private:
  TVekBasicPin*& mark_;
  TVekBasicPin* saved_;
};

}  // namespace

void RegisterVekPinListClass() {
  RegisterClass<TVekPinList>().Integer("Count", &TVekPinList::GetCount, &TVekPinList::SetCount);
}

// ---------------------------------------------------------------------------
// Life cycle

TVekPinList::TVekPinList(TComponent* owner, bool ownsPins) : owner_(owner), owns_pins_(ownsPins) {}

TVekPinList::~TVekPinList() {
  Clear();
}

void TVekPinList::AfterConstruction() {
  inherited::AfterConstruction();
  BroadcastPinListCreated(this);
}

void TVekPinList::BeforeDestruction() {
  BroadcastPinListDestroying(this);
  inherited::BeforeDestruction();
}

// ---------------------------------------------------------------------------
// Queries. Each reads under the list's read section and calls no pin there.

int TVekPinList::GetCount() {
  TVekReadLockSection own(this);
  return static_cast<int>(entries_.size()) - pending_;
}

void TVekPinList::SetCount(int count) {
  // The owning component makes its pins; a stored count is not applied.
  (void)count;
}

TVekBasicPin* TVekPinList::GetPin(int index) {
  TVekReadLockSection own(this);
  if (index < 0 || index >= static_cast<int>(entries_.size()))
    RaiseListIndexError(index);
  return entries_[index].Pin;
}

int TVekPinList::IndexOfPin(TVekBasicPin* pin) {
  TVekReadLockSection own(this);
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].Pin == pin)
      return static_cast<int>(i);
  }
  return -1;
}

std::string TVekPinList::GetPinName(int index) {
  TVekReadLockSection own(this);
  if (index >= 0 && index < static_cast<int>(entries_.size()) && !entries_[index].Name.empty())
    return entries_[index].Name;
  return DefaultPinName(index);
}

int TVekPinList::PendingCount() {
  TVekReadLockSection own(this);
  return pending_;
}

int TVekPinList::PinEntryCount() {
  TVekReadLockSection own(this);
  return static_cast<int>(entries_.size());
}

TVekBasicPin* TVekPinList::PinEntry(int index) {
  TVekReadLockSection own(this);
  if (index < 0 || index >= static_cast<int>(entries_.size()))
    return nullptr;
  return entries_[index].Pin;
}

std::vector<TVekBasicPin*> TVekPinList::SnapshotPins() {
  TVekReadLockSection own(this);
  std::vector<TVekBasicPin*> pins;
  pins.reserve(entries_.size());
  for (const Entry& e : entries_)
    pins.push_back(e.Pin);
  return pins;
}

bool TVekPinList::HasConnectedPins() {
  // The global read section keeps every pin of the copy alive (pins are
  // freed under the write section); the pins are asked without the list's
  // section, a leaf of the lock order (Vek/VekLocks.h).
  TVekGlobalReadLockSection global;
  for (TVekBasicPin* pin : SnapshotPins()) {
    if (pin != nullptr && pin->IsConnected())
      return true;
  }
  return false;
}

std::string TVekPinList::GetListPath() {
  return GetPropertyPath(owner_, "TVekPinList", this);
}

std::string TVekPinList::RootName() {
  TComponent* root = TVekBasicPin::GetRootOwner(owner_);
  return root != nullptr ? root->Name() : std::string();
}

// ---------------------------------------------------------------------------
// Changes: global write section, then the list's write section.

void TVekPinList::SetPinName(int index, const std::string& name) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  if (index < 0 || index >= static_cast<int>(entries_.size()))
    return;
  const std::string stored = name == DefaultPinName(index) ? std::string() : name;
  if (stored == entries_[index].Name)
    return;
  entries_[index].Name = stored;
  BroadcastPinLinksChanged(entries_[index].Pin);
}

void TVekPinList::Add(TVekBasicPin* pin) {
  TVekGlobalWriteLockSection global;
  AddNamedPin(pin, "");
  BroadcastPinLinksChanged(pin);
}

void TVekPinList::AddNamedPin(TVekBasicPin* pin, const std::string& name) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  int index = -1;
  TVekUnloadedPin* placeholder = AsPlaceholder(pin);
  if (placeholder != nullptr) {
    // A pending entry: it stands for a pin the owner has not made yet, and
    // stays while unlinked until the list lets it go.
    placeholder->HeldByPinList = true;
    placeholder->PinList = this;
    ++pending_;
  } else if (pin != nullptr && pending_ > 0) {
    // Pending entries stay after the pins, so the first one is the place of
    // the next pin made.
    for (size_t i = 0; i < entries_.size(); ++i) {
      if (TVekUnloadedPin* waiting = AsPlaceholder(entries_[i].Pin)) {
        index = static_cast<int>(i);
        entries_[i] = Entry{name, pin};
        --pending_;
        waiting->HeldByPinList = false;
        waiting->PinList = nullptr;
        // Numbered before it takes the links over, so that its paths are
        // right from the start.
        if (pin->GetPinOwner() == owner_)
          pin->PinList = this;
        TVekUnloadedPin::TransferLinks(waiting, pin);
        break;
      }
    }
  }
  if (index < 0) {
    entries_.push_back(Entry{name, pin});
    index = static_cast<int>(entries_.size()) - 1;
  }
  if (pin != nullptr && placeholder == nullptr && pin->GetPinOwner() == owner_) {
    pin->PinList = this;
    BroadcastPinLinksChanged(pin);
  }
  BroadcastPinListChanged(this);
  BroadcastPinListPinAdded(this, pin, index);
}

void TVekPinList::ReleasePinLocked(TVekBasicPin* pin, bool heldElsewhere) {
  if (pin == nullptr || heldElsewhere)
    return;
  if (TVekUnloadedPin* placeholder = AsPlaceholder(pin)) {
    // Its pin was never made (or is removed before it was): the links it
    // held go with it.
    placeholder->PinList = nullptr;
    TVekUnloadedPin::Discard(placeholder);
  } else if (owns_pins_) {
    // Freed while its entry is still in place, so that its paths are right
    // while it unlinks; its own PinDestroying call is ignored.
    FreeingMark mark(freeing_, pin);
    pin->Free();
  } else {
    if (pin->PinList == this)
      pin->PinList = nullptr;
    BroadcastPinLinksChanged(pin);
  }
}

void TVekPinList::DeleteLocked(int index) {
  TVekBasicPin* pin = entries_[index].Pin;
  const bool placeholder = AsPlaceholder(pin) != nullptr;
  const bool heldElsewhere = std::count_if(entries_.begin(), entries_.end(),
                                           [pin](const Entry& e) { return e.Pin == pin; }) > 1;
  // Announced while the pin is whole.
  BroadcastPinListPinRemoved(this, pin, index);
  ReleasePinLocked(pin, heldElsewhere);
  // Find the entry again: the pin's going may have changed the list.
  if (index >= static_cast<int>(entries_.size()) || entries_[index].Pin != pin) {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [pin](const Entry& e) { return e.Pin == pin; });
    index = it == entries_.end() ? -1 : static_cast<int>(it - entries_.begin());
  }
  if (index >= 0) {
    entries_.erase(entries_.begin() + index);
    if (placeholder)
      --pending_;
  }
  BroadcastPinListChanged(this);
}

void TVekPinList::Delete(int index) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  if (index < 0 || index >= static_cast<int>(entries_.size()))
    RaiseListIndexError(index);
  DeleteLocked(index);
}

void TVekPinList::RemovePin(TVekBasicPin* pin) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  const bool placeholder = AsPlaceholder(pin) != nullptr;
  // The indexes announced are those of a removal one entry at a time.
  int removed = 0;
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].Pin == pin) {
      BroadcastPinListPinRemoved(this, pin, static_cast<int>(i) - removed);
      ++removed;
    }
  }
  if (removed > 0) {
    ReleasePinLocked(pin, false);
    const auto before = entries_.size();
    std::erase_if(entries_, [pin](const Entry& e) { return e.Pin == pin; });
    if (placeholder)
      pending_ -= static_cast<int32_t>(before - entries_.size());
  }
  BroadcastPinListChanged(this);
}

void TVekPinList::ExchangePins(int index1, int index2) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  const int n = static_cast<int>(entries_.size());
  if (index1 < 0 || index1 >= n)
    RaiseListIndexError(index1);
  if (index2 < 0 || index2 >= n)
    RaiseListIndexError(index2);
  BroadcastPinListExchanged(this, entries_[index1].Pin, index1, index2, entries_[index2].Pin);
  std::swap(entries_[index1], entries_[index2]);
  BroadcastPinListChanged(this);
}

void TVekPinList::Clear() {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  const std::vector<TVekBasicPin*> pins = SnapshotPins();
  for (size_t i = 0; i < pins.size(); ++i) {
    TVekBasicPin* pin = pins[i];
    // Once per pin, and only while the list still holds it (a pin whose
    // going took another one with it is not freed twice).
    if (std::find(pins.begin() + static_cast<std::ptrdiff_t>(i) + 1, pins.end(), pin) !=
        pins.end()) {
      continue;
    }
    if (std::none_of(entries_.begin(), entries_.end(),
                     [pin](const Entry& e) { return e.Pin == pin; })) {
      continue;
    }
    ReleasePinLocked(pin, false);
  }
  entries_.clear();
  pending_ = 0;
  BroadcastPinListChanged(this);
}

void TVekPinList::PinDestroying(TVekBasicPin* pin) {
  TVekWriteLockSection own(this);
  if (pin == freeing_)
    return;
  const bool placeholder = AsPlaceholder(pin) != nullptr;
  bool removed = false;
  for (size_t i = 0; i < entries_.size();) {
    if (entries_[i].Pin != pin) {
      ++i;
      continue;
    }
    BroadcastPinListPinRemoved(this, pin, static_cast<int>(i));
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    if (placeholder)
      --pending_;
    removed = true;
  }
  if (removed)
    BroadcastPinListChanged(this);
}

void TVekPinList::CompletePendingPlaceholders() {
  // A pushing thread holds the global lock for reading; taking it for
  // writing there would wait for every other reader, and a relink waiting on
  // the main thread would wait for the pusher.
  KESTRUNE_USAGE_CHECK(
      GlobalLock == nullptr || GlobalLock->IsWriter() || GlobalLock->ReadDepth() == 0,
      "pending placeholders completed from inside a push");
  if (owner_ == nullptr)
    return;
  const TComponentState state = owner_->ComponentState();
  if (state.Contains(csLoading) || state.Contains(csDesigning))
    return;
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  // From the last entry down, where pending entries stay.
  for (int i = static_cast<int>(entries_.size()) - 1; i >= 0 && pending_ > 0; --i) {
    if (i < static_cast<int>(entries_.size()) && AsPlaceholder(entries_[i].Pin) != nullptr)
      DeleteLocked(i);
  }
}

// ---------------------------------------------------------------------------
// Stored form

void TVekPinList::DefineProperties(TFiler* filer) {
  inherited::DefineProperties(filer);
  filer->DefineProperty("Form", TMethod<void(TReader*)>(this, &TVekPinList::ReadForm),
                        TMethod<void(TWriter*)>(this, &TVekPinList::WriteForm), true);
  filer->DefineProperty("Pins", TMethod<void(TReader*)>(this, &TVekPinList::ReadPinLinks),
                        TMethod<void(TWriter*)>(this, &TVekPinList::WritePinLinks),
                        HasConnectedPins());
  filer->DefineProperty("PinsOwner", TMethod<void(TReader*)>(this, &TVekPinList::ReadPinsOwner),
                        TMethod<void(TWriter*)>(), false);
}

void TVekPinList::ReadForm(TReader* reader) {
  stored_form_name_ = reader->ReadIdent();
}

void TVekPinList::WriteForm(TWriter* writer) {
  writer->WriteIdent(RootName());
}

void TVekPinList::ReadPinsOwner(TReader* reader) {
  // Written by older descriptions; its value means nothing here.
  (void)reader->ReadBoolean();
}

std::string TVekPinList::RebaseName(const std::string& name) {
  if (stored_form_name_.empty())
    return name;
  const std::string prefix = stored_form_name_ + ".";
  if (name.compare(0, prefix.size(), prefix) != 0)
    return name;
  return RootName() + name.substr(stored_form_name_.size());
}

// Item by item, in index order:
//   a pin joined to a state dispatcher:  State, (<its state>[, <its link>])
//     where the link is a sink's source link or Sinks, (<sink links>)
//   a sink pin with a source:            <source link>
//   a source pin with sinks:             Sinks, (<sink links>)
//   anything else:                       nil
// Links are written as the pins write them (Vek/VekPins.h): an identifier
// path, or a list of the identifier path, a depends-on path and the display
// path where those are needed.
void TVekPinList::WritePinLinks(TWriter* writer) {
  TVekGlobalReadLockSection global;
  writer->WriteListBegin();
  for (TVekBasicPin* pin : SnapshotPins()) {
    auto* sink = dynamic_cast<TVekSinkPin*>(pin);
    auto* source = dynamic_cast<TVekSourcePin*>(pin);
    const bool hasSource = sink != nullptr && sink->IsSourceStored();
    const bool hasSinks = source != nullptr && source->HasSinks();
    auto writeLink = [&] {
      if (hasSource) {
        sink->WriteSourcePin(writer);
      } else if (hasSinks) {
        writer->WriteIdent("Sinks");
        source->WriteSinkPins(writer);
      }
    };
    if (pin != nullptr && pin->HasDispatcherInOwnSection()) {
      writer->WriteIdent("State");
      writer->WriteListBegin();
      pin->WriteState(writer);
      writeLink();
      writer->WriteListEnd();
    } else if (hasSource || hasSinks) {
      writeLink();
    } else {
      writer->WriteIdent("nil");
    }
  }
  writer->WriteListEnd();
}

void TVekPinList::ReadPinLinks(TReader* reader) {
  TVekGlobalWriteLockSection global;
  TVekWriteLockSection own(this);
  reader->ReadListBegin();
  for (int index = 0; !reader->EndOfList(); ++index) {
    if (reader->NextValue() == TValueKind::List) {
      ReadSourceLink(reader, index);
      continue;
    }
    const std::string ident = reader->ReadIdent();
    if (ident == "nil")
      continue;
    if (ident == "Sinks") {
      ReadSinkLinks(reader, index);
    } else if (ident == "State") {
      reader->ReadListBegin();
      TVekBasicPin* pin = index < static_cast<int>(entries_.size()) ? entries_[index].Pin : nullptr;
      if (pin != nullptr && AsPlaceholder(pin) == nullptr) {
        pin->ReadState(reader);
      } else {
        // A pin not made yet cannot join its dispatcher; its place is held
        // and the dispatcher link itself is not restored.
        LinkPinAt(index, vpkState, {}, {}, vpkState);
        reader->SkipValue();
      }
      if (!reader->EndOfList()) {
        if (reader->NextValue() == TValueKind::List) {
          ReadSourceLink(reader, index);
        } else {
          const std::string link = reader->ReadIdent();
          if (link == "Sinks") {
            ReadSinkLinks(reader, index);
          } else {
            LinkPinAt(index, vpkSink, link, link, vpkSource);
          }
        }
      }
      reader->ReadListEnd();
    } else {
      LinkPinAt(index, vpkSink, ident, ident, vpkSource);
    }
  }
  reader->ReadListEnd();
}

// A sink's source link written as a list: (identifier path, display path).
void TVekPinList::ReadSourceLink(TReader* reader, int index) {
  reader->ReadListBegin();
  const std::string ident = reader->ReadIdent();
  std::string display = ident;
  if (reader->NextValue() == TValueKind::String)
    display = reader->ReadString();
  reader->ReadListEnd();
  LinkPinAt(index, vpkSink, ident, display, vpkSource);
}

// A source's sink links: identifiers, or lists (identifier path[, depends-on
// path][, display path]).
void TVekPinList::ReadSinkLinks(TReader* reader, int index) {
  reader->ReadListBegin();
  while (!reader->EndOfList()) {
    std::string ident;
    std::string display;
    std::string dependsOn;
    if (reader->NextValue() == TValueKind::List) {
      reader->ReadListBegin();
      ident = reader->ReadIdent();
      display = ident;
      if (reader->NextValue() == TValueKind::Ident)
        dependsOn = reader->ReadIdent();
      if (reader->NextValue() == TValueKind::String)
        display = reader->ReadString();
      reader->ReadListEnd();
    } else {
      ident = reader->ReadIdent();
      display = ident;
    }
    LinkPinAt(index, vpkSource, ident, display, vpkSink, dependsOn);
  }
  reader->ReadListEnd();
}

// Caller holds the global write section and the list's write section.
void TVekPinList::LinkPinAt(int index, TVekPinKind resolveMode, const std::string& identifier,
                            const std::string& display, TVekPinKind linkMode,
                            const std::string& dependsOn) {
  TComponent* root = TVekBasicPin::GetRootOwner(owner_);
  // A stored link of a pin the owner has not made yet: a placeholder named
  // after the pin's place holds it.
  while (static_cast<int>(entries_.size()) <= index) {
    const size_t before = entries_.size();
    const std::string path = RootName() + "." + (owner_ != nullptr ? owner_->Name() : "") + "." +
                             GetListPath() + "._Pin" + std::to_string(before);
    AddNamedPin(ResolvePinByPath(AllPins(), root, resolveMode, path, path, path), "");
    if (entries_.size() == before)
      return;  // a pin took a pending place instead of a new one
  }
  TVekBasicPin* pin = entries_[index].Pin;
  if (pin == nullptr)
    return;
  if (AsPlaceholder(pin) == nullptr) {
    // Links stored by far pins read before this list name this pin through
    // placeholders of their own: they hand them over. (A placeholder that is
    // some list's pending entry belongs to that list.)
    for (;;) {
      TComponent* pinRoot = pin->GetOwnerComponent();
      TVekBasicPin* found = FindPinByFullPath(UnloadedPins(), pinRoot, pin->GetFullPathEx(false));
      if (found == nullptr)
        found = FindPinByPath(UnloadedPins(), pinRoot, pin->GetFullPath(true));
      TVekUnloadedPin* waiting = AsPlaceholder(found);
      if (waiting == nullptr || waiting == pin || waiting->HeldByPinList)
        break;
      TVekUnloadedPin::TransferLinks(waiting, pin);
    }
  }
  if (identifier.empty())
    return;
  const std::string own = pin->GetFullPath(true);
  TVekBasicPin* far =
      ResolvePinByPath(AllPins(), root, linkMode, RebaseName(identifier), RebaseName(display), own);
  TVekBasicPin* after = nullptr;
  if (!dependsOn.empty()) {
    const std::string path = RebaseName(dependsOn);
    after = ResolvePinByPath(AllPins(), root, vpkSink, path, path, own);
  }
  if (far != nullptr)
    pin->ConnectEx(far, after);
}
