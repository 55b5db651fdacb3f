// TVariableCtrl: the scenario's numeric and string variables. They live as
// KEY=VALUE lines in the header blocks "ValueFlag" and "StringFlag" of the
// document, so a game may ship initial values. Names beginning with "@" are
// read-only special variables (random number, clock, date, header settings).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "scenario/Velto_file.h"

namespace scenario {

class TVariableCtrl {
public:
    // Far beyond any text a game keeps; longer ones come from a runaway loop
    // (a value doubled on every pass) that would otherwise take all memory.
    // It also keeps what one command copies small.
    static constexpr size_t kMaxStringBytes = 1u << 20;
    // The document may grow to this with its string variables: new names each
    // holding a long text would otherwise take all memory as well.
    static constexpr size_t kMaxDocumentBytes = 256u << 20;

    TVariableCtrl();

    // The document holding the variables; not owned. Without one, stored
    // variables and header settings read as 0 or "" and writes are dropped.
    TVeltoFile* File() const { return file_; }
    void SetFile(TVeltoFile* file) { file_ = file; }
    // The value of "@ScriptFile": the game file's name without its directory.
    const std::string& ScriptFile() const { return scriptFile_; }
    void SetScriptFile(std::string name) { scriptFile_ = std::move(name); }
    int32_t RandomMax() const { return randomMax_; }
    uint32_t StartTick() const { return startTick_; }

    // By bare name; "@" names are special and read-only.
    int32_t GetValueVar(std::string_view name);
    std::string GetStringVar(std::string_view name);
    void SetValueVar(std::string_view name, int32_t value);
    void SetStringVar(std::string_view name, std::string_view text);

    // Whether the document holds the variable: shipped in its header block,
    // or written since.
    bool HasValueVar(std::string_view name);
    bool HasStringVar(std::string_view name);

    // Command operands: "%NAME%" or integer text for numbers, "$NAME$" for
    // strings. Only the first character is checked; the name is what stands
    // between the first and the last character.
    int32_t Get_Value(std::string_view operand);
    // The numeric variable Get_Value reads for `operand`; nothing for a literal.
    static std::optional<std::string_view> OperandName(std::string_view operand);
    // The variable a write to `target` ("%NAME%" or "$NAME$" by `marker`)
    // goes to; nothing for a target the setters refuse as malformed.
    static std::optional<std::string_view> TargetName(std::string_view target, char marker);
    void Set_Value(std::string_view target, int32_t value);

    // A text longer than kMaxStringBytes, or one that would take the
    // document past maxDocumentBytes, is refused in a debug box; the variable
    // keeps its value.
    void Set_Text(std::string_view target, std::string_view text);
    size_t maxDocumentBytes = kMaxDocumentBytes;

    // Replaces $NAME$ with string variables, then %NAME% with numeric ones.
    // An unpaired marker sets `failed` and gives the parse error message; a
    // value that would take the result past kMaxStringBytes sets it too, is
    // reported in a debug box and gives "".
    std::string Substitute(std::string_view text, bool& failed);
    // Substitute, what it gives on failure standing in for the text.
    std::string Get_Text(std::string_view text);
    // Hands `read` each variable Substitute reads in `text`, in order, with
    // its marker. The numeric pass sees the string variables as empty, since
    // their values are not known without playing.
    static void ForEachTextReference(std::string_view text,
                                     const std::function<void(char, std::string_view)>& read);

private:
    int32_t SpecialValue(std::string_view name);
    std::string SpecialString(std::string_view name);

    TVeltoFile* file_ = nullptr;
    std::string scriptFile_ = "unknown file";
    int32_t randomMax_ = 1000;
    uint32_t startTick_;
};

}  // namespace scenario
