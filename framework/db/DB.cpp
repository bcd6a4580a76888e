// Errors, message formatting, field-name lists and the field-class registry.
#include "framework/db/DB.h"

#include <array>

#include "framework/rtl/Text.h"

namespace db {

namespace {

const char* const kFieldTypeNames[FieldTypeCount] = {
    "Unknown",     "String",    "SmallInt",  "Integer",       "Word",     "Boolean",      "Float",
    "Currency",    "BCD",       "Date",      "Time",          "DateTime", "Bytes",        "VarBytes",
    "AutoInc",     "Blob",      "Memo",      "Graphic",       "FmtMemo",  "ParadoxOle",   "dBaseOle",
    "TypedBinary", "Cursor",    "FixedChar", "WideString",    "Largeint", "ADT",          "Array",
    "Reference",   "DataSet",   "OraBlob",   "OraClob",       "Variant",  "Interface",    "IDispatch",
    "Guid",        "TimeStamp", "FMTBcd",    "FixedWideChar", "WideMemo", "OraTimeStamp", "OraInterval"};

std::array<TFieldClass, FieldTypeCount>& Registry() {
    static std::array<TFieldClass, FieldTypeCount> classes{};
    return classes;
}

template <class S>
S ExtractName(const S& Fields, size_t& Pos) {
    size_t start = Pos;
    while (Pos < Fields.size() && Fields[Pos] != ';') ++Pos;
    S name = Fields.substr(start, Pos - start);
    if (Pos < Fields.size()) ++Pos;  // past the separator
    size_t b = 0;
    while (b < name.size() && (name[b] == ' ' || name[b] == '\t')) ++b;
    size_t e = name.size();
    while (e > b && (name[e - 1] == ' ' || name[e - 1] == '\t')) --e;
    return name.substr(b, e - b);
}

}  // namespace

const char* FieldTypeName(TFieldType t) noexcept {
    int i = static_cast<int>(t);
    if (i < 0 || i >= FieldTypeCount) return "Unknown";
    return kFieldTypeNames[i];
}

bool IsBlobType(TFieldType t) noexcept {
    switch (t) {
        case ftBlob:
        case ftMemo:
        case ftGraphic:
        case ftFmtMemo:
        case ftParadoxOle:
        case ftDBaseOle:
        case ftTypedBinary:
        case ftOraBlob:
        case ftOraClob:
        case ftWideMemo: return true;
        default: return false;
    }
}

AnsiString FormatMessage(std::string_view Fmt, std::initializer_list<AnsiString> Args) {
    AnsiString out;
    auto arg = Args.begin();
    for (size_t i = 0; i < Fmt.size(); ++i) {
        char c = Fmt[i];
        if (c == '%' && i + 1 < Fmt.size()) {
            char n = Fmt[i + 1];
            if (n == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (n == 's' || n == 'd') {
                if (arg != Args.end()) out += *arg++;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

void DatabaseError(const AnsiString& Message, rtl::TComponent* Component) {
    if (Component && !Component->Name().empty()) throw EDatabaseError(Component->Name() + ": " + Message);
    throw EDatabaseError(Message);
}

void DatabaseErrorFmt(std::string_view Fmt, std::initializer_list<AnsiString> Args, rtl::TComponent* Component) {
    DatabaseError(FormatMessage(Fmt, Args), Component);
}

WideString ExtractFieldName(const WideString& Fields, size_t& Pos) { return ExtractName(Fields, Pos); }
AnsiString ExtractFieldName(const AnsiString& Fields, size_t& Pos) { return ExtractName(Fields, Pos); }

TFieldClass DefaultFieldClass(TFieldType t) noexcept {
    int i = static_cast<int>(t);
    if (i < 0 || i >= FieldTypeCount) return nullptr;
    return Registry()[static_cast<size_t>(i)];
}

TFieldClass RegisterFieldClass(TFieldType t, TFieldClass cls) noexcept {
    int i = static_cast<int>(t);
    if (i < 0 || i >= FieldTypeCount) return nullptr;
    TFieldClass old = Registry()[static_cast<size_t>(i)];
    Registry()[static_cast<size_t>(i)] = cls;
    return old;
}

}  // namespace db
