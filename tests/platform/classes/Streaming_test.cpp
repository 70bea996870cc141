// Stored descriptions: round trips over every value kind, the reading
// protocol (creation order, deferred references and events, Loaded), the
// malformed inputs with the line each error names and nothing left built,
// and the writer's refusals.
#include "platform/classes/Streaming.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classes/TypInfo.h"

namespace {

int g_live_samples = 0;
int g_live_forms = 0;
std::vector<std::string> g_log;

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

void RegisterFixtures() {
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

class Streaming : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { RegisterFixtures(); }
  // Each test leaves as many fixture objects alive as it found, so that a
  // leak fails the test that made it.
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
// Round trips: each description is in the writer's own form, so reading it
// and writing the result must give the same text back.

struct RoundTripRow {
  const char* name;
  const char* text;
};

const RoundTripRow kRoundTrips[] = {
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

TEST_F(Streaming, RoundTripsEveryValueKind) {
  for (const RoundTripRow& row : kRoundTrips) {
    SCOPED_TRACE(row.name);
    TComponent* root = nullptr;
    try {
      root = CreateComponentFromText(row.text, nullptr);
    } catch (const Exception& e) {
      ADD_FAILURE() << e.Message();
      continue;
    }
    EXPECT_EQ(WriteComponentToText(root), row.text);
    root->Free();
  }
}

TEST_F(Streaming, ReadValuesReachTheObjects) {
  // Spot checks that the round trip is not two symmetric mistakes.
  TComponent* root = CreateComponentFromText(kRoundTrips[8].text, nullptr);
  auto* a = dynamic_cast<TSample*>(root->FindComponent("A"));
  auto* b = dynamic_cast<TSample*>(root->FindComponent("B"));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->Peer, b);
  EXPECT_EQ(b->Peer, root);
  auto* item = dynamic_cast<TSampleItem*>(a->GetItems()->Items(0));
  EXPECT_EQ(item->Target, b);
  ASSERT_TRUE(a->OnChange.Assigned());
  a->OnChange(a);
  EXPECT_EQ(g_log.back(), "changed A");
  root->Free();

  root = CreateComponentFromText(kRoundTrips[9].text, nullptr);
  auto* outer = dynamic_cast<TSample*>(root->FindComponent("Outer"));
  EXPECT_EQ(root->FindComponent("Inner")->GetParentComponent(), outer);
  EXPECT_EQ(root->FindComponent("Inner")->Owner(), root);
  EXPECT_EQ(root->FindComponent("Last")->GetParentComponent(), nullptr);
  root->Free();

  root = CreateComponentFromText(kRoundTrips[5].text, nullptr);
  auto* s1 = dynamic_cast<TSample*>(root->FindComponent("S1"));
  EXPECT_EQ(s1->GetFormat()->SampleRate, 44100u);
  ASSERT_EQ(s1->GetFormat()->Links.size(), 2u);
  EXPECT_EQ(s1->GetFormat()->Links[1].display, "Form1.S2.Pins.Pin [0]");
  root->Free();
}

TEST_F(Streaming, StoredItemsReplaceTheItemsACollectionStartsWith) {
  TComponent* root = CreateComponentFromText(R"(object Form1: TSampleForm
  object S1: TSeededSample
    Items = <
      item
        Name = "stored"
      end>
  end
  object S2: TSeededSample
    Items = <>
  end
end
)",
                                             nullptr);
  TOwnedCollection* items = dynamic_cast<TSample*>(root->FindComponent("S1"))->GetItems();
  ASSERT_EQ(items->Count(), 1);
  EXPECT_EQ(static_cast<TSampleItem*>(items->Items(0))->Name, "stored");
  EXPECT_EQ(dynamic_cast<TSample*>(root->FindComponent("S2"))->GetItems()->Count(), 0);
  root->Free();
}

TEST_F(Streaming, ValuesEqualToDefaultsAreNotWritten) {
  TComponent* root = CreateComponentFromText(R"(object Form1: TSampleForm
  object S1: TSample
    Size = 3
    Active = True
    Mask = [spLeft]
    Format.SampleRate = 11025
    Peer = nil
    OnChange = nil
  end
end
)",
                                             nullptr);
  EXPECT_EQ(WriteComponentToText(root), kRoundTrips[0].text);
  root->Free();
}

