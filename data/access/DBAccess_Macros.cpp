// Macros: named pieces of text that stand in SQL as MacroChar followed by a name.
#include <string>
#include <vector>

#include "data/access/DBAccess_Params.h"
#include "data/store/DAConsts.h"
#include "framework/rtl/Streams.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace daccess {

using namespace store;

char MacroChar = '&';

// ---------------------------------------------------------------------------------------------
// TMacro

TMacros* TMacro::Macros() const { return dynamic_cast<TMacros*>(Collection()); }

void TMacro::SetValue(const AnsiString& Value) {
    if (Value == FValue) return;
    FValue = Value;
    if (TMacros* macros = Macros()) macros->NotifyOwner(this);
}

void TMacro::SetActive(bool Value) {
    if (Value == FActive) return;
    FActive = Value;
    if (TMacros* macros = Macros()) macros->NotifyOwner(this);
}

AnsiString TMacro::DisplayName() const { return FName.empty() ? TCollectionItem::DisplayName() : FName; }

void TMacro::Assign(rtl::TPersistent* Source) {
    if (auto* src = dynamic_cast<TMacro*>(Source)) {
        FName = src->FName;
        SetValue(src->FValue);
        SetActive(src->FActive);
        return;
    }
    TCollectionItem::Assign(Source);
}

bool TMacro::IsEqual(const TMacro* Other) const {
    return Other && FName == Other->FName && FValue == Other->FValue && FActive == Other->FActive;
}

// ---------------------------------------------------------------------------------------------
// Finding references

namespace {

struct TMacroLexem {
    int64_t Start;  // 0-based source range
    int64_t End;
    bool IsReference;
    AnsiString Name;  // of a reference
};

// Splits SQL into lexemes, with blanks and comments kept so that the text can be rebuilt, and marks
// the macro references. A macro character followed by something that is no name stays text
// together with that lexeme.
std::vector<TMacroLexem> ReadMacroLexems(const AnsiString& SQL, const TParserClass& ParserClass) {
    rtl::TOwnedPtr<TParser> parser(ParserClass.Create(SQL));
    parser->SetSkipBlanks(false);
    parser->SetSkipComments(false);
    parser->SetUpperCaseKeywords(false);
    parser->SetKeepStringQuotes(true);
    auto* sqlParser = dynamic_cast<TSQLParser*>(parser.get());

    std::vector<TMacroLexem> result;
    AnsiString lexem;
    int64_t start = parser->CurrentPos();
    for (;;) {
        const int code = parser->GetNext(lexem);
        if (code == lcEnd) break;
        const int64_t afterMacro = parser->CurrentPos();
        const bool nonString = sqlParser ? sqlParser->IsNonStringLexeme(code) : code != lcString;
        const bool isMacroChar =
            nonString && code != lcBlank && code != lcComment && lexem.size() == 1 && lexem[0] == MacroChar;
        if (!isMacroChar) {
            result.push_back({start, afterMacro, false, {}});
            start = afterMacro;
            continue;
        }
        const int next = parser->GetNext(lexem);
        if (next == lcEnd) {
            result.push_back({start, afterMacro, false, {}});
            break;
        }
        const int64_t end = parser->CurrentPos();
        if (next == lcIdent || next >= 100)
            result.push_back({start, end, true, lexem});
        else
            result.push_back({start, end, false, {}});
        start = end;
    }
    return result;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TMacros

TMacro* TMacros::FindMacro(const AnsiString& Name) const {
    for (int i = 0; i < Count(); ++i) {
        TMacro* macro = Items(i);
        if (rtl::AnsiSameText(macro->Name(), Name)) return macro;
    }
    return nullptr;
}

TMacro* TMacros::MacroByName(const AnsiString& Name) const {
    TMacro* macro = FindMacro(Name);
    if (!macro) {
        db::DatabaseError(rtl::Format(SMacroNotFound, {Name}), dynamic_cast<rtl::TComponent*>(FOwner));
    }
    return macro;
}

bool TMacros::IsEqual(const TMacros* Other) const {
    if (Other == this) return true;
    if (!Other || Other->Count() != Count()) return false;
    for (int i = 0; i < Count(); ++i)
        if (!Items(i)->IsEqual(Other->Items(i))) return false;
    return true;
}

AnsiString TMacros::MacroText(TMacro* Macro) { return Macro->Active() ? Macro->Value() : AnsiString(); }

void TMacros::Scan(const AnsiString& SQL) {
    if (SQL.find(MacroChar) == AnsiString::npos) {
        Clear();
        return;
    }
    rtl::TOwnedPtr<TMacros> scratch(rtl::Create<TMacros>(nullptr));
    scratch->SetParserClass(*FParserClass);
    for (const TMacroLexem& l : ReadMacroLexems(SQL, *FParserClass)) {
        if (!l.IsReference || scratch->FindMacro(l.Name)) continue;
        auto* macro = static_cast<TMacro*>(scratch->Add());
        if (TMacro* existing = FindMacro(l.Name))
            macro->Assign(existing);
        else
            macro->SetName(l.Name);
    }
    if (!IsEqual(scratch.get())) Assign(scratch.get());
}

void TMacros::Expand(AnsiString& SQL) {
    if (SQL.find(MacroChar) == AnsiString::npos) return;
    AnsiString result;
    result.reserve(SQL.size());
    for (const TMacroLexem& l : ReadMacroLexems(SQL, *FParserClass)) {
        if (!l.IsReference) {
            result.append(SQL, static_cast<size_t>(l.Start), static_cast<size_t>(l.End - l.Start));
            continue;
        }
        if (TMacro* macro = FindMacro(l.Name)) result += MacroText(macro);
    }
    SQL = std::move(result);
}

void TMacros::NotifyOwner(TMacro* Item) {
    if (UpdateCount() > 0 || !FOwner) return;
    auto* owner = dynamic_cast<IMacrosOwner*>(FOwner);
    if (!owner) return;
    if (Item && owner->MacrosOwnerActive()) {
        const AnsiString reference = AnsiString(1, MacroChar) + Item->Name();
        if (owner->MacrosOwnerSQLText().find(reference) == AnsiString::npos) return;
    }
    owner->MacrosChanged();
}

void TMacros::Update(rtl::TCollectionItem* Item) {
    TCollection::Update(Item);
    NotifyOwner(dynamic_cast<TMacro*>(Item));
}

void TMacros::ReadBinaryData(rtl::TStream* Stream) {
    auto readByte = [Stream]() {
        uint8_t b = 0;
        Stream->ReadBuffer(&b, 1);
        return b;
    };
    auto readText = [Stream](size_t length) {
        AnsiString s(length, '\0');
        if (length) Stream->ReadBuffer(s.data(), static_cast<int64_t>(length));
        return s;
    };
    constexpr uint8_t withActive = 100;
    const bool hasActive = readByte() == withActive;
    if (hasActive) readByte();
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        const AnsiString name = readText(readByte());
        uint16_t valueLength = 0;
        Stream->ReadBuffer(&valueLength, 2);
        // The whole stored value is read, however long.
        const AnsiString value = readText(valueLength);
        bool active = true;
        if (hasActive) {
            readByte();
            active = readByte() != 0;
        }
        TMacro* macro = MacroByName(name);
        macro->SetValue(value);
        if (hasActive) macro->SetActive(active);
    }
}

}  // namespace daccess
