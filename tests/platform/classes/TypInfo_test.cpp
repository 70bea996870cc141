// The class registry: creation by name, property order and inheritance,
// generic access with range checks, defaults, events bound to published
// methods.
#include "platform/classes/TypInfo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

enum TMode { fnNone, fnNormalize, fnClip };
using TChannelMask = uint32_t;
using TLevelEvent = TMethod<void(TObject*, int, double)>;

class TFormat : public TPersistent {
  KESTRUNE_CLASS(TFormat, TPersistent)
  TFormat() = default;
  unsigned SampleRate = 11025;
};

class TGadget : public TComponent {
  KESTRUNE_CLASS(TGadget, TComponent)
  explicit TGadget(TComponent* owner) : TComponent(owner) { format_ = Create<TFormat>(); }
  ~TGadget() override { format_->Free(); }

  int32_t Count = 0;
  unsigned Size = 3;
  float Gain = 1;
  std::string Caption;
  TMode Mode = fnNone;
  TChannelMask Mask = 3;
  TGadget* Peer = nullptr;
  TLevelEvent OnLevel;
  int Coords[2] = {0, 0};
  TFormat* GetFormat() const { return format_; }
  int GetCoord(int index) const { return Coords[index]; }
  void SetCoord(int index, int value) { Coords[index] = value; }

 private:
  TFormat* format_;
};

class TFancyGadget : public TGadget {
  KESTRUNE_CLASS(TFancyGadget, TGadget)
  using TGadget::TGadget;
  bool Active = true;
};

// A root with published handlers.
class TPanel : public TComponent {
  KESTRUNE_CLASS(TPanel, TComponent)
  using TComponent::TComponent;
  void LevelChanged(TObject* sender, int channel, double value) {
    seen.push_back(static_cast<TComponent*>(sender)->Name() + ":" + std::to_string(channel) + ":" +
                   std::to_string(value));
  }
  void Clicked(TObject*) {}
  void Unpublished(TObject*, int, double) {}
  std::vector<std::string> seen;
};

void RegisterFixtures() {
  RegisterClass<TFormat>().Integer("SampleRate", &TFormat::SampleRate, &TFormat::SampleRate, 11025);
  RegisterClass<TGadget>()
      .Integer("Count", &TGadget::Count, &TGadget::Count)
      .Integer("Size", &TGadget::Size, &TGadget::Size, 3u)
      .Float("Gain", &TGadget::Gain, &TGadget::Gain, 1.0f)
      .String("Caption", &TGadget::Caption, &TGadget::Caption, "")
      .Enum("Mode", &TGadget::Mode, &TGadget::Mode, {"fnNone", "fnNormalize", "fnClip"}, fnNone)
      .Set("Mask", &TGadget::Mask, &TGadget::Mask, {"spLeft", "spRight", "spCenter"}, 3u)
      .Object("Format", &TGadget::GetFormat)
      .Component("Peer", &TGadget::Peer, &TGadget::Peer)
      .Event("OnLevel", &TGadget::OnLevel, &TGadget::OnLevel)
      .Integer("Left", Indexed(&TGadget::GetCoord, 0), Indexed(&TGadget::SetCoord, 0), 0)
      .Integer("Top", Indexed(&TGadget::GetCoord, 1), Indexed(&TGadget::SetCoord, 1), 0);
  // Re-declares Size with another default: it keeps its place.
  RegisterClass<TFancyGadget>()
      .Bool("Active", &TFancyGadget::Active, &TFancyGadget::Active, true)
      .Integer("Size", &TFancyGadget::Size, &TFancyGadget::Size, 8u);
  RegisterClass<TPanel>()
      .Method("LevelChanged", &TPanel::LevelChanged)
      .Method("Clicked", &TPanel::Clicked);
}

class Registry : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterFixtures(); }
  void SetUp() override {
    panel_ = Create<TPanel>(nullptr);
    panel_->SetName("Panel1");
  }
  void TearDown() override { panel_->Free(); }
  TPanel* panel_ = nullptr;
};

std::vector<std::string> Names(const std::vector<const TPropInfo*>& props) {
  std::vector<std::string> names;
  for (const TPropInfo* p : props)
    names.push_back(p->Name());
  return names;
}

TEST_F(Registry, CreatesRegisteredClassesByName) {
  TClass cls = FindClassByName("tfancygadget");
  ASSERT_EQ(cls, TFancyGadget::StaticClass());
  TPersistent* made = FindCreator(cls)(panel_);
  auto* gadget = dynamic_cast<TFancyGadget*>(made);
  ASSERT_NE(gadget, nullptr);
  EXPECT_EQ(gadget->Owner(), panel_);
  // A sub-object class without an owner argument is creatable too; an
  // unregistered one is not found.
  EXPECT_NE(FindCreator(TFormat::StaticClass()), nullptr);
  EXPECT_EQ(FindClassByName("TUnregistered"), nullptr);
}

TEST_F(Registry, KeepsOrderAncestorsFirstAndRedeclaredInPlace) {
  std::vector<std::string> expected = {"Count",  "Size", "Gain",    "Caption", "Mode", "Mask",
                                       "Format", "Peer", "OnLevel", "Left",    "Top"};
  EXPECT_EQ(Names(GetPropList(TGadget::StaticClass())), expected);
  expected.push_back("Active");
  EXPECT_EQ(Names(GetPropList(TFancyGadget::StaticClass())), expected);
  // The re-declared Size carries the descendant's default.
  EXPECT_EQ(*GetPropInfo(TFancyGadget::StaticClass(), "size")->Default(), TPropValue(int64_t{8}));
  EXPECT_EQ(*GetPropInfo(TGadget::StaticClass(), "Size")->Default(), TPropValue(int64_t{3}));
  EXPECT_EQ(GetPropInfo(TGadget::StaticClass(), "Active"), nullptr);

  // Registering again (a unit started twice) replaces, never duplicates.
  RegisterFixtures();
  EXPECT_EQ(Names(GetPropList(TFancyGadget::StaticClass())), expected);
}

