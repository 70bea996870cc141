// The sub-objects of the program's components and collection items whose
// owner gives them other values than their class declares as defaults
// (a channel link's brush is clear, a brush's declared style is solid): a
// stored description keeps every value they can take. For each owner, each
// property of each of its sub-objects (Legend.Font.Style, ...) is set to a
// value other than the one the owner gives it (the class's declared default
// first, where it differs), written, read back into a fresh root, compared
// property by property (the owner's own properties too), and written again
// to the same text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "platform/classes/Streaming.h"
#include "platform/classes/TypInfo.h"
#include "scope/TrelScope.h"
#include "scope/TrelScopeCursors.h"
#include "tests/app/MainFormTestSupport.h"

namespace {

// The root the owners are written under and read back into.
class TDefaultsRoot : public TComponent {
  KESTRUNE_CLASS(TDefaultsRoot, TComponent)
  explicit TDefaultsRoot(TComponent* owner) : TComponent(owner) {}
};

bool IsScalar(TPropKind kind) {
  return kind != TPropKind::Object && kind != TPropKind::Collection &&
         kind != TPropKind::Component && kind != TPropKind::Event;
}

// The object at `path` below `from`: dotted published sub-objects, and
// "Name[i]" for item i of a collection.
TObject* Walk(TObject* from, const std::string& path) {
  TObject* at = from;
  size_t start = 0;
  while (at != nullptr && start < path.size()) {
    size_t end = path.find('.', start);
    if (end == std::string::npos)
      end = path.size();
    std::string step = path.substr(start, end - start);
    int index = -1;
    if (size_t bracket = step.find('['); bracket != std::string::npos) {
      index = std::stoi(step.substr(bracket + 1));
      step.resize(bracket);
    }
    at = GetObjectProp(at, step);
    if (index >= 0) {
      auto* collection = dynamic_cast<TCollection*>(at);
      at =
          collection != nullptr && index < collection->Count() ? collection->Items(index) : nullptr;
    }
    start = end + 1;
  }
  return at;
}

// Every scalar property below `object`'s sub-objects (collections are owners
// of their own), or with `withOwn` the object's own ones too, by dotted path.
void CollectScalars(TObject* object, const std::string& prefix, bool withOwn,
                    std::set<TObject*>& visiting,
                    std::vector<std::pair<std::string, const TPropInfo*>>& out) {
  if (!visiting.insert(object).second)
    return;
  for (const TPropInfo* info : GetPropList(object)) {
    if (info->Kind() == TPropKind::Object) {
      if (TPersistent* sub = GetObjectProp(object, info))
        CollectScalars(sub, prefix + info->Name() + ".", true, visiting, out);
    } else if (withOwn && IsScalar(info->Kind())) {
      out.emplace_back(prefix + info->Name(), info);
    }
  }
  visiting.erase(object);
}

std::vector<std::pair<std::string, const TPropInfo*>> Scalars(TObject* object, bool withOwn) {
  std::set<TObject*> visiting;
  std::vector<std::pair<std::string, const TPropInfo*>> out;
  CollectScalars(object, "", withOwn, visiting, out);
  return out;
}

TObject* Holder(TObject* owner, const std::string& leaf) {
  const size_t dot = leaf.rfind('.');
  return dot == std::string::npos ? owner : Walk(owner, leaf.substr(0, dot));
}

std::string Shown(const TPropValue& v) {
  if (const int64_t* i = std::get_if<int64_t>(&v))
    return std::to_string(*i);
  if (const double* d = std::get_if<double>(&v))
    return std::to_string(*d);
  if (const bool* b = std::get_if<bool>(&v))
    return *b ? "True" : "False";
  if (const std::string* s = std::get_if<std::string>(&v))
    return "\"" + *s + "\"";
  return "?";
}

// Every scalar property of the owner and its sub-objects with its value.
std::vector<std::string> Dump(TObject* owner) {
  std::vector<std::string> out;
  for (const auto& [path, info] : Scalars(owner, true))
    out.push_back(path + " = " + Shown(info->GetValue(Holder(owner, path))));
  return out;
}

// The lines of `want` that `got` lacks, and the other way round.
std::string Differences(const std::vector<std::string>& want, const std::vector<std::string>& got) {
  std::string out;
  for (const std::string& line : want) {
    if (std::find(got.begin(), got.end(), line) == got.end())
      out += "written " + line + "\n";
  }
  for (const std::string& line : got) {
    if (std::find(want.begin(), want.end(), line) == want.end())
      out += "read    " + line + "\n";
  }
  return out;
}

// A value of the property other than `owners`: its declared default where
// that differs (the value the writer left out), then one more.
std::vector<TPropValue> OtherValues(const TPropInfo* info, const TPropValue& owners) {
  std::vector<TPropValue> values;
  if (info->Default() && *info->Default() != owners)
    values.push_back(*info->Default());
  auto add = [&](const TPropValue& v) {
    if (v != owners && std::find(values.begin(), values.end(), v) == values.end())
      values.push_back(v);
  };
  switch (info->Kind()) {
    case TPropKind::Boolean:
      add(!std::get<bool>(owners));
      break;
    case TPropKind::Enumeration: {
      const int64_t n = static_cast<int64_t>(info->Names().size());
      for (int64_t i = 0; i < n && values.size() < 2; ++i)
        add(i);
      break;
    }
    case TPropKind::Set:
      add(std::get<int64_t>(owners) ^ 1);
      break;
    case TPropKind::Integer:
      add(std::get<int64_t>(owners) + 1);
      break;
    case TPropKind::Single:
    case TPropKind::Double:
      add(std::get<double>(owners) + 1.5);
      break;
    case TPropKind::String:
      add(std::get<std::string>(owners) + "x");
      break;
    default:
      break;
  }
  return values;
}

struct Owner {
  const char* name;
  // The component class made under the root.
  const char* className;
  // Items the owner needs in the component's collections.
  void (*prepare)(TComponent* component);
  // The owner below the component ("" for the component itself).
  const char* path;
  // Sub-object properties whose owner's value is not their class's declared
  // default: each must be among those tried with that default.
  std::vector<std::string> ownerDefaults;
};

void NoItems(TComponent*) {}

// Places the control in a group box whose font is bold and larger: reading
// gives the control its parent before its properties.
void InBoldGroupBox(TComponent* component) {
  TComponent* root = component->Owner();
  auto* box = static_cast<TComponent*>(FindCreator(FindClassByName("TStyGroupBox"))(root));
  box->SetName("Box");
  auto* font = static_cast<TPersistent*>(GetObjectProp(box, "Font"));
  SetPropValue(font, "Style", TPropValue(int64_t{1}));
  SetPropValue(font, "Height", TPropValue(int64_t{-15}));
  component->SetParentComponent(box);
}

// A scope with two channels, two cursors with a channel link each, a cursor
// link and a marker group.
void ScopeItems(TComponent* component) {
  auto* scope = static_cast<TTrelScope*>(component);
  while (scope->GetChannels()->Count() < 2)
    scope->GetChannels()->Add();
  while (scope->GetCursors()->Count() < 2)
    scope->GetCursors()->Add();
  for (int i = 0; i < 2; ++i) {
    auto* cursor = static_cast<TTrelDisplayCursor*>(scope->GetCursors()->Items(i));
    if (cursor->GetChannels()->Count() == 0)
      cursor->GetChannels()->Add();
  }
  if (scope->GetCursorLinks()->Count() == 0)
    scope->GetCursorLinks()->Add();
  if (scope->GetMarkerGroups()->Count() == 0)
    scope->GetMarkerGroups()->Add();
}

const Owner kOwners[] = {
    {"channel link", "TTrelScope", ScopeItems, "Cursors[0].Channels[0]", {"Brush.Style"}},
    {"second cursor's channel link", "TTrelScope", ScopeItems, "Cursors[1].Channels[0]", {}},
    {"channel", "TTrelScope", ScopeItems, "Channels[0]", {}},
    {"second channel", "TTrelScope", ScopeItems, "Channels[1]", {}},
    {"marker group", "TTrelScope", ScopeItems, "MarkerGroups[0]", {}},
    {"cursor", "TTrelScope", ScopeItems, "Cursors[0]", {}},
    {"cursor link (measurement line, selection)", "TTrelScope", ScopeItems, "CursorLinks[0]", {}},
    {"scope (legend, toolbar, axes, title, data view)", "TTrelScope", NoItems, "", {}},
    {"label", "TLabel", NoItems, "", {}},
    {"label in a group box with another font", "TLabel", InBoldGroupBox, "", {}},
    {"check box in a group box with another font", "TCheckBox", InBoldGroupBox, "", {}},
    {"check box", "TCheckBox", NoItems, "", {}},
    {"button", "TButton", NoItems, "", {}},
    {"image", "TImage", NoItems, "", {}},
    {"bevel", "TBevel", NoItems, "", {}},
    {"gradient", "TLuGradient", NoItems, "", {}},
    {"link label", "TLuLabel", NoItems, "", {}},
    {"track bar", "TLuTrackBar", NoItems, "", {}},
    {"VU meter", "TlmVuMeter", NoItems, "", {}},
    {"combo box", "TStyComboBox", NoItems, "", {}},
    {"glass button", "TStyGlassButton", NoItems, "", {}},
    {"group box", "TStyGroupBox", NoItems, "", {}},
    {"menu styler", "TStyMenuOfficeStyler", NoItems, "", {}},
    {"scrolling text", "TKiScrollText", NoItems, "", {}},
    {"static text", "TKiStaticText", NoItems, "", {}},
    {"rich-text label", "TRTFLabel", NoItems, "", {}},
    {"capture", "TMoskAudioIn", NoItems, "", {}},
    {"PPM meter", "TMoskPPMMeter", NoItems, "", {}},
    {"spectrum", "TMoskSpectrum", NoItems, "", {}},
    {"audio to real", "TMoskAudioToReal", NoItems, "", {}},
};

class StoredSubObjectDefaults : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    apptest::StartUnits();
    RegisterClass<TDefaultsRoot>();
  }

  // A root holding a fresh owner's component, prepared.
  static TComponent* MakeRoot(const Owner& owner) {
    auto* root = Create<TDefaultsRoot>(nullptr);
    root->SetName("Root");
    TClass cls = FindClassByName(owner.className);
    if (cls == nullptr || FindCreator(cls) == nullptr) {
      ADD_FAILURE() << "no creator for " << owner.className;
      return root;
    }
    auto* component = static_cast<TComponent*>(FindCreator(cls)(root));
    component->SetName("Owner");
    owner.prepare(component);
    return root;
  }
  static TObject* OwnerIn(TComponent* root, const Owner& owner) {
    TComponent* component = root->FindComponent("Owner");
    return component != nullptr ? Walk(component, owner.path) : nullptr;
  }
};

