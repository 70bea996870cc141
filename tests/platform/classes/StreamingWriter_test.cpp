// Writing stored descriptions: round trips over every value kind in the
// writer's own form, defaults left out, the writer's refusals, and references
// to components whose names read as keywords.
#include "platform/classes/Streaming.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/platform/classes/StreamingFixtures.h"

namespace {

using namespace streamingtest;

class StreamingWriter : public StreamingFixture {};

// ---------------------------------------------------------------------------
// Round trips: each description is in the writer's own form, so reading it
// and writing the result must give the same text back.

TEST_F(StreamingWriter, RoundTripsEveryValueKind) {
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

TEST_F(StreamingWriter, ValuesEqualToDefaultsAreNotWritten) {
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

// ---------------------------------------------------------------------------
// What the writer refuses

TEST_F(StreamingWriter, WriterRefusesWhatCannotBeReadBack) {
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
TEST_F(StreamingWriter, ReferencesToKeywordNamedComponentsReadBack) {
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

}  // namespace
