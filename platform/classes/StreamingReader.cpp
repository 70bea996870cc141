// The reader of stored descriptions: builds the components of a parsed
// description (the engine behind TReader), the read entry points and the
// registry of compiled-in descriptions.
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "platform/classes/Streaming.h"
#include "platform/classes/StreamingText.h"
#include "platform/classes/TypInfo.h"
#include "platform/rtl/ScopeExit.h"

namespace kestrune::detail {

namespace {

// The depth of objects at which a read started now on this thread would
// stand. A read runs on from the depth of the read it starts within (a form
// nested in a description reads its own description while it is made), so
// a description that holds a component of its own class is refused at
// kMaxNesting instead of recursing until the stack runs out.
thread_local int t_read_depth = 0;

// Sets t_read_depth for the scope's lifetime.
class ReadDepthScope {
 public:
  explicit ReadDepthScope(int depth) : saved_(t_read_depth) { t_read_depth = depth; }
  ~ReadDepthScope() { t_read_depth = saved_; }
  ReadDepthScope(const ReadDepthScope&) = delete;
  ReadDepthScope& operator=(const ReadDepthScope&) = delete;

 private:
  int saved_;
};

}  // namespace

// ---------------------------------------------------------------------------
// Building the components: the reader engine behind TReader.

class DescriptionReader {
 public:
  DescriptionReader(std::string_view src, std::vector<Token> tokens, TComponent* root)
      : src_(src),
        tokens_(std::move(tokens)),
        root_(root),
        reader_(this, root),
        base_depth_(t_read_depth) {}

  // Reads `node` into root_ (see ReadComponentFromText). `rootCreated`: the
  // caller made the root for this read, so its class is known to fit.
  void Read(const ObjectNode& node, bool rootCreated) {
    const Token& rootName = tokens_[node.nameToken];
    if (base_depth_ > kMaxNesting) {
      const Token& cls = tokens_[node.classToken];
      Fail("Imbrication trop profonde", cls.line, cls.text);
    }
    // A read started by what this one runs (a setter, Loaded) stands at
    // least one level below this root.
    ReadDepthScope depth(base_depth_ + 1);
    stored_root_name_ = rootName.text;
    root_->SetLoadingState(true);
    root_->SetReadingState(true);
    try {
      if (!rootCreated)
        CheckRootClass(node);
      if (root_->Name().empty()) {
        Guarded(rootName, Lexeme(rootName), [&] { root_->SetName(rootName.text); });
      }
      ReadBody(root_, node, 0);
      ResolveFixups();
      for (TComponent* c : created_)
        c->SetReadingState(false);
      root_->SetReadingState(false);
      for (TComponent* c : created_)
        c->Loaded();
      root_->Loaded();
    } catch (...) {
      for (auto it = created_.rbegin(); it != created_.rend(); ++it)
        (*it)->Free();
      created_.clear();
      root_->SetReadingState(false);
      root_->SetLoadingState(false);
      throw;
    }
  }

  // --- The value cursor of TReader.

  TValueKind NextValue() const {
    if (pos_ >= limit_)
      return TValueKind::None;
    const Token& t = tokens_[pos_];
    switch (t.kind) {
      case TokKind::Integer:
        return TValueKind::Integer;
      case TokKind::Float:
        return TValueKind::Float;
      case TokKind::String:
        return TValueKind::String;
      case TokKind::Ident:
        if (SameText(t.text, "True"))
          return TValueKind::True;
        if (SameText(t.text, "False"))
          return TValueKind::False;
        if (SameText(t.text, "nil"))
          return TValueKind::Nil;
        return TValueKind::Ident;
      default:
        break;
    }
    if (t.Is('('))
      return TValueKind::List;
    if (t.Is('['))
      return TValueKind::Set;
    if (t.Is('<'))
      return TValueKind::Collection;
    return TValueKind::None;
  }

