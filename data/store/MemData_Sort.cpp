// IndexFieldNames and the record order of TMemData. A full sort computes each row's key once
// (collation sort keys for text) and sorts stably on them; single records find their place through
// the value comparisons, which order the same way.
#include <algorithm>
#include <cstring>
#include <unordered_map>

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

// Reads IndexFieldNames ("f1 DESC CIS; [f 2]; \"f3\"", separated by ; or ,) into the sort columns:
// each field with at most one order (ASC/DESC) and one comparison (CIS/CS/BIN). An unknown field or
// word raises and leaves the columns as they were.
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

    std::string_view Text(const TKeyValue& v) const { return std::string_view(Arena).substr(v.Text.Off, v.Text.Len); }

    // Ascending order of the column's values, nulls first; the caller applies the direction.
    int Compare(const TKeyValue& a, bool nullA, const TKeyValue& b, bool nullB) const {
        if (nullA || nullB) return nullA == nullB ? 0 : (nullA ? -1 : 1);
        if (Kind == TKeyKind::Int) return a.Int < b.Int ? -1 : (b.Int < a.Int ? 1 : 0);
        if (Kind == TKeyKind::Float) return a.Float < b.Float ? -1 : (b.Float < a.Float ? 1 : 0);
        const int c = Text(a).compare(Text(b));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
};

struct TSortEntry {
    TKeyValue Key;
    uint32_t Index;
    uint8_t Null;
};

// Code units in big-endian byte order, so that byte order is code-unit order.
std::string WideOrdinalKey(std::u16string_view s) {
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
        case mdtBCD: return TKeyKind::Int;
        case mdtFloat:
        case mdtCurrency:
        case mdtDate:
        case mdtTime:
        case mdtDateTime: return TKeyKind::Float;
        case mdtString:
        case mdtExtString:
        case mdtWideString:
        case mdtExtWideString:
        case mdtGuid:
        case mdtBlob:
        case mdtMemo:
        case mdtWideMemo: return TKeyKind::Text;
        default: return TKeyKind::Record;
    }
}

// The text a row's key is made from, as bytes: code page text, or UTF-16 code units for the wide
// types (kept in Wide).
std::string_view KeySourceText(const TFieldDesc* f, const uint8_t* slot, bool trim, WideString& Wide) {
    switch (f->DataType) {
        case mdtWideString:
        case mdtExtWideString: {
            Wide = f->DataType == mdtWideString ? WideFromPtr(slot, f->Length)
                                                : WideFromPtr(Load<const void*>(slot), SIZE_MAX);
            if (trim && f->DataType == mdtWideString) TrimControlTail(Wide);
            return {reinterpret_cast<const char*>(Wide.data()), Wide.size() * sizeof(char16_t)};
        }
        case mdtExtString: {
            const char* p = Load<const char*>(slot);
            return p ? std::string_view(p) : std::string_view();
        }
        default: {
            const char* p = reinterpret_cast<const char*>(slot);
            std::string_view text(p, strnlen(p, static_cast<size_t>(f->Size)));
            if (trim && f->DataType == mdtString)
                while (!text.empty() && static_cast<uint8_t>(text.back()) <= 32) text.remove_suffix(1);
            return text;
        }
    }
}

// Appends the key of a text to Arena and returns its length. Fold: letter case never counts.
uint32_t AppendTextKey(std::string& Arena, std::string_view Text, bool Wide, TSortType SortType, bool Fold) {
    const size_t before = Arena.size();
    const bool ci = SortType == stCaseInsensitive || Fold;
    if (Wide) {
        const std::u16string_view s(reinterpret_cast<const char16_t*>(Text.data()), Text.size() / sizeof(char16_t));
        Arena += SortType == stBinary ? WideOrdinalKey(s) : rtl::WideSortKey(s, ci);
    } else if (SortType == stBinary) {
        Arena.append(Text);
    } else {
        Arena += rtl::AnsiSortKey(Text, ci);
    }
    return static_cast<uint32_t>(Arena.size() - before);
}

