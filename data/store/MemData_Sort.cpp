// IndexFieldNames and the record order of TMemData. A full sort computes each row's key once
// (collation sort keys for text) and sorts stably on them; single records find their place through
// the value comparisons, which order the same way.
#include <algorithm>
#include <cstring>

#include "data/store/DAConsts.h"
#include "data/store/MemData_Internal.h"
#include "data/store/MemData_Filter.h"
#include "data/store/MemData_Store.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace store {

using namespace internal;

namespace {

[[noreturn]] void InvalidFormat() { throw rtl::Exception(SInvalidIndexFieldNames); }

bool IsSeparator(int Code, const AnsiString& Lexem) { return Code == lcSymbol && (Lexem == ";" || Lexem == ","); }

}  // namespace

void TMemData::InitSortColumn(TSortColumn& Column) {
    Column.DescendingOrder = false;
    Column.SortType = stCaseSensitive;
}

void TMemData::ParseIndexFieldNames() {
    AnsiString text = rtl::Trim(FIndexFieldNames);
    if (text.empty()) {
        FSortColumns.clear();
        return;
    }
    // Built aside, so that a bad text leaves the order that the rows are actually in.
    TSortColumns columns;
    rtl::TOwnedPtr<TBoolParser> lexer(rtl::Create<TBoolParser>(text));
    lexer->SetSkipComments(true);
    AnsiString lexem;
    int code = lexer->GetNext(lexem);
    while (true) {
        while (IsSeparator(code, lexem)) code = lexer->GetNext(lexem);
        if (code == lcEnd) break;
        AnsiString name;
        if (code == lcIdent) {
            name = lexem;
        } else if (code == lcString) {
            name = UndoubleQuotes(lexem);
        } else if (code == bxLeftBracket) {
            lexer->SetSkipBlanks(false);
            while (true) {
                code = lexer->GetNext(lexem);
                if (code == lcEnd || code == bxRightBracket) break;
                name += lexem;
            }
            lexer->SetSkipBlanks(true);
            name = rtl::Trim(name);
        } else {
            InvalidFormat();
        }
        TFieldDesc* field = FFields.FindField(rtl::AnsiToWide(name));
        if (!field) FieldNotFound(name);
        TSortColumn column;
        column.FieldDesc = field;
        InitSortColumn(column);
        bool orderSeen = false, typeSeen = false;
        code = code == lcEnd ? lcEnd : lexer->GetNext(lexem);
        while (code != lcEnd && !IsSeparator(code, lexem)) {
            if (code != lcIdent) InvalidFormat();
            const AnsiString word = rtl::UpperCase(lexem);
            if (word == "ASC" || word == "DESC") {
                if (orderSeen) InvalidFormat();
                orderSeen = true;
                column.DescendingOrder = word == "DESC";
            } else if (word == "CIS" || word == "CS" || word == "BIN") {
                if (typeSeen) InvalidFormat();
                typeSeen = true;
                column.SortType = word == "CIS" ? stCaseInsensitive : (word == "CS" ? stCaseSensitive : stBinary);
            } else {
                InvalidFormat();
            }
            code = lexer->GetNext(lexem);
        }
        columns.push_back(column);
    }
    FSortColumns = std::move(columns);
}

void TMemData::SetIndexFieldNames(const AnsiString& Value) {
    FIndexFieldNames = Value;
    if (FActive) {
        ParseIndexFieldNames();
        SortItems();
    } else if (FPrepared) {
        ParseIndexFieldNames();
    }
}

