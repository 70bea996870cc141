// The common layer of the pin framework (overview: Vek/VekPins.h, the unit's
// face, which callers include): the interfaces pushes go through, the
// stream-type lists, pin paths, the three abstract pin layers (TVekBasicPin,
// TVekPin, TVekStreamPin), the link records of source pins and placeholders,
// the lock chains of sink pins. Implemented in Vek/VekBasicPin.cpp. The
// registries, pin events, stream-type registry and start-up it includes:
// Vek/VekPinRegistry.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Vek/VekLocks.h"
#include "Vek/VekPinListAccess.h"
#include "Vek/VekPinRegistry.h"
#include "platform/classes/Classes.h"
#include "platform/classes/Units.h"
#include "platform/rtl/Lists.h"

class TVekBasicPin;
class TVekPin;
class TVekSourcePin;
class TVekSinkPin;
class TVekStatePin;
class TVekStateDispatcher;
class TVekUnloadedPin;
class TVekSinkPinList;
class TVekObjectList;
class TVekObjectListList;
class TVekPinTypeRestricted;

// An owning handle for an object made with Create<T>: frees it (Free, so
// BeforeDestruction runs) when the handle goes, also when a constructor of
// the owner throws after it was made.
struct TVekFreeObject {
  void operator()(TObject* object) const { FreeObject(object); }
};
template <class T>
using TVekOwned = std::unique_ptr<T, TVekFreeObject>;

// The framework's exception.
KESTRUNE_EXCEPTION(EVekException, Exception)

// The text of runaway recursion in one pin.
inline constexpr const char* SVekPinDependsOnItself =
    "The pin depends on itself. Please protect with functional dependency.";

// Notify flags: a synchronisation delivery (a bare operation sent when a link
// is made or retyped), the last delivery of a push, a direct notification.
inline constexpr uint8_t VekNotifySync = 1;
inline constexpr uint8_t VekNotifyLast = 2;
inline constexpr uint8_t VekNotifyDirect = 3;

// Pin kinds (GetPinKind).
enum TVekPinKind : uint8_t { vpkSource = 0, vpkSink = 1, vpkState = 2 };

// Everything pushed through pins. Operations are counted objects held through
// this interface; GetObject gives the operation object, whose class tells
// the receiver what it is (VekStdTypes.h).
struct IVekNotifyOperation : public virtual IInterface {
  static constexpr TGUID IID = TGUID::Parse("{AC2714E1-1E70-4C60-ABBB-EA27737CEE74}");
  virtual TObject* GetObject() = 0;
};

// A pin as handlers and notifications see it. Not counted: _AddRef and
// _Release return 1 and never free the pin.
struct IVekBasicPin : public virtual IInterface {
  static constexpr TGUID IID = TGUID::Parse("{2BFF1BE1-1698-4CFA-A427-9E0801C5B357}");
  virtual TVekBasicPin* GetPin() = 0;
};

// The typed receive interface. Every stream-type GUID names it: a pin that
// accepts a stream type answers a query for that GUID with this interface.
// `streamType` is the link's type.
struct IVekStreamReceive : public virtual IInterface {
  static constexpr TGUID IID = TGUID::Parse("{6A0F3C52-8B1E-4D7A-9C35-2E4B71D0A9F6}");
  virtual bool Receive(const TGUID& streamType, IVekNotifyOperation* operation, uint8_t flags) = 0;
};

// The receive interface of the clock stream type.
struct IVekClockReceive : public virtual IInterface {
  static constexpr TGUID IID = TGUID::Parse("{0D7E51A4-3C9B-4F82-B6E1-59A2C84D17E3}");
  virtual void ClockTick() = 0;
};

// Queries `target` for the receive interface of `streamType`; empty when it
// does not accept that type.
IPtr<IVekStreamReceive> QueryStreamReceive(IVekBasicPin* target, const TGUID& streamType);
IPtr<IVekClockReceive> QueryClockReceive(IVekBasicPin* target, const TGUID& clockType);

// A notify handler: (target pin, possibly nullptr; stream type; notify flags;
// operation) -> true when the target handled the operation. The operation is
// held by the caller for the duration of the call.
using TVekNotifyHandler = TMethod<bool(IVekBasicPin* target, const TGUID& streamType, uint8_t flags,
                                       IVekNotifyOperation* operation)>;

// ---------------------------------------------------------------------------
// Stream-type lists

struct TVekPinStreamTypeEntry {
  TGUID Guid;
  TVekNotifyHandler Handler;  // unassigned: the pin's DefaultTypeHandler
};

