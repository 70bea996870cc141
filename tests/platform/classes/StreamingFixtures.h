// The components the stored-description tests read and write: a sample
// component with a published property of every kind, a sub-object with a
// defined list of links, a collection, a form whose methods events bind to,
// a fixture that checks each test frees what it built, and descriptions in
// the writer's own form that the reader and writer tests share.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/classes/Streaming.h"
#include "platform/classes/TypInfo.h"

namespace streamingtest {

inline int g_live_samples = 0;
inline int g_live_forms = 0;
inline std::vector<std::string> g_log;

// A sub-object that stores a list of links the way pins do: identifiers, or
// (identifier, display string) pairs.
class TSampleFormat : public TPersistent {
  KESTRUNE_CLASS(TSampleFormat, TPersistent)
  TSampleFormat() = default;

  struct Link {
    std::string ident;
    std::string display;
  };
  unsigned SampleRate = 11025;
  std::vector<Link> Links;

  void DefineProperties(TFiler* filer) override {
    inherited::DefineProperties(filer);
    filer->DefineProperty("Links", TMethod<void(TReader*)>(this, &TSampleFormat::ReadLinks),
                          TMethod<void(TWriter*)>(this, &TSampleFormat::WriteLinks),
                          !Links.empty());
  }

 private:
  void ReadLinks(TReader* reader) {
    reader->ReadListBegin();
    while (!reader->EndOfList()) {
      Link link;
      if (reader->NextValue() == TValueKind::List) {
        reader->ReadListBegin();
        link.ident = reader->ReadIdent();
        link.display = reader->ReadString();
        reader->ReadListEnd();
      } else {
        link.ident = reader->ReadIdent();
      }
      Links.push_back(link);
    }
    reader->ReadListEnd();
  }
  void WriteLinks(TWriter* writer) {
    writer->WriteListBegin();
    for (const Link& link : Links) {
      if (link.display.empty()) {
        writer->WriteIdent(link.ident);
      } else {
        writer->WriteListBegin();
        writer->WriteIdent(link.ident);
        writer->WriteString(link.display);
        writer->WriteListEnd();
      }
    }
    writer->WriteListEnd();
  }
};

class TSample;

class TSampleItem : public TCollectionItem {
  KESTRUNE_CLASS(TSampleItem, TCollectionItem)
  explicit TSampleItem(TCollection* collection) : TCollectionItem(collection) {}
  std::string Name;
  int Value = 0;
  TSample* Target = nullptr;
};

// Any value a DefineProperties handler can meet, kept to be written back.
struct TAnyValue {
  TValueKind kind = TValueKind::None;
  int64_t integer = 0;
  double real = 0;
  std::string text;
  std::vector<TAnyValue> items;
};

class TSample : public TComponent {
  KESTRUNE_CLASS(TSample, TComponent)
  explicit TSample(TComponent* owner) : TComponent(owner) {
    ++g_live_samples;
    format_ = Create<TSampleFormat>();
    items_ = Create<TOwnedCollection>(this, TSampleItem::StaticClass());
  }
  ~TSample() override {
    --g_live_samples;
    items_->Free();
    format_->Free();
  }

  int32_t GetCount() const { return count_; }
  void SetCount(int32_t value) {
    if (value == 13)
      throw EConvertError("Valeur 13 refusée");
    count_ = value;
    loading_when_set_ = ComponentState().Contains(csLoading);
  }
  int64_t Big = 0;
  unsigned Size = 3;
  float Gain = 1;
  double Ratio = 0;
  std::string Caption;
  bool Active = true;
  int Mode = 0;
  uint32_t Mask = 1;
  TComponent* Peer = nullptr;
  TMethod<void(TObject*)> OnChange;
  int Coords[2] = {0, 0};
  std::vector<TAnyValue> Extra;
  bool BrokenWriter = false;
  bool loading_when_set_ = false;

  TSampleFormat* GetFormat() const { return format_; }
  TOwnedCollection* GetItems() const { return items_; }
  int GetCoord(int index) const { return Coords[index]; }
  void SetCoord(int index, int value) { Coords[index] = value; }

  TComponent* GetParentComponent() const override { return parent_; }
  void SetParentComponent(TComponent* parent) override { parent_ = parent; }

  void Loaded() override {
    inherited::Loaded();
    g_log.push_back("loaded " + Name() + (Peer != nullptr ? " peer " + Peer->Name() : ""));
    if (Caption == "fail in Loaded")
      throw EInvalidOperation("Loaded refusé");
  }

  void DefineProperties(TFiler* filer) override {
    inherited::DefineProperties(filer);
    filer->DefineProperty("Extra", TMethod<void(TReader*)>(this, &TSample::ReadExtra),
                          TMethod<void(TWriter*)>(this, &TSample::WriteExtra), !Extra.empty());
    filer->DefineProperty("Broken", nullptr, TMethod<void(TWriter*)>(this, &TSample::WriteBroken),
                          BrokenWriter);
    filer->DefineProperty("Pair", TMethod<void(TReader*)>(this, &TSample::ReadPair), nullptr,
                          false);
  }

