// The class registry and published properties.
//
// A class that stored descriptions can create or fill registers itself once,
// from its unit's start-up function (never from a static initialiser), with
// one short line per published property, in declaration order:
//
//   RegisterClass<TMoskAudioIn>()
//       .Bool("Enabled", &TMoskAudioIn::GetEnabled, &TMoskAudioIn::SetEnabled, true)
//       .Integer("PumpPriority", &TMoskAudioIn::GetPumpPriority, &TMoskAudioIn::SetPumpPriority)
//       .Object("AudioFormat", &TMoskAudioIn::GetAudioFormat)
//       .Object("OutputPin", &TMoskAudioIn::GetOutputPin);
//   RegisterClass<TfmMain>()
//       .Method("MoskAudioIn1PPMValueChange", &TfmMain::MoskAudioIn1PPMValueChange);
//
// Getters and setters are member functions, data members (`&T::OnClick` for
// both) or any callable taking the object first. The trailing default is
// optional: a property registered with one is not stored while it holds that
// value; one registered without is always stored. Indexed properties share a
// getter and setter that take an index first: wrap them with Indexed
// (`.Integer("Color", Indexed(&T::GetColorAt, 0), Indexed(&T::SetColorAt, 0))`).
//
// Registering a class also registers its creator (RegisterCreator), when it
// can be made from an owner (components: TComponent*, collection items:
// TCollection*, other persistent objects: no argument), so that descriptions
// create it by name. A class sees its ancestors' properties first, in their
// order; a property re-registered under an ancestor's name replaces the
// ancestor's one in place. Registering a class again replaces its earlier
// registration (a unit may be started again in tests).
//
// Kinds: integer (any integral type up to 64 bits signed, 32 bits unsigned),
// single and double float, string, boolean, enumeration and set (with name
// tables; a set is an integral bit mask, bit i for name i), owned persistent
// sub-object (read-only, streamed inline with dotted names), component
// reference, event (a TMethod bound by name to a published method of the
// root), collection (a TCollection sub-object streamed as items). An integer
// property may name an identifier map (RegisterIdentMap, e.g. "TColor"):
// descriptions then write a value's name where the map has one ("clRed")
// and accept the name or a plain integer when read.
//
// Threads: registration runs on the main thread during unit start-up, before
// any description is read and before other threads start; after that the
// registry is only read and lookups may run on any thread.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <utility>
#include <variant>
#include <vector>

#include "platform/classes/Classes.h"

enum class TPropKind {
  Integer,
  Single,
  Double,
  String,
  Boolean,
  Enumeration,
  Set,
  Object,
  Component,
  Event,
  Collection,
};

// A property value handled generically. Integers, enumeration ordinals and
// set bit masks are int64_t; both float kinds are double; sub-objects,
// collections and component references are TPersistent* (nullptr for nil).
// Events have no generic value (see the event calls of TPropInfo).
using TPropValue = std::variant<std::monostate, int64_t, double, bool, std::string, TPersistent*>;

// The names of an enumeration's values (or a set's elements) in ordinal
// order.
using TNameTable = std::vector<std::string>;

// Names for some values of an integer property kind: colours ("clRed" for
// 255), cursors ("crHandPoint" for -21). A name is unique in its map
// (case ignored); a value may have several names, the first one is written.
struct TIdentMapEntry {
  int64_t value;
  std::string name;
};

class TIdentMap {
 public:
  explicit TIdentMap(std::vector<TIdentMapEntry> entries) : entries_(std::move(entries)) {}
  // The value named `ident` (case ignored), when the map has it.
  std::optional<int64_t> ValueOf(std::string_view ident) const;
  // The first name of `value`, or nullptr.
  const std::string* NameOf(int64_t value) const;
  const std::vector<TIdentMapEntry>& Entries() const { return entries_; }

 private:
  std::vector<TIdentMapEntry> entries_;
};

// Registers (or replaces) the identifier map of the integer type `typeName`.
// Call from a unit's start-up, like class registrations.
void RegisterIdentMap(std::string_view typeName, std::vector<TIdentMapEntry> entries);
// The map registered for `typeName` (case ignored), or nullptr.
const TIdentMap* FindIdentMap(std::string_view typeName);