// The ordered stream types of a pin, each at most once. Not locked: the
// owning pin's section protects it.
class TVekPinStreamType : public TObject {
  KESTRUNE_CLASS(TVekPinStreamType, TObject)
  TVekPinStreamType() = default;
  // Replaces the handler of an existing entry, else appends one.
  void Add(const TGUID& guid, const TVekNotifyHandler& handler);
  void Remove(const TGUID& guid);
  void Exchange(int i, int j);
  const TGUID& GetType(int i) const { return entries_.at(i).Guid; }
  const TVekNotifyHandler& GetHandler(int i) const { return entries_.at(i).Handler; }
  int GetCount() const { return static_cast<int>(entries_.size()); }
  int IndexOf(const TGUID& guid) const;
  bool Contains(const TGUID& guid) const { return IndexOf(guid) >= 0; }
  // Removes entry i (later entries move down).
  void Delete(int i);
  // Moves entry `from` to position `to`.
  void Move(int from, int to);

 private:
  std::vector<TVekPinStreamTypeEntry> entries_;
};

// The list built while a link's type is negotiated. `Seeded` is set by the
// first pin that puts its own types in (or orders the list like its own);
// pins met later only filter.
class TVekPinTypeRestricted : public TVekPinStreamType {
  KESTRUNE_CLASS(TVekPinTypeRestricted, TVekPinStreamType)
  TVekPinTypeRestricted() = default;
  bool Seeded = false;
};

// ---------------------------------------------------------------------------
// Pin paths
//
// A pin published directly by a component: "<owner>.<property path>" in both
// forms (fmMain.MoskAmplifier1.OutputPin with the root name). A pin of a pin
// list: "<owner>.<list property path>._Pin<index>" in identifier form and
// "<owner>.<list property path>.<pin name>" in display form. A pin without
// owner: "(No owner)".

// True when the object's class or one of its ancestors has exactly this name.
bool InheritsFromClassName(const TObject* object, const std::string& className);
// The dotted published-property path under which `target` is reachable from
// `root`; empty when it is not.
std::string GetPropertyPath(TObject* root, const std::string& className, TObject* target);
std::string GetPinPath(TVekBasicPin* pin, bool withRoot, bool identifierForm);

// ---------------------------------------------------------------------------
// Pins

// An object of the pin framework that other objects refer to.
class TVekPinObject : public TVekObject {
  KESTRUNE_CLASS(TVekPinObject, TVekObject)
  TVekPinObject() = default;
  // `object` goes away: forget it.
  virtual void RemoveReference(TObject* object) { (void)object; }
  // References to `oldObject` become references to `newObject`.
  virtual void ReplaceReference(TObject* oldObject, TObject* newObject) {
    (void)oldObject;
    (void)newObject;
  }
  // The dependency of `pin`'s link, by the far pin's path.
  virtual void SetDependencyName(TVekBasicPin* pin, const std::string& name) {
    (void)pin;
    (void)name;
  }
  virtual std::string GetDependencyName(TVekBasicPin* pin) {
    (void)pin;
    return {};
  }
};