  std::string ReadIdent() {
    TValueKind k = NextValue();
    if (k != TValueKind::Ident && k != TValueKind::True && k != TValueKind::False &&
        k != TValueKind::Nil)
      BadValue();
    return TakeScalar().text;
  }
  std::string ReadString() {
    Require(TValueKind::String);
    return TakeScalar().text;
  }
  bool ReadBoolean() {
    TValueKind k = NextValue();
    if (k != TValueKind::True && k != TValueKind::False)
      BadValue();
    TakeScalar();
    return k == TValueKind::True;
  }
  int64_t ReadInteger() {
    Require(TValueKind::Integer);
    return TakeScalar().integer;
  }
  double ReadFloat() {
    TValueKind k = NextValue();
    if (k == TValueKind::Integer)
      return static_cast<double>(TakeScalar().integer);
    Require(TValueKind::Float);
    return TakeScalar().real;
  }
  void ReadListBegin() {
    Require(TValueKind::List);
    ++pos_;
  }
  void ReadListEnd() {
    if (pos_ >= limit_ || !tokens_[pos_].Is(')'))
      BadValue();
    ++pos_;
    AfterValue();
  }
  bool EndOfList() const { return pos_ >= limit_ || tokens_[pos_].Is(')'); }
  void SkipValue() {
    TValueKind k = NextValue();
    if (k == TValueKind::None || k == TValueKind::Collection)
      BadValue();
    if (k == TValueKind::List || k == TValueKind::Set) {
      // The syntax was checked: brackets are balanced within the value.
      int depth = 0;
      do {
        const Token& t = tokens_[pos_++];
        if (t.Is('(') || t.Is('['))
          ++depth;
        if (t.Is(')') || t.Is(']'))
          --depth;
      } while (depth > 0);
      AfterValue();
    } else {
      TakeScalar();
    }
  }
  [[noreturn]] void ErrorHere(const std::string& message) const {
    size_t at = pos_ < limit_ ? pos_ : (limit_ > 0 ? limit_ - 1 : 0);
    const Token& t = tokens_[std::min(at, tokens_.size() - 1)];
    Fail(message, t.line, Lexeme(t));
  }

  void DefineProperty(const std::string& name, const TMethod<void(TReader*)>& readData) {
    if (looking_for_ != nullptr && !found_ && readData.Assigned() &&
        SameText(name, *looking_for_)) {
      found_ = true;
      handler_ = readData;
    }
  }

 private:
  struct Fixup {
    TObject* instance;
    const TPropInfo* prop;
    size_t valueToken;
  };

  std::string_view Lexeme(const Token& t) const { return src_.substr(t.begin, t.end - t.begin); }

  std::string_view ValueText(const PropNode& p) const {
    const Token& first = tokens_[p.valueBegin];
    const Token& last = tokens_[p.valueEnd > p.valueBegin ? p.valueEnd - 1 : p.valueBegin];
    return src_.substr(first.begin, last.end - first.begin);
  }

  [[noreturn]] void BadValue() const { ErrorHere("Valeur de propriété incorrecte"); }
  [[noreturn]] void BadValue(const PropNode& p) const {
    Fail("Valeur de propriété incorrecte", tokens_[p.valueBegin].line, ValueText(p));
  }

  void Require(TValueKind kind) const {
    if (NextValue() != kind)
      BadValue();
  }
  const Token& TakeScalar() {
    const Token& t = tokens_[pos_++];
    AfterValue();
    return t;
  }
  // A value inside a list is followed by "," or ")".
  void AfterValue() {
    if (pos_ < limit_ && tokens_[pos_].Is(','))
      ++pos_;
  }

  // Runs `f`; an exception of the runtime raised by it is raised again as an
  // EDescriptionError at `where`.
  template <class F>
  auto Guarded(const Token& where, std::string_view text, F&& f) -> decltype(f()) {
    try {
      return f();
    } catch (const EDescriptionError&) {
      throw;
    } catch (const Exception& e) {
      Fail(e.Message(), where.line, text);
    }
  }

  void CheckRootClass(const ObjectNode& node) {
    const Token& cls = tokens_[node.classToken];
    for (TClass c = root_->ClassType(); c != nullptr; c = c->Parent) {
      if (SameText(c->Name, cls.text))
        return;
    }
    Fail("La description de " + Shown(cls.text) + " ne convient pas à " + root_->ClassName(),
         cls.line, cls.text);
  }

  void ReadBody(TComponent* component, const ObjectNode& node, int depth) {
    for (const PropNode& p : node.props)
      ReadProperty(component, p);
    for (const ObjectNode& child : node.children)
      CreateChild(child, component, depth + 1);
  }

