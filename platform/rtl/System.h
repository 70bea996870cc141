// The object model every class of the program stands on.
//
// TObject is the root: classes declare themselves with KESTRUNE_CLASS so that
// each carries a class-information record (name and parent) that answers
// ClassName and InheritsFrom. Objects are made through Create<T>(...), which
// runs the whole constructor chain and then the virtual AfterConstruction, and
// are released through Free(), which runs the virtual BeforeDestruction first
// and then destroys the object. A class may give itself its own operator
// new/delete; Create and Free go through them.
//
// Interfaces are abstract structs deriving virtually from IInterface, each with
// a 16-byte identifier `IID`. Counted objects derive from TInterfacedObject (an
// atomic reference count, freed when it drops to 0) and are held in IPtr<>.
// Uncounted objects implement _AddRef/_Release without lifetime effect.
//
// Threads: the class records are immutable; reference counting is atomic; all
// else follows the rules of each class.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

class TObject;
struct TClassInfo;
using TClass = const TClassInfo*;

// Class information: the name, the parent class, and (for classes the stored
// descriptions can create) a constructor hook set by the class registry.
struct TClassInfo {
  const char* Name;
  TClass Parent;

  bool InheritsFrom(TClass other) const {
    for (TClass c = this; c != nullptr; c = c->Parent) {
      if (c == other)
        return true;
    }
    return false;
  }
};

// Declares the class-information record and `inherited` of a class. Put it
// first in the class body; it leaves the access at public.
#define KESTRUNE_CLASS(Self, Base)                            \
 public:                                                      \
  using inherited = Base;                                     \
  static TClass StaticClass() {                               \
    static const TClassInfo info{#Self, Base::StaticClass()}; \
    return &info;                                             \
  }                                                           \
  TClass ClassType() const override {                         \
    return StaticClass();                                     \
  }

class TObject {
 public:
  static TClass StaticClass() {
    static const TClassInfo info{"TObject", nullptr};
    return &info;
  }
  virtual TClass ClassType() const { return StaticClass(); }
  std::string ClassName() const { return ClassType()->Name; }
  bool InheritsFrom(TClass c) const { return ClassType()->InheritsFrom(c); }
  template <class T>
  bool Is() const {
    return InheritsFrom(T::StaticClass());
  }

  // Runs after the whole constructor chain (Create<T> calls it).
  virtual void AfterConstruction() {}
  // Runs before the destructor chain (Free calls it).
  virtual void BeforeDestruction() {}

  // Runs BeforeDestruction, then destroys the object. Safe on nullptr through
  // the free function FreeObject.
  void Free() {
    BeforeDestruction();
    delete this;
  }

  virtual ~TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;

 protected:
  TObject() = default;
};

inline void FreeObject(TObject* obj) {
  if (obj != nullptr)
    obj->Free();
}

// Frees the object and clears the caller's pointer first, so that code run by
// the destruction no longer sees it.
template <class T>
void FreeAndNil(T*& obj) {
  T* tmp = obj;
  obj = nullptr;
  if (tmp != nullptr)
    tmp->Free();
}

// ---------------------------------------------------------------------------
// Interface identifiers and interfaces

struct TGUID {
  uint32_t D1 = 0;
  uint16_t D2 = 0;
  uint16_t D3 = 0;
  uint8_t D4[8] = {};

  constexpr bool operator==(const TGUID& o) const {
    if (D1 != o.D1 || D2 != o.D2 || D3 != o.D3)
      return false;
    for (int i = 0; i < 8; ++i) {
      if (D4[i] != o.D4[i])
        return false;
    }
    return true;
  }
  constexpr bool IsNull() const { return *this == TGUID{}; }

  // Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional) at
  // compile time; an ill-formed text fails the constant evaluation.
  static consteval TGUID Parse(const char* text);
  // The braced upper-case form.
  std::string ToString() const;
  // Parses at run time; returns false (and leaves `out` alone) on bad text.
  static bool TryParse(const std::string& text, TGUID& out);
};

namespace kestrune::detail {
consteval int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  throw "bad hex digit in GUID";
}
consteval uint64_t HexField(const char* s, int from, int count) {
  uint64_t v = 0;
  for (int i = 0; i < count; ++i)
    v = v * 16 + static_cast<uint64_t>(HexDigit(s[from + i]));
  return v;
}
}  // namespace kestrune::detail