 private:
  // Reads a list of anything; sets are skipped.
  TAnyValue ReadAny(TReader* r) {
    TAnyValue v;
    v.kind = r->NextValue();
    switch (v.kind) {
      case TValueKind::Integer:
        v.integer = r->ReadInteger();
        break;
      case TValueKind::Float:
        v.real = r->ReadFloat();
        break;
      case TValueKind::String:
        v.text = r->ReadString();
        break;
      case TValueKind::True:
      case TValueKind::False:
        v.integer = r->ReadBoolean();
        break;
      case TValueKind::List:
        r->ReadListBegin();
        while (!r->EndOfList()) {
          if (r->NextValue() == TValueKind::Set) {
            r->SkipValue();
            continue;
          }
          v.items.push_back(ReadAny(r));
        }
        r->ReadListEnd();
        break;
      default:  // identifiers and nil
        v.text = r->ReadIdent();
    }
    return v;
  }
  void WriteAny(TWriter* w, const TAnyValue& v) {
    switch (v.kind) {
      case TValueKind::Integer:
        w->WriteInteger(v.integer);
        break;
      case TValueKind::Float:
        w->WriteFloat(v.real);
        break;
      case TValueKind::String:
        w->WriteString(v.text);
        break;
      case TValueKind::True:
      case TValueKind::False:
        w->WriteBoolean(v.integer != 0);
        break;
      case TValueKind::List:
        w->WriteListBegin();
        for (const TAnyValue& item : v.items)
          WriteAny(w, item);
        w->WriteListEnd();
        break;
      default:
        w->WriteIdent(v.text);
    }
  }
  void ReadExtra(TReader* r) { Extra = {ReadAny(r)}; }
  void WriteExtra(TWriter* w) { WriteAny(w, Extra[0]); }
  // Expects a list of exactly two integers and does not close it: the
  // reader must notice both a shorter and a longer list.
  void ReadPair(TReader* r) {
    r->ReadListBegin();
    r->ReadInteger();
    r->ReadInteger();
  }
  // Writes two values for one property.
  void WriteBroken(TWriter* w) {
    w->WriteInteger(1);
    w->WriteInteger(2);
  }

  int32_t count_ = 0;
  TSampleFormat* format_;
  TOwnedCollection* items_;
  TComponent* parent_ = nullptr;
};

// Starts with one item, as a scope starts with one channel.
class TSeededSample : public TSample {
  KESTRUNE_CLASS(TSeededSample, TSample)
  explicit TSeededSample(TComponent* owner) : TSample(owner) {
    static_cast<TSampleItem*>(GetItems()->Add())->Name = "seed";
  }
};

class TSampleForm : public TComponent {
  KESTRUNE_CLASS(TSampleForm, TComponent)
  explicit TSampleForm(TComponent* owner) : TComponent(owner) { ++g_live_forms; }
  ~TSampleForm() override { --g_live_forms; }
  void SampleChanged(TObject* sender) {
    g_log.push_back("changed " + static_cast<TComponent*>(sender)->Name());
  }
  void OtherSignature(TObject*, int) {}
  void Unpublished(TObject*) {}
  void KeywordNamed(TObject*) {}
  void Loaded() override {
    inherited::Loaded();
    g_log.push_back("loaded " + Name());
  }
};

// An enumeration one of whose names reads as a keyword.
class TKeywordEnumSample : public TComponent {
  KESTRUNE_CLASS(TKeywordEnumSample, TComponent)
  explicit TKeywordEnumSample(TComponent* owner) : TComponent(owner) {}
  int State = 0;
};

inline void RegisterFixtures() {
  RegisterStandardClasses();
  RegisterClass<TSampleFormat>().Integer("SampleRate", &TSampleFormat::SampleRate,
                                         &TSampleFormat::SampleRate, 11025u);
  RegisterClass<TSampleItem>()
      .String("Name", &TSampleItem::Name, &TSampleItem::Name, "")
      .Integer("Value", &TSampleItem::Value, &TSampleItem::Value, 0)
      .Component("Target", &TSampleItem::Target, &TSampleItem::Target);
  RegisterClass<TSample>()
      .Integer("Count", &TSample::GetCount, &TSample::SetCount)
      .Integer("Big", &TSample::Big, &TSample::Big, int64_t{0})
      .Integer("Size", &TSample::Size, &TSample::Size, 3u)
      .Float("Gain", &TSample::Gain, &TSample::Gain, 1.0f)
      .Double("Ratio", &TSample::Ratio, &TSample::Ratio, 0.0)
      .String("Caption", &TSample::Caption, &TSample::Caption, "")
      .Bool("Active", &TSample::Active, &TSample::Active, true)
      .Enum("Mode", &TSample::Mode, &TSample::Mode, {"fnNone", "fnNormalize", "fnClip"}, 0)
      .Set("Mask", &TSample::Mask, &TSample::Mask, {"spLeft", "spRight", "spCenter"}, 1u)
      .Object("Format", &TSample::GetFormat)
      .Component("Peer", &TSample::Peer, &TSample::Peer)
      .Event("OnChange", &TSample::OnChange, &TSample::OnChange)
      .Collection("Items", &TSample::GetItems)
      .Integer("Left", Indexed(&TSample::GetCoord, 0), Indexed(&TSample::SetCoord, 0), 0)
      .Integer("Top", Indexed(&TSample::GetCoord, 1), Indexed(&TSample::SetCoord, 1), 0);
  RegisterClass<TSeededSample>();
  RegisterClass<TSampleForm>()
      .Method("SampleChanged", &TSampleForm::SampleChanged)
      .Method("OtherSignature", &TSampleForm::OtherSignature)
      .Method("nil", &TSampleForm::KeywordNamed);
  RegisterClass<TKeywordEnumSample>().Enum("State", &TKeywordEnumSample::State,
                                           &TKeywordEnumSample::State, {"stOff", "True"}, 0);
}

// Registers the fixture classes before the suite runs; each test leaves as
// many fixture objects alive as it found, so that a leak fails the test that
// made it.
class StreamingFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterFixtures(); }
  void SetUp() override {
    g_log.clear();
    samples_before_ = g_live_samples;
    forms_before_ = g_live_forms;
  }
  void TearDown() override {
    EXPECT_EQ(g_live_samples, samples_before_);
    EXPECT_EQ(g_live_forms, forms_before_);
  }
  int samples_before_ = 0;
  int forms_before_ = 0;
};