  void CreateChild(const ObjectNode& node, TComponent* enclosing, int depth) {
    const Token& cls = tokens_[node.classToken];
    TClass c = FindClassByName(cls.text);
    TPersistentCreator creator = c != nullptr ? FindCreator(c) : nullptr;
    if (creator == nullptr || !c->InheritsFrom(TComponent::StaticClass()))
      Fail("Classe " + Shown(cls.text) + " non trouvée", cls.line, cls.text);
    const int carried = base_depth_ + depth;
    if (carried > kMaxNesting)
      Fail("Imbrication trop profonde", cls.line, cls.text);
    TPersistent* made = Guarded(cls, cls.text, [&] {
      ReadDepthScope scope(carried);
      return creator(root_);
    });
    auto* component = static_cast<TComponent*>(made);
    created_.push_back(component);
    component->SetLoadingState(true);
    component->SetReadingState(true);
    const Token& name = tokens_[node.nameToken];
    Guarded(name, name.text, [&] { component->SetName(name.text); });
    if (enclosing != root_) {
      Guarded(name, name.text, [&] { component->SetParentComponent(enclosing); });
    }
    ReadBody(component, node, depth);
  }

  void ReadProperty(TObject* object, const PropNode& p) {
    const Token& nameTok = tokens_[p.nameToken];
    const std::string& path = nameTok.text;
    auto unknown = [&] { Fail("Propriété " + Shown(path) + " inexistante", nameTok.line, path); };
    // Walk the published sub-objects of a dotted name.
    TObject* target = object;
    size_t start = 0;
    for (size_t dot = path.find('.'); dot != std::string::npos; dot = path.find('.', start)) {
      const TPropInfo* info = GetPropInfo(target->ClassType(), path.substr(start, dot - start));
      if (info == nullptr || info->Kind() != TPropKind::Object)
        unknown();
      target = Guarded(nameTok, path, [&] { return GetObjectProp(target, info); });
      if (target == nullptr)
        unknown();
      start = dot + 1;
    }
    const std::string name = path.substr(start);
    if (const TPropInfo* info = GetPropInfo(target->ClassType(), name)) {
      ReadPublished(target, info, p);
      return;
    }
    auto* persistent = dynamic_cast<TPersistent*>(target);
    if (persistent == nullptr)
      unknown();
    looking_for_ = &name;
    found_ = false;
    handler_ = nullptr;
    {
      kestrune::ScopeExit reset([&] { looking_for_ = nullptr; });
      Guarded(nameTok, path, [&] { persistent->DefineProperties(&reader_); });
    }
    if (!found_)
      unknown();
    if (p.isCollection)
      BadValue(p);
    SetRange(p);
    TMethod<void(TReader*)> handler = handler_;
    Guarded(tokens_[p.valueBegin], ValueText(p), [&] { handler(&reader_); });
    // The handler must take the whole value, no more and no less.
    if (pos_ != limit_)
      BadValue();
  }

  void SetRange(const PropNode& p) {
    pos_ = p.valueBegin;
    limit_ = p.valueEnd;
  }

  void ReadPublished(TObject* target, const TPropInfo* info, const PropNode& p) {
    if (info->Kind() == TPropKind::Collection) {
      if (!p.isCollection)
        BadValue(p);
      ReadCollection(target, info, p);
      return;
    }
    if (p.isCollection)
      BadValue(p);
    SetRange(p);
    TPropValue value;
    TValueKind kind = NextValue();
    switch (info->Kind()) {
      case TPropKind::Integer:
        if (kind == TValueKind::Ident && info->IdentMap() != nullptr) {
          std::optional<int64_t> named = info->IdentMap()->ValueOf(ReadIdent());
          if (!named)
            BadValue(p);
          value = *named;
          break;
        }
        if (kind != TValueKind::Integer)
          BadValue(p);
        value = ReadInteger();
        break;
      case TPropKind::Single:
      case TPropKind::Double:
        if (kind != TValueKind::Integer && kind != TValueKind::Float)
          BadValue(p);
        value = ReadFloat();
        break;
      case TPropKind::String:
        if (kind != TValueKind::String)
          BadValue(p);
        value = ReadString();
        break;
      case TPropKind::Boolean:
        if (kind != TValueKind::True && kind != TValueKind::False)
          BadValue(p);
        value = ReadBoolean();
        break;
      case TPropKind::Enumeration: {
        if (kind != TValueKind::Ident)
          BadValue(p);
        int index = info->IndexOfName(ReadIdent());
        if (index < 0)
          BadValue(p);
        value = int64_t{index};
        break;
      }
      case TPropKind::Set: {
        if (kind != TValueKind::Set)
          BadValue(p);
        int64_t bits = 0;
        ++pos_;  // "["
        while (!tokens_[pos_].Is(']')) {
          int index = info->IndexOfName(tokens_[pos_].text);
          if (index < 0)
            BadValue(p);
          bits |= int64_t{1} << index;
          ++pos_;
          AfterValue();
        }
        ++pos_;
        value = bits;
        break;
      }
      case TPropKind::Component:
      case TPropKind::Event:
        // Names are resolved once the whole description is read; nil clears
        // at once.
        if (kind == TValueKind::Ident) {
          fixups_.push_back(Fixup{target, info, pos_});
          ++pos_;
          return;
        }
        if (kind != TValueKind::Nil)
          BadValue(p);
        ++pos_;
        break;
      case TPropKind::Object:
      case TPropKind::Collection:
        BadValue(p);
    }
    Guarded(tokens_[p.valueBegin], ValueText(p), [&] { info->SetValue(target, value); });
  }