consteval TGUID TGUID::Parse(const char* text) {
  using kestrune::detail::HexField;
  const char* s = text[0] == '{' ? text + 1 : text;
  if (s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-')
    throw "bad GUID layout";
  TGUID g;
  g.D1 = static_cast<uint32_t>(HexField(s, 0, 8));
  g.D2 = static_cast<uint16_t>(HexField(s, 9, 4));
  g.D3 = static_cast<uint16_t>(HexField(s, 14, 4));
  g.D4[0] = static_cast<uint8_t>(HexField(s, 19, 2));
  g.D4[1] = static_cast<uint8_t>(HexField(s, 21, 2));
  for (int i = 0; i < 6; ++i)
    g.D4[2 + i] = static_cast<uint8_t>(HexField(s, 24 + 2 * i, 2));
  return g;
}

struct TGUIDHash {
  size_t operator()(const TGUID& g) const noexcept {
    uint64_t a, b;
    std::memcpy(&a, &g, 8);
    std::memcpy(&b, reinterpret_cast<const char*>(&g) + 8, 8);
    return static_cast<size_t>(a * 0x9E3779B97F4A7C15ull ^ b);
  }
};

using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);

// The root interface. Implementations return the requested interface pointer
// (already counted) through `obj` and S_OK, or E_NOINTERFACE and nullptr.
struct IInterface {
  static constexpr TGUID IID = TGUID::Parse("{00000000-0000-0000-C000-000000000046}");
  virtual HRESULT QueryInterface(const TGUID& iid, void** obj) = 0;
  virtual int32_t _AddRef() = 0;
  virtual int32_t _Release() = 0;

 protected:
  ~IInterface() = default;
};

// Answers a query from a fixed list of interfaces of `self`: the first whose
// IID matches is returned counted. Use from a QueryInterface override, before
// asking the base class.
template <class... Interfaces, class Self>
HRESULT QueryInterfaceTable(Self* self, const TGUID& iid, void** obj) {
  HRESULT result = E_NOINTERFACE;
  ((result == E_NOINTERFACE && iid == Interfaces::IID
        ? (*obj = static_cast<Interfaces*>(self), self->_AddRef(), result = S_OK)
        : 0),
   ...);
  return result;
}

