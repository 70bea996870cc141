#include "platform/classes/TypInfo.h"

#include <memory>
#include <unordered_map>

namespace kestrune::detail {

struct TClassTypeInfo {
  std::vector<std::unique_ptr<TPropInfo>> props;
  std::vector<std::unique_ptr<TMethodInfo>> methods;
};

namespace {
// Node-based: references to the entries stay valid while classes are added.
std::unordered_map<TClass, TClassTypeInfo>& Registry() {
  static std::unordered_map<TClass, TClassTypeInfo> registry;
  return registry;
}

const TClassTypeInfo* FindTypeInfo(TClass cls) {
  auto& registry = Registry();
  auto it = registry.find(cls);
  return it == registry.end() ? nullptr : &it->second;
}
}  // namespace

TClassTypeInfo* BeginClassRegistration(TClass cls) {
  TClassTypeInfo& info = Registry()[cls];
  info.props.clear();
  info.methods.clear();
  return &info;
}

void AddProperty(TClassTypeInfo* info, std::unique_ptr<TPropInfo> prop) {
  for (const auto& existing : info->props) {
    KESTRUNE_USAGE_CHECK(!SameText(existing->Name(), prop->Name()),
                         "property registered twice in one class");
  }
  info->props.push_back(std::move(prop));
}

void AddMethod(TClassTypeInfo* info, std::unique_ptr<TMethodInfo> method) {
  for (const auto& existing : info->methods) {
    KESTRUNE_USAGE_CHECK(!SameText(existing->Name(), method->Name()),
                         "method published twice in one class");
  }
  info->methods.push_back(std::move(method));
}

void RaiseBadPropertyValue() {
  throw EPropertyError("Valeur de propriété incorrecte");
}

}  // namespace kestrune::detail

using kestrune::detail::FindTypeInfo;
using kestrune::detail::RaiseBadPropertyValue;

// ---------------------------------------------------------------------------
// Identifier maps

namespace {
// Keyed by the upper-cased type name. Node-based: the maps stay in place.
std::unordered_map<std::string, std::unique_ptr<TIdentMap>>& IdentMaps() {
  static std::unordered_map<std::string, std::unique_ptr<TIdentMap>> maps;
  return maps;
}

std::string IdentMapKey(std::string_view typeName) {
  std::string key(typeName);
  for (char& c : key) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}
}  // namespace

std::optional<int64_t> TIdentMap::ValueOf(std::string_view ident) const {
  for (const TIdentMapEntry& e : entries_) {
    if (SameText(e.name, ident))
      return e.value;
  }
  return std::nullopt;
}

const std::string* TIdentMap::NameOf(int64_t value) const {
  for (const TIdentMapEntry& e : entries_) {
    if (e.value == value)
      return &e.name;
  }
  return nullptr;
}

void RegisterIdentMap(std::string_view typeName, std::vector<TIdentMapEntry> entries) {
  for (size_t i = 0; i < entries.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      KESTRUNE_USAGE_CHECK(!SameText(entries[i].name, entries[j].name),
                           "identifier named twice in one map");
    }
  }
  auto& slot = IdentMaps()[IdentMapKey(typeName)];
  if (slot)
    *slot = TIdentMap(std::move(entries));  // pointers handed out stay valid
  else
    slot = std::make_unique<TIdentMap>(std::move(entries));
}

const TIdentMap* FindIdentMap(std::string_view typeName) {
  auto& maps = IdentMaps();
  auto it = maps.find(IdentMapKey(typeName));
  return it == maps.end() ? nullptr : it->second.get();
}

// ---------------------------------------------------------------------------
// TPropInfo

const TIdentMap* TPropInfo::IdentMap() const {
  return ident_map_name_.empty() ? nullptr : FindIdentMap(ident_map_name_);
}

int TPropInfo::IndexOfName(std::string_view name) const {
  for (size_t i = 0; i < names_.size(); ++i) {
    if (SameText(names_[i], name))
      return static_cast<int>(i);
  }
  return -1;
}

TPropValue TPropInfo::GetValue(TObject* instance) const {
  if (!get_)
    throw EPropertyError("La propriété " + name_ + " n'a pas de valeur simple");
  return get_(instance);
}

void TPropInfo::SetValue(TObject* instance, const TPropValue& value) const {
  if (!set_)
    RaiseBadPropertyValue();
  set_(instance, value);
}