// ---------------------------------------------------------------------------
// Descriptions in the writer's own form: reading one and writing the result
// must give the same text back.

struct RoundTripRow {
  const char* name;
  const char* text;
};

inline const RoundTripRow kRoundTrips[] = {
    {"fresh component: defaults not stored, no-default property always stored",
     R"(object Form1: TSampleForm
  object S1: TSample
    Count = 0
    Items = <>
  end
end
)"},
    {"integers at their limits",
     R"(object Form1: TSampleForm
  object S1: TSample
    Count = -2147483648
    Big = -9223372036854775808
    Size = 4294967295
    Items = <>
  end
  object S2: TSample
    Count = 2147483647
    Big = 9223372036854775807
    Items = <>
  end
end
)"},
    {"floats: shortest forms, exponents, a point kept on integral values, specials",
     R"(object Form1: TSampleForm
  object S1: TSample
    Count = 0
    Gain = 0.1
    Ratio = 1.2345678901234568E+17
    Items = <>
  end
  object S2: TSample
    Count = 0
    Gain = -INF
    Ratio = 3.0
    Items = <>
  end
  object S3: TSample
    Count = 0
    Gain = 1E-5
    Ratio = NAN
    Items = <>
  end
end
)"},
    {"string escapes and UTF-8",
     R"(object Form1: TSampleForm
  object S1: TSample
    Count = 0
    Caption = "say \"hi\" \\ \n\r\t\x01\x7F déjà"
    Items = <>
  end
end
)"},
    {"boolean, enumeration, sets (empty set differs from the default)",
     R"(object Form1: TSampleForm
  object S1: TSample
    Count = 0
    Active = False
    Mode = fnClip
    Mask = [spLeft, spCenter]
    Items = <>
  end
  object S2: TSample
    Count = 0
    Mask = []
    Items = <>
  end
end
)"},
    {"dotted sub-object property and its defined list of links",
     R"(object Form1: TSampleForm
  object S1: TSample
    Count = 0
    Format.SampleRate = 44100
    Format.Links = (Form1.S2.OutputPin, (Form1.S2.Pins._Pin0, "Form1.S2.Pins.Pin [0]"))
    Items = <>
  end
end
)"},
    {"every reader call in one defined property, nested lists",
     R"(object Form1: TSampleForm
  object S1: TSample
    Count = 0
    Items = <>
    Extra = (1, -2.5, True, False, "s", nil, Ident.With.Dots, (2, (3.0)), ())
  end
end
)"},
    {"indexed properties sharing accessors, after the inherited Tag",
     R"(object Form1: TSampleForm
  object S1: TSample
    Tag = 2
    Count = 0
    Items = <>
    Left = 5
    Top = -6
  end
end
)"},
    {"references forward and backward, to the root, from collection items, and events",
     R"(object Form1: TSampleForm
  object A: TSample
    Count = 0
    Peer = B
    OnChange = SampleChanged
    Items = <
      item
        Name = "first"
        Value = 1
        Target = B
      end
      item
        Name = "second"
      end>
  end
  object B: TSample
    Count = 0
    Peer = Form1
    Items = <>
  end
end
)"},
    {"nested blocks give parent components",
     R"(object Form1: TSampleForm
  object Outer: TSample
    Count = 0
    Items = <>
    object Inner: TSample
      Count = 1
      Items = <>
    end
  end
  object Last: TSample
    Count = 2
    Items = <>
  end
end
)"},
};

}  // namespace streamingtest
