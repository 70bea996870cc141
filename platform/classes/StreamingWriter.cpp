// The writer of stored descriptions: the engine behind TWriter and
// WriteComponentToText.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <set>
#include <utility>
#include <vector>

#include "platform/classes/CustomForm.h"
#include "platform/classes/Streaming.h"
#include "platform/classes/StreamingText.h"
#include "platform/classes/TypInfo.h"
#include "platform/rtl/ScopeExit.h"

namespace kestrune::detail {

// ---------------------------------------------------------------------------
// Writing: the engine behind TWriter.

namespace {

std::string FloatText(std::string s) {
  // Keep a float a float when it reads back: "3" would be an integer.
  if (s.find_first_of(".eEIN") == std::string::npos)
    s += ".0";
  return s;
}

std::string FormatDouble(double v) {
  return FloatText(FloatToStr(v));
}

// The shortest text that reads back to the same single.
std::string FormatSingle(float v) {
  if (!std::isfinite(v))
    return FloatToStr(v);
  char buf[32];
  for (int precision = 1; precision <= 9; ++precision) {
    std::snprintf(buf, sizeof(buf), "%.*G", precision, static_cast<double>(v));
    if (std::strtof(buf, nullptr) == v)
      break;
  }
  // The exponent without leading zeros, as the double form writes it.
  std::string text = buf;
  size_t e = text.find('E');
  if (e != std::string::npos) {
    size_t digits = e + 2;
    while (digits + 1 < text.size() && text[digits] == '0')
      text.erase(digits, 1);
  }
  return FloatText(text);
}

std::string QuoteString(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (u < 0x20 || u == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof(buf), "\\x%02X", u);
          out += buf;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

}  // namespace

class DescriptionWriter {
 public:
  explicit DescriptionWriter(TComponent* root) : root_(root), writer_(this, root) {}

  std::string Run() {
    WriteComponent(root_, 0, nullptr);
    // Components whose parent components loop were never reached.
    if (written_ != root_->ComponentCount())
      throw EWriteError("Les composants parents de " + root_->Name() + " forment une boucle");
    return out_;
  }

  // --- The value calls of TWriter.

  void Raw(const std::string& text) {
    BeginValue();
    out_ += text;
  }
  void ListBegin() {
    BeginValue();
    out_ += '(';
    lists_.push_back(0);
  }
  void ListEnd() {
    if (!in_handler_ || lists_.empty())
      throw EWriteError("Fin de liste sans début de liste");
    lists_.pop_back();
    out_ += ')';
  }

  void DefineProperty(const std::string& name, const TMethod<void(TWriter*)>& writeData,
                      bool hasData) {
    if (!hasData || !writeData.Assigned() || in_handler_)
      return;
    const std::string full = prefix_ + name;
    out_ += std::string(static_cast<size_t>(indent_), ' ') + full + " = ";
    in_handler_ = true;
    value_written_ = false;
    lists_.clear();
    {
      kestrune::ScopeExit reset([&] { in_handler_ = false; });
      writeData(&writer_);
    }
    if (!value_written_ || !lists_.empty())
      throw EWriteError("La propriété " + full + " n'a pas reçu exactement une valeur");
    out_ += '\n';
  }

 private:
  void BeginValue() {
    if (!in_handler_)
      throw EWriteError("Valeur écrite hors d'une propriété");
    if (lists_.empty()) {
      if (value_written_)
        throw EWriteError("Plus d'une valeur pour une propriété");
      value_written_ = true;
    } else if (lists_.back()++ > 0) {
      out_ += ", ";
    }
  }

  void Line(int indent, const std::string& text) {
    out_ += std::string(static_cast<size_t>(indent), ' ') + text + '\n';
  }

  // The block that encloses `c` in the text: its parent component when that
  // is another of the root's components, otherwise the root.
  TComponent* EnclosingOf(TComponent* c) const {
    TComponent* parent = c->GetParentComponent();
    if (parent != nullptr && parent != root_ && parent->Owner() == root_)
      return parent;
    return root_;
  }