// Registration, naming, dispatcher membership and the virtual interface of
// linking and notifying shared by every pin.
class TVekBasicPin : public TVekPinObject,
                     public IVekBasicPin,
                     public IVekStreamReceive,
                     public IVekClockReceive {
  KESTRUNE_CLASS(TVekBasicPin, TVekPinObject)
  // Makes the pin; it is registered in AllPins by AfterConstruction.
  TVekBasicPin();
  // Leaves AllPins.
  ~TVekBasicPin() override;
  // Registers the pin in AllPins, whole (other threads' registry walks call
  // its virtual methods), then announces it (under its write section).
  void AfterConstruction() override;
  // Leaves every link and dispatcher and makes every pin forget this one
  // (under the global write section).
  void BeforeDestruction() override;

  // IInterface, answered from the class's own interfaces (DoQueryInterface);
  // not counted.
  HRESULT QueryInterface(const TGUID& iid, void** obj) final { return DoQueryInterface(iid, obj); }
  int32_t _AddRef() final { return 1; }
  int32_t _Release() final { return 1; }
  TVekBasicPin* GetPin() final { return this; }
  // The answering slot of the typed receive interfaces; false here.
  bool Receive(const TGUID& streamType, IVekNotifyOperation* operation, uint8_t flags) override;
  // The clock receive interface; nothing here.
  void ClockTick() override {}

  // The typed receive interfaces this pin answers (its accepted set). Call
  // from constructors only.
  void AcceptStreamType(const TGUID& streamType);
  bool AcceptsStreamType(const TGUID& streamType) const;

  virtual TComponent* GetPinOwner() { return nullptr; }
  virtual bool IsOwnerDestroying() { return false; }
  // Drops this side of the link to `pin` only; with keepPlaceholder a
  // placeholder keeps the stored link.
  virtual void Disconnect(TVekBasicPin* pin, bool keepPlaceholder) {
    (void)pin;
    (void)keepPlaceholder;
  }
  virtual void AddSinkEntry(TVekBasicPin* sink, TVekBasicPin* dependsOn) {
    (void)sink;
    (void)dependsOn;
  }
  // A placeholder frees itself when nothing links to it any more.
  virtual void ReleaseIfUnused() {}
  virtual TVekPinKind GetPinKind() = 0;
  virtual TVekBasicPin* GetLinkDependency(TVekBasicPin* pin);
  virtual bool IsDirectlyDependentOn(TVekBasicPin* pin) { return IsDependentOn(pin); }
  virtual TGUID GetLinkType(TVekBasicPin* pin) {
    (void)pin;
    return {};
  }
  virtual std::string GetOwnerName();
  virtual TComponent* GetOwnerComponent();
  virtual std::string GetRelativePath() = 0;
  virtual std::string GetRelativePathEx() { return GetRelativePath(); }
  virtual std::string GetOwnerPath();
  virtual std::string GetFullPath(bool withRoot) = 0;
  virtual std::string GetFullPathEx(bool withRoot) = 0;
  virtual bool IsDependentOn(TVekBasicPin* pin) = 0;
  virtual bool CanLinkTo(TVekBasicPin* pin) = 0;
  virtual bool HasCommonType(TVekBasicPin* pin) = 0;
  virtual bool IsConnected() { return HasDispatcher(); }
  // Both take the pin's read section (HasDispatcher inside a global read
  // section of its own); the caller need hold no lock.
  virtual bool HasDispatcher();
  virtual bool IsConnectedTo(TVekBasicPin* pin) { return IsJoinedWith(pin); }
  virtual bool IsDispatcher(TObject* object);
  virtual bool IsJoinedWith(TVekBasicPin* pin);
  bool ConnectState(TVekBasicPin* pin) { return ConnectStateEx(pin, nullptr); }
  // Joins this pin and `pin` through a state dispatcher.
  virtual bool ConnectStateEx(TVekBasicPin* pin, TVekBasicPin* dependsOn);
  bool Connect(TVekBasicPin* pin) { return ConnectEx(pin, nullptr); }
  virtual bool ConnectEx(TVekBasicPin* pin, TVekBasicPin* dependsOn) {
    return ConnectStateEx(pin, dependsOn);
  }
  virtual bool CanConnect(TVekBasicPin* pin, TVekBasicPin* dependsOn);
  // Leaves the state dispatcher (and, in the concrete pins, every link).
  virtual void DisconnectAll();
  // Pushes an operation; false here.
  virtual bool Notify(IVekNotifyOperation* operation) {
    (void)operation;
    return false;
  }
  virtual void JoinNamedDispatcher(const std::string& name);
  virtual void AdoptPlaceholders() {}
  virtual bool HasDispatcherInOwnSection();
  virtual bool HasAnyLink() { return HasDispatcherInOwnSection(); }
  virtual void ReadLinks(TReader* reader) { (void)reader; }
  // The stored "State" property.
  virtual void ReadState(TReader* reader);
  virtual void WriteState(TWriter* writer);
  virtual int GetLinkCount() { return 0; }
  virtual TVekBasicPin* GetLink(int index) {
    (void)index;
    return nullptr;
  }
  virtual TVekBasicPin* GetLinkDependencyAt(int index) { return GetLinkDependency(GetLink(index)); }
  // Without a lock.
  virtual bool DispatcherAssigned() { return dispatcher_ != nullptr; }
  virtual TVekStateDispatcher* GetDispatcher() { return dispatcher_; }
  virtual void SetHoldCount(int count) { (void)count; }
  bool SetDispatcher(TVekStateDispatcher* dispatcher) {
    return SetDispatcherEx(dispatcher, nullptr);
  }
  virtual bool SetDispatcherEx(TVekStateDispatcher* dispatcher, TVekBasicPin* dependsOn);
  // A pin joining a dispatcher drops what it may not keep beside one (a sink
  // pin its source); nothing here. Takes the global write section.
  virtual void LeaveSourceForDispatcher() {}
  virtual bool CanJoinDispatcher(TVekStateDispatcher* dispatcher);
  virtual TVekStateDispatcher* CreateDispatcher(TComponent* root);
  virtual TVekStateDispatcher* CreateNamedDispatcher(const std::string& name, bool designing);
  virtual bool IsDesigning() = 0;
  // The last of this pin's types that `pin` accepts; null when none.
  virtual TGUID FindCommonType(TVekBasicPin* pin) = 0;
  // Delivers to the state peers (all, or only `target`), on the caller's
  // thread inside the global read section, holding this pin's group lock but
  // not the peers': each peer's handler runs without its own group lock.
  virtual bool NotifyStatePeers(IVekNotifyOperation* operation, uint8_t flags,
                                TVekBasicPin* target) = 0;
  virtual void SyncStatePeers() {}
  // The framework's type question: S_OK when this pin accepts the interface
  // `iid` (a stream type) for a link, else E_NOINTERFACE. Source and sink
  // pins add the checks of their data-type dependencies. (The interface-level
  // QueryInterface answers from the class's own interfaces only.)
  virtual HRESULT QueryPinInterface(const TGUID& iid);
  // The class's own interfaces: IInterface, IVekBasicPin, and the receive
  // interfaces of the accepted set.
  virtual HRESULT DoQueryInterface(const TGUID& iid, void** obj);

  // The pin list that numbers this pin (nullptr when the owner holds it
  // directly). Set by the pin list, also on a placeholder it holds as a
  // pending entry; a pin destroyed while it is set tells the list
  // (PinDestroying).
  TVekPinListAccess* PinList = nullptr;
  // The root-owner name read from the stored "Form" property.
  std::string StoredFormName;

  // The root of a component's tree: the component itself when it has no
  // owner, when its owner is the application object, or when it is a form,
  // data module or frame; else its owner's root. nullptr for nullptr.
  static TComponent* GetRootOwner(TComponent* component);

 protected:
  friend class TVekStateDispatcher;
  TVekStateDispatcher* dispatcher_ = nullptr;

 private:
  std::vector<TGUID> accepted_types_;
};