  void ReadCollection(TObject* target, const TPropInfo* info, const PropNode& p) {
    const Token& at = tokens_[p.valueBegin];
    auto* collection =
        dynamic_cast<TCollection*>(Guarded(at, "<", [&] { return GetObjectProp(target, info); }));
    if (collection == nullptr)
      BadValue(p);
    // A second read would free the items the first one left fix-ups on.
    if (!read_collections_.insert(collection).second) {
      const Token& name = tokens_[p.nameToken];
      Fail("Propriété " + Shown(name.text) + " lue deux fois", name.line, name.text);
    }
    collection->BeginUpdate();
    // The update ends on every exit. After a good read an error of EndUpdate
    // is reported at the collection; after a failed one the first error stands
    // (ScopeExit drops the second).
    kestrune::ScopeExit endUpdate([&] { Guarded(at, "<", [&] { collection->EndUpdate(); }); });
    Guarded(at, "<", [&] { collection->Clear(); });
    for (const ItemNode& node : p.items) {
      const Token& itemTok = tokens_[node.itemToken];
      TCollectionItem* item = Guarded(itemTok, "item", [&] { return collection->Add(); });
      for (const PropNode& prop : node.props)
        ReadProperty(item, prop);
    }
  }

  // "Name" among the root's components (or the root itself); "Owner.Name"
  // below one of the root's components or below another root of the root's
  // owner.
  TComponent* FindReference(const std::string& name) const {
    auto isRootName = [&](std::string_view n) {
      return SameText(n, root_->Name()) || SameText(n, stored_root_name_);
    };
    size_t dot = name.find('.');
    if (dot == std::string::npos) {
      if (TComponent* c = root_->FindComponent(name))
        return c;
      return isRootName(name) ? root_ : nullptr;
    }
    std::string first = name.substr(0, dot);
    std::string rest = name.substr(dot + 1);
    if (rest.find('.') != std::string::npos)
      return nullptr;
    TComponent* holder = isRootName(first) ? root_ : root_->FindComponent(first);
    if (holder == nullptr && root_->Owner() != nullptr)
      holder = root_->Owner()->FindComponent(first);
    return holder != nullptr ? holder->FindComponent(rest) : nullptr;
  }

  void ResolveFixups() {
    for (const Fixup& f : fixups_) {
      const Token& t = tokens_[f.valueToken];
      if (f.prop->Kind() == TPropKind::Component) {
        TComponent* component = FindReference(t.text);
        if (component == nullptr)
          Fail("Composant " + Shown(t.text) + " non trouvé", t.line, t.text);
        Guarded(t, t.text, [&] { f.prop->SetValue(f.instance, component); });
      } else {
        const TMethodInfo* method = FindPublishedMethod(root_->ClassType(), t.text);
        if (method == nullptr)
          Fail("Méthode " + Shown(t.text) + " non trouvée", t.line, t.text);
        if (method->Signature() != f.prop->EventSignature()) {
          Fail("La méthode " + Shown(t.text) + " ne convient pas à l'événement " + f.prop->Name(),
               t.line, t.text);
        }
        Guarded(t, t.text, [&] { f.prop->BindEvent(f.instance, *method, root_); });
      }
    }
  }

