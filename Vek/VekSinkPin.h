// Sink pins: the input end of a stream link, with its one source, its handler
// and its lock chain. Overview of the framework: Vek/VekPins.h. Implemented
// in Vek/VekSinkPin.cpp.
#pragma once

#include <string>
#include <vector>

#include "Vek/VekBasicPin.h"

// The input end of a stream link: at most one source upstream, and one
// handler chosen by the link's stream type.
class TVekSinkPin : public TVekStreamPin {
  KESTRUNE_CLASS(TVekSinkPin, TVekStreamPin)
  explicit TVekSinkPin(TComponent* owner);
  ~TVekSinkPin() override;
  void DefineProperties(TFiler* filer) override;
  // nullptr unlinks; another sink pin gives its source; anything else
  // raises EInvalidCast.
  void Assign(TPersistent* source) override;

  void RemoveReference(TObject* object) override;
  // Drops this side of the link (the far side is the caller's): the source,
  // the handler and the lock chain go (the link type stays); with
  // keepPlaceholder, and the owner not being destroyed, a placeholder named
  // after the source takes its place.
  void Disconnect(TVekBasicPin* pin, bool keepPlaceholder) override;
  TVekPinKind GetPinKind() override { return vpkSink; }
  TVekBasicPin* GetLinkDependency(TVekBasicPin* pin) override;
  bool IsDirectlyDependentOn(TVekBasicPin* pin) override;
  TGUID GetLinkType(TVekBasicPin* pin) override;
  bool IsDependentOn(TVekBasicPin* pin) override;
  bool CanLinkTo(TVekBasicPin* pin) override;
  bool HasCommonType(TVekBasicPin* pin) override;
  bool IsConnected() override;
  bool IsConnectedTo(TVekBasicPin* pin) override;
  // Makes `pin` the link upstream (nullptr: drops it); true on success,
  // false (nothing changed) when the link is refused. Takes the global write
  // section first. The deliveries made while linking may raise (a receiver,
  // the depth limit): the link is then finished all the same (both sides,
  // lock chains, type, announcements) and the first exception reaches the
  // caller.
  bool ConnectEx(TVekBasicPin* pin, TVekBasicPin* dependsOn) override;
  bool CanConnect(TVekBasicPin* pin, TVekBasicPin* dependsOn) override;
  void DisconnectAll() override;
  // Delivers `operation` to this pin's own handler as if it came from its
  // source, holding the read locks of the lock chain; false without source
  // or handler. Every lock is released on every exit.
  bool Notify(IVekNotifyOperation* operation) override;
  bool HasAnyLink() override;
  void ReadLinks(TReader* reader) override;
  int GetLinkCount() override;
  TVekBasicPin* GetLink(int index) override;
  bool SetDispatcherEx(TVekStateDispatcher* dispatcher, TVekBasicPin* dependsOn) override;
  // Drops the source link (both sides, no placeholder), as joining a
  // dispatcher must.
  void LeaveSourceForDispatcher() override;
  bool CanJoinDispatcher(TVekStateDispatcher* dispatcher) override;
  void SyncStatePeers() override;
  HRESULT QueryPinInterface(const TGUID& iid) override;
  TGUID GetConnectedType() override;
  void CollectStreamTypes(TVekPinStreamType& list, TVekBasicPin* origin) override;
  void CollectStreamTypesRestricted(TVekPinStreamType& list, TVekBasicPin* origin) override;
  HRESULT QueryTypeInterfaceIn(const TGUID& iid) override;
  HRESULT QueryTypeInterfaceOut(const TGUID& iid) override;
  void CollectUpstreamChains(TVekObjectListList& chains, TVekObjectList* chain) override;

  virtual bool CanConnectToSource(TVekBasicPin* source);
  virtual TVekBasicPin* GetSourcePin();
  virtual void WriteSourcePin(TWriter* writer);
  virtual bool IsSourceStored();

  void AddFunctionDependent(TVekSourcePin* pin);
  void RemoveFunctionDependent(TVekSourcePin* pin);
  void AddDataTypeDependent(TVekSourcePin* pin);
  void RemoveDataTypeDependent(TVekSourcePin* pin);

  // The walks a source pin starts downstream (see the .cpp).
  void CollectTypesFromSource(TVekPinStreamType& list, TVekBasicPin* origin, bool restricted);
  HRESULT QueryTypeFromSource(const TGUID& iid, TVekBasicPin* origin, bool out);
  void Renegotiate(const TGUID& preferred, const TGUID& type);
  void RenegotiateLink(const TGUID& preferred, const TGUID& type);
  // Rebuilds the lock chain (and those of the sinks downstream).
  void RebuildLockChain();

  TGUID LinkType() const { return link_type_; }
  IPtr<TVekObjectList> LockChain() const { return lock_chain_; }

 private:
  TGUID ResolvedLinkType(TVekBasicPin* source, const TGUID& preferred);
  // Caller holds the global write section and ours. Forgets the source,
  // clears the handler and rebuilds the lock chain (and those downstream),
  // so that no later delivery locks or calls through the old source, which
  // may be freed next. The link type stays.
  void DropSourceLocked();
  HRESULT AskDataTypeDependents(const TGUID& iid, bool out);
  void SetSourceLocked(TVekBasicPin* pin) { source_pin_ = pin; }
  friend class TVekUnloadedPin;

  TVekBasicPin* source_pin_ = nullptr;
  TVekNotifyHandler handler_;
  TGUID link_type_;
  std::vector<TVekSourcePin*> function_dependents_;
  std::vector<TVekSourcePin*> data_type_dependents_;
  IPtr<TVekObjectList> lock_chain_;
};