// A pin with an owner component and stream types with their handlers.
class TVekPin : public TVekBasicPin {
  KESTRUNE_CLASS(TVekPin, TVekBasicPin)
  explicit TVekPin(TComponent* owner);
  ~TVekPin() override;
  void DefineProperties(TFiler* filer) override;

  TComponent* GetPinOwner() override { return owner_; }
  bool IsOwnerDestroying() override;
  TGUID GetLinkType(TVekBasicPin* pin) override { return GetPinLinkType(pin); }
  std::string GetOwnerName() override;
  std::string GetRelativePath() override;
  std::string GetRelativePathEx() override;
  std::string GetFullPath(bool withRoot) override;
  std::string GetFullPathEx(bool withRoot) override;
  bool CanLinkTo(TVekBasicPin* pin) override;
  bool HasCommonType(TVekBasicPin* pin) override;
  bool Notify(IVekNotifyOperation* operation) override;
  void AdoptPlaceholders() override;
  bool IsDesigning() override;
  TGUID FindCommonType(TVekBasicPin* pin) override;
  bool NotifyStatePeers(IVekNotifyOperation* operation, uint8_t flags,
                        TVekBasicPin* target) override;

  // The type of the pin's link; null when it has none.
  virtual TGUID GetConnectedType();
  // The type this pin uses towards `pin`: FindCommonType.
  virtual TGUID GetPinLinkType(TVekBasicPin* pin) { return FindCommonType(pin); }

  // Adds a stream type served by DefaultTypeHandler, or by `handler`.
  // Constructors of typed pins call them.
  void AddStreamType(const TGUID& guid);
  void AddStreamTypeHandler(const TGUID& guid, const TVekNotifyHandler& handler);
  // The handler of a type: unassigned for the null GUID or a type the pin
  // lacks; DefaultTypeHandler for a type registered without one.
  TVekNotifyHandler FindTypeHandler(const TGUID& guid);
  // Delivers through the registry's type function of `streamType`; false
  // when the registry has none.
  bool DefaultTypeHandler(IVekBasicPin* target, const TGUID& streamType, uint8_t flags,
                          IVekNotifyOperation* operation);
  // The type a link from this pin to `pin` carries: the last of the
  // collected types that `pin` accepts; null when none or pin is nullptr.
  TGUID NegotiateStreamType(TVekBasicPin* pin);
  // Replaces a stored root name at the head of a path ("<stored>.") by the
  // current root owner's name.
  std::string FixStoredPath(const std::string& path);