// A published method: a member function of a class that events of stored
// descriptions bind to by name.
class TMethodInfo {
 public:
  const std::string& Name() const { return name_; }
  // typeid of the TMethod<Sig> that the method fits.
  std::type_index Signature() const { return signature_; }
  // Writes a TMethod of the signature's type, bound to `target`, into
  // `*method`. `target` must be an instance of the publishing class; `method`
  // must point to a TMethod of exactly Signature()'s type.
  void MakeMethod(TObject* target, void* method) const { make_(target, method); }

 private:
  template <class T>
  friend class TClassRegistration;
  TMethodInfo(std::string name, std::type_index signature,
              std::function<void(TObject*, void*)> make)
      : name_(std::move(name)), signature_(signature), make_(std::move(make)) {}

  std::string name_;
  std::type_index signature_;
  std::function<void(TObject*, void*)> make_;
};

// One published property. Owned by the registry; valid until its class is
// registered again.
class TPropInfo {
 public:
  const std::string& Name() const { return name_; }
  TPropKind Kind() const { return kind_; }
  // The class that registered the property.
  TClass DeclaringClass() const { return declaring_class_; }
  // For sub-objects, collections and component references: the class the
  // value must have. nullptr for the other kinds.
  TClass ObjectClass() const { return object_class_; }
  // Sub-objects, collections and component references.
  bool IsObjectKind() const {
    return kind_ == TPropKind::Object || kind_ == TPropKind::Collection ||
           kind_ == TPropKind::Component;
  }
  // Enumeration and set names.
  const TNameTable& Names() const { return names_; }
  // For an integer property registered with MappedInteger: its identifier
  // map, looked up by type name when asked (nullptr when that type has no
  // map registered, or the property names none).
  const TIdentMap* IdentMap() const;
  const std::string& IdentMapName() const { return ident_map_name_; }
  // The ordinal of `name` in Names() (case ignored), or -1.
  int IndexOfName(std::string_view name) const;
  // The declared default, when there is one.
  const std::optional<TPropValue>& Default() const { return default_; }

  // The value of the property of `instance`, an instance of DeclaringClass()
  // or a descendant. Raises EPropertyError for events.
  TPropValue GetValue(TObject* instance) const;
  // Sets the property. Raises EPropertyError "Valeur de propriété incorrecte"
  // when the value has the wrong alternative, is out of the range of the
  // property's type, names no element, or the property is read-only
  // (sub-objects, collections). For an event only std::monostate (nil) is
  // accepted. Exceptions of the setter pass through.
  void SetValue(TObject* instance, const TPropValue& value) const;
  // True when the property holds its declared default (never true for a
  // property without one; always true for an unassigned event and a nil
  // component reference, which are not stored).
  bool IsDefault(TObject* instance) const;

  // Events. The signature is the typeid of the event's TMethod type.
  std::type_index EventSignature() const { return event_signature_; }
  // Binds the event of `instance` to `method` on `target`. Raises
  // EPropertyError "Valeur de propriété incorrecte" when the method does not
  // have the event's signature.
  void BindEvent(TObject* instance, const TMethodInfo& method, TObject* target) const;
  // The published method of `root` (searched in root's class and ancestors)
  // that the event of `instance` is bound to. Empty when the event is
  // unassigned or bound to another object than `root`. Raises EPropertyError
  // when it is bound to `root` through a method that is not published.
  std::string EventMethodName(TObject* instance, TObject* root) const;

 private:
  template <class T>
  friend class TClassRegistration;
  TPropInfo(std::string name, TPropKind kind, TClass declaringClass)
      : name_(std::move(name)), kind_(kind), declaring_class_(declaringClass) {}

  std::string name_;
  TPropKind kind_;
  TClass declaring_class_;
  TClass object_class_ = nullptr;
  TNameTable names_;
  std::string ident_map_name_;
  std::optional<TPropValue> default_;
  std::function<TPropValue(TObject*)> get_;
  std::function<void(TObject*, const TPropValue&)> set_;
  // Events only.
  std::type_index event_signature_ = typeid(void);
  std::function<void*(TObject*)> event_data_;
  std::function<void(TObject*, const TMethodInfo&, TObject*)> event_bind_;
  std::function<bool(TObject*, const TMethodInfo&, TObject*)> event_matches_;
};

