// Source pins: the output end of a stream link, the push, and the lists of
// sink pins a source depends on. Overview of the framework: Vek/VekPins.h.
// Implemented in Vek/VekSourcePin.cpp.
#pragma once

#include <string>
#include <vector>

#include "Vek/VekBasicPin.h"

// A component's input pins that one output pin depends on. Every operation
// locks the owning source pin.
class TVekSinkPinList : public TObject {
  KESTRUNE_CLASS(TVekSinkPinList, TObject)
  explicit TVekSinkPinList(TVekSourcePin* owner) : owner_(owner) {}
  int Count();
  TVekSinkPin* Items(int index);
  // Appends a pin (nullptr ignored).
  void AddToList(TVekSinkPin* pin);
  // Records the dependency; with joinLocks the owner's lock group joins the
  // pin's.
  void Add(TVekSinkPin* pin, bool joinLocks);
  virtual void Remove(TVekSinkPin* pin);
  bool Contains(TVekBasicPin* pin);
  // The pins (caller holds the owner's section).
  const std::vector<TVekSinkPin*>& Pins() const { return pins_; }

 protected:
  // Records or drops the owner in the sink's back-references of this kind.
  virtual void AddBackReference(TVekSinkPin* pin) = 0;
  virtual void RemoveBackReference(TVekSinkPin* pin) = 0;
  TVekSourcePin* owner_;
  std::vector<TVekSinkPin*> pins_;
};

class TVekFunctionSinkPinList : public TVekSinkPinList {
  KESTRUNE_CLASS(TVekFunctionSinkPinList, TVekSinkPinList)
  explicit TVekFunctionSinkPinList(TVekSourcePin* owner) : TVekSinkPinList(owner) {}
  void Remove(TVekSinkPin* pin) override;

 protected:
  void AddBackReference(TVekSinkPin* pin) override;
  void RemoveBackReference(TVekSinkPin* pin) override;
};

class TVekDataTypeSinkPinList : public TVekSinkPinList {
  KESTRUNE_CLASS(TVekDataTypeSinkPinList, TVekSinkPinList)
  explicit TVekDataTypeSinkPinList(TVekSourcePin* owner) : TVekSinkPinList(owner) {}
  void Remove(TVekSinkPin* pin) override;

 protected:
  void AddBackReference(TVekSinkPin* pin) override;
  void RemoveBackReference(TVekSinkPin* pin) override;
};

// The output pin of a component: any number of linked sinks, pushes.
//
// Threads: Notify from any thread (the capture thread in the program),
// under the locks described at the top. Link changes from the main thread
// under the global write section.
class TVekSourcePin : public TVekStreamPin {
  KESTRUNE_CLASS(TVekSourcePin, TVekStreamPin)
  explicit TVekSourcePin(TComponent* owner);
  ~TVekSourcePin() override;
  void DefineProperties(TFiler* filer) override;

  void RemoveReference(TObject* object) override;
  void ReplaceReference(TObject* oldObject, TObject* newObject) override;
  void SetDependencyName(TVekBasicPin* pin, const std::string& name) override;
  std::string GetDependencyName(TVekBasicPin* pin) override;
  void Disconnect(TVekBasicPin* pin, bool keepPlaceholder) override;
  void AddSinkEntry(TVekBasicPin* sink, TVekBasicPin* dependsOn) override;
  TVekPinKind GetPinKind() override { return vpkSource; }
  TVekBasicPin* GetLinkDependency(TVekBasicPin* pin) override;
  bool IsDirectlyDependentOn(TVekBasicPin* pin) override;
  TGUID GetLinkType(TVekBasicPin* pin) override;
  bool IsDependentOn(TVekBasicPin* pin) override;
  bool CanLinkTo(TVekBasicPin* pin) override;
  bool HasCommonType(TVekBasicPin* pin) override;
  bool IsConnected() override;
  bool IsConnectedTo(TVekBasicPin* pin) override;
  bool ConnectEx(TVekBasicPin* pin, TVekBasicPin* dependsOn) override;
  bool CanConnect(TVekBasicPin* pin, TVekBasicPin* dependsOn) override;
  void DisconnectAll() override;
  // Pushes `operation` to the state peers, then to every sink in delivery
  // order. Raises EVekException when pushes nest more than 200 deep in this
  // pin; a handler's exception passes to the caller (the remaining sinks are
  // not served). Every lock taken is released and DispatchDepth restored on
  // every exit. The caller keeps its reference to the operation.
  bool Notify(IVekNotifyOperation* operation) override;
  bool HasAnyLink() override;
  void ReadLinks(TReader* reader) override;
  int GetLinkCount() override { return GetSinkCount(); }
  TVekBasicPin* GetLink(int index) override { return GetSink(index); }
  void SyncStatePeers() override;
  HRESULT QueryPinInterface(const TGUID& iid) override;
  TGUID GetConnectedType() override;
  void CollectStreamTypes(TVekPinStreamType& list, TVekBasicPin* origin) override;
  void CollectStreamTypesRestricted(TVekPinStreamType& list, TVekBasicPin* origin) override;
  HRESULT QueryTypeInterfaceIn(const TGUID& iid) override;
  HRESULT QueryTypeInterfaceOut(const TGUID& iid) override;
  void CollectUpstreamChains(TVekObjectListList& chains, TVekObjectList* chain) override;