  TComponent* Owner() const { return owner_; }
  TVekPinStreamType& StreamTypes() { return stream_types_; }
  int32_t DispatchDepth() const { return dispatch_depth_; }

 protected:
  // Type collection of the stream pins; here only this pin's own types.
  virtual void CollectStreamTypes(TVekPinStreamType& list, TVekBasicPin* origin);

  int32_t dispatch_depth_ = 0;

 private:
  void WriteForm(TWriter* writer);
  void ReadForm(TReader* reader);

  TComponent* owner_;
  std::string owner_name_cache_;
  TVekPinStreamType stream_types_;
};

// Collection and ordering of stream types along the graph.
class TVekStreamPin : public TVekPin {
  KESTRUNE_CLASS(TVekStreamPin, TVekPin)
  explicit TVekStreamPin(TComponent* owner) : TVekPin(owner) {}

  // Moves, once per list, the list's entries into the order of this pin's
  // own types (front first).
  void OrderTypesLike(TVekPinTypeRestricted& list);
  void CollectStreamTypes(TVekPinStreamType& list, TVekBasicPin* origin) override;
  virtual void CollectStreamTypesRestricted(TVekPinStreamType& list, TVekBasicPin* origin);
  virtual HRESULT QueryTypeInterfaceIn(const TGUID& iid) {
    (void)iid;
    return S_OK;
  }
  virtual HRESULT QueryTypeInterfaceOut(const TGUID& iid) {
    (void)iid;
    return S_OK;
  }
  // Appends this pin to `chain` (the dependency walk of a sink's lock chain).
  virtual void CollectUpstreamChains(TVekObjectListList& chains, TVekObjectList* chain);
};

// ---------------------------------------------------------------------------
// Link records (a source pin's sinks, a placeholder's links)

// One link of a source pin.
struct TVekSinkPinEntry {
  TVekBasicPin* Sink = nullptr;       // a sink, state or placeholder pin
  TVekBasicPin* DependsOn = nullptr;  // a sink this link is ordered behind
  TGUID StreamType;
  TVekNotifyHandler Handler;  // may be unassigned
  int32_t Counter = 0;        // ordering counter
};

class TVekSinkPinEntryList {
 public:
  TVekSinkPinEntry& Add() { return entries_.emplace_back(); }
  void Delete(int index) { entries_.erase(entries_.begin() + index); }
  void Remove(const TVekSinkPinEntry* entry);
  void Clear() { entries_.clear(); }
  // Appends a copy of each entry of `other` (DependsOn not copied).
  void CopyFrom(const TVekSinkPinEntryList& other);
  int Count() const { return static_cast<int>(entries_.size()); }
  TVekSinkPinEntry& GetEntry(int index) { return entries_.at(index); }
  const TVekSinkPinEntry& GetEntry(int index) const { return entries_.at(index); }
  TVekSinkPinEntry* FindBySink(const TVekBasicPin* pin);
  int IndexOfSink(const TVekBasicPin* pin) const;
  std::vector<TVekSinkPinEntry>& Entries() { return entries_; }

 private:
  std::vector<TVekSinkPinEntry> entries_;
};

// ---------------------------------------------------------------------------
// Lock chains (a sink pin's upstream pins)

// One upstream chain of pins, counted.
class TVekObjectList : public TInterfacedObject {
  KESTRUNE_CLASS(TVekObjectList, TInterfacedObject)
  TVekObjectList() = default;
  void Insert(int index, TVekBasicPin* pin) { pins_.insert(pins_.begin() + index, pin); }
  TVekBasicPin* Item(int index) const { return pins_.at(index); }
  int Count() const { return static_cast<int>(pins_.size()); }
  void Add(TVekBasicPin* pin) { pins_.push_back(pin); }
  void Delete(int index) { pins_.erase(pins_.begin() + index); }

 private:
  std::vector<TVekBasicPin*> pins_;
};

// The chains of one walk.
class TVekObjectListList {
 public:
  TVekObjectList* AddChain();
  int Count() const { return static_cast<int>(chains_.size()); }
  TVekObjectList* Chain(int index) const { return chains_.at(index).get(); }
  void Delete(int index) { chains_.erase(chains_.begin() + index); }

 private:
  std::vector<IPtr<TVekObjectList>> chains_;
};
