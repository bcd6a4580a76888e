// IndexFieldNames and the record order of TMemData: a plain reading of the column list and a
// comparison of field values as variants, enough to keep inserted and updated rows in place.
#include <algorithm>
#include <cctype>

#include "data/store/DAConsts.h"
#include "data/store/MemData_Store.h"
#include "framework/rtl/Text.h"

namespace store {

namespace {

AnsiString TrimBlanks(const AnsiString& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == AnsiString::npos) return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

[[noreturn]] void InvalidFormat() { throw rtl::Exception(SInvalidIndexFieldNames); }

}  // namespace

void TMemData::InitSortColumn(TSortColumn& Column) {
    Column.DescendingOrder = false;
    Column.SortType = stCaseSensitive;
}

void TMemData::ParseIndexFieldNames() {
    FSortColumns.clear();
    AnsiString text = TrimBlanks(FIndexFieldNames);
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find_first_of(";,", pos);
        if (end == AnsiString::npos) end = text.size();
        AnsiString entry = TrimBlanks(text.substr(pos, end - pos));
        pos = end + 1;
        if (entry.empty()) continue;
        AnsiString name;
        size_t i = 0;
        if (entry[0] == '[') {
            size_t close = entry.find(']');
            if (close == AnsiString::npos) close = entry.size();
            name = TrimBlanks(entry.substr(1, close - 1));
            i = close + 1;
        } else {
            while (i < entry.size() && !std::isspace(static_cast<unsigned char>(entry[i]))) ++i;
            name = entry.substr(0, i);
        }
        TFieldDesc* field = FFields.FindField(rtl::AnsiToWide(name));
        if (!field) {
            AnsiString msg = SFieldNotFound;
            msg.replace(msg.find("%s"), 2, name);
            throw rtl::Exception(msg);
        }
        TSortColumn column;
        column.FieldDesc = field;
        InitSortColumn(column);
        bool order = false, type = false;
        AnsiString rest = entry.substr(std::min(i, entry.size()));
        size_t p = 0;
        while (true) {
            size_t b = rest.find_first_not_of(" \t\r\n", p);
            if (b == AnsiString::npos) break;
            size_t e = rest.find_first_of(" \t\r\n", b);
            if (e == AnsiString::npos) e = rest.size();
            AnsiString word = rtl::UpperCase(rest.substr(b, e - b));
            p = e;
            if (word == "ASC" || word == "DESC") {
                if (order) InvalidFormat();
                order = true;
                column.DescendingOrder = word == "DESC";
            } else if (word == "CIS" || word == "CS" || word == "BIN") {
                if (type) InvalidFormat();
                type = true;
                column.SortType = word == "CIS" ? stCaseInsensitive : (word == "CS" ? stCaseSensitive : stBinary);
            } else {
                InvalidFormat();
            }
        }
        FSortColumns.push_back(column);
    }
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

int TMemData::CompareBySortColumn(const void* RecBuf1, const void* RecBuf2, const TSortColumn& Column) {
    int no = Column.FieldDesc->FieldNo;
    bool null1 = GetNull(no, RecBuf1);
    bool null2 = GetNull(no, RecBuf2);
    if (null1 || null2) return null1 == null2 ? 0 : (null1 ? -1 : 1);
    rtl::Variant v1, v2;
    GetFieldAsVariant(Column.FieldDesc, RecBuf1, v1);
    GetFieldAsVariant(Column.FieldDesc, RecBuf2, v2);
    if (rtl::VarIsStr(v1) && rtl::VarIsStr(v2)) {
        if (Column.SortType == stBinary) {
            int c = v1.AsWideString().compare(v2.AsWideString());
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        if (Column.SortType == stCaseInsensitive) return rtl::WideCompareText(v1.AsWideString(), v2.AsWideString());
        return rtl::WideCompareStr(v1.AsWideString(), v2.AsWideString());
    }
    switch (rtl::VarCompareValue(v1, v2)) {
        case rtl::vrLessThan:
            return -1;
        case rtl::vrGreaterThan:
            return 1;
        default:
            return 0;
    }
}

int TMemData::CompareRecords(const void* RecBuf1, const void* RecBuf2) {
    for (const TSortColumn& column : FSortColumns) {
        int res = CompareBySortColumn(RecBuf1, RecBuf2, column);
        if (res != 0) return column.DescendingOrder ? -res : res;
    }
    return 0;
}

void TMemData::SortItems() {
    if (!FSortColumns.empty() && FFirstItem) {
        std::vector<TRecordItem*> items;
        for (TRecordItem* it = FFirstItem; it; it = it->Next) items.push_back(it);
        std::stable_sort(items.begin(), items.end(),
                         [this](TRecordItem* a, TRecordItem* b) { return CompareItems(a, b) < 0; });
        TRecordItem* prev = nullptr;
        for (TRecordItem* it : items) {
            it->Prev = prev;
            if (prev) prev->Next = it;
            prev = it;
        }
        items.back()->Next = nullptr;
        FFirstItem = items.front();
        FLastItem = items.back();
    }
    ReorderItems(nullptr, rmAll);
}

}  // namespace store