  std::string_view src_;
  std::vector<Token> tokens_;
  TComponent* root_;
  TReader reader_;
  // The depth of objects this read's root stands at (see t_read_depth).
  const int base_depth_;
  std::string stored_root_name_;
  std::vector<TComponent*> created_;
  std::vector<Fixup> fixups_;
  std::set<TCollection*> read_collections_;
  // The value being read: tokens [pos_, limit_).
  size_t pos_ = 0;
  size_t limit_ = 0;
  // The DefineProperties search in progress.
  const std::string* looking_for_ = nullptr;
  bool found_ = false;
  TMethod<void(TReader*)> handler_;
};

}  // namespace kestrune::detail

using kestrune::detail::DescriptionReader;

// ---------------------------------------------------------------------------
// TReader

TValueKind TReader::NextValue() {
  return engine_->NextValue();
}
std::string TReader::ReadIdent() {
  return engine_->ReadIdent();
}
std::string TReader::ReadString() {
  return engine_->ReadString();
}
bool TReader::ReadBoolean() {
  return engine_->ReadBoolean();
}
int64_t TReader::ReadInteger() {
  return engine_->ReadInteger();
}
double TReader::ReadFloat() {
  return engine_->ReadFloat();
}
void TReader::ReadListBegin() {
  engine_->ReadListBegin();
}
void TReader::ReadListEnd() {
  engine_->ReadListEnd();
}
bool TReader::EndOfList() {
  return engine_->EndOfList();
}
void TReader::SkipValue() {
  engine_->SkipValue();
}
void TReader::ReadError(const std::string& message) {
  engine_->ErrorHere(message);
}

void TReader::DefineProperty(const std::string& name, TMethod<void(TReader*)> readData,
                             TMethod<void(TWriter*)> writeData, bool hasData) {
  (void)writeData;
  (void)hasData;
  engine_->DefineProperty(name, readData);
}

// ---------------------------------------------------------------------------
// Entry points

void ReadComponentFromText(TComponent* root, std::string_view text) {
  kestrune::detail::ParsedDescription d = kestrune::detail::ParseDescriptionText(text);
  DescriptionReader reader(text, std::move(d.tokens), root);
  reader.Read(d.root, /*rootCreated=*/false);
}

TComponent* CreateComponentFromText(std::string_view text, TComponent* owner) {
  kestrune::detail::ParsedDescription d = kestrune::detail::ParseDescriptionText(text);
  const kestrune::detail::Token& cls = d.tokens[d.root.classToken];
  TClass c = FindClassByName(cls.text);
  TPersistentCreator creator = c != nullptr ? FindCreator(c) : nullptr;
  if (creator == nullptr || !c->InheritsFrom(TComponent::StaticClass()))
    kestrune::detail::Fail("Classe " + kestrune::detail::Shown(cls.text) + " non trouvée", cls.line,
                           cls.text);
  TPersistent* made;
  try {
    // A read the root's construction starts stands below this root.
    kestrune::detail::ReadDepthScope depth(kestrune::detail::t_read_depth + 1);
    made = creator(owner);
  } catch (const Exception& e) {
    kestrune::detail::Fail(e.Message(), cls.line, cls.text);
  }
  auto* root = static_cast<TComponent*>(made);
  try {
    DescriptionReader reader(text, std::move(d.tokens), root);
    reader.Read(d.root, /*rootCreated=*/true);
  } catch (...) {
    root->Free();
    throw;
  }
  return root;
}

namespace {
std::map<std::string, std::string>& Descriptions() {
  static std::map<std::string, std::string> descriptions;
  return descriptions;
}
}  // namespace

void RegisterComponentDescription(std::string_view className, std::string_view text) {
  Descriptions()[UpperCase(className)] = std::string(text);
}

bool HasComponentDescription(std::string_view className) {
  return Descriptions().count(UpperCase(className)) != 0;
}

bool ReadComponentDescription(TComponent* root) {
  auto& descriptions = Descriptions();
  auto it = descriptions.find(UpperCase(root->ClassName()));
  if (it == descriptions.end())
    return false;
  ReadComponentFromText(root, it->second);
  return true;
}