// What a text column's keys depend on besides the text; 0 for the columns whose keys are not kept
// (blobs, read through their own objects).
uint32_t TextKeyKind(const TFieldDesc* f, const TSortColumn& Column) {
    switch (f->DataType) {
        case mdtString:
        case mdtExtString:
        case mdtWideString:
        case mdtExtWideString:
        case mdtGuid: return 1 + static_cast<uint32_t>(f->DataType) * 4 + static_cast<uint32_t>(Column.SortType);
        default: return 0;
    }
}

bool IsWideText(TMemDataType Type) { return Type == mdtWideString || Type == mdtExtWideString; }

// The records a sort compares: the stored ones, or copies with the calculated area filled when a
// sort column lies there.
class TSortRecords {
public:
    TSortRecords(TMemData& Data, const std::vector<TRecordItem*>& Items) : FItems(Items) {
        for (const TSortColumn& c : Data.SortColumns())
            if (c.FieldDesc->DescKind == fdkCalculatedArea && Data.CalcRecordEvent) FCalc = true;
        if (!FCalc) return;
        FSize = static_cast<size_t>(Data.RecordSize() + Data.CalcRecordSize());
        FArea.assign(FSize * Items.size(), 0);
        for (size_t i = 0; i < Items.size(); ++i) {
            uint8_t* buf = FArea.data() + i * FSize;
            std::memcpy(buf, TBlockManager::RecordOf(Items[i]), static_cast<size_t>(Data.RecordSize()));
            Data.CalcRecordEvent(buf, TBlockManager::RecordOf(Items[i]));
        }
    }
    size_t Count() const noexcept { return FItems.size(); }
    const void* operator[](size_t i) const noexcept {
        return FCalc ? static_cast<const void*>(FArea.data() + i * FSize) : TBlockManager::RecordOf(FItems[i]);
    }

private:
    const std::vector<TRecordItem*>& FItems;
    bool FCalc = false;
    size_t FSize = 0;
    std::vector<uint8_t> FArea;
};

// One row's key of a column of a key kind.
void ReadKey(TMemData& Data, const TFieldDesc* f, const TSortColumn& Column, const void* rec, TColumnKeys& k,
             TKeyValue& v, uint8_t& null, bool FlagIsNull) {
    v.Int = 0;
    null = FlagIsNull ? Data.NullFlagSet(rec, f->FieldNo) : Data.GetNull(f->FieldNo, rec);
    if (null) return;
    const uint8_t* slot = static_cast<const uint8_t*>(rec) + f->Offset;
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
        default: {
            // Blobs and memos, compared as code page text.
            AnsiString text;
            if (Load<const void*>(slot)) text = Data.GetBlob(f->FieldNo, rec)->GetAsAnsiString();
            v.Text.Off = static_cast<uint32_t>(k.Arena.size());
            v.Text.Len = AppendTextKey(k.Arena, text, false, Column.SortType, false);
            break;
        }
    }
}