TEST_F(Streaming, SkipsValuesAndReadsWhatFollows) {
  TComponent* root = CreateComponentFromText(R"(object Form1: TSampleForm
  object S1: TSample
    Extra = ([a, b], 7, [], (x, [c]))
  end
end
)",
                                             nullptr);
  auto* s1 = dynamic_cast<TSample*>(root->FindComponent("S1"));
  ASSERT_EQ(s1->Extra.size(), 1u);
  const TAnyValue& list = s1->Extra[0];
  ASSERT_EQ(list.items.size(), 2u);
  EXPECT_EQ(list.items[0].integer, 7);
  ASSERT_EQ(list.items[1].items.size(), 1u);
  EXPECT_EQ(list.items[1].items[0].text, "x");
  root->Free();
}

// ---------------------------------------------------------------------------
// The reading protocol

TEST_F(Streaming, LoadsChildrenInOrderThenRootAfterResolvingReferences) {
  TComponent* root = CreateComponentFromText(R"(object Form1: TSampleForm
  object A: TSample
    Count = 1
    Peer = C
  end
  object B: TSample
  end
  object C: TSample
    Peer = A
  end
end
)",
                                             nullptr);
  // Forward references are in place before the first Loaded.
  EXPECT_EQ(g_log, (std::vector<std::string>{"loaded A peer C", "loaded B", "loaded C peer A",
                                             "loaded Form1"}));
  auto* a = dynamic_cast<TSample*>(root->Components(0));
  EXPECT_TRUE(a->loading_when_set_);
  for (int i = 0; i < root->ComponentCount(); ++i) {
    TComponentState state = root->Components(i)->ComponentState();
    EXPECT_FALSE(state.Contains(csLoading));
    EXPECT_FALSE(state.Contains(csReading));
  }
  EXPECT_FALSE(root->ComponentState().Contains(csLoading));
  root->Free();
}

TEST_F(Streaming, ReadsIntoAnExistingRoot) {
  TSampleForm* form = Create<TSampleForm>(nullptr);
  ReadComponentFromText(form, "object fmMain: TSampleForm\n  object A: TSample\n  end\nend\n");
  EXPECT_EQ(form->Name(), "fmMain");  // an unnamed root takes the stored name
  EXPECT_EQ(form->ComponentCount(), 1);
  EXPECT_EQ(g_log.back(), "loaded fmMain");
  form->Free();

  // A named root keeps its name; references through the stored name still
  // reach it.
  form = Create<TSampleForm>(nullptr);
  form->SetName("fmMain_1");
  ReadComponentFromText(form,
                        "object fmMain: TSampleForm\n  object A: TSample\n    Peer = fmMain\n"
                        "  end\nend\n");
  EXPECT_EQ(form->Name(), "fmMain_1");
  EXPECT_EQ(dynamic_cast<TSample*>(form->Components(0))->Peer, form);
  form->Free();

  // The description of another class does not fit.
  form = Create<TSampleForm>(nullptr);
  try {
    ReadComponentFromText(form, "object X: TSample\nend\n");
    ADD_FAILURE() << "read a TSample description into a TSampleForm";
  } catch (const EDescriptionError& e) {
    EXPECT_EQ(e.Line(), 1);
    EXPECT_EQ(e.Text(), "TSample");
  }
  EXPECT_FALSE(form->ComponentState().Contains(csLoading));
  form->Free();
}

TEST_F(Streaming, ReadsRegisteredDescriptionsByClassName) {
  TSampleForm* form = Create<TSampleForm>(nullptr);
  EXPECT_FALSE(HasComponentDescription("TSampleForm"));
  EXPECT_FALSE(ReadComponentDescription(form));
  RegisterComponentDescription("TSampleForm",
                               "object fmMain: TSampleForm\n  object A: TSample\n  end\nend\n");
  EXPECT_TRUE(HasComponentDescription("tsampleform"));
  EXPECT_TRUE(ReadComponentDescription(form));
  EXPECT_EQ(form->ComponentCount(), 1);
  form->Free();
}

TEST_F(Streaming, ResolvesReferencesIntoAnotherRoot) {
  TComponent* app = Create<TComponent>(nullptr);
  TComponent* form1 = CreateComponentFromText(
      "object Form1: TSampleForm\n  object A: TSample\n    Items = <>\n  end\nend\n", app);
  const char* text2 = R"(object Form2: TSampleForm
  object B: TSample
    Count = 0
    Peer = Form1.A
    Items = <>
  end
end
)";
  TComponent* form2 = CreateComponentFromText(text2, app);
  EXPECT_EQ(dynamic_cast<TSample*>(form2->FindComponent("B"))->Peer, form1->FindComponent("A"));
  EXPECT_EQ(WriteComponentToText(form2), text2);
  app->Free();
}