TEST_F(Registry, GenericAccessChecksKindAndRange) {
  auto* g = Create<TGadget>(panel_);
  struct Row {
    const char* name;
    const char* prop;
    TPropValue value;
    bool accepted;
  };
  const Row rows[] = {
      {"int32 lowest", "Count", int64_t{std::numeric_limits<int32_t>::min()}, true},
      {"int32 overflow", "Count", int64_t{1} << 31, false},
      {"cardinal top", "Size", int64_t{4294967295}, true},
      {"cardinal negative", "Size", int64_t{-1}, false},
      {"integer from string", "Count", std::string("5"), false},
      {"single from integer", "Gain", int64_t{2}, true},
      {"single overflow", "Gain", 1e300, false},
      {"single infinity", "Gain", std::numeric_limits<double>::infinity(), true},
      {"enum last", "Mode", int64_t{2}, true},
      {"enum past end", "Mode", int64_t{3}, false},
      {"set all names", "Mask", int64_t{7}, true},
      {"set unnamed bit", "Mask", int64_t{8}, false},
      {"string", "Caption", std::string("x"), true},
      {"string from bool", "Caption", true, false},
      {"sub-object is read-only", "Format", static_cast<TPersistent*>(nullptr), false},
      {"reference of wrong class", "Peer", static_cast<TPersistent*>(panel_), false},
      {"reference", "Peer", static_cast<TPersistent*>(g), true},
      {"indexed", "Top", int64_t{7}, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.accepted) {
      SetPropValue(g, row.prop, row.value);
      TPropValue back = GetPropValue(g, row.prop);
      if (std::holds_alternative<int64_t>(row.value) && std::holds_alternative<double>(back)) {
        EXPECT_EQ(std::get<double>(back), static_cast<double>(std::get<int64_t>(row.value)));
      } else {
        EXPECT_EQ(back, row.value);
      }
    } else {
      TPropValue before = GetPropValue(g, row.prop);
      EXPECT_THROW(SetPropValue(g, row.prop, row.value), EPropertyError);
      EXPECT_EQ(GetPropValue(g, row.prop), before);
    }
  }
  EXPECT_EQ(g->Coords[1], 7);
  EXPECT_EQ(g->Coords[0], 0);
  EXPECT_THROW(GetPropValue(g, "Missing"), EPropertyError);
  EXPECT_EQ(GetObjectProp(g, "Format"), g->GetFormat());
  EXPECT_EQ(GetObjectProp(g, "Count"), nullptr);
}

TEST_F(Registry, DefaultsOnlyWhereDeclared) {
  auto* g = Create<TGadget>(panel_);
  auto isDefault = [&](const char* name) {
    return GetPropInfo(g->ClassType(), name)->IsDefault(g);
  };
  EXPECT_TRUE(isDefault("Size"));
  EXPECT_TRUE(isDefault("Mask"));
  EXPECT_TRUE(isDefault("Peer"));
  EXPECT_TRUE(isDefault("OnLevel"));
  // Count was registered without a default: always stored, even at 0.
  EXPECT_FALSE(isDefault("Count"));
  g->Size = 4;
  g->Peer = g;
  EXPECT_FALSE(isDefault("Size"));
  EXPECT_FALSE(isDefault("Peer"));
}

TEST_F(Registry, EventsBindToPublishedMethodsOfMatchingSignature) {
  auto* g = Create<TGadget>(panel_);
  g->SetName("Meter");
  const TPropInfo* event = GetPropInfo(g->ClassType(), "OnLevel");
  const TMethodInfo* handler = FindPublishedMethod(TPanel::StaticClass(), "levelchanged");
  ASSERT_NE(handler, nullptr);
  event->BindEvent(g, *handler, panel_);
  ASSERT_TRUE(g->OnLevel.Assigned());
  g->OnLevel(g, 1, 0.5);
  EXPECT_EQ(panel_->seen, std::vector<std::string>{"Meter:1:0.500000"});
  EXPECT_EQ(event->EventMethodName(g, panel_), "LevelChanged");

  // A method of another signature is refused and leaves the binding alone.
  const TMethodInfo* clicked = FindPublishedMethod(TPanel::StaticClass(), "Clicked");
  EXPECT_THROW(event->BindEvent(g, *clicked, panel_), EPropertyError);
  EXPECT_EQ(event->EventMethodName(g, panel_), "LevelChanged");

  // Bound to another object: not the root's, so nothing to store.
  TPanel* other = Create<TPanel>(nullptr);
  g->OnLevel = TLevelEvent(other, &TPanel::LevelChanged);
  EXPECT_EQ(event->EventMethodName(g, panel_), "");
  other->Free();
  // Bound to the root through a method nobody published: storing nothing
  // would lose it.
  g->OnLevel = TLevelEvent(panel_, &TPanel::Unpublished);
  EXPECT_THROW(event->EventMethodName(g, panel_), EPropertyError);
  // Cleared through the generic setter.
  SetPropValue(g, "OnLevel", std::monostate{});
  EXPECT_FALSE(g->OnLevel.Assigned());
}

}  // namespace