// Every row's key of a text column, taken from Old where the row's text is the one its key there
// was made from; Fresh gets the texts and the rows in the records' order, and the keys later.
void ReadTextKeys(TMemData& Data, const TSortColumn& Column, const TSortRecords& Records,
                  const std::vector<TRecordItem*>& Items, TColumnKeys& Keys, std::vector<TSortEntry>* Entries,
                  const TTextSortKeys& Old, TTextSortKeys& Fresh) {
    const TFieldDesc* f = Column.FieldDesc;
    const size_t count = Records.Count();
    const bool trim = f->Fixed ? Data.TrimFixedChar : Data.TrimVarChar;
    const bool wide = IsWideText(f->DataType);
    const bool fold = f->DataType == mdtGuid;
    const bool ext = f->DataType == mdtExtString;
    Fresh.Kind = TextKeyKind(f, Column);
    const bool reuse = Old.Kind == Fresh.Kind && !Old.Rows.empty();
    Fresh.Rows.resize(count);
    Fresh.Texts.reserve(reuse ? Old.Texts.size() : count * 16);
    Keys.Arena.reserve(reuse ? Old.Keys.size() : count * 48);
    // Where the rows are not where the last sort left them (rows added or removed since).
    std::unordered_map<const TRecordItem*, uint32_t> oldRowOf;
    auto oldRow = [&](size_t i) -> const TTextSortKeys::TRow* {
        if (i < Old.Rows.size() && Old.Rows[i].Item == Items[i]) return &Old.Rows[i];
        if (oldRowOf.empty())
            for (uint32_t r = 0; r < Old.Rows.size(); ++r) oldRowOf.emplace(Old.Rows[r].Item, r);
        auto it = oldRowOf.find(Items[i]);
        return it == oldRowOf.end() ? nullptr : &Old.Rows[it->second];
    };
    // The rows lie apart in memory in any order but their first: fetched ahead of use.
    constexpr size_t Ahead = 16;
    auto slotOf = [&](size_t i) { return static_cast<const uint8_t*>(Records[i]) + f->Offset; };
    WideString wideText;
    for (size_t i = 0; i < count; ++i) {
        if (i + Ahead < count) {
            __builtin_prefetch(slotOf(i + Ahead));
            __builtin_prefetch(static_cast<const uint8_t*>(Records[i + Ahead]) + Data.DataSize() + f->FieldNo - 1);
        }
        if (ext && i + Ahead / 2 < count) __builtin_prefetch(Load<const char*>(slotOf(i + Ahead / 2)));
        TKeyValue& v = Entries ? (*Entries)[i].Key : Keys.Values[i];
        uint8_t& null = Entries ? (*Entries)[i].Null : Keys.Null[i];
        TTextSortKeys::TRow& row = Fresh.Rows[i];
        row = {Items[i], 0, 0, 0, TTextSortKeys::NoKey};
        v.Int = 0;
        null = Data.NullFlagSet(Records[i], f->FieldNo);
        if (null) continue;
        const std::string_view text = KeySourceText(f, slotOf(i), trim, wideText);
        row.TextOff = static_cast<uint32_t>(Fresh.Texts.size());
        row.TextLen = static_cast<uint32_t>(text.size());
        Fresh.Texts.append(text);
        v.Text.Off = static_cast<uint32_t>(Keys.Arena.size());
        const TTextSortKeys::TRow* was = reuse ? oldRow(i) : nullptr;
        if (was && was->KeyLen != TTextSortKeys::NoKey &&
            std::string_view(Old.Texts).substr(was->TextOff, was->TextLen) == text) {
            Keys.Arena.append(Old.Keys, was->KeyOff, was->KeyLen);
            v.Text.Len = was->KeyLen;
        } else {
            v.Text.Len = AppendTextKey(Keys.Arena, text, wide, Column.SortType, fold);
        }
        row.KeyOff = v.Text.Off;
        row.KeyLen = v.Text.Len;
    }
}

