// Non-visual helpers the editors and the grid share when they work with datasets: the sorted
// bookmark list of selected rows, a data link that forwards its events, the distinct values of a
// field, the record-view interface a dataset may offer, cell-text splitting, field-list look-ups
// and the Variant equality used for key values.
#pragma once

#include <functional>
#include <vector>

#include "framework/db/DB.h"
#include "framework/rtl/Classes.h"
#include "framework/rtl/Variant.h"

namespace editors {

using rtl::AnsiString;
using rtl::Variant;
using rtl::WideString;

using TFieldsArrEh = std::vector<db::TField*>;

// ---------------------------------------------------------------------------------------------
// Interfaces a dataset may offer to the grid.

// The sorted distinct values of one field.
class IMemTableDataFieldValueListEh {
public:
    virtual ~IMemTableDataFieldValueListEh() = default;
    // The values; owned by the implementer and valid until its next call or its end.
    virtual rtl::TStrings* GetValues() = 0;
};

// A record view over the dataset: one entry per record the grid shows, optionally as a tree.
// No dataset of this system offers it; the grid keeps its plain data-link paths then. The
// comments give each operation's number in the grid's protocol.
class IMemTableEh {
public:
    virtual ~IMemTableEh() = default;
    // 1: the grid scrolled to a computed row position.
    virtual void ScrollToRowPosition(int Position) = 0;
    // 2: the view's active record index.
    virtual int ViewActiveRecord() = 0;
    // 3: never called by the grid.
    virtual int ViewReserved() = 0;
    // 4: whether the current node is expanded (non-zero).
    virtual int CurrentNodeExpanded() = 0;
    // 5: whether the current node has children.
    virtual bool CurrentNodeHasChildren() = 0;
    // 6: the current node's level.
    virtual int CurrentNodeLevel() = 0;
    // 7: read with 6 and 8 when the grid positions its rows.
    virtual int CurrentNodeIndex() = 0;
    // 8: the level limit of row lines; negative for none.
    virtual int RowLinesLevelLimit() = 0;
    // 9: the view's current record.
    virtual int ViewCurrentRecord() = 0;
    // 10: a row index as a record index.
    virtual int RowToRecordIndex(int Row) = 0;
    // 11: the number of records in the view.
    virtual int ViewRecordCount() = 0;
    // 12: the tree mode is on.
    virtual bool TreeViewMode() = 0;
    // 13: whether a level of the current node has a following sibling.
    virtual bool LevelHasNextSibling(int Level) = 0;
    // 14: puts back the remembered current record.
    virtual void RestoreCurrentRecord(int Record) = 0;
    // 15: toggles a node; the record number that becomes current.
    virtual int ToggleNode(int RecordIndex, bool Expand) = 0;
    // 16: the distinct values of a field, owned by the view.
    virtual IMemTableDataFieldValueListEh* FieldValueList(const WideString& FieldName) = 0;
    // 17: text search; the found record or a negative number.
    virtual int SearchText(const WideString& Text, int Start, bool Forward, int Options) = 0;
    // 18: sets the view's active record, remembering the old one.
    virtual void SetViewActiveRecord(int Record) = 0;
    // 19: restores the remembered active record.
    virtual rtl::TObject* RestoreViewActiveRecord() = 0;
    // 20 and 21: the grid starts and stops using the view.
    virtual void RegisterGrid(rtl::TComponent* Grid) = 0;
    virtual void UnregisterGrid(rtl::TComponent* Grid) = 0;
};

// ---------------------------------------------------------------------------------------------
// TBMListEh: bookmark strings kept in the dataset's bookmark order, with a one-entry search cache.

class TBMListEh;
// Negative, zero or positive as the entry at Index1 sorts before, with or after Index2.
using TBMListSortCompareEh = std::function<int(TBMListEh* List, void* Context, int Index1, int Index2)>;

class TBMListEh : public rtl::TObject {
    RTL_CLASS(TBMListEh, rtl::TObject)
public:
    TBMListEh();
    ~TBMListEh() override;
    void BeforeDestruction() override;

    virtual db::TDataSet* GetDataSet();
    // Repaint request after the list was emptied.
    virtual void Invalidate() {}
    [[noreturn]] virtual void RaiseError(const AnsiString& Message);
    virtual void SetCurrentRowSelected(bool Value);
    virtual void StringsChanged();
    // After mass changes.
    virtual void Changed() {}
    virtual void RemoveAll();
    virtual void CustomSort(void* Context, const TBMListSortCompareEh& Compare);

