#include <algorithm>
#include <cstring>

#include "data/components/UniConsts.h"
#include "data/components/UniProvider.h"
#include "framework/rtl/Ownership.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace components {

namespace {

using store::lcBlank;
using store::lcComment;
using store::lcEnd;
using store::lcIdent;

// An identifier, or a keyword of the lexer (a positive code spelled as a word).
bool IsNameLexeme(store::TParser* Lexer, int Code, const AnsiString& Lexem) {
    if (Code == lcIdent) return true;
    return Code > 0 && !Lexem.empty() && Lexer->IsAlpha(Lexem[0]);
}

// The table entry's text for the name, case-insensitively; false when there is none.
bool LookupValue(const rtl::TStrings* Table, const AnsiString& Name, AnsiString& Value) {
    if (!Table) return false;
    const int index = Table->IndexOfName(Name);
    if (index < 0) return false;
    Value = Table->ValueFromIndex(index);
    return true;
}

struct TCondLevel {
    bool Value;
    bool ElseSeen;
};

}  // namespace

TUniSqlFormatter* TUniSqlFormatterClass::Create() const { rtl::AbstractError(); }

TUniSqlFormatter::TUniSqlFormatter() : FParserClass(&store::TSQLParser::StaticClass()) {}

TUniSqlFormatter::~TUniSqlFormatter() = default;

void TUniSqlFormatter::UnknownFunction(const AnsiString& Name, const std::vector<AnsiString>& /*Args*/,
                                       AnsiString& /*Result*/) {
    throw rtl::Exception(rtl::Format(SUnknownFunction, {Name}));
}

store::TParser* TUniSqlFormatter::CreateLexer(const AnsiString& Text) const {
    store::TParser* lexer = FParserClass->Create(Text);
    lexer->SetSkipBlanks(false);
    lexer->SetSkipComments(false);
    lexer->SetKeepStringQuotes(true);
    // Keywords must reach the output as they were written.
    lexer->SetUpperCaseKeywords(false);
    return lexer;
}

void TUniSqlFormatter::Expand(AnsiString& Text) {
    rtl::TOwnedPtr<store::TParser> lexer(CreateLexer(Text));
    AnsiString result;
    ExpandUntil(lexer.get(), nullptr, result);
    Text = std::move(result);
}

// Copies lexemes into Result up to Terminator (or the end), replacing {fn ...}, {date ...},
// {time ...}, {timestamp ...} and macros by their text and dropping what a false {if} leaves out;
// "quoted" names get the dialect's quotes and line comments become block comments. An {if} left
// open, or an {else} or {endif} without one, raises.
void TUniSqlFormatter::ExpandUntil(store::TParser* Lexer, const char* Terminator, AnsiString& Result) {
    Result.clear();
    std::vector<TCondLevel> stack;
    bool active = true;
    auto recompute = [&] {
        active = true;
        for (const TCondLevel& level : stack) active = active && level.Value;
    };

    AnsiString lexem;
    for (;;) {
        const int code = Lexer->GetNext(lexem);
        if (code == lcEnd) break;
        if (Terminator && lexem == Terminator) break;

        if (lexem == "{") {
            AnsiString name;
            const int nameCode = Lexer->GetNext(name);
            if (!IsNameLexeme(Lexer, nameCode, name)) throw rtl::Exception(SEmptyMacroOrFunctionName);
            AnsiString next;
            const int nextCode = Lexer->GetNext(next);
            AnsiString body;
            if (nextCode == lcBlank)
                ExpandUntil(Lexer, "}", body);
            else if (next != "}")
                throw rtl::Exception(SUnexpectedChar);

            const AnsiString word = rtl::LowerCase(name);
            if (word == "if") {
                stack.push_back({IsConditionDefined(body), false});
                recompute();
            } else if (word == "else") {
                if (stack.empty() || stack.back().ElseSeen) throw rtl::Exception(SUnexpectedElse);
                stack.back().ElseSeen = true;
                stack.back().Value = !stack.back().Value;
                recompute();
            } else if (word == "endif") {
                if (stack.empty()) throw rtl::Exception(SUnexpectedEndif);
                stack.pop_back();
                recompute();
            } else if (active) {
                if (word == "fn")
                    Result += TranslateFunction(body);
                else if (word == "date")
                    Result += DateLiteral(body);
                else if (word == "time")
                    Result += TimeLiteral(body);
                else if (word == "timestamp")
                    Result += TimestampLiteral(body);
                else
                    Result += ExpandMacro(name, body);
            }
            continue;
        }

        if (!active) continue;
        if (code == lcIdent && lexem.size() > 1 && lexem.front() == '"' && lexem.back() == '"') {
            Result += LeftQuote();
            Result.append(lexem, 1, lexem.size() - 2);
            Result += RightQuote();
        } else if (code == lcComment && lexem.starts_with("--") && lexem.find("*/") == AnsiString::npos) {
            // A line comment would swallow whatever follows once the text is joined on one line.
            Result += "/*";
            Result.append(lexem, 2);
            Result += "*/";
        } else {
            Result += lexem;
        }
    }
    if (!stack.empty()) throw rtl::Exception(SNotCompletedIF);
}