bool TPropInfo::IsDefault(TObject* instance) const {
  switch (kind_) {
    case TPropKind::Event:
      return event_data_(instance) == nullptr;
    case TPropKind::Component:
      return std::get<TPersistent*>(get_(instance)) == nullptr;
    case TPropKind::Object:
    case TPropKind::Collection:
      return false;
    default:
      return default_.has_value() && get_(instance) == *default_;
  }
}

void TPropInfo::BindEvent(TObject* instance, const TMethodInfo& method, TObject* target) const {
  if (kind_ != TPropKind::Event || method.Signature() != event_signature_)
    RaiseBadPropertyValue();
  event_bind_(instance, method, target);
}

std::string TPropInfo::EventMethodName(TObject* instance, TObject* root) const {
  if (kind_ != TPropKind::Event)
    RaiseBadPropertyValue();
  void* data = event_data_(instance);
  if (data == nullptr || root == nullptr)
    return {};
  for (const TMethodInfo* method : GetPublishedMethods(root->ClassType())) {
    if (method->Signature() == event_signature_ && event_matches_(instance, *method, root))
      return method->Name();
  }
  // Bound to the root through a method nobody published: storing nothing
  // would lose the binding silently.
  if (data == dynamic_cast<void*>(root))
    throw EPropertyError("L'événement " + name_ + " est lié à une méthode non publiée");
  return {};
}

// ---------------------------------------------------------------------------
// Lookups

void RegisterStandardClasses() {
  RegisterClass<TComponent>().Integer("Tag", &TComponent::Tag, &TComponent::Tag, 0);
}

bool IsClassRegistered(TClass cls) {
  return FindTypeInfo(cls) != nullptr;
}

std::vector<const TPropInfo*> GetPropList(TClass cls) {
  std::vector<TClass> chain;
  for (TClass c = cls; c != nullptr; c = c->Parent)
    chain.push_back(c);
  std::vector<const TPropInfo*> list;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const kestrune::detail::TClassTypeInfo* info = FindTypeInfo(*it);
    if (info == nullptr)
      continue;
    for (const auto& prop : info->props) {
      bool replaced = false;
      for (const TPropInfo*& existing : list) {
        if (SameText(existing->Name(), prop->Name())) {
          existing = prop.get();
          replaced = true;
          break;
        }
      }
      if (!replaced)
        list.push_back(prop.get());
    }
  }
  return list;
}

const TPropInfo* GetPropInfo(TClass cls, std::string_view name) {
  // The most derived registration wins, as in GetPropList.
  for (TClass c = cls; c != nullptr; c = c->Parent) {
    const kestrune::detail::TClassTypeInfo* info = FindTypeInfo(c);
    if (info == nullptr)
      continue;
    for (const auto& prop : info->props) {
      if (SameText(prop->Name(), name))
        return prop.get();
    }
  }
  return nullptr;
}

TPersistent* GetObjectProp(TObject* instance, const TPropInfo* prop) {
  if (instance == nullptr || prop == nullptr || !prop->IsObjectKind())
    return nullptr;
  return std::get<TPersistent*>(prop->GetValue(instance));
}

TPersistent* GetObjectProp(TObject* instance, std::string_view name) {
  if (instance == nullptr)
    return nullptr;
  return GetObjectProp(instance, GetPropInfo(instance->ClassType(), name));
}

namespace {
const TPropInfo* RequireProp(TObject* instance, std::string_view name) {
  const TPropInfo* prop = GetPropInfo(instance->ClassType(), name);
  if (prop == nullptr)
    throw EPropertyError("Propriété " + std::string(name) + " inexistante");
  return prop;
}
}  // namespace

TPropValue GetPropValue(TObject* instance, std::string_view name) {
  return RequireProp(instance, name)->GetValue(instance);
}

void SetPropValue(TObject* instance, std::string_view name, const TPropValue& value) {
  RequireProp(instance, name)->SetValue(instance, value);
}

const TMethodInfo* FindPublishedMethod(TClass cls, std::string_view name) {
  for (TClass c = cls; c != nullptr; c = c->Parent) {
    const kestrune::detail::TClassTypeInfo* info = FindTypeInfo(c);
    if (info == nullptr)
      continue;
    for (const auto& method : info->methods) {
      if (SameText(method->Name(), name))
        return method.get();
    }
  }
  return nullptr;
}

std::vector<const TMethodInfo*> GetPublishedMethods(TClass cls) {
  std::vector<const TMethodInfo*> list;
  for (TClass c = cls; c != nullptr; c = c->Parent) {
    const kestrune::detail::TClassTypeInfo* info = FindTypeInfo(c);
    if (info == nullptr)
      continue;
    for (const auto& method : info->methods)
      list.push_back(method.get());
  }
  return list;
}