  // `enclosingReference`: the reference of the component whose block
  // encloses this one (nullptr for the root's own blocks, or where there is
  // none), which this one's reference takes as parent component, as reading
  // gives this component its enclosing one before its properties.
  void WriteComponent(TComponent* component, int indent, TComponent* enclosingReference) {
    if (!IsWritableIdent(component->Name(), false))
      throw EWriteError("Nom de composant incorrect pour l'écriture : « " + component->Name() +
                        " » (" + component->ClassName() + ")");
    Line(indent, "object " + component->Name() + ": " + component->ClassName());
    // The reference lives until the blocks this one encloses are written
    // (their references are parented to it and go first), and goes on every
    // path out.
    TComponent* reference = MakeReference(component);
    kestrune::ScopeExit freeReference([&] {
      if (reference != nullptr)
        reference->Free();
    });
    reference_failed_ = false;
    if (reference != nullptr && enclosingReference != nullptr)
      OnReference([&] { reference->SetParentComponent(enclosingReference); });
    WriteProperties(component, reference, "", indent + 2);
    TComponent* const childrenParent = reference_failed_ ? nullptr : reference;
    for (int i = 0; i < root_->ComponentCount(); ++i) {
      TComponent* child = root_->Components(i);
      if (child != component && EnclosingOf(child) == component) {
        ++written_;
        WriteComponent(child, indent + 2, component == root_ ? nullptr : childrenParent);
      }
    }
    Line(indent, "end");
  }

  // What reading gives a property it does not find in the text is what the
  // component's construction and the lines read before gave it, which may
  // differ from the declared default of the property's class: a channel
  // link's brush is clear while a brush declares solid, a label's colour
  // clears its ParentColor. The writer compares with a reference: a fresh
  // instance of the component's class, made by the class registry as the
  // reader makes it, that follows the written text as the reader would: it
  // takes the reference of its enclosing block as parent component (a
  // control's font follows its parent's), every value written is set on it
  // in the same order, and each collection written is cleared on it and
  // given one item per written item. A property
  // is written when it differs from its declared default (what the writer
  // always wrote, so that stored texts keep their lines) or from the
  // reference's value (what reading would give it).
  //
  // No reference (declared defaults only) for a class that has no creator,
  // for a form (its construction reads its whole description and runs its
  // OnCreate), for a class with a compiled-in description, and when making
  // it raises. Making one runs the class's constructor and the written
  // values' setters, in the loading state the reader sets (a capture does
  // not start, a device does not open): a scope's timer that cannot fire
  // before the event loop runs again, a capture's message thread and a
  // scrolling text's drawing thread, both ended and joined when the
  // reference is freed, no window (a control's widget is made when it is
  // shown).
  TComponent* MakeReference(TComponent* component) const {
    TClass cls = component->ClassType();
    TPersistentCreator creator = FindCreator(cls);
    if (creator == nullptr || cls->InheritsFrom(TCustomForm::StaticClass()) ||
        HasComponentDescription(cls->Name))
      return nullptr;
    TPersistent* made = nullptr;
    try {
      made = creator(nullptr);
    } catch (...) {
      // The reference only helps choose the lines: whatever its
      // construction raises (std::bad_alloc too) leaves the declared
      // defaults to decide.
      return nullptr;
    }
    auto* reference = dynamic_cast<TComponent*>(made);
    if (reference == nullptr || reference->ClassType() != cls) {
      if (made != nullptr)
        made->Free();
      return nullptr;
    }
    reference->SetLoadingState(true);
    reference->SetReadingState(true);
    return reference;
  }

  // The reference's counterpart of a sub-object, or nullptr where there is
  // none of the same class (the declared defaults then decide).
  template <class T>
  T* Counterpart(TObject* reference, const TPropInfo* info, const T* real) {
    if (reference == nullptr || reference_failed_)
      return nullptr;
    T* counterpart = nullptr;
    OnReference([&] { counterpart = dynamic_cast<T*>(GetObjectProp(reference, info)); });
    if (counterpart == nullptr || counterpart->ClassType() != real->ClassType())
      return nullptr;
    return counterpart;
  }

  // Runs `f` on the reference. Whatever the reference raises says nothing
  // about the text: the component's remaining lines fall back to the
  // declared defaults (the reference is still freed with its block).
  template <class F>
  void OnReference(F&& f) {
    if (reference_failed_)
      return;
    try {
      f();
    } catch (...) {
      reference_failed_ = true;
    }
  }