namespace kestrune::detail {
struct TClassTypeInfo;
// Starts (or restarts) the registration of `cls`: its earlier properties and
// methods are dropped.
TClassTypeInfo* BeginClassRegistration(TClass cls);
void AddProperty(TClassTypeInfo* info, std::unique_ptr<TPropInfo> prop);
void AddMethod(TClassTypeInfo* info, std::unique_ptr<TMethodInfo> method);
[[noreturn]] void RaiseBadPropertyValue();

template <class G, class T>
using PropType = std::remove_cvref_t<std::invoke_result_t<G, T*>>;

template <class M>
struct MethodTraits : std::false_type {};
template <class Sig>
struct MethodTraits<TMethod<Sig>> : std::true_type {};

template <class T>
constexpr bool CanCreatePersistent() {
  if constexpr (std::is_abstract_v<T>) {
    return false;
  } else if constexpr (std::is_base_of_v<TComponent, T>) {
    return std::is_constructible_v<T, TComponent*>;
  } else if constexpr (std::is_base_of_v<TCollectionItem, T>) {
    return std::is_constructible_v<T, TCollection*>;
  } else {
    return std::is_default_constructible_v<T>;
  }
}
}  // namespace kestrune::detail

// Adapts a getter or setter that takes an index first (shared by several
// properties) to a plain one: Indexed(&T::GetColorAt, 1) reads index 1.
template <class F>
auto Indexed(F accessor, int index) {
  return [accessor, index](auto* object, auto&&... value) -> decltype(auto) {
    return std::invoke(accessor, object, index, std::forward<decltype(value)>(value)...);
  };
}

// The registration helper returned by RegisterClass<T>(). Each call appends
// one published property (or method) and returns the helper for the next.
template <class T>
class TClassRegistration {
 public:
  explicit TClassRegistration(kestrune::detail::TClassTypeInfo* info) : info_(info) {}

  template <class G, class S, class... D>
  TClassRegistration& Integer(std::string_view name, G get, S set, D... def) {
    using V = kestrune::detail::PropType<G, T>;
    static_assert(std::is_integral_v<V> && !std::is_same_v<V, bool>, "integer property");
    static_assert(std::is_signed_v<V> || sizeof(V) < 8, "64-bit unsigned properties unsupported");
    static_assert(sizeof...(D) <= 1, "one default at most");
    TPropInfo* p = Add(name, TPropKind::Integer);
    p->get_ = [get](TObject* o) -> TPropValue {
      return static_cast<int64_t>(std::invoke(get, Self(o)));
    };
    p->set_ = [set](TObject* o, const TPropValue& v) {
      const int64_t* i = std::get_if<int64_t>(&v);
      if (i == nullptr || !std::in_range<V>(*i))
        kestrune::detail::RaiseBadPropertyValue();
      Store(set, Self(o), static_cast<V>(*i));
    };
    ((p->default_ = TPropValue(static_cast<int64_t>(def))), ...);
    return *this;
  }

  // An integer property whose values may be written by name: `typeName`
  // names its identifier map (see RegisterIdentMap), which may be registered
  // later than the class.
  template <class G, class S, class... D>
  TClassRegistration& MappedInteger(std::string_view name, G get, S set, std::string_view typeName,
                                    D... def) {
    Integer(name, get, set, def...);
    last_->ident_map_name_ = std::string(typeName);
    return *this;
  }

  // A single-precision float property.
  template <class G, class S, class... D>
  TClassRegistration& Float(std::string_view name, G get, S set, D... def) {
    return Floating<float>(name, TPropKind::Single, get, set, def...);
  }
  template <class G, class S, class... D>
  TClassRegistration& Double(std::string_view name, G get, S set, D... def) {
    return Floating<double>(name, TPropKind::Double, get, set, def...);
  }