// Body is "name" or "name(arg, ...)": the provider's template for the name with up to three arguments
// put in as written (nested brackets and quotes kept), or what UnknownFunction makes of it. Raises on
// an empty name, unbalanced brackets, text after the call or too many arguments.
AnsiString TUniSqlFormatter::TranslateFunction(const AnsiString& Body) {
    rtl::TOwnedPtr<store::TParser> lexer(FParserClass->Create(Body));
    lexer->SetSkipBlanks(true);
    lexer->SetSkipComments(false);
    lexer->SetKeepStringQuotes(true);
    lexer->SetUpperCaseKeywords(false);

    AnsiString name;
    int code = lexer->GetNext(name);
    if (!IsNameLexeme(lexer.get(), code, name)) throw rtl::Exception(SEmptyFunctionName);

    std::vector<AnsiString> args;
    AnsiString lexem;
    code = lexer->GetNext(lexem);
    if (code != lcEnd) {
        if (lexem != "(") throw rtl::Exception(SUnexpectedChar);
        int64_t argStart = lexer->CurrentPos();
        int depth = 0;
        bool closed = false;
        for (;;) {
            code = lexer->GetNext(lexem);
            if (code == lcEnd) break;
            // Nothing may follow the call's closing bracket.
            if (closed) throw rtl::Exception(SInvalidBracketCount);
            if (lexem == "(") {
                ++depth;
            } else if (lexem == ")" || lexem == ",") {
                if (depth == 0) {
                    const int64_t pos = lexer->LastLexemPos();
                    args.push_back(Body.substr(static_cast<size_t>(argStart), static_cast<size_t>(pos - argStart)));
                    argStart = lexer->CurrentPos();
                    if (lexem == ")") closed = true;
                } else if (lexem == ")") {
                    --depth;
                }
            }
        }
        if (!closed) throw rtl::Exception(SInvalidBracketCount);
    }

    AnsiString templ;
    if (!LookupValue(FFunctions, name, templ)) {
        AnsiString result;
        UnknownFunction(name, args, result);
        return result;
    }
    switch (args.size()) {
        case 0: return templ;
        case 1: return rtl::Format(templ, {args[0]});
        case 2: return rtl::Format(templ, {args[0], args[1]});
        case 3: return rtl::Format(templ, {args[0], args[1], args[2]});
        default: throw rtl::Exception(rtl::Format(SWrongArgCnt, {name}));
    }
}

AnsiString TUniSqlFormatter::Literal(const AnsiString& Body, const char* TemplateName, const char* Message,
                                     int Line) const {
    const AnsiString text = rtl::Trim(Body);
    if (text.size() <= 1 || text.front() != '\'' || text.back() != '\'') throw rtl::Exception(Message);
    AnsiString templ;
    if (!LookupValue(FFunctions, TemplateName, templ)) rtl::AssertFail("Assertion failure", UniProviderUnit, Line);
    return rtl::Format(templ, {text});
}

AnsiString TUniSqlFormatter::DateLiteral(const AnsiString& Body) const {
    return Literal(Body, "__DATE_LITERAL", SWrongDate, 1127);
}

AnsiString TUniSqlFormatter::TimeLiteral(const AnsiString& Body) const {
    return Literal(Body, "__TIME_LITERAL", SWrongTime, 1144);
}

AnsiString TUniSqlFormatter::TimestampLiteral(const AnsiString& Body) const {
    return Literal(Body, "__DATE_TIME_LITERAL", SWrongTimestamp, 1161);
}

int TUniSqlFormatter::MacroCount() const {
    return (FMacroNames ? FMacroNames->Count() : 0) + (FPredefinedMacros ? FPredefinedMacros->Count() : 0);
}

