#include <limits>

#include "data/components/UniConsts.h"
#include "data/components/UniProvider.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace components {

// =============================================================================================
// Option lines of a component

bool TSpecificOptionsList::HasPrefix(const AnsiString& Line) {
    const size_t eq = Line.find('=');
    if (eq == AnsiString::npos) return false;
    const size_t dot = Line.find('.');
    return dot != AnsiString::npos && dot < eq;
}

AnsiString TSpecificOptionsList::Prefixed(const AnsiString& Line) const {
    if (Line.empty() || HasPrefix(Line)) return Line;
    TUniProvider* provider = FGetProvider ? FGetProvider() : nullptr;
    if (!provider) RaiseProviderNotRegistered({});
    return provider->ProviderName() + "." + Line;
}

void TSpecificOptionsList::InsertItem(int Index, const AnsiString& S, rtl::TObject* AObject) {
    TStringList::InsertItem(Index, Prefixed(S), AObject);
}

void TSpecificOptionsList::Put(int Index, const AnsiString& S) { TStringList::Put(Index, Prefixed(S)); }

int TSpecificOptionsList::FindOptionLine(const AnsiString& Name) const {
    int index = IndexOfName(Name);
    if (index < 0 && Name.find('.') == AnsiString::npos && FGetProvider) {
        if (TUniProvider* provider = FGetProvider()) index = IndexOfName(provider->ProviderName() + "." + Name);
    }
    return index;
}

TSpecificOptionsHolder::TSpecificOptionsHolder(TGetProviderFunc GetProvider)
    : FValues(rtl::Create<TSpecificOptionsList>(std::move(GetProvider))) {
    FValues->OnChanging = [this](rtl::TObject* Sender) { ValuesChanging(Sender); };
    FValues->OnChange = [this](rtl::TObject* Sender) { ValuesChanged(Sender); };
}

TSpecificOptionsHolder::~TSpecificOptionsHolder() {
    FValues->OnChanging = nullptr;
    FValues->OnChange = nullptr;
}

// =============================================================================================
// Options

TOption::TOption(AnsiString Name, Variant DefaultValue, std::vector<const rtl::ClassRef*> Classes, int PropertyId)
    : FName(std::move(Name)),
      FDefaultValue(std::move(DefaultValue)),
      FClasses(std::move(Classes)),
      FPropertyId(PropertyId) {}

AnsiString TOption::ValueToText(const Variant& Value) const { return rtl::VarToStr(Value); }

void TOption::CheckText(const AnsiString& Text) const {
    if (!IsValidText(Text)) throw rtl::Exception(SInvalidValue + Text + SForOption + FName);
}

void TOption::GetValuesList(rtl::TStrings* List) {
    if (OnGetValuesList)
        OnGetValuesList(this, List);
    else
        DefaultValuesList(List);
}

bool TOption::AppliesTo(const rtl::TObject* Obj) const {
    const rtl::ClassRef* cls = Obj->ClassType();
    for (const rtl::ClassRef* c : FClasses)
        if (c == cls) return true;
    return false;
}

namespace {
// The integer option parser's "not a number" mark; an option line holding it stays refused, so a
// stored line never changes meaning.
constexpr int32_t InvalidInteger = -std::numeric_limits<int32_t>::max();
}  // namespace

AnsiString TIntegerOption::ValueToText(const Variant& Value) const { return rtl::IntToStr(Value.AsInteger()); }

Variant TIntegerOption::TextToValue(const AnsiString& Text) const {
    int32_t value = 0;
    if (!rtl::TryStrToInt(rtl::Trim(Text), value)) CheckText(Text);
    return Variant(value);
}

bool TIntegerOption::IsValidText(const AnsiString& Text) const {
    int32_t value = 0;
    return rtl::TryStrToInt(rtl::Trim(Text), value) && value != InvalidInteger;
}

void TBooleanOption::DefaultValuesList(rtl::TStrings* List) const {
    List->Add("False");
    List->Add("True");
}

AnsiString TBooleanOption::ValueToText(const Variant& Value) const { return Value.AsBoolean() ? "True" : "False"; }

Variant TBooleanOption::TextToValue(const AnsiString& Text) const {
    return Variant(rtl::SameText(rtl::Trim(Text), "True"));
}

bool TBooleanOption::IsValidText(const AnsiString& Text) const {
    const AnsiString t = rtl::Trim(Text);
    return rtl::SameText(t, "True") || rtl::SameText(t, "False");
}