  template <class G, class S, class... D>
  TClassRegistration& String(std::string_view name, G get, S set, D... def) {
    static_assert(std::is_convertible_v<kestrune::detail::PropType<G, T>, std::string>,
                  "string property");
    static_assert(sizeof...(D) <= 1, "one default at most");
    TPropInfo* p = Add(name, TPropKind::String);
    p->get_ = [get](TObject* o) -> TPropValue { return std::string(std::invoke(get, Self(o))); };
    p->set_ = [set](TObject* o, const TPropValue& v) {
      const std::string* s = std::get_if<std::string>(&v);
      if (s == nullptr)
        kestrune::detail::RaiseBadPropertyValue();
      Store(set, Self(o), *s);
    };
    ((p->default_ = TPropValue(std::string(def))), ...);
    return *this;
  }

  template <class G, class S, class... D>
  TClassRegistration& Bool(std::string_view name, G get, S set, D... def) {
    static_assert(std::is_same_v<kestrune::detail::PropType<G, T>, bool>, "boolean property");
    static_assert(sizeof...(D) <= 1, "one default at most");
    TPropInfo* p = Add(name, TPropKind::Boolean);
    p->get_ = [get](TObject* o) -> TPropValue {
      return static_cast<bool>(std::invoke(get, Self(o)));
    };
    p->set_ = [set](TObject* o, const TPropValue& v) {
      const bool* b = std::get_if<bool>(&v);
      if (b == nullptr)
        kestrune::detail::RaiseBadPropertyValue();
      Store(set, Self(o), *b);
    };
    ((p->default_ = TPropValue(static_cast<bool>(def))), ...);
    return *this;
  }

  // An enumeration: the getter returns an enum (or integral) whose ordinal
  // indexes `names`.
  template <class G, class S, class... D>
  TClassRegistration& Enum(std::string_view name, G get, S set, TNameTable names, D... def) {
    using V = kestrune::detail::PropType<G, T>;
    static_assert(std::is_enum_v<V> || std::is_integral_v<V>, "enumeration property");
    static_assert(sizeof...(D) <= 1, "one default at most");
    TPropInfo* p = Add(name, TPropKind::Enumeration);
    p->names_ = std::move(names);
    const int64_t count = static_cast<int64_t>(p->names_.size());
    p->get_ = [get](TObject* o) -> TPropValue {
      return static_cast<int64_t>(std::invoke(get, Self(o)));
    };
    p->set_ = [set, count](TObject* o, const TPropValue& v) {
      const int64_t* i = std::get_if<int64_t>(&v);
      if (i == nullptr || *i < 0 || *i >= count)
        kestrune::detail::RaiseBadPropertyValue();
      Store(set, Self(o), static_cast<V>(*i));
    };
    ((p->default_ = TPropValue(static_cast<int64_t>(def))), ...);
    return *this;
  }

  // A set: the getter returns an unsigned bit mask, bit i for names[i].
  template <class G, class S, class... D>
  TClassRegistration& Set(std::string_view name, G get, S set, TNameTable names, D... def) {
    using V = kestrune::detail::PropType<G, T>;
    static_assert(std::is_integral_v<V> && std::is_unsigned_v<V> && sizeof(V) <= 4,
                  "set property: an unsigned bit mask of at most 32 bits");
    static_assert(sizeof...(D) <= 1, "one default at most");
    TPropInfo* p = Add(name, TPropKind::Set);
    KESTRUNE_USAGE_CHECK(names.size() <= sizeof(V) * 8, "set has more names than bits");
    p->names_ = std::move(names);
    const uint64_t allowed = (uint64_t{1} << p->names_.size()) - 1;
    p->get_ = [get](TObject* o) -> TPropValue {
      return static_cast<int64_t>(std::invoke(get, Self(o)));
    };
    p->set_ = [set, allowed](TObject* o, const TPropValue& v) {
      const int64_t* i = std::get_if<int64_t>(&v);
      if (i == nullptr || *i < 0 || (static_cast<uint64_t>(*i) & ~allowed) != 0)
        kestrune::detail::RaiseBadPropertyValue();
      Store(set, Self(o), static_cast<V>(*i));
    };
    ((p->default_ = TPropValue(static_cast<int64_t>(def))), ...);
    return *this;
  }