  // Whether the scalar property `info` of `object` is written: it differs
  // from its declared default, or from what reading gives the reference.
  bool Stored(const TPropInfo* info, TObject* object, TObject* reference) {
    if (!info->IsDefault(object))
      return true;
    if (reference == nullptr)
      return false;
    bool differs = false;
    OnReference([&] { differs = info->GetValue(reference) != info->GetValue(object); });
    return differs && !reference_failed_;
  }

  // A reference reads back as the component it names. One of the root's
  // components whose name reads as a keyword (True, False, nil) is named
  // through the root ("Form1.nil"), which the reader resolves the same way;
  // the root itself so named cannot be referred to.
  std::string ReferenceName(TComponent* c, const std::string& prop) const {
    TComponent* owner = c->Owner();
    if (c == root_ || owner == root_) {
      if (IsWritableIdent(c->Name(), false)) {
        if (!ReadsAsKeyword(c->Name()))
          return c->Name();
        if (c != root_)
          return root_->Name() + "." + c->Name();
        throw EWriteError("La propriété " + prop + " désigne le composant " + c->Name() +
                          ", dont le nom se lit comme un mot-clé");
      }
    } else if (owner != nullptr && IsWritableIdent(owner->Name(), false) &&
               IsWritableIdent(c->Name(), false)) {
      return owner->Name() + "." + c->Name();
    }
    throw EWriteError("La propriété " + prop + " désigne un composant sans nom");
  }

  std::string ScalarText(const TPropInfo* info, const TPropValue& value,
                         const std::string& prop) const {
    switch (info->Kind()) {
      case TPropKind::Integer: {
        const int64_t i = std::get<int64_t>(value);
        if (const TIdentMap* map = info->IdentMap()) {
          if (const std::string* name = map->NameOf(i))
            return *name;
        }
        return std::to_string(i);
      }
      case TPropKind::Single:
        return FormatSingle(static_cast<float>(std::get<double>(value)));
      case TPropKind::Double:
        return FormatDouble(std::get<double>(value));
      case TPropKind::String:
        return QuoteString(std::get<std::string>(value));
      case TPropKind::Boolean:
        return std::get<bool>(value) ? "True" : "False";
      case TPropKind::Enumeration: {
        int64_t i = std::get<int64_t>(value);
        if (i < 0 || i >= static_cast<int64_t>(info->Names().size()))
          throw EWriteError("Valeur hors limites pour la propriété " + prop);
        const std::string& text = info->Names()[static_cast<size_t>(i)];
        if (ReadsAsKeyword(text))
          throw EWriteError("La valeur " + text + " de la propriété " + prop +
                            " se lit comme un mot-clé");
        return text;
      }
      case TPropKind::Set: {
        auto bits = static_cast<uint64_t>(std::get<int64_t>(value));
        std::string text = "[";
        for (size_t i = 0; i < 64; ++i) {
          if ((bits & (uint64_t{1} << i)) == 0)
            continue;
          if (i >= info->Names().size())
            throw EWriteError("Valeur hors limites pour la propriété " + prop);
          if (text.size() > 1)
            text += ", ";
          text += info->Names()[i];
        }
        return text + "]";
      }
      default:
        return {};
    }
  }

