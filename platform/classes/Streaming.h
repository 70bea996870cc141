// Stored descriptions: the text format of a component tree, its reader and
// its writer.
//
// A description holds one root component and the components it owns:
//
//   object fmMain: TfmMain
//     Caption = "Kestrune"
//     object MoskAudioIn1: TMoskAudioIn
//       PumpPriority = 0
//       AudioFormat.SampleRate = 44100
//       OutputPin.SinkPins = (fmMain.MoskAudioIn1PPM.InputPin, fmMain.MoskRemoveDC1.InputPin)
//     end
//     object MoskAudioIn1PPM: TMoskPPMMeter
//       OnValueChange = MoskAudioIn1PPMValueChange
//     end
//     object TrelScope1: TTrelScope
//       Channels = <
//         item
//           Name = "Channel0"
//         end>
//     end
//   end
//
// Values: integers (-12), floats (0.5, 1E-5, INF, -INF, NAN), double-quoted
// strings (escapes \" \\ \n \r \t \xHH), identifiers with dots, True, False,
// nil, sets [a, b], parenthesised comma-separated lists nested at will, and,
// as a whole property value, collections < item ... end item ... end >.
// Dotted property names reach published sub-objects. A name that is not a
// published property is offered to the object's DefineProperties, whose
// handlers read and write their values through TReader and TWriter. Nested
// object blocks: every component is owned by the root; a block nested inside
// another component's block is given that component as its parent component
// (TComponent::SetParentComponent).
//
// Reading a description: the whole text is checked first; then the root's
// properties are set and its components created in order (owner the root,
// csLoading and csReading set), their names and properties set; component
// references and events are resolved once the whole description is read; then
// csReading is cleared and Loaded runs on every created component in creation
// order and on the root last. A description that cannot be read raises
// EDescriptionError (an EReadError) naming the line and the offending text;
// an exception raised by a setter or a DefineProperties handler becomes one
// with its message kept; an exception raised by Loaded passes as it is.
// Whatever fails, every component the read created is freed (the root too
// when the read created it). A read started while a component is made (a
// form reads its own description) nests below it, and the nesting limit
// counts across such reads: a description that holds a component of its own
// class is refused instead of being read for ever.
//
// Threads: the main thread (descriptions build windows); the registry of
// compiled-in descriptions is filled during unit start-up.
//
// Files: platform/classes/StreamingText.* (the text format: tokens, lexer,
// parser), StreamingReader.cpp (building components, TReader, the read entry
// points, the registry), StreamingWriter.cpp (TWriter, WriteComponentToText).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/classes/Classes.h"

namespace kestrune::detail {
class DescriptionReader;
class DescriptionWriter;
}  // namespace kestrune::detail

// A read failure: the message ends with the line and the offending text, as
// in `Propriété Foo inexistante (ligne 3 : « Foo »)`. The offending text (and
// a name the message quotes) is cut after 60 bytes at most, between two
// characters, with "..." after the cut; control characters and bytes that
// are not UTF-8 appear as \xHH.
class EDescriptionError : public EReadError {
 public:
  EDescriptionError(const std::string& message, int line, std::string text);
  const char* ClassName() const override { return "EDescriptionError"; }
  // The 1-based line of the offending text.
  int Line() const { return line_; }
  const std::string& Text() const { return text_; }

 private:
  int line_;
  std::string text_;
};

// The kind of the next value a reader holds.
enum class TValueKind {
  None,  // no value: the end of a list, or of the property's value
  Integer,
  Float,
  String,
  Ident,
  False,
  True,
  Nil,
  Set,
  List,
  Collection,
};

// What readers and writers share: the root being read or written and the
// declaration of extra stored properties (TPersistent::DefineProperties).
class TFiler : public TObject {
  KESTRUNE_CLASS(TFiler, TObject)
  // The root component of the description.
  TComponent* Root() const { return root_; }
  // The component whose owned components names are looked up in (the root).
  TComponent* LookupRoot() const { return root_; }

  // Declares the stored property `name` of the object whose DefineProperties
  // runs. A reader calls `readData` when the property being read has that
  // name (case ignored); a writer calls `writeData` when `hasData`, and the
  // handler writes exactly one value.
  virtual void DefineProperty(const std::string& name, TMethod<void(TReader*)> readData,
                              TMethod<void(TWriter*)> writeData, bool hasData) = 0;

 protected:
  explicit TFiler(TComponent* root) : root_(root) {}