// An intrusive smart pointer over _AddRef/_Release.
template <class T>
class IPtr {
 public:
  IPtr() = default;
  IPtr(std::nullptr_t) {}
  IPtr(T* p) : p_(p) {  // NOLINT: implicit by design, like an interface variable
    if (p_)
      p_->_AddRef();
  }
  IPtr(const IPtr& o) : IPtr(o.p_) {}
  IPtr(IPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  IPtr(const IPtr<U>& o) : IPtr(static_cast<T*>(o.get())) {}
  ~IPtr() { reset(); }
  IPtr& operator=(IPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  void reset() {
    if (T* p = std::exchange(p_, nullptr))
      p->_Release();
  }
  // Takes over a pointer that already carries one reference.
  static IPtr Adopt(T* p) {
    IPtr r;
    r.p_ = p;
    return r;
  }
  T* detach() { return std::exchange(p_, nullptr); }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  friend bool operator==(const IPtr& a, const IPtr& b) { return a.p_ == b.p_; }
  friend bool operator==(const IPtr& a, std::nullptr_t) { return a.p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

// Queries `from` for interface I; an empty pointer when it is not supported.
template <class I, class From>
IPtr<I> Supports(From* from) {
  if (from == nullptr)
    return {};
  void* out = nullptr;
  if (from->QueryInterface(I::IID, &out) != S_OK || out == nullptr)
    return {};
  return IPtr<I>::Adopt(static_cast<I*>(out));
}
template <class I, class From>
IPtr<I> Supports(const IPtr<From>& from) {
  return Supports<I>(from.get());
}

// A counted object: freed (through Free) when the last reference goes.
class TInterfacedObject : public TObject, public virtual IInterface {
  KESTRUNE_CLASS(TInterfacedObject, TObject)
  HRESULT QueryInterface(const TGUID& iid, void** obj) override;
  int32_t _AddRef() override { return ref_count_.fetch_add(1, std::memory_order_relaxed) + 1; }
  int32_t _Release() override;
  int32_t RefCount() const { return ref_count_.load(std::memory_order_relaxed); }

  // Used by Create<T>: the construction reference is dropped without freeing.
  void ReleaseConstructionReference() { ref_count_.fetch_sub(1, std::memory_order_release); }
  void BeforeDestruction() override;

 protected:
  TInterfacedObject() = default;

 private:
  // Starts at 1: the object is held while its constructors and
  // AfterConstruction run, so a reference taken and dropped there cannot
  // free it.
  std::atomic<int32_t> ref_count_{1};
};

// Creates an object: the constructor chain, then AfterConstruction on the most
// derived class. A counted object comes back with a count of 0, ready to be
// put in an IPtr.
template <class T, class... Args>
T* Create(Args&&... args) {
  T* obj = new T(std::forward<Args>(args)...);
  if constexpr (std::is_base_of_v<TInterfacedObject, T>) {
    try {
      obj->AfterConstruction();
    } catch (...) {
      delete obj;
      throw;
    }
    obj->ReleaseConstructionReference();
  } else {
    try {
      obj->AfterConstruction();
    } catch (...) {
      delete obj;
      throw;
    }
  }
  return obj;
}

// Creates a counted object and returns it held.
template <class T, class... Args>
IPtr<T> CreateCounted(Args&&... args) {
  return IPtr<T>(Create<T>(std::forward<Args>(args)...));
}

// ---------------------------------------------------------------------------
// Method pointers: an object plus a member function, comparable and testable
// for "assigned", like an event property.

template <class Sig>
class TMethod;

template <class R, class... A>
class TMethod<R(A...)> {
 public:
  TMethod() = default;
  TMethod(std::nullptr_t) {}
  // Binds a member of `Base` to an object of a class derived from it.
  template <class Derived, class C,
            class = std::enable_if_t<std::is_base_of_v<C, Derived> && !std::is_same_v<C, Derived>>>
  TMethod(Derived* obj, R (C::*member)(A...)) : TMethod(static_cast<C*>(obj), member) {}
  template <class C>
  TMethod(C* obj, R (C::*member)(A...)) : data_(obj) {
    static_assert(sizeof(member) <= sizeof(code_), "member pointer too large");
    std::memcpy(code_, &member, sizeof(member));
    thunk_ = [](void* data, const unsigned char* code, A... args) -> R {
      R (C::*m)(A...);
      std::memcpy(&m, code, sizeof(m));
      return (static_cast<C*>(data)->*m)(std::forward<A>(args)...);
    };
  }

  bool Assigned() const { return thunk_ != nullptr; }
  explicit operator bool() const { return Assigned(); }
  // The object the method is bound to.
  void* Data() const { return data_; }

  // Calls the method. The caller checks Assigned first; calling an unassigned
  // method is a usage error.
  R operator()(A... args) const { return thunk_(data_, code_, std::forward<A>(args)...); }

  friend bool operator==(const TMethod& a, const TMethod& b) {
    return a.data_ == b.data_ && a.thunk_ == b.thunk_ &&
           std::memcmp(a.code_, b.code_, sizeof(a.code_)) == 0;
  }

 private:
  void* data_ = nullptr;
  alignas(void*) unsigned char code_[16] = {};
  R (*thunk_)(void*, const unsigned char*, A...) = nullptr;
};
