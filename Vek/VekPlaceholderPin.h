// Placeholders (pins named by a stored link but not created yet) and the
// resolution of stored links by name. Overview of the framework:
// Vek/VekPins.h. Implemented in Vek/VekPlaceholderPin.cpp.
#pragma once

#include <string>
#include <vector>

#include "Vek/VekBasicPin.h"

// Stands in for a pin named by a stored link but not created yet; takes the
// links made to it and hands them over when that pin appears.
class TVekUnloadedPin : public TVekBasicPin {
  KESTRUNE_CLASS(TVekUnloadedPin, TVekBasicPin)
  // Registers in UnloadedPins, which owns it.
  TVekUnloadedPin(TComponent* rootOwner, TVekPinKind kind, const std::string& identifierPath,
                  const std::string& displayPath, const std::string& requesterPath);
  void AfterConstruction() override;

  void RemoveReference(TObject* object) override;
  void ReplaceReference(TObject* oldObject, TObject* newObject) override;
  void Disconnect(TVekBasicPin* pin, bool keepPlaceholder) override;
  void AddSinkEntry(TVekBasicPin* sink, TVekBasicPin* dependsOn) override;
  void ReleaseIfUnused() override;
  TVekPinKind GetPinKind() override { return kind_; }
  TComponent* GetOwnerComponent() override { return nullptr; }
  std::string GetRelativePath() override;
  std::string GetFullPath(bool withRoot) override;
  std::string GetFullPathEx(bool withRoot) override;
  bool IsDependentOn(TVekBasicPin*) override { return false; }
  bool CanLinkTo(TVekBasicPin*) override { return true; }
  bool HasCommonType(TVekBasicPin*) override { return true; }
  bool IsConnected() override { return links_.Count() > 0; }
  bool IsConnectedTo(TVekBasicPin* pin) override { return links_.IndexOfSink(pin) >= 0; }
  bool ConnectEx(TVekBasicPin* pin, TVekBasicPin* dependsOn) override;
  void DisconnectAll() override;
  void SetHoldCount(int count) override;
  // The design state of the root owner given at creation (so that a
  // placeholder links with run-time pins at run time).
  bool IsDesigning() override { return designing_; }
  TGUID FindCommonType(TVekBasicPin*) override { return {}; }
  bool NotifyStatePeers(IVekNotifyOperation*, uint8_t, TVekBasicPin*) override { return false; }

  // Hands the placeholder's links over to `pin`, makes every pin refer to
  // `pin` instead, and frees the placeholder (exactly once, at the end).
  static void TransferLinks(TVekUnloadedPin* placeholder, TVekBasicPin* pin);
  // Drops a placeholder that no pin will adopt, linked or not: it leaves
  // UnloadedPins and is freed, and the pins linked to it forget it. For the
  // pin list that held it as a pending entry. Takes the global write
  // section.
  static void Discard(TVekUnloadedPin* placeholder);

  const std::string& DisplayPath() const { return display_path_; }
  const std::string& IdentifierPath() const { return identifier_path_; }
  const std::string& RequesterPath() const { return requester_path_; }
  bool Designing() const { return designing_; }
  TComponent* RootOwner() const { return owner_component_; }
  TVekSinkPinEntryList& Links() { return links_; }
  // Set by a pin list that holds the placeholder as a pending entry (the
  // placeholder then stays while unlinked, until the list lets it go).
  bool HeldByPinList = false;

 private:
  std::string display_path_;
  std::string identifier_path_;
  TComponent* owner_component_ = nullptr;
  TVekPinKind kind_;
  bool designing_ = false;
  TVekSinkPinEntryList links_;
  std::string requester_path_;
  bool releasing_ = false;
  uint8_t hold_count_ = 0;
};

TVekBasicPin* FindPinByFullPath(TList* list, TComponent* owner, const std::string& path);
TVekBasicPin* FindPinByPath(TList* list, TComponent* owner, const std::string& path);
// The pin a stored link names: found by identifier path, else by display
// path, else a new placeholder. nullptr for an empty identifier path.
TVekBasicPin* ResolvePinByPath(TList* list, TComponent* owner, TVekPinKind kind,
                               const std::string& identifierPath, const std::string& displayPath,
                               const std::string& requesterPath);
