// Macros: named pieces of text put into SQL before it is sent. The SQL
// refers to a macro by MacroChar directly followed by the macro's name
// ("&where"). TMacros finds the references with its owner's lexer, keeps one
// TMacro per referenced name (the values survive edits of the SQL), and
// expands the text.
//
// A reference: MacroChar as a lexeme of its own (not inside a string or a
// comment, and allowed there by the lexer), then an identifier or keyword,
// or a number when the lexer allows numeric names; a number with a word
// directly after it is one name ("&1st"). MacroChar followed by anything
// else stays in the text as it is.
#pragma once

#include <cstdint>
#include <string>

#include "dac/framework/classes/collection.h"
#include "dac/framework/classes/streams.h"
#include "dac/framework/values/text_conversions.h"

namespace dac {

class TComponent;
class TParserClass;
class TMacros;

class TMacro : public TCollectionItem {
  DAC_DECLARE_CLASS();

 public:
  TMacro() = default;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& value) { name_ = value; }
  // The text put in place of a reference.
  const std::string& Value() const { return value_; }
  // A change tells the owner, unless the collection is being updated.
  void SetValue(const std::string& value);
  // An inactive macro expands to nothing.
  bool Active() const { return active_; }
  void SetActive(bool value);

  // The value as a quoted SQL string: written in single quotes with every
  // inner quote doubled; read without surrounding blanks and one quote at
  // each end, a quoted value with its doubled quotes undone.
  std::string AsString() const;
  void SetAsString(const std::string& value);
  // Dates in the format settings, quoted like AsString.
  DateTime AsDateTime() const;
  void SetAsDateTime(DateTime value);
  // Numbers as plain text.
  double AsFloat() const;
  void SetAsFloat(double value);
  int32_t AsInteger() const;
  void SetAsInteger(int32_t value);

  // Same name (exactly), value and activity.
  bool IsEqual(const TMacro& other) const;
  std::string GetDisplayName() const override;
  // Name, Value and Active, for the collection's filing.
  void DefineProperties(TFiler& filer) override;

 protected:
  // Into another macro: the name, then value and activity through their setters.
  void AssignTo(TPersistent* dest) const override;
  // The owner reassembles its SQL; an open dataset whose SQL does not refer
  // to this macro is left alone.
  void NotifyOwner();

 private:
  TMacros* Macros() const;

  std::string name_;
  std::string value_;
  bool active_ = true;
};

class TMacros : public TCollection {
  DAC_DECLARE_CLASS();

 public:
  // owner: the SQL command component or dataset whose SQL the macros serve, or none.
  explicit TMacros(TComponent* owner = nullptr);

  TMacro* Items(int index) const { return static_cast<TMacro*>(TCollection::Items(index)); }
  TComponent* Owner() const;
  // The lexer class references are found with (the base TParser by default).
  const TParserClass& ParserClass() const { return *parser_class_; }
  void SetParserClass(const TParserClass& value) { parser_class_ = &value; }

  // One macro per name referenced in the SQL, in order of first reference,
  // keeping the values of the names held already; the owner reassembles
  // its SQL when the list changes. SQL without MacroChar empties the list.
  void Scan(const std::string& sql);
  // Every reference replaced by its macro's value; a reference to a name
  // without a macro is removed.
  void Expand(std::string& sql) const;
  // The value of an active macro, else "".
  virtual std::string GetMacroValue(const TMacro& macro) const;
  // By name without regard to case; null when none.
  TMacro* FindMacro(const std::string& name) const;
  // EDatabaseError "Macro %s not found" naming the owner.
  TMacro* MacroByName(const std::string& name) const;
  // Each macro of source gives its value to the one of the same name here.
  void AssignValues(const TMacros& source);
  // The same names, values and activity in the same order.
  bool IsEqual(const TMacros& other) const;
  // "Data": macro values a form stores in the compact binary form, read only.
  void DefineProperties(TFiler& filer) override;

 protected:
  // After a change: the owner reassembles its SQL.
  void Update(TCollectionItem* item) override;
  void AssignTo(TPersistent* dest) const override;

 private:
  void ReadData(TStream& stream);

  const TParserClass* parser_class_;
};

}  // namespace dac