// Every row's key of one column: into the entries for the first column, into Keys for the others.
void ReadColumnKeys(TMemData& Data, const TSortColumn& Column, const TSortRecords& Records,
                    const std::vector<TRecordItem*>& Items, TColumnKeys& Keys, std::vector<TSortEntry>* Entries,
                    const TTextSortKeys& Old, TTextSortKeys& Fresh) {
    const TFieldDesc* f = Column.FieldDesc;
    Keys.Column = &Column;
    Keys.Kind = f->HasParent() ? TKeyKind::Record : KindOf(f->DataType);
    if (Keys.Kind == TKeyKind::Record) return;
    const size_t count = Records.Count();
    if (!Entries) {
        Keys.Values.resize(count);
        Keys.Null.resize(count);
    }
    if (Keys.Kind == TKeyKind::Text && TextKeyKind(f, Column) != 0)
        return ReadTextKeys(Data, Column, Records, Items, Keys, Entries, Old, Fresh);
    if (Keys.Kind == TKeyKind::Text) Keys.Arena.reserve(count * 64);
    // Blobs alone may be set with a stale null flag.
    const bool flagIsNull = !Data.IsBlobFieldType(f->DataType);
    // The common number columns in a loop of their own.
    auto numbers = [&](auto read) {
        for (size_t i = 0; i < count; ++i) {
            TKeyValue& v = Entries ? (*Entries)[i].Key : Keys.Values[i];
            uint8_t& null = Entries ? (*Entries)[i].Null : Keys.Null[i];
            const void* rec = Records[i];
            null = Data.NullFlagSet(rec, f->FieldNo);
            v.Int = 0;
            if (!null) read(v, static_cast<const uint8_t*>(rec) + f->Offset);
        }
    };
    if (flagIsNull) {
        switch (f->DataType) {
            case mdtInt32: return numbers([](TKeyValue& v, const uint8_t* slot) { v.Int = Load<int32_t>(slot); });
            case mdtInt64: return numbers([](TKeyValue& v, const uint8_t* slot) { v.Int = Load<int64_t>(slot); });
            case mdtFloat:
            case mdtDate:
            case mdtTime:
            case mdtDateTime: return numbers([](TKeyValue& v, const uint8_t* slot) { v.Float = Load<double>(slot); });
            default: break;
        }
    }
    for (size_t i = 0; i < count; ++i) {
        TKeyValue& v = Entries ? (*Entries)[i].Key : Keys.Values[i];
        uint8_t& null = Entries ? (*Entries)[i].Null : Keys.Null[i];
        ReadKey(Data, f, Column, Records[i], Keys, v, null, flagIsNull);
    }
}