// ---------------------------------------------------------------------------
// Malformed descriptions: the error names the line and the offending text,
// and nothing the read built is left.

struct MalformedRow {
  const char* name;
  const char* text;
  int line;
  const char* message;  // a part of the message
  const char* offending;
};

const MalformedRow kMalformed[] = {
    {"empty text", "", 1, "Fin de description inattendue", ""},
    {"unterminated string",
     "object F: TSampleForm\n  object A: TSample\n    Caption = \"open\n  end\nend\n", 3,
     "Chaîne non terminée", "\"open"},
    {"bad escape", "object F: TSampleForm\n  object A: TSample\n    Caption = \"a\\q\"\n", 3,
     "Séquence d'échappement incorrecte", "\\q"},
    {"stray character", "object F: TSampleForm\n  object A: TSample\n    Count = #\n", 3,
     "Caractère incorrect", "#"},
    {"missing equals sign", "object F: TSampleForm\n  object A: TSample\n    Count 5\n", 3,
     "« = » attendu", "5"},
    {"number glued to a name", "object F: TSampleForm\n  object A: TSample\n    Count = 12abc\n", 3,
     "Nombre incorrect", "12abc"},
    {"integer beyond 64 bits",
     "object F: TSampleForm\n  object A: TSample\n    Big = 9223372036854775808\n  end\nend\n", 3,
     "Nombre incorrect", "9223372036854775808"},
    {"trailing comma in a list",
     "object F: TSampleForm\n  object A: TSample\n    Extra = (1,\n      )\n  end\nend\n", 4,
     "Valeur attendue", ")"},
    {"missing end", "object F: TSampleForm\n  object A: TSample\n  end\n", 3,
     "Fin de description inattendue", ""},
    {"text after the root", "object F: TSampleForm\nend\nobject G: TSampleForm\nend\n", 3,
     "Texte inattendu", "object"},
    {"unknown class",
     "object F: TSampleForm\n  object A: TSample\n  end\n  object B: TNope\n  end\nend\n", 4,
     "Classe TNope non trouvée", "TNope"},
    {"class that is no component", "object F: TSampleForm\n  object A: TSampleItem\n  end\nend\n",
     2, "Classe TSampleItem non trouvée", "TSampleItem"},
    {"unknown property",
     "object F: TSampleForm\n  object A: TSample\n  end\n  object B: TSample\n    Nope = 1\n  "
     "end\nend\n",
     5, "Propriété Nope inexistante", "Nope"},
    {"unknown sub-object property",
     "object F: TSampleForm\n  object A: TSample\n    Format.Nope = 1\n  end\nend\n", 3,
     "Propriété Format.Nope inexistante", "Format.Nope"},
    {"dotted name through a plain property",
     "object F: TSampleForm\n  object A: TSample\n    Count.X = 1\n  end\nend\n", 3,
     "Propriété Count.X inexistante", "Count.X"},
    {"string for an integer",
     "object F: TSampleForm\n  object A: TSample\n    Count = \"x\"\n  end\nend\n", 3,
     "Valeur de propriété incorrecte", "\"x\""},
    {"float for an integer",
     "object F: TSampleForm\n  object A: TSample\n    Count = 1.5\n  end\nend\n", 3,
     "Valeur de propriété incorrecte", "1.5"},
    {"nil for an integer",
     "object F: TSampleForm\n  object A: TSample\n    Count = nil\n  end\nend\n", 3,
     "Valeur de propriété incorrecte", "nil"},
    {"negative cardinal", "object F: TSampleForm\n  object A: TSample\n    Size = -1\n  end\nend\n",
     3, "Valeur de propriété incorrecte", "-1"},
    {"unknown enumeration name",
     "object F: TSampleForm\n  object A: TSample\n    Mode = fnBogus\n  end\nend\n", 3,
     "Valeur de propriété incorrecte", "fnBogus"},
    {"unknown set element",
     "object F: TSampleForm\n  object A: TSample\n    Mask = [spLeft, spBogus]\n  end\nend\n", 3,
     "Valeur de propriété incorrecte", "[spLeft, spBogus]"},
    {"collection for a plain property",
     "object F: TSampleForm\n  object A: TSample\n    Count = <>\n  end\nend\n", 3,
     "Valeur de propriété incorrecte", "<>"},
    {"plain value for a collection",
     "object F: TSampleForm\n  object A: TSample\n    Items = 5\n  end\nend\n", 3,
     "Valeur de propriété incorrecte", "5"},
    {"unknown property in a collection item",
     "object F: TSampleForm\n  object A: TSample\n    Items = <\n      item\n        Nope = 1\n"
     "      end>\n  end\nend\n",
     5, "Propriété Nope inexistante", "Nope"},
    {"collection given twice",
     "object F: TSampleForm\n  object A: TSample\n    Items = <>\n    Items = <>\n  end\nend\n", 4,
     "Propriété Items lue deux fois", "Items"},
    {"setter refuses the value",
     "object F: TSampleForm\n  object A: TSample\n    Count = 13\n  end\nend\n", 3,
     "Valeur 13 refusée", "13"},
    {"duplicate component name",
     "object F: TSampleForm\n  object A: TSample\n  end\n  object a: TSample\n  end\nend\n", 4,
     "Un composant nommé a existe déjà", "a"},
    {"unresolved reference",
     "object F: TSampleForm\n  object A: TSample\n    Peer = Ghost\n  end\nend\n", 3,
     "Composant Ghost non trouvé", "Ghost"},
    {"reference of the wrong class",
     "object F: TSampleForm\n  object A: TSample\n    Items = <\n      item\n        Target = F\n"
     "      end>\n  end\nend\n",
     5, "Valeur de propriété incorrecte", "F"},
    {"unknown method",
     "object F: TSampleForm\n  object A: TSample\n    OnChange = Nope\n  end\nend\n", 3,
     "Méthode Nope non trouvée", "Nope"},
    {"method of another signature",
     "object F: TSampleForm\n  object A: TSample\n    OnChange = OtherSignature\n  end\nend\n", 3,
     "ne convient pas à l'événement OnChange", "OtherSignature"},
    {"defined property handler leaves part of the value",
     "object F: TSampleForm\n  object A: TSample\n    Pair = (1, 2,\n      3)\n  end\nend\n", 4,
     "Valeur de propriété incorrecte", "3"},
    {"defined property handler reads past the value",
     "object F: TSampleForm\n  object A: TSample\n    Pair = (1\n      )\n  end\nend\n", 4,
     "Valeur de propriété incorrecte", ")"},
    {"defined property of the wrong kind",
     "object F: TSampleForm\n  object A: TSample\n    Format.Links = 5\n  end\nend\n", 3,
     "Valeur de propriété incorrecte", "5"},
    {"defined property with a bad item on a later line",
     "object F: TSampleForm\n  object A: TSample\n    Format.Links = (a,\n      \"x\")\n  "
     "end\nend\n",
     4, "Valeur de propriété incorrecte", "\"x\""},
};

