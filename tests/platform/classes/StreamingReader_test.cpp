// Reading stored descriptions: the values a read gives the objects, the
// reading protocol (creation order, deferred references and events, Loaded,
// existing roots, registered descriptions), and the malformed inputs with the
// line each error names and nothing left built.
#include "platform/classes/Streaming.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/platform/classes/StreamingFixtures.h"

namespace {

using namespace streamingtest;

class StreamingReader : public StreamingFixture {};

// ---------------------------------------------------------------------------
// What a read gives the objects

TEST_F(StreamingReader, ReadValuesReachTheObjects) {
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

TEST_F(StreamingReader, StoredItemsReplaceTheItemsACollectionStartsWith) {
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

TEST_F(StreamingReader, SkipsValuesAndReadsWhatFollows) {
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

TEST_F(StreamingReader, LoadsChildrenInOrderThenRootAfterResolvingReferences) {
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

TEST_F(StreamingReader, ReadsIntoAnExistingRoot) {
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

TEST_F(StreamingReader, ReadsRegisteredDescriptionsByClassName) {
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

// Components that read the description registered for their class once
// made, as a form does; `g_live_described` counts them.
int g_live_described = 0;

class TSelfDescribed : public TComponent {
  KESTRUNE_CLASS(TSelfDescribed, TComponent)
  explicit TSelfDescribed(TComponent* owner) : TComponent(owner) { ++g_live_described; }
  ~TSelfDescribed() override { --g_live_described; }
  void AfterConstruction() override {
    inherited::AfterConstruction();
    ReadComponentDescription(this);
  }
};

#define SELF_DESCRIBED(Name)                                    \
  class Name : public TSelfDescribed {                          \
    KESTRUNE_CLASS(Name, TSelfDescribed)                        \
    explicit Name(TComponent* owner) : TSelfDescribed(owner) {} \
  };
SELF_DESCRIBED(TSelfHolder)
SELF_DESCRIBED(TCycleA)
SELF_DESCRIBED(TCycleB)
SELF_DESCRIBED(TChainOuter)
SELF_DESCRIBED(TChainInner)
#undef SELF_DESCRIBED

class StreamingReaderNested : public StreamingReader {
 protected:
  static void SetUpTestSuite() {
    StreamingReader::SetUpTestSuite();
    RegisterClass<TSelfDescribed>();
    RegisterClass<TSelfHolder>();
    RegisterClass<TCycleA>();
    RegisterClass<TCycleB>();
    RegisterClass<TChainOuter>();
    RegisterClass<TChainInner>();
    RegisterComponentDescription("TSelfHolder",
                                 "object Holder: TSelfHolder\n"
                                 "  object Inner: TSelfHolder\n  end\nend\n");
    RegisterComponentDescription("TCycleA", "object A: TCycleA\n  object B: TCycleB\n  end\nend\n");
    RegisterComponentDescription("TCycleB",
                                 "object B: TCycleB\n  object S: TSample\n  end\n"
                                 "  object A: TCycleA\n  end\nend\n");
    RegisterComponentDescription("TChainOuter",
                                 "object Outer: TChainOuter\n  object Inner: TChainInner\n"
                                 "  end\nend\n");
    RegisterComponentDescription("TChainInner",
                                 "object Inner: TChainInner\n  object S: TSample\n"
                                 "    Count = 7\n  end\nend\n");
  }
};

// A component whose description holds a component of its own class, or of a
// class whose description holds its class again, would read for ever: each
// nested one reads its own description while it is made. The depth runs on
// across those reads, so the read is refused and nothing it built is left.
TEST_F(StreamingReaderNested, ADescriptionThatHoldsItsOwnClassIsRefused) {
  struct Entry {
    const char* name;
    std::function<void()> read;
  };
  TSampleForm* form = Create<TSampleForm>(nullptr);
  const Entry entries[] = {
      {"made by its class", [] { Create<TSelfHolder>(nullptr); }},
      {"made through another class", [] { Create<TCycleA>(nullptr); }},
      {"created from a text", [] { CreateComponentFromText("object X: TCycleB\nend\n", nullptr); }},
      {"read into an existing root",
       [form] {
         ReadComponentFromText(form,
                               "object F: TSampleForm\n  object S: TSample\n  end\n"
                               "  object H: TSelfHolder\n  end\nend\n");
       }},
  };
  for (const Entry& entry : entries) {
    SCOPED_TRACE(entry.name);
    try {
      entry.read();
      ADD_FAILURE() << "no error";
    } catch (const EDescriptionError& e) {
      EXPECT_NE(e.Message().find("Imbrication trop profonde"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(g_live_described, 0);
    EXPECT_EQ(g_live_samples, samples_before_);
    EXPECT_EQ(form->ComponentCount(), 0);
    EXPECT_FALSE(form->ComponentState().Contains(csLoading));
  }
  form->Free();

  // A finite nesting of described components still reads.
  auto* outer = Create<TChainOuter>(nullptr);
  auto* inner = dynamic_cast<TChainInner*>(outer->FindComponent("Inner"));
  ASSERT_NE(inner, nullptr);
  auto* sample = dynamic_cast<TSample*>(inner->FindComponent("S"));
  ASSERT_NE(sample, nullptr);
  EXPECT_EQ(sample->GetCount(), 7);
  EXPECT_EQ(g_live_described, 2);
  outer->Free();
  EXPECT_EQ(g_live_described, 0);
}

TEST_F(StreamingReader, ResolvesReferencesIntoAnotherRoot) {
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

TEST_F(StreamingReader, MalformedDescriptionsNameTheLineAndLeaveNothingBuilt) {
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

TEST_F(StreamingReader, FailureInLoadedFreesEverythingTheReadBuilt) {
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
// A collection's update: the read holds it from the first item to the last
// and ends it on every exit.

// Refuses, at the end of an update during a read, an item named "refused",
// as a component may refuse a set of items it cannot use.
class TRefusingItems : public TOwnedCollection {
  KESTRUNE_CLASS(TRefusingItems, TOwnedCollection)
  TRefusingItems(TComponent* owner, TClass itemClass)
      : TOwnedCollection(owner, itemClass), owner_(owner) {}

 protected:
  void Update(TCollectionItem* item) override {
    inherited::Update(item);
    if (!owner_->ComponentState().Contains(csReading))
      return;
    for (int i = 0; i < Count(); ++i) {
      if (static_cast<TSampleItem*>(Items(i))->Name == "refused")
        throw EConvertError("Élément refusé");
    }
  }

 private:
  TComponent* owner_;
};

class TRefusingSample : public TComponent {
  KESTRUNE_CLASS(TRefusingSample, TComponent)
  explicit TRefusingSample(TComponent* owner) : TComponent(owner) {
    items_ = Create<TRefusingItems>(this, TSampleItem::StaticClass());
  }
  ~TRefusingSample() override { items_->Free(); }
  TRefusingItems* GetItems() const { return items_; }

 private:
  TRefusingItems* items_;
};

class StreamingReaderUpdate : public StreamingReader {
 protected:
  static void SetUpTestSuite() {
    StreamingReader::SetUpTestSuite();
    RegisterClass<TRefusingSample>().Collection("Items", &TRefusingSample::GetItems);
  }
};

struct UpdateRow {
  const char* name;
  const char* itemProps;  // the lines of the one stored item
  int line;               // 0: the read succeeds
  const char* message;    // a part of the message
  const char* offending;
};

// The collection opens on line 2; the item's first property is on line 4.
const UpdateRow kUpdateRows[] = {
    {"good read", "      Name = \"kept\"\n", 0, "", ""},
    {"update refuses at the end of a good read: the error names the collection",
     "      Name = \"refused\"\n", 2, "Élément refusé", "<"},
    {"item property fails", "      Nope = 1\n", 4, "Propriété Nope inexistante", "Nope"},
    {"item property fails and the update refuses too: the first error stands",
     "      Name = \"refused\"\n      Nope = 1\n", 5, "Propriété Nope inexistante", "Nope"},
};

TEST_F(StreamingReaderUpdate, TheReadEndsTheCollectionsUpdateOnEveryExit) {
  for (const UpdateRow& row : kUpdateRows) {
    SCOPED_TRACE(row.name);
    auto* root = Create<TRefusingSample>(nullptr);
    const std::string text = std::string("object R: TRefusingSample\n  Items = <\n    item\n") +
                             row.itemProps + "    end>\nend\n";
    try {
      ReadComponentFromText(root, text);
      EXPECT_EQ(row.line, 0) << "no error";
    } catch (const EDescriptionError& e) {
      EXPECT_EQ(e.Line(), row.line) << e.Message();
      EXPECT_NE(e.Message().find(row.message), std::string::npos) << e.Message();
      EXPECT_EQ(e.Text(), row.offending) << e.Message();
    } catch (const Exception& e) {
      ADD_FAILURE() << "error with no line: " << e.Message();
    }
    EXPECT_EQ(root->GetItems()->UpdateCount(), 0);
    root->Free();
  }
}

}  // namespace