AnsiString TUniSqlFormatter::ExpandMacro(const AnsiString& Name, const AnsiString& Body) {
    const AnsiString key = rtl::UpperCase(rtl::Trim(Name));
    const AnsiString suffix = Body.empty() ? AnsiString() : " " + Body;
    AnsiString result;
    const int index = FMacroNames ? FMacroNames->IndexOf(key) : -1;
    if (index >= 0 && FMacroValues && index < FMacroValues->Count())
        result = FMacroValues->Strings(index) + suffix;
    else if (AnsiString value; LookupValue(FPredefinedMacros, key, value))
        result = value + suffix;
    else
        return {};

    // A chain deeper than the number of macros must have met one of them twice.
    if (FMacroDepth >= MacroCount()) throw rtl::Exception(rtl::Format(SCyclicMacros, {key}));
    if (FMacroDepth >= MaxMacroDepth) throw rtl::Exception(rtl::Format(SMacrosTooDeep, {key}));
    ++FMacroDepth;
    rtl::TryFinally([&] { Expand(result); }, [&] { --FMacroDepth; });
    return result;
}

bool TUniSqlFormatter::IsConditionDefined(const AnsiString& Text) const {
    const AnsiString name = rtl::UpperCase(rtl::Trim(Text));
    if (name.empty()) return true;
    return IsMacroDefined(name);
}

bool TUniSqlFormatter::IsMacroDefined(const AnsiString& Name) const {
    if (FMacroNames && FMacroNames->IndexOf(Name) >= 0) return true;
    return FPredefinedMacros && FPredefinedMacros->IndexOfName(Name) >= 0;
}

}  // namespace components

namespace components {

// =============================================================================================
// Connection macros

void TUniMacro::SetName(const AnsiString& Value) {
    FName = Value;
    Changed(false);
}

void TUniMacro::SetValue(const AnsiString& Value) {
    FValue = Value;
    Changed(false);
}

void TUniMacro::SetCondition(const AnsiString& Value) {
    FCondition = Value;
    Changed(false);
}

void TUniMacro::Assign(rtl::TPersistent* Source) {
    if (auto* src = dynamic_cast<TUniMacro*>(Source)) {
        FName = src->FName;
        FValue = src->FValue;
        FCondition = src->FCondition;
        Changed(false);
        return;
    }
    TCollectionItem::Assign(Source);
}

TUniMacro* TUniMacros::Add(const AnsiString& Name, const AnsiString& Value, const AnsiString& Condition) {
    BeginUpdate();
    return rtl::TryFinally(
        [&] {
            auto* macro = static_cast<TUniMacro*>(TCollection::Add());
            macro->SetName(Name);
            macro->SetValue(Value);
            macro->SetCondition(Condition);
            return macro;
        },
        [&] { EndUpdate(); });
}

void TUniMacros::Update(rtl::TCollectionItem* /*Item*/) {
    if (OnMacrosChanged) OnMacrosChanged();
}

namespace {
AnsiString ConditionKey(const AnsiString& Text) { return rtl::AnsiUpperCase(rtl::Trim(Text)); }
}  // namespace

bool IsMacroConditionTrue(TUniMacros* Macros, TUniSqlFormatter* Formatter, int Depth, const AnsiString& Condition) {
    if (Depth > Macros->Count()) throw rtl::Exception(SCyclicConditions);
    if (Depth > MaxMacroDepth) throw rtl::Exception(SMacroConditionsTooDeep);
    if (Formatter->IsConditionDefined(Condition)) return true;
    const AnsiString name = ConditionKey(Condition);
    for (int i = 0; i < Macros->Count(); ++i) {
        TUniMacro* macro = Macros->Items(i);
        if (rtl::AnsiUpperCase(macro->Name()) != name) continue;
        const AnsiString own = ConditionKey(macro->Condition());
        if (own.empty() || IsMacroConditionTrue(Macros, Formatter, Depth + 1, own)) return true;
    }
    return false;
}

void PrepareMacroLists(TUniMacros* Macros, TUniSqlFormatter* Formatter, rtl::TStrings* Names, rtl::TStrings* Values) {
    Names->Clear();
    Values->Clear();
    Formatter->SetMacroLists(Names, Values);
    std::vector<AnsiString> unconditional;
    for (int i = 0; i < Macros->Count(); ++i) {
        TUniMacro* macro = Macros->Items(i);
        const AnsiString condition = ConditionKey(macro->Condition());
        if (!condition.empty() && !IsMacroConditionTrue(Macros, Formatter, 1, condition)) continue;
        const AnsiString name = rtl::AnsiUpperCase(macro->Name());
        const int index = Names->IndexOf(name);
        if (index < 0) {
            Names->Add(name);
            Values->Add(macro->Value());
        } else if (!condition.empty()) {
            auto it = std::find(unconditional.begin(), unconditional.end(), name);
            if (it != unconditional.end()) {
                Values->SetStrings(index, macro->Value());
                unconditional.erase(it);
            }
        }
        if (condition.empty()) unconditional.push_back(name);
    }
}

}  // namespace components