int TMemData::CompareRecords(const void* RecBuf1, const void* RecBuf2) {
    const void* r1 = RecBuf1;
    const void* r2 = RecBuf2;
    std::vector<uint8_t> calc1, calc2;
    bool calcPrepared = false;
    for (const TSortColumn& column : FSortColumns) {
        const void* a = RecBuf1;
        const void* b = RecBuf2;
        if (column.FieldDesc->DescKind == fdkCalculatedArea && CalcRecordEvent) {
            if (!calcPrepared) {
                const size_t size = static_cast<size_t>(FRecordSize + FCalcRecordSize);
                calc1.assign(size, 0);
                calc2.assign(size, 0);
                std::memcpy(calc1.data(), RecBuf1, static_cast<size_t>(FRecordSize));
                std::memcpy(calc2.data(), RecBuf2, static_cast<size_t>(FRecordSize));
                CalcRecordEvent(calc1.data(), RecBuf1);
                CalcRecordEvent(calc2.data(), RecBuf2);
                r1 = calc1.data();
                r2 = calc2.data();
                calcPrepared = true;
            }
            a = r1;
            b = r2;
        }
        const int res = CompareBySortColumn(a, b, column);
        if (res != 0) return column.DescendingOrder ? -res : res;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Full sort
// ---------------------------------------------------------------------------------------------

namespace {

enum class TKeyKind { Int, Float, Text, Record };

// A row's key for one column: a number, or a range of the column's text buffer.
union TKeyValue {
    int64_t Int;
    double Float;
    struct {
        uint32_t Off;
        uint32_t Len;
    } Text;
};

// The keys of one sort column, in the order the value comparisons give. The first column's keys
// live in the sort entries themselves; the others here.
struct TColumnKeys {
    TKeyKind Kind = TKeyKind::Record;
    const TSortColumn* Column = nullptr;
    std::vector<TKeyValue> Values;
    std::vector<uint8_t> Null;
    // Text keys of all rows in one buffer, so that a sort does not allocate per row.
    std::string Arena;

    void SetText(TKeyValue& v, std::string_view key) {
        v.Text.Off = static_cast<uint32_t>(Arena.size());
        v.Text.Len = static_cast<uint32_t>(key.size());
        Arena.append(key);
    }
    std::string_view Text(const TKeyValue& v) const { return std::string_view(Arena).substr(v.Text.Off, v.Text.Len); }

    int Compare(const TKeyValue& a, bool nullA, const TKeyValue& b, bool nullB) const {
        int r;
        if (nullA || nullB) {
            r = nullA == nullB ? 0 : (nullA ? -1 : 1);
        } else if (Kind == TKeyKind::Int) {
            r = a.Int < b.Int ? -1 : (b.Int < a.Int ? 1 : 0);
        } else if (Kind == TKeyKind::Float) {
            r = a.Float < b.Float ? -1 : (b.Float < a.Float ? 1 : 0);
        } else {
            const int c = Text(a).compare(Text(b));
            r = c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        return Column->DescendingOrder ? -r : r;
    }
};

struct TSortEntry {
    TKeyValue Key;
    uint32_t Index;
    uint8_t Null;
};

// Code units in big-endian byte order, so that byte order is code-unit order.
std::string WideOrdinalKey(const WideString& s) {
    std::string k(s.size() * 2, '\0');
    for (size_t i = 0; i < s.size(); ++i) {
        k[2 * i] = static_cast<char>(s[i] >> 8);
        k[2 * i + 1] = static_cast<char>(s[i] & 0xFF);
    }
    return k;
}

TKeyKind KindOf(TMemDataType Type) {
    switch (Type) {
        case mdtInt8:
        case mdtInt16:
        case mdtInt32:
        case mdtInt64:
        case mdtUInt8:
        case mdtUInt16:
        case mdtUInt32:
        case mdtBoolean:
        case mdtBCD:
            return TKeyKind::Int;
        case mdtFloat:
        case mdtCurrency:
        case mdtDate:
        case mdtTime:
        case mdtDateTime:
            return TKeyKind::Float;
        case mdtString:
        case mdtExtString:
        case mdtWideString:
        case mdtExtWideString:
        case mdtGuid:
        case mdtBlob:
        case mdtMemo:
        case mdtWideMemo:
            return TKeyKind::Text;
        default:
            return TKeyKind::Record;
    }
}

}  // namespace

void TMemData::SortItems() {
    if (FSortColumns.empty() || !FFirstItem) {
        ReorderItems(nullptr, rmAll);
        return;
    }
    std::vector<TRecordItem*> items;
    for (TRecordItem* it = FFirstItem; it; it = it->Next) items.push_back(it);
    const size_t count = items.size();

    // Records as the comparisons see them: with the calculated area filled when a column lies there.
    bool needCalc = false;
    for (const TSortColumn& c : FSortColumns)
        if (c.FieldDesc->DescKind == fdkCalculatedArea && CalcRecordEvent) needCalc = true;
    std::vector<uint8_t> calcArea;
    const size_t calcSize = static_cast<size_t>(FRecordSize + FCalcRecordSize);
    if (needCalc) {
        calcArea.assign(calcSize * count, 0);
        for (size_t i = 0; i < count; ++i) {
            uint8_t* buf = calcArea.data() + i * calcSize;
            std::memcpy(buf, TBlockManager::RecordOf(items[i]), static_cast<size_t>(FRecordSize));
            CalcRecordEvent(buf, TBlockManager::RecordOf(items[i]));
        }
    }
    auto record = [&](size_t i) -> const void* {
        return needCalc ? static_cast<const void*>(calcArea.data() + i * calcSize) : TBlockManager::RecordOf(items[i]);
    };

    std::vector<TSortEntry> entries(count);
    std::vector<TColumnKeys> keys(FSortColumns.size());
    for (size_t c = 0; c < FSortColumns.size(); ++c) {
        const TSortColumn& column = FSortColumns[c];
        const TFieldDesc* f = column.FieldDesc;
        TColumnKeys& k = keys[c];
        k.Column = &column;
        k.Kind = f->HasParent() ? TKeyKind::Record : KindOf(f->DataType);
        if (k.Kind == TKeyKind::Record) continue;
        if (c > 0) {
            k.Values.resize(count);
            k.Null.resize(count);
        }
        if (k.Kind == TKeyKind::Text) k.Arena.reserve(count * 64);
        const bool binary = column.SortType == stBinary;
        const bool ci = column.SortType == stCaseInsensitive;
        const bool trim = TrimFor(f);
        for (size_t i = 0; i < count; ++i) {
            TKeyValue& v = c == 0 ? entries[i].Key : k.Values[i];
            uint8_t& null = c == 0 ? entries[i].Null : k.Null[i];
            const void* rec = record(i);
            v.Int = 0;
            null = GetNull(f->FieldNo, rec);
            if (null) continue;
            const uint8_t* slot = Slot(rec, f);
            switch (f->DataType) {
                case mdtInt8: v.Int = Load<int8_t>(slot); break;
                case mdtInt16: v.Int = Load<int16_t>(slot); break;
                case mdtInt32: v.Int = Load<int32_t>(slot); break;
                case mdtInt64: v.Int = Load<int64_t>(slot); break;
                case mdtBCD: v.Int = Load<int64_t>(slot); break;
                case mdtUInt8: v.Int = Load<uint8_t>(slot); break;
                case mdtUInt16: v.Int = Load<uint16_t>(slot); break;
                case mdtUInt32: v.Int = Load<uint32_t>(slot); break;
                case mdtBoolean: v.Int = Load<uint8_t>(slot) != 0; break;
                case mdtFloat:
                case mdtCurrency:
                case mdtDate:
                case mdtTime:
                case mdtDateTime: v.Float = Load<double>(slot); break;
                case mdtWideString:
                case mdtExtWideString: {
                    WideString s = f->DataType == mdtWideString ? WideFromPtr(slot, f->Length)
                                                                : WideFromPtr(Load<const void*>(slot), SIZE_MAX);
                    if (trim && f->DataType == mdtWideString) TrimControlTail(s);
                    k.SetText(v, binary ? WideOrdinalKey(s) : rtl::WideSortKey(s, ci));
                    break;
                }
                default: {
                    std::string_view text;
                    AnsiString owned;
                    if (f->DataType == mdtString || f->DataType == mdtGuid) {
                        const char* p = reinterpret_cast<const char*>(slot);
                        text = std::string_view(p, strnlen(p, static_cast<size_t>(f->Size)));
                        if (trim && f->DataType == mdtString)
                            while (!text.empty() && static_cast<uint8_t>(text.back()) <= 32) text.remove_suffix(1);
                    } else if (f->DataType == mdtExtString) {
                        const char* p = Load<const char*>(slot);
                        if (p) text = p;
                    } else if (Load<const void*>(slot)) {
                        owned = GetBlob(f->FieldNo, rec)->GetAsAnsiString();
                        text = owned;
                    }
                    if (binary)
                        k.SetText(v, text);
                    else
                        k.SetText(v, rtl::AnsiSortKey(text, ci || f->DataType == mdtGuid));
                    break;
                }
            }
        }
    }
    for (size_t i = 0; i < count; ++i) entries[i].Index = static_cast<uint32_t>(i);

    auto compareRest = [&](uint32_t a, uint32_t b) -> int {
        for (size_t c = 1; c < keys.size(); ++c) {
            const TColumnKeys& k = keys[c];
            int r;
            if (k.Kind == TKeyKind::Record) {
                r = CompareBySortColumn(record(a), record(b), *k.Column);
                if (k.Column->DescendingOrder) r = -r;
            } else {
                r = k.Compare(k.Values[a], k.Null[a], k.Values[b], k.Null[b]);
            }
            if (r) return r;
        }
        return 0;
    };
    const TColumnKeys& first = keys.front();
    // Stable: rows equal on every column keep their order.
    std::stable_sort(entries.begin(), entries.end(), [&](const TSortEntry& a, const TSortEntry& b) {
        int r;
        if (first.Kind == TKeyKind::Record) {
            r = CompareBySortColumn(record(a.Index), record(b.Index), *first.Column);
            if (first.Column->DescendingOrder) r = -r;
        } else {
            r = first.Compare(a.Key, a.Null, b.Key, b.Null);
        }
        if (r == 0) r = compareRest(a.Index, b.Index);
        return r < 0;
    });

    // Relinked in the list's former order, which is mostly the items' order in memory.
    std::vector<uint32_t> place(count);
    for (size_t p = 0; p < count; ++p) place[entries[p].Index] = static_cast<uint32_t>(p);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t p = place[i];
        items[i]->Prev = p > 0 ? items[entries[p - 1].Index] : nullptr;
        items[i]->Next = p + 1 < count ? items[entries[p + 1].Index] : nullptr;
    }
    FFirstItem = items[entries.front().Index];
    FLastItem = items[entries.back().Index];
    ReorderItems(nullptr, rmAll);
}

}  // namespace store