  // An owned persistent sub-object, read-only; its own properties are stored
  // inline as "Name.Sub = value".
  template <class G>
  TClassRegistration& Object(std::string_view name, G get) {
    using P = std::remove_pointer_t<kestrune::detail::PropType<G, T>>;
    static_assert(std::is_base_of_v<TPersistent, P>, "sub-object property");
    TPropInfo* p = Add(name, TPropKind::Object);
    p->object_class_ = P::StaticClass();
    p->get_ = [get](TObject* o) -> TPropValue {
      return static_cast<TPersistent*>(std::invoke(get, Self(o)));
    };
    return *this;
  }

  // An owned collection, read-only; stored as its items.
  template <class G>
  TClassRegistration& Collection(std::string_view name, G get) {
    using P = std::remove_pointer_t<kestrune::detail::PropType<G, T>>;
    static_assert(std::is_base_of_v<TCollection, P>, "collection property");
    TPropInfo* p = Add(name, TPropKind::Collection);
    p->object_class_ = P::StaticClass();
    p->get_ = [get](TObject* o) -> TPropValue {
      return static_cast<TPersistent*>(std::invoke(get, Self(o)));
    };
    return *this;
  }

  // A reference to another component, stored by name; nil is the default.
  template <class G, class S>
  TClassRegistration& Component(std::string_view name, G get, S set) {
    using C = std::remove_pointer_t<kestrune::detail::PropType<G, T>>;
    static_assert(std::is_base_of_v<TComponent, C>, "component reference property");
    TPropInfo* p = Add(name, TPropKind::Component);
    p->object_class_ = C::StaticClass();
    p->get_ = [get](TObject* o) -> TPropValue {
      return static_cast<TPersistent*>(std::invoke(get, Self(o)));
    };
    p->set_ = [set](TObject* o, const TPropValue& v) {
      if (std::holds_alternative<std::monostate>(v)) {
        Store(set, Self(o), static_cast<C*>(nullptr));
        return;
      }
      TPersistent* const* value = std::get_if<TPersistent*>(&v);
      if (value == nullptr)
        kestrune::detail::RaiseBadPropertyValue();
      C* component = dynamic_cast<C*>(*value);
      if (*value != nullptr && component == nullptr)
        kestrune::detail::RaiseBadPropertyValue();
      Store(set, Self(o), component);
    };
    return *this;
  }

  // An event: the getter returns a TMethod<Sig>, the setter takes one.
  template <class G, class S>
  TClassRegistration& Event(std::string_view name, G get, S set) {
    using M = kestrune::detail::PropType<G, T>;
    static_assert(kestrune::detail::MethodTraits<M>::value, "event property: a TMethod");
    TPropInfo* p = Add(name, TPropKind::Event);
    p->event_signature_ = typeid(M);
    p->event_data_ = [get](TObject* o) -> void* {
      const M& m = std::invoke(get, Self(o));
      return m.Assigned() ? m.Data() : nullptr;
    };
    p->event_bind_ = [set](TObject* o, const TMethodInfo& method, TObject* target) {
      M m;
      method.MakeMethod(target, &m);
      Store(set, Self(o), m);
    };
    p->event_matches_ = [get](TObject* o, const TMethodInfo& method, TObject* target) {
      M m;
      method.MakeMethod(target, &m);
      return std::invoke(get, Self(o)) == m;
    };
    p->set_ = [set](TObject* o, const TPropValue& v) {
      if (!std::holds_alternative<std::monostate>(v))
        kestrune::detail::RaiseBadPropertyValue();
      Store(set, Self(o), M());
    };
    return *this;
  }

  // A published method of T (or of an ancestor of T), bound by events of
  // stored descriptions whose root is a T.
  template <class C, class R, class... A>
  TClassRegistration& Method(std::string_view name, R (C::*member)(A...)) {
    static_assert(std::is_base_of_v<C, T>, "method of the class or an ancestor");
    using M = TMethod<R(A...)>;
    std::unique_ptr<TMethodInfo> method(
        new TMethodInfo(std::string(name), typeid(M), [member](TObject* target, void* out) {
          *static_cast<M*>(out) = M(static_cast<C*>(Self(target)), member);
        }));
    kestrune::detail::AddMethod(info_, std::move(method));
    return *this;
  }

 private:
  static T* Self(TObject* o) { return static_cast<T*>(o); }