  virtual int GetSinkCount();
  virtual TVekBasicPin* GetSink(int index);
  virtual bool HasCommonTypeWith(TVekBasicPin* pin);
  // One direct notification (flags 3, a fresh operation) to `sink` through
  // `handler`; raises EVekException when more than 10 deliveries are active
  // in this pin.
  virtual void NotifySinkEntry(TVekBasicPin* sink, const TVekNotifyHandler& handler);
  // NotifySinkEntry through the handler of the sink's entry; nothing for a
  // pin that is not a sink of this one.
  virtual void NotifySink(TVekBasicPin* sink);
  virtual void WriteSinkPins(TWriter* writer);
  virtual bool HasSinks();
  // Links `pin` (a sink, state or placeholder pin) behind `dependsOn`.
  virtual bool ConnectTo(TVekBasicPin* pin, TVekBasicPin* dependsOn);

  // Pushes `operation` to `target` only: a linked sink (the flags follow its
  // position among the sinks) or a state peer (flags 2); no other sink or
  // peer is served. Locks and exceptions as Notify.
  bool NotifyTarget(IVekNotifyOperation* operation, TVekBasicPin* target) {
    return DispatchNotify(target, operation);
  }

  TVekFunctionSinkPinList* FunctionDependencies() const { return function_dependencies_.get(); }
  TVekDataTypeSinkPinList* DataTypeDependencies() const { return data_type_dependencies_.get(); }
  // The linked sinks' entries (caller holds the pin's section).
  TVekSinkPinEntryList& SinkEntries() { return sink_entries_; }

  // Type walks upstream through data-type dependencies (see the .cpp):
  // narrows `list` to what this pin can deliver, and checks an interface
  // against this pin (out: the pin answers it; in: it is among the pin's
  // own types).
  void NarrowTypes(TVekPinStreamType& list, TVekBasicPin* origin, bool restricted);
  HRESULT QueryOwnType(const TGUID& iid, TVekBasicPin* origin, bool out);
  // Re-resolves the link types after a change upstream.
  void PropagateRetype(const TGUID& preferred, const TGUID& type);
  void RetypeAllSinks(const TGUID& preferred, const TGUID& type);
  void RetypeSinkEntry(int index, const TGUID& type);
  // Every linked sink pin recomputes its upstream lock chain.
  void RefreshSinkUpstream();

 protected:
  bool DispatchNotify(TVekBasicPin* target, IVekNotifyOperation* operation);
  void ReorderSinkEntries();
  bool disconnecting_ = false;

 private:
  void ReadSinkPins(TReader* reader);
  HRESULT AskDataTypeDependencies(const TGUID& iid, bool out);
  // The data-type dependencies, copied under the pin's read section so that
  // the caller can walk them without holding it.
  std::vector<TVekSinkPin*> DataTypeDependencyPins();

  TVekSinkPinEntryList sink_entries_;
  // Owned: a list made before a later member's construction throws is
  // freed all the same.
  TVekOwned<TVekFunctionSinkPinList> function_dependencies_;
  TVekOwned<TVekDataTypeSinkPinList> data_type_dependencies_;
  bool dependency_walk_guard_ = false;
  bool type_walk_guard_ = false;
};