 private:
  TComponent* root_;
};

// Reads values for DefineProperties handlers. A handler reads exactly the
// property's value: reading past it, or leaving part of it, raises
// EDescriptionError. Every read call raises EDescriptionError "Valeur de
// propriété incorrecte" when the next value is of another kind.
class TReader final : public TFiler {
  KESTRUNE_CLASS(TReader, TFiler)
  TValueKind NextValue();
  // An identifier; also accepts True, False and nil, returned as written.
  std::string ReadIdent();
  std::string ReadString();
  bool ReadBoolean();
  int64_t ReadInteger();
  // A float or an integer.
  double ReadFloat();
  void ReadListBegin();
  void ReadListEnd();
  // True at the end of the current list (or of the property's value).
  bool EndOfList();
  // Skips the next value, whatever its kind (a whole list or set).
  void SkipValue();
  // Raises EDescriptionError with `message` at the current position.
  [[noreturn]] void ReadError(const std::string& message);

  void DefineProperty(const std::string& name, TMethod<void(TReader*)> readData,
                      TMethod<void(TWriter*)> writeData, bool hasData) override;

 private:
  friend class kestrune::detail::DescriptionReader;
  TReader(kestrune::detail::DescriptionReader* engine, TComponent* root)
      : TFiler(root), engine_(engine) {}
  kestrune::detail::DescriptionReader* engine_;
};

// Writes values for DefineProperties handlers. A handler writes exactly one
// value (which may be a list); anything else raises EWriteError.
class TWriter final : public TFiler {
  KESTRUNE_CLASS(TWriter, TFiler)
  // Raises EWriteError when `ident` is not an identifier (dotted names
  // allowed).
  void WriteIdent(std::string_view ident);
  void WriteString(std::string_view value);
  void WriteBoolean(bool value);
  void WriteInteger(int64_t value);
  void WriteFloat(double value);
  void WriteListBegin();
  void WriteListEnd();

  void DefineProperty(const std::string& name, TMethod<void(TReader*)> readData,
                      TMethod<void(TWriter*)> writeData, bool hasData) override;

 private:
  friend class kestrune::detail::DescriptionWriter;
  TWriter(kestrune::detail::DescriptionWriter* engine, TComponent* root)
      : TFiler(root), engine_(engine) {}
  kestrune::detail::DescriptionWriter* engine_;
};

// Reads `text` into the existing `root`: the description's root class must be
// root's class or an ancestor of it; a root without a name takes the stored
// one. On failure the components created by the read are freed and root is
// left without new children (its own properties may have been set).
void ReadComponentFromText(TComponent* root, std::string_view text);
// Creates the description's root (by its class name, with `owner`) and reads
// the description into it. The caller owns the result (or `owner` does). On
// failure nothing is left.
TComponent* CreateComponentFromText(std::string_view text, TComponent* owner);
// The description of `root` and its owned components: published properties
// that differ from their declared defaults or from what reading would give
// them, DefineProperties data with hasData, owned components in order. What
// reading would give a property is the value a fresh instance of its
// component's class holds there once it has taken the lines written before
// it, in the same enclosing block (a channel link's brush style is stored
// when solid, though solid is TBrush's declared default, since a new link's
// brush is clear). Forms, classes with a compiled-in description and classes
// that cannot be created are compared with the declared defaults only; so is
// a component whose fresh instance raises anything (std::bad_alloc too) while
// it is made, and its lines after the one whose value its fresh instance
// raised on. So writing constructs and frees a fresh instance of each written
// component's class (but for the classes above that have none): its
// constructor and destructor run (a capture component starts and joins its
// message thread, pins are announced and withdrawn), which a caller pays for
// on every write. Raises
// EWriteError when something cannot be stored (an unnamed component, a
// reference to a component outside any root, an event bound to an unpublished
// method, a name that would read back as True, False or nil where a value
// stands). A reference to one of the root's components named so is written
// through the root ("Form1.nil").
std::string WriteComponentToText(TComponent* root);

// Compiled-in descriptions, keyed by the root's class name (case ignored).
// Registering again replaces the text.
void RegisterComponentDescription(std::string_view className, std::string_view text);
bool HasComponentDescription(std::string_view className);
// Reads the description registered for root's class into root (call it once
// construction is complete, so that root's class is the most derived one).
// False when no description is registered; raises as ReadComponentFromText.
bool ReadComponentDescription(TComponent* root);