TEST_F(StoredSubObjectDefaults, EveryValueOfAnOwnersSubObjectsReadsBack) {
  for (const Owner& owner : kOwners) {
    SCOPED_TRACE(owner.name);
    // The properties and the values to try, from a fresh owner.
    struct Case {
      std::string leaf;
      TPropValue value;
      bool declaredDefault;
    };
    std::vector<Case> cases;
    {
      TComponent* root = MakeRoot(owner);
      TObject* object = OwnerIn(root, owner);
      ASSERT_NE(object, nullptr) << owner.path;
      for (const auto& [leaf, info] : Scalars(object, false)) {
        const TPropValue fresh = info->GetValue(Holder(object, leaf));
        for (const TPropValue& v : OtherValues(info, fresh))
          cases.push_back({leaf, v, info->Default() && v == *info->Default()});
      }
      root->Free();
    }
    EXPECT_FALSE(cases.empty()) << "no sub-object property to try";
    std::set<std::string> triedDefaults;
    for (const Case& c : cases) {
      SCOPED_TRACE(c.leaf + " = " + Shown(c.value));
      TComponent* root = MakeRoot(owner);
      TObject* object = OwnerIn(root, owner);
      TObject* holder = Holder(object, c.leaf);
      const TPropInfo* info =
          GetPropInfo(holder->ClassType(), c.leaf.substr(c.leaf.rfind('.') + 1));
      const TPropValue before = info->GetValue(holder);
      try {
        info->SetValue(holder, c.value);
      } catch (const Exception&) {
        root->Free();
        continue;  // a value the property refuses
      }
      if (info->GetValue(holder) == before) {
        root->Free();
        continue;  // a value the property does not take
      }
      if (c.declaredDefault && info->GetValue(holder) == c.value)
        triedDefaults.insert(c.leaf);
      const std::vector<std::string> written = Dump(object);
      std::string text;
      TComponent* read = nullptr;
      try {
        text = WriteComponentToText(root);
        read = CreateComponentFromText(text, nullptr);
      } catch (const Exception& e) {
        ADD_FAILURE() << e.Message() << "\n" << text;
      }
      root->Free();
      if (read == nullptr)
        continue;
      TObject* readObject = OwnerIn(read, owner);
      if (readObject == nullptr) {
        ADD_FAILURE() << "owner not read back\n" << text;
      } else {
        EXPECT_EQ(Differences(written, Dump(readObject)), "") << text;
        EXPECT_EQ(WriteComponentToText(read), text);
      }
      read->Free();
    }
    for (const std::string& leaf : owner.ownerDefaults)
      EXPECT_TRUE(triedDefaults.count(leaf) != 0) << leaf << " not tried at its declared default";
  }
}

}  // namespace