  // Writes the published properties of `object` (and its DefineProperties
  // data) under `prefix`; `reference` is its counterpart in the reference,
  // or nullptr.
  void WriteProperties(TObject* object, TObject* reference, const std::string& prefix, int indent) {
    if (!visiting_.insert(object).second)
      throw EWriteError("Le sous-objet " + prefix + " se contient lui-même");
    for (const TPropInfo* info : GetPropList(object)) {
      const std::string name = prefix + info->Name();
      switch (info->Kind()) {
        case TPropKind::Object:
          if (TPersistent* sub = GetObjectProp(object, info))
            WriteProperties(sub, Counterpart(reference, info, sub), name + ".", indent);
          break;
        case TPropKind::Collection:
          if (auto* c = dynamic_cast<TCollection*>(GetObjectProp(object, info)))
            WriteCollection(c, Counterpart(reference, info, c), name, indent);
          break;
        case TPropKind::Component:
          if (auto* c = dynamic_cast<TComponent*>(GetObjectProp(object, info)))
            Line(indent, name + " = " + ReferenceName(c, name));
          break;
        case TPropKind::Event: {
          std::string method;
          try {
            method = info->EventMethodName(object, root_);
          } catch (const EPropertyError& e) {
            throw EWriteError(e.Message());
          }
          if (ReadsAsKeyword(method))
            throw EWriteError("La méthode " + method + " de l'événement " + name +
                              " se lit comme un mot-clé");
          if (!method.empty())
            Line(indent, name + " = " + method);
          break;
        }
        default:
          if (Stored(info, object, reference)) {
            const TPropValue value = info->GetValue(object);
            Line(indent, name + " = " + ScalarText(info, value, name));
            // Reading sets it: what the reference's later properties hold
            // may depend on it (a new item's colour on those of the items
            // before it, ParentColor on Color).
            if (reference != nullptr)
              OnReference([&] { info->SetValue(reference, value); });
          }
      }
    }
    if (auto* persistent = dynamic_cast<TPersistent*>(object)) {
      std::string savedPrefix = std::exchange(prefix_, prefix);
      int savedIndent = std::exchange(indent_, indent);
      persistent->DefineProperties(&writer_);
      prefix_ = savedPrefix;
      indent_ = savedIndent;
    }
    visiting_.erase(object);
  }

  // `reference`: the collection's counterpart, cleared and given its items
  // one by one as the reader does.
  void WriteCollection(TCollection* collection, TCollection* reference, const std::string& name,
                       int indent) {
    bool updating = false;
    if (reference != nullptr) {
      OnReference([&] {
        reference->BeginUpdate();
        updating = true;
        reference->Clear();
      });
    }
    if (collection->Count() == 0) {
      Line(indent, name + " = <>");
    } else {
      Line(indent, name + " = <");
      for (int i = 0; i < collection->Count(); ++i) {
        TCollectionItem* counterpart = nullptr;
        if (reference != nullptr)
          OnReference([&] { counterpart = reference->Add(); });
        Line(indent + 2, "item");
        WriteProperties(collection->Items(i), reference_failed_ ? nullptr : counterpart, "",
                        indent + 4);
        Line(indent + 2, i + 1 == collection->Count() ? "end>" : "end");
      }
    }
    if (updating)
      OnReference([&] { reference->EndUpdate(); });
  }

  TComponent* root_;
  TWriter writer_;
  std::string out_;
  int written_ = 0;
  std::set<TObject*> visiting_;
  // The object whose DefineProperties runs: its name prefix and indent.
  std::string prefix_;
  int indent_ = 0;
  // The DefineProperties handler being run and its open lists (items so
  // far in each).
  bool in_handler_ = false;
  bool value_written_ = false;
  std::vector<int> lists_;
  // Something the reference of the component being written raised: its
  // remaining lines are written by the declared defaults, and the blocks it
  // encloses get unparented references.
  bool reference_failed_ = false;
};

}  // namespace kestrune::detail

using kestrune::detail::DescriptionWriter;

// ---------------------------------------------------------------------------
// TWriter

void TWriter::WriteIdent(std::string_view ident) {
  if (!kestrune::detail::IsWritableIdent(ident, true))
    throw EWriteError("Identificateur incorrect : « " + std::string(ident) + " »");
  engine_->Raw(std::string(ident));
}
void TWriter::WriteString(std::string_view value) {
  engine_->Raw(kestrune::detail::QuoteString(value));
}
void TWriter::WriteBoolean(bool value) {
  engine_->Raw(value ? "True" : "False");
}
void TWriter::WriteInteger(int64_t value) {
  engine_->Raw(std::to_string(value));
}
void TWriter::WriteFloat(double value) {
  engine_->Raw(kestrune::detail::FormatDouble(value));
}
void TWriter::WriteListBegin() {
  engine_->ListBegin();
}
void TWriter::WriteListEnd() {
  engine_->ListEnd();
}

void TWriter::DefineProperty(const std::string& name, TMethod<void(TReader*)> readData,
                             TMethod<void(TWriter*)> writeData, bool hasData) {
  (void)readData;
  engine_->DefineProperty(name, writeData, hasData);
}

std::string WriteComponentToText(TComponent* root) {
  return DescriptionWriter(root).Run();
}
