// State pins and the state dispatchers that keep joined pins in step.
// Overview of the framework: Vek/VekPins.h. Implemented in
// Vek/VekStateDispatcher.cpp.
#pragma once

#include <string>
#include <vector>

#include "Vek/VekBasicPin.h"

class TVekStatePin : public TVekPin {
  KESTRUNE_CLASS(TVekStatePin, TVekPin)
  explicit TVekStatePin(TComponent* owner) : TVekPin(owner) {}
  TVekPinKind GetPinKind() override { return vpkState; }
  bool IsDirectlyDependentOn(TVekBasicPin* pin) override { return IsConnectedTo(pin); }
  TGUID GetLinkType(TVekBasicPin* pin) override;
  bool IsDependentOn(TVekBasicPin* pin) override { return IsDirectlyDependentOn(pin); }
  bool CanLinkTo(TVekBasicPin* pin) override;
  bool HasCommonType(TVekBasicPin* pin) override;
  void SyncStatePeers() override;
  virtual int GetStateLinkCount();
  virtual TVekBasicPin* GetStateLink(int index);
};

struct TVekDispatcherPinStorage {
  TVekBasicPin* Pin = nullptr;
  TVekBasicPin* DependsOn = nullptr;
};

// Keeps the pins joined to it in step. Frees itself when fewer than two pins
// remain. Registered in the design-time or run-time dispatcher list.
class TVekStateDispatcher : public TVekPinObject {
  KESTRUNE_CLASS(TVekStateDispatcher, TVekPinObject)
  TVekStateDispatcher(const std::string& name, bool designRegistry);
  // A dispatcher named "<owner>Link<n>" in the registry of the owner's mode.
  static TVekStateDispatcher* CreateForOwner(TComponent* owner);
  ~TVekStateDispatcher() override;
  void BeforeDestruction() override;

  void RemoveReference(TObject* object) override;
  void SetDependencyName(TVekBasicPin* pin, const std::string& name) override;
  std::string GetDependencyName(TVekBasicPin* pin) override;
  virtual int GetPinCount();
  virtual TVekBasicPin* GetPin(int index);
  virtual TVekBasicPin* GetPinData(int index);
  void AddPin(TVekBasicPin* pin) { AddPinEx(pin, nullptr); }
  virtual void AddPinEx(TVekBasicPin* pin, TVekBasicPin* dependsOn);
  // Removes the pin; with one pin left it lets it go, with none the
  // dispatcher frees itself (once no section on it is held any more).
  virtual void RemovePin(TVekBasicPin* pin);

  bool Contains(TVekBasicPin* pin);
  TVekBasicPin* GetPinDependency(TVekBasicPin* pin);
  bool IsDependencyFree(TVekBasicPin* pinA, TVekBasicPin* pinB);
  // Has a synchronising operation delivered after `changed` changed.
  void SyncFrom(TVekBasicPin* changed);

  void ResetWritten();
  void MarkWritten(TObject* object);
  bool IsWritten(TObject* object);
  int WrittenCount();
  bool SpansOwners();

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  bool DesignRegistry() const { return design_registry_; }

 private:
  int IndexOfPinLocked(TVekBasicPin* pin) const;

  std::string name_;
  bool design_registry_;
  std::vector<TVekDispatcherPinStorage> records_;
  std::vector<TObject*> written_objects_;
  int32_t written_count_ = 0;
};

// "<owner>Link<n>" with the smallest n free in the owner's registry.
std::string UniqueDispatcherName(TComponent* owner);
// The dispatcher of that name in the registry, or a new one made by `pin`.
TVekStateDispatcher* FindOrCreateNamedDispatcher(TVekBasicPin* pin, const std::string& name,
                                                 bool designRegistry);
// The design-time (true) or run-time (false) dispatcher list.
TList* GetDispatcherList(bool designRegistry);