TEST_F(Streaming, MalformedDescriptionsNameTheLineAndLeaveNothingBuilt) {
  for (const MalformedRow& row : kMalformed) {
    SCOPED_TRACE(row.name);
    // Into an existing root that already holds a component.
    TSampleForm* form = Create<TSampleForm>(nullptr);
    TSample* keep = Create<TSample>(form);
    keep->SetName("Keep");
    try {
      ReadComponentFromText(form, row.text);
      ADD_FAILURE() << "no error";
    } catch (const EDescriptionError& e) {
      EXPECT_EQ(e.Line(), row.line) << e.Message();
      EXPECT_NE(e.Message().find(row.message), std::string::npos) << e.Message();
      EXPECT_NE(
          e.Message().find("(ligne " + std::to_string(row.line) + " : « " + row.offending + " »)"),
          std::string::npos)
          << e.Message();
    }
    EXPECT_EQ(form->ComponentCount(), 1);
    EXPECT_EQ(g_live_samples, samples_before_ + 1);
    EXPECT_FALSE(form->ComponentState().Contains(csLoading));
    form->Free();

    // Into a fresh root: nothing at all is left.
    EXPECT_THROW(CreateComponentFromText(row.text, nullptr), EDescriptionError);
    EXPECT_EQ(g_live_samples, samples_before_);
    EXPECT_EQ(g_live_forms, forms_before_);
  }
}