  template <class S, class V>
  static void Store(const S& set, T* obj, V&& value) {
    if constexpr (std::is_member_object_pointer_v<S>) {
      obj->*set = std::forward<V>(value);
    } else {
      std::invoke(set, obj, std::forward<V>(value));
    }
  }

  template <class F, class G, class S, class... D>
  TClassRegistration& Floating(std::string_view name, TPropKind kind, G get, S set, D... def) {
    static_assert(std::is_same_v<kestrune::detail::PropType<G, T>, F>, "float property type");
    static_assert(sizeof...(D) <= 1, "one default at most");
    TPropInfo* p = Add(name, kind);
    p->get_ = [get](TObject* o) -> TPropValue {
      return static_cast<double>(std::invoke(get, Self(o)));
    };
    p->set_ = [set](TObject* o, const TPropValue& v) {
      double d = 0;
      if (const double* f = std::get_if<double>(&v)) {
        d = *f;
      } else if (const int64_t* i = std::get_if<int64_t>(&v)) {
        d = static_cast<double>(*i);
      } else {
        kestrune::detail::RaiseBadPropertyValue();
      }
      // A finite double beyond the single range would become an infinity.
      if constexpr (std::is_same_v<F, float>) {
        if (std::isfinite(d) && !std::isfinite(static_cast<float>(d)))
          kestrune::detail::RaiseBadPropertyValue();
      }
      Store(set, Self(o), static_cast<F>(d));
    };
    ((p->default_ = TPropValue(static_cast<double>(static_cast<F>(def)))), ...);
    return *this;
  }

  TPropInfo* Add(std::string_view name, TPropKind kind) {
    std::unique_ptr<TPropInfo> p(new TPropInfo(std::string(name), kind, T::StaticClass()));
    TPropInfo* raw = p.get();
    kestrune::detail::AddProperty(info_, std::move(p));
    last_ = raw;
    return raw;
  }

  kestrune::detail::TClassTypeInfo* info_;
  TPropInfo* last_ = nullptr;
};

// Registers T's creator (when T can be made from an owner) and starts the
// registration of its published properties and methods. Call from a unit's
// start-up function.
template <class T>
TClassRegistration<T> RegisterClass() {
  static_assert(std::is_base_of_v<TPersistent, T>, "only persistent classes are registered");
  if constexpr (kestrune::detail::CanCreatePersistent<T>()) {
    RegisterCreator(T::StaticClass(), &CreatePersistentInstance<T>);
  }
  return TClassRegistration<T>(kestrune::detail::BeginClassRegistration(T::StaticClass()));
}

// Registers the published properties of the classes of this module
// (TComponent's Tag). Call from the classes unit's start-up.
void RegisterStandardClasses();

// Was `cls` registered through RegisterClass?
bool IsClassRegistered(TClass cls);

// The published properties of `cls`: its ancestors' first, each class's in
// registration order.
std::vector<const TPropInfo*> GetPropList(TClass cls);
inline std::vector<const TPropInfo*> GetPropList(const TObject* instance) {
  return GetPropList(instance->ClassType());
}
// The published property `name` (case ignored) of `cls` or an ancestor;
// nullptr when there is none.
const TPropInfo* GetPropInfo(TClass cls, std::string_view name);

// The sub-object, collection or referenced component held by the published
// property `name` of `instance`; nullptr when the property holds nil, does
// not exist or is not of an object kind.
TPersistent* GetObjectProp(TObject* instance, std::string_view name);
TPersistent* GetObjectProp(TObject* instance, const TPropInfo* prop);

// Generic access by name. Raise EPropertyError "Propriété <name> inexistante"
// for an unknown name, and as TPropInfo::GetValue/SetValue otherwise.
TPropValue GetPropValue(TObject* instance, std::string_view name);
void SetPropValue(TObject* instance, std::string_view name, const TPropValue& value);

// The published method `name` (case ignored) of `cls` or an ancestor;
// nullptr when there is none.
const TMethodInfo* FindPublishedMethod(TClass cls, std::string_view name);
// Every published method of `cls` and its ancestors, the class's own first.
std::vector<const TMethodInfo*> GetPublishedMethods(TClass cls);
