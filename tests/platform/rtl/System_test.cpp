// Object life cycle, interfaces and method pointers.
#include "platform/rtl/System.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_log;

class TBase : public TObject {
  KESTRUNE_CLASS(TBase, TObject)
  TBase() { g_log.push_back("TBase()"); }
  ~TBase() override { g_log.push_back("~TBase"); }
  void AfterConstruction() override { g_log.push_back("after:" + ClassName()); }
  void BeforeDestruction() override { g_log.push_back("before:" + ClassName()); }
};

class TDerived : public TBase {
  KESTRUNE_CLASS(TDerived, TBase)
  TDerived() { g_log.push_back("TDerived()"); }
  ~TDerived() override { g_log.push_back("~TDerived"); }
};

TEST(ObjectLifeCycle, HooksRunOnTheMostDerivedClassAroundTheWholeChain) {
  g_log.clear();
  TBase* obj = Create<TDerived>();
  obj->Free();
  EXPECT_EQ(g_log, (std::vector<std::string>{"TBase()", "TDerived()", "after:TDerived",
                                             "before:TDerived", "~TDerived", "~TBase"}));
}

TEST(ObjectLifeCycle, ClassNameAndAncestry) {
  TBase* obj = Create<TDerived>();
  EXPECT_EQ(obj->ClassName(), "TDerived");
  EXPECT_TRUE(obj->InheritsFrom(TBase::StaticClass()));
  EXPECT_TRUE(obj->Is<TObject>());
  TBase* base = Create<TBase>();
  EXPECT_FALSE(base->InheritsFrom(TDerived::StaticClass()));
  base->Free();
  obj->Free();
}

struct IProbe : virtual IInterface {
  static constexpr TGUID IID = TGUID::Parse("{2BFF1BE1-1698-4CFA-A427-9E0801C5B357}");
  virtual int Value() = 0;
};

struct INone : virtual IInterface {
  static constexpr TGUID IID = TGUID::Parse("{00000000-0000-0000-0000-000000000001}");
};

int g_live_counted = 0;

class TCounted : public TInterfacedObject, public IProbe {
  KESTRUNE_CLASS(TCounted, TInterfacedObject)
  TCounted() { ++g_live_counted; }
  ~TCounted() override { --g_live_counted; }
  // Taking and dropping a reference here must not free the object.
  void AfterConstruction() override {
    IPtr<IInterface> self(static_cast<IProbe*>(this));
    self.reset();
  }
  int Value() override { return 42; }
  HRESULT QueryInterface(const TGUID& iid, void** obj) override {
    if (QueryInterfaceTable<IProbe>(this, iid, obj) == S_OK)
      return S_OK;
    return inherited::QueryInterface(iid, obj);
  }
};

TEST(CountedObjects, ConstructionReferenceKeepsObjectAliveAndLastReleaseFrees) {
  g_live_counted = 0;
  {
    IPtr<TCounted> obj = CreateCounted<TCounted>();
    EXPECT_EQ(g_live_counted, 1);
    EXPECT_EQ(obj->RefCount(), 1);
    IPtr<IProbe> probe = Supports<IProbe>(obj.get());
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->Value(), 42);
    EXPECT_EQ(obj->RefCount(), 2);
    EXPECT_FALSE(Supports<INone>(obj.get()));
  }
  EXPECT_EQ(g_live_counted, 0);
}

TEST(Guid, ParsePrintAndTryParse) {
  constexpr TGUID g = TGUID::Parse("{2BFF1BE1-1698-4CFA-A427-9E0801C5B357}");
  EXPECT_EQ(g.ToString(), "{2BFF1BE1-1698-4CFA-A427-9E0801C5B357}");
  TGUID back;
  ASSERT_TRUE(TGUID::TryParse("2bff1be1-1698-4cfa-a427-9e0801c5b357", back));
  EXPECT_EQ(back, g);
  TGUID untouched = g;
  EXPECT_FALSE(TGUID::TryParse("{2BFF1BE1-1698-4CFA-A427-9E0801C5B35}", untouched));
  EXPECT_FALSE(TGUID::TryParse("{2BFF1BE1-1698-4CFA-A427-9E0801C5B35Z}", untouched));
  EXPECT_EQ(untouched, g);
  EXPECT_TRUE(TGUID{}.IsNull());
}

struct Receiver : TObject {
  int sum = 0;
  bool Add(int v) { return (sum += v) > 0; }
  bool Other(int v) { return v > 0; }
};

TEST(MethodPointers, CallCompareAndAssigned) {
  Receiver a, b;
  TMethod<bool(int)> m(&a, &Receiver::Add);
  EXPECT_TRUE(m.Assigned());
  EXPECT_TRUE(m(5));
  EXPECT_EQ(a.sum, 5);
  EXPECT_TRUE((m == TMethod<bool(int)>(&a, &Receiver::Add)));
  EXPECT_FALSE((m == TMethod<bool(int)>(&b, &Receiver::Add)));
  EXPECT_FALSE((m == TMethod<bool(int)>(&a, &Receiver::Other)));
  EXPECT_FALSE(TMethod<bool(int)>().Assigned());
}

}  // namespace