// The rows' indexes in sorted order; rows equal on every column keep their order. TextKeys holds
// the text columns' keys of the last sort and gets this sort's, in the new order.
std::vector<uint32_t> SortedOrder(TMemData& Data, const TSortRecords& Records, const std::vector<TRecordItem*>& Items,
                                  std::vector<TTextSortKeys>& TextKeys) {
    const TSortColumns& columns = Data.SortColumns();
    const size_t count = Records.Count();
    std::vector<TSortEntry> entries(count);
    std::vector<TColumnKeys> keys(columns.size());
    const TTextSortKeys none;
    std::vector<TTextSortKeys> fresh(columns.size());
    for (size_t c = 0; c < columns.size(); ++c)
        ReadColumnKeys(Data, columns[c], Records, Items, keys[c], c == 0 ? &entries : nullptr,
                       c < TextKeys.size() ? TextKeys[c] : none, fresh[c]);
    for (size_t i = 0; i < count; ++i) entries[i].Index = static_cast<uint32_t>(i);

    auto compareColumn = [&](const TColumnKeys& k, uint32_t a, uint32_t b, const TSortEntry* ea, const TSortEntry* eb) {
        int r;
        if (k.Kind == TKeyKind::Record)
            r = Data.CompareBySortColumn(Records[a], Records[b], *k.Column);
        else if (ea)
            r = k.Compare(ea->Key, ea->Null, eb->Key, eb->Null);
        else
            r = k.Compare(k.Values[a], k.Null[a], k.Values[b], k.Null[b]);
        return k.Column->DescendingOrder ? -r : r;
    };
    const TColumnKeys& first = keys.front();
    auto less = [&](const TSortEntry& a, const TSortEntry& b) {
        int r = compareColumn(first, a.Index, b.Index, &a, &b);
        for (size_t c = 1; r == 0 && c < keys.size(); ++c)
            r = compareColumn(keys[c], a.Index, b.Index, nullptr, nullptr);
        // The former position breaks ties, which makes the sort stable.
        return r != 0 ? r < 0 : a.Index < b.Index;
    };
    if (first.Kind == TKeyKind::Int && keys.size() == 1) {
        // The common case without indirection: nulls first ascending, last descending.
        const bool desc = first.Column->DescendingOrder;
        std::sort(entries.begin(), entries.end(), [desc](const TSortEntry& a, const TSortEntry& b) {
            if (a.Null != b.Null) return desc ? a.Null < b.Null : a.Null > b.Null;
            if (!a.Null && a.Key.Int != b.Key.Int) return desc ? a.Key.Int > b.Key.Int : a.Key.Int < b.Key.Int;
            return a.Index < b.Index;
        });
    } else if (first.Kind == TKeyKind::Text && keys.size() == 1) {
        const bool desc = first.Column->DescendingOrder;
        const std::string_view arena = first.Arena;
        std::sort(entries.begin(), entries.end(), [desc, arena](const TSortEntry& a, const TSortEntry& b) {
            if (a.Null != b.Null) return desc ? a.Null < b.Null : a.Null > b.Null;
            if (!a.Null) {
                const int r =
                    arena.substr(a.Key.Text.Off, a.Key.Text.Len).compare(arena.substr(b.Key.Text.Off, b.Key.Text.Len));
                if (r != 0) return desc ? r > 0 : r < 0;
            }
            return a.Index < b.Index;
        });
    } else {
        std::sort(entries.begin(), entries.end(), less);
    }
    std::vector<uint32_t> order(count);
    for (size_t p = 0; p < count; ++p) order[p] = entries[p].Index;
    // The kept rows follow the list, so that the next sort finds each row where it looks first.
    for (size_t c = 0; c < columns.size(); ++c) {
        if (fresh[c].Kind == 0) continue;
        fresh[c].Keys = std::move(keys[c].Arena);
        std::vector<TTextSortKeys::TRow> rows(count);
        for (size_t p = 0; p < count; ++p) rows[p] = fresh[c].Rows[order[p]];
        fresh[c].Rows = std::move(rows);
    }
    TextKeys = std::move(fresh);
    return order;
}

}  // namespace

void TMemData::RelinkInOrder(const std::vector<TRecordItem*>& Items, const std::vector<uint32_t>& Order) {
    // Links, record numbers and the record-number cache in one pass in the new order.
    const size_t count = Order.size();
    FRecordNoCache.clear();
    FRecordNoCache.reserve(count);
    FRecordNoCacheComplete = false;
    int n = 0;
    TRecordItem* prev = nullptr;
    for (size_t p = 0; p < count; ++p) {
        TRecordItem* item = Items[Order[p]];
        item->Prev = prev;
        if (prev) prev->Next = item;
        if (IsItemHidden(item)) {
            item->Order = 0;
        } else {
            item->Order = ++n;
            FRecordNoCache.push_back(item);
        }
        prev = item;
    }
    if (prev) prev->Next = nullptr;
    FFirstItem = count ? Items[Order.front()] : nullptr;
    FLastItem = prev;
    FRecordCount = n;
    FRecordNoOffset = 0;
    FRecordNoCacheComplete = static_cast<size_t>(n) == count;
}

void TMemData::SortItems() {
    if (FSortColumns.empty() || !FFirstItem) {
        ReorderItems(nullptr, rmAll);
        return;
    }
    // The record-number cache, when it holds every item, spares a walk along the links.
    std::vector<TRecordItem*> items;
    if (FRecordNoCacheComplete && !FRecordNoCache.empty()) {
        items.swap(FRecordNoCache);
    } else {
        items.reserve(static_cast<size_t>(FRecordCount));
        for (TRecordItem* it = FFirstItem; it; it = it->Next) items.push_back(it);
    }
    const TSortRecords records(*this, items);
    RelinkInOrder(items, SortedOrder(*this, records, items, FTextSortKeys));
}

}  // namespace store