TEnumeratorOption::TEnumeratorOption(AnsiString Name, Variant DefaultValue, std::vector<const rtl::ClassRef*> Classes,
                                     int PropertyId, AnsiString TypeName, std::vector<AnsiString> ValueNames,
                                     int MinValue)
    : TOption(std::move(Name), std::move(DefaultValue), std::move(Classes), PropertyId),
      FTypeName(std::move(TypeName)),
      FValueNames(std::move(ValueNames)),
      FMinValue(MinValue),
      FMaxValue(MinValue + static_cast<int>(FValueNames.size()) - 1),
      FUnderscore(!FTypeName.empty() && FTypeName[0] == '_') {
    if (FMinValue < 0 || FMaxValue > 255) rtl::AssertFail("Assertion failure", UniProviderUnit, 0);
}

int TEnumeratorOption::Lookup(const AnsiString& Text) const {
    AnsiString t = rtl::Trim(Text);
    if (FUnderscore) t = "_" + t;
    for (size_t i = 0; i < FValueNames.size(); ++i)
        if (rtl::SameText(FValueNames[i], t)) return FMinValue + static_cast<int>(i);
    return -1;
}

void TEnumeratorOption::DefaultValuesList(rtl::TStrings* List) const {
    for (const AnsiString& name : FValueNames) List->Add(FUnderscore ? name.substr(1) : name);
}

AnsiString TEnumeratorOption::ValueToText(const Variant& Value) const {
    const int ordinal = Value.AsInteger();
    if (ordinal < FMinValue || ordinal > FMaxValue) return rtl::IntToStr(ordinal);
    const AnsiString& name = FValueNames[static_cast<size_t>(ordinal - FMinValue)];
    return FUnderscore ? name.substr(1) : name;
}

Variant TEnumeratorOption::TextToValue(const AnsiString& Text) const {
    const int ordinal = Lookup(Text);
    if (ordinal < 0) CheckText(Text);
    return Variant(static_cast<unsigned char>(ordinal));
}

bool TEnumeratorOption::IsValidText(const AnsiString& Text) const { return Lookup(Text) >= 0; }

// =============================================================================================
// Option lists

TOptionsList::TOptionsList(AnsiString ProviderName) : FProviderName(std::move(ProviderName)) {
    SetSorted(true);
    SetDuplicates(rtl::dupAccept);
}

TOptionsList::~TOptionsList() { TOptionsList::Clear(); }

void TOptionsList::Clear() {
    for (int i = 0; i < Count(); ++i) rtl::TObject::Free(Objects(i));
    TStringList::Clear();
}

void TOptionsList::Delete(int Index) {
    rtl::TObject* obj = Objects(Index);
    TStringList::Delete(Index);
    rtl::TObject::Free(obj);
}

void TOptionsList::AddOption(rtl::TOwnedPtr<TOption> Option) {
    AddObject(Option->OptionName(), Option.get());
    (void)Option.release();
}

TOption* TOptionsList::FindOption(const AnsiString& Name) const {
    int index = -1;
    return Find(Name, index) ? Option(index) : nullptr;
}

TOptionLine TOptionsList::SplitOptionLine(const AnsiString& Line) {
    TOptionLine result;
    const size_t e = Line.find('=');
    size_t d = Line.find('.');
    if (e == AnsiString::npos) return result;
    // A point after the "=" belongs to the value.
    if (d != AnsiString::npos && d > e) d = AnsiString::npos;
    if (d != AnsiString::npos) {
        result.Prefix = Line.substr(0, d);
        result.Name = Line.substr(d + 1, e - d - 1);
    } else {
        result.Name = Line.substr(0, e);
    }
    result.Value = Line.substr(e + 1);
    return result;
}

void TOptionsList::ApplyOptions(rtl::TStrings* Lines, rtl::TObject* Obj, const TSetPropFunc& SetProp) {
    std::vector<TOptionLine> parsed;
    const int lineCount = Lines ? Lines->Count() : 0;
    parsed.reserve(static_cast<size_t>(lineCount));
    for (int i = 0; i < lineCount; ++i) parsed.push_back(SplitOptionLine(Lines->Strings(i)));

    for (int i = 0; i < Count(); ++i) {
        TOption* option = Option(i);
        if (!option->AppliesTo(Obj)) continue;
        const TOptionLine* match = nullptr;
        for (const TOptionLine& line : parsed) {
            if (line.Name.empty()) continue;
            if (!line.Prefix.empty() && !rtl::AnsiSameText(line.Prefix, FProviderName)) continue;
            if (!rtl::AnsiSameText(line.Name, option->OptionName())) continue;
            match = &line;
            break;
        }
        Variant value;
        if (match) {
            option->CheckText(match->Value);
            value = option->TextToValue(match->Value);
        } else {
            value = option->DefaultValue();
        }
        if (option->OnSetValue)
            option->OnSetValue(Obj, value);
        else
            SetProp(option->PropertyId(), value);
    }
}

}  // namespace components