TEST_F(Streaming, RejectsHostileNesting) {
  std::string deep = "object F: TSampleForm\n  object A: TSample\n    Extra = ";
  deep += std::string(5000, '(') + std::string(5000, ')') + "\n  end\nend\n";
  try {
    CreateComponentFromText(deep, nullptr);
    ADD_FAILURE() << "no error";
  } catch (const EDescriptionError& e) {
    EXPECT_EQ(e.Line(), 3);
    EXPECT_NE(e.Message().find("Imbrication trop profonde"), std::string::npos);
  }
}

TEST_F(Streaming, FailureInLoadedFreesEverythingTheReadBuilt) {
  TSampleForm* form = Create<TSampleForm>(nullptr);
  EXPECT_THROW(ReadComponentFromText(form,
                                     "object F: TSampleForm\n  object A: TSample\n  end\n"
                                     "  object B: TSample\n    Caption = \"fail in Loaded\"\n"
                                     "  end\nend\n"),
               EInvalidOperation);
  EXPECT_EQ(form->ComponentCount(), 0);
  EXPECT_EQ(g_live_samples, samples_before_);
  form->Free();
}

// ---------------------------------------------------------------------------
// What the writer refuses

TEST_F(Streaming, WriterRefusesWhatCannotBeReadBack) {
  struct Row {
    const char* name;
    void (*spoil)(TSampleForm* form, TSample* sample, TSample* orphan);
  };
  const Row rows[] = {
      {"unnamed component", [](TSampleForm* form, TSample*, TSample*) { Create<TSample>(form); }},
      {"event bound to an unpublished method of the root",
       [](TSampleForm* form, TSample* s, TSample*) {
         s->OnChange = TMethod<void(TObject*)>(form, &TSampleForm::Unpublished);
       }},
      {"reference to a component outside any root",
       [](TSampleForm*, TSample* s, TSample* orphan) { s->Peer = orphan; }},
      {"two values for one defined property",
       [](TSampleForm*, TSample* s, TSample*) { s->BrokenWriter = true; }},
      {"identifier that is not one",
       [](TSampleForm*, TSample* s, TSample*) {
         s->GetFormat()->Links.push_back({"not an ident", ""});
       }},
      {"reference to a root named like a keyword",
       [](TSampleForm* form, TSample* s, TSample*) {
         form->SetName("True");
         s->Peer = form;
       }},
      {"event bound to a method named like a keyword",
       [](TSampleForm* form, TSample* s, TSample*) {
         s->OnChange = TMethod<void(TObject*)>(form, &TSampleForm::KeywordNamed);
       }},
      {"enumeration value named like a keyword",
       [](TSampleForm* form, TSample*, TSample*) {
         auto* e = Create<TKeywordEnumSample>(form);
         e->SetName("E1");
         e->State = 1;
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TSampleForm* form = Create<TSampleForm>(nullptr);
    form->SetName("Form1");
    TSample* sample = Create<TSample>(form);
    sample->SetName("S1");
    TSample* orphan = Create<TSample>(nullptr);  // named, but in no root
    orphan->SetName("Orphan");
    row.spoil(form, sample, orphan);
    EXPECT_THROW(WriteComponentToText(form), EWriteError);
    form->Free();
    orphan->Free();
  }
}

// ---------------------------------------------------------------------------
// Components whose names read as keywords

// A reference to a component named True, False or nil (in any case) reads
// back as a reference to that component, from a property and from a
// collection item, also under a root so named.
TEST_F(Streaming, ReferencesToKeywordNamedComponentsReadBack) {
  struct Row {
    const char* rootName;
    const char* targetName;
  };
  const Row rows[] = {{"Form1", "nil"},  {"Form1", "True"},  {"Form1", "False"}, {"Form1", "NIL"},
                      {"Form1", "true"}, {"Form1", "fAlSe"}, {"nil", "True"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.rootName) + " / " + row.targetName);
    TSampleForm* form = Create<TSampleForm>(nullptr);
    form->SetName(row.rootName);
    TSample* source = Create<TSample>(form);
    source->SetName("S1");
    TSample* target = Create<TSample>(form);
    target->SetName(row.targetName);
    source->Peer = target;
    static_cast<TSampleItem*>(source->GetItems()->Add())->Target = target;
    const std::string text = WriteComponentToText(form);
    form->Free();

    TComponent* read = nullptr;
    try {
      read = CreateComponentFromText(text, nullptr);
    } catch (const Exception& e) {
      ADD_FAILURE() << e.Message() << "\n" << text;
      continue;
    }
    auto* readSource = dynamic_cast<TSample*>(read->FindComponent("S1"));
    TComponent* readTarget = read->FindComponent(row.targetName);
    ASSERT_NE(readSource, nullptr);
    ASSERT_NE(readTarget, nullptr);
    EXPECT_EQ(readTarget->Name(), row.targetName);
    EXPECT_EQ(readSource->Peer, readTarget) << text;
    ASSERT_EQ(readSource->GetItems()->Count(), 1);
    EXPECT_EQ(static_cast<TSampleItem*>(readSource->GetItems()->Items(0))->Target, readTarget);
    EXPECT_EQ(WriteComponentToText(read), text);
    read->Free();
  }
}

// ---------------------------------------------------------------------------
// How messages show the offending text: at most 60 bytes, cut between
// characters with "..." after the cut; control characters and bytes that are
// not UTF-8 as \xHH; the unknown root class like every other.

struct ShownTextRow {
  const char* name;
  std::string text;   // the description
  std::string shown;  // the offending text as the error shows it
};

std::string InCount(const std::string& value) {
  return "object F: TSampleForm\n  object A: TSample\n    Count = " + value + "\n  end\nend\n";
}

const ShownTextRow kShownTexts[] = {
    {"two-byte character across the cut is left out",
     InCount("\"" + std::string(58, 'a') + "\xC3\xA9" + std::string(10, 'b') + "\""),
     "\"" + std::string(58, 'a') + "..."},
    {"three-byte character ending at the cut is kept",
     InCount("\"" + std::string(56, 'a') + "\xE2\x82\xAC" + std::string(5, 'b') + "\""),
     "\"" + std::string(56, 'a') + "\xE2\x82\xAC..."},
    {"four-byte character across the cut is left out",
     InCount("\"" + std::string(57, 'a') + "\xF0\x9F\x8E\xB5" + std::string(5, 'b') + "\""),
     "\"" + std::string(57, 'a') + "..."},
    {"sixty bytes are not cut", InCount("\"" + std::string(58, 'a') + "\""),
     "\"" + std::string(58, 'a') + "\""},
    {"valid UTF-8 is shown as it is", InCount("\"d\xC3\xA9j\xC3\xA0\""), "\"d\xC3\xA9j\xC3\xA0\""},
    {"bytes that are not UTF-8 are escaped",
     InCount("\"\xFF\x80\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xE2\x82\""),
     "\"\\xFF\\x80\\xC0\\xAF\\xED\\xA0\\x80\\xF4\\x90\\x80\\x80\\xE2\\x82\""},
    {"escaped bytes count as one byte each at the cut",
     InCount("\"" + std::string(56, 'a') + "\xFF\xFF\xFF" + "b\""),
     "\"" + std::string(56, 'a') + "\\xFF\\xFF\\xFF..."},
    {"stray character outside a string, whole", InCount("\xC3\xA9"), "\xC3\xA9"},
    {"stray byte outside a string", InCount("\xFF"), "\\xFF"},
    {"control character in a string", InCount("\"a\x01\""), "\\x01"},
    {"unknown root class", "object F: T" + std::string(100, 'x') + "\nend\n",
     "T" + std::string(59, 'x') + "..."},
    {"unknown child class",
     "object F: TSampleForm\n  object A: T" + std::string(100, 'x') + "\n  end\nend\n",
     "T" + std::string(59, 'x') + "..."},
};

TEST_F(Streaming, MessagesShowOffendingTextCutOnCharactersAndEscaped) {
  for (const ShownTextRow& row : kShownTexts) {
    SCOPED_TRACE(row.name);
    try {
      CreateComponentFromText(row.text, nullptr);
      ADD_FAILURE() << "no error";
    } catch (const EDescriptionError& e) {
      EXPECT_EQ(e.Text(), row.shown);
      EXPECT_NE(e.Message().find("« " + row.shown + " »)"), std::string::npos) << e.Message();
      // Names in the message are cut the same way: no more than the cut
      // text of any input run.
      EXPECT_EQ(e.Message().find(std::string(61, 'x')), std::string::npos) << e.Message();
    }
    EXPECT_EQ(g_live_samples, samples_before_);
    EXPECT_EQ(g_live_forms, forms_before_);
  }
}

}  // namespace