    int Count() const { return FList->Count(); }
    AnsiString Items(int Index) const { return FList->Strings(Index); }
    int IndexOf(const db::TBookmark& Bookmark);
    // Binary search: true when listed; Index is the match or the insertion point.
    bool Find(const db::TBookmark& Bookmark, int& Index);
    bool CurrentRowSelected();
    db::TBookmark CurrentBookmark();
    int CompareBookmarks(const db::TBookmark& Bookmark1, const db::TBookmark& Bookmark2);
    // Deletes the listed records from the dataset, last first.
    void DeleteSelected();
    bool LinkActive() const noexcept { return FLinkActive; }
    void SetLinkActive(bool Value);
    // Raw list edits: the caller keeps the order.
    void InsertAt(int Index, const db::TBookmark& Bookmark) { FList->Insert(Index, Bookmark); }
    void DeleteAt(int Index) { FList->Delete(Index); }
    void Append(const db::TBookmark& Bookmark) { FList->Add(Bookmark); }

    // The dataset may have re-ordered its records (a new sort order, a refresh): puts the entries
    // back into the dataset's order so that Find keeps finding them. Owners call it on every
    // dataset change; it costs one pass when the order still holds. True when it had to sort.
    bool Resort();

protected:
    rtl::TStringList* List() const noexcept { return FList.get(); }

private:
    void QuickSort(int L, int R, void* Context, const TBMListSortCompareEh& Compare);

    rtl::TOwnedPtr<rtl::TStringList> FList;
    db::TBookmark FCacheBookmark;
    int FCacheIndex = -1;
    bool FCacheFind = false;
    bool FLinkActive = false;
};

// ---------------------------------------------------------------------------------------------
// TDataLinkEh: a data link whose data events reach a handler.

using TDataLinkEhDataEvent = std::function<void(db::TDataEvent Event, intptr_t Info)>;

class TDataLinkEh : public db::TDataLink {
    RTL_CLASS(TDataLinkEh, db::TDataLink)
public:
    TDataLinkEh() = default;
    void DataEvent(db::TDataEvent Event, intptr_t Info) override;

    TDataLinkEhDataEvent OnDataEvent;
};

// ---------------------------------------------------------------------------------------------
// TDatasetFieldValueListEh: the sorted distinct texts of one field, rebuilt lazily.

class TDatasetFieldValueListEh : public rtl::TObject, public IMemTableDataFieldValueListEh {
    RTL_CLASS(TDatasetFieldValueListEh, rtl::TObject)
public:
    TDatasetFieldValueListEh();
    ~TDatasetFieldValueListEh() override;

    const WideString& FieldName() const noexcept { return FFieldName; }
    void SetFieldName(const WideString& Value);
    db::TDataSource* DataSource() const noexcept { return FDataLink->DataSource(); }
    void AssignDataSource(db::TDataSource* Value);
    rtl::TStrings* GetValues() override;
    bool Obsolete() const noexcept { return FObsolete; }

    virtual void DataSetEvent(db::TDataEvent Event, intptr_t Info);

private:
    rtl::TOwnedPtr<rtl::TStringList> FValues;
    WideString FFieldName;
    rtl::TOwnedPtr<TDataLinkEh> FDataLink;
    bool FObsolete = true;
};

// ---------------------------------------------------------------------------------------------
// Free routines

// Splits a ';'-separated cell text into List; a double-quoted item may hold ';' (and doubled
// quotes). Text after a NUL character is ignored.
void SetCellsStrings(rtl::TStrings* List, const AnsiString& Text);

// The fields of a ';'-separated name list; "Field '%s' not found" on behalf of Component for a
// name the dataset lacks. List may be null (names are only checked).
void CollectFieldsByNames(std::vector<db::TField*>* List, db::TDataSet* DataSet, rtl::TComponent* Component,
                          const WideString& Names);
void GetFieldsArrayByNames(db::TDataSet* DataSet, rtl::TComponent* Control, const WideString& Names,
                           TFieldsArrEh& Fields);
// Null clears every named field; otherwise the dataset's FieldValues for the names.
void SetFieldsValue(db::TDataSet* DataSet, const WideString& Names, const Variant& Value);

// Key-value equality: Empty equals only Empty, arrays compare element by element when their
// shapes match; never raises.
bool VariantValuesEqual(const Variant& V1, const Variant& V2);

}  // namespace editors
