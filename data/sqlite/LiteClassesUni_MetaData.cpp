#include <cstring>

#include "data/sqlite/LiteClassesUni.h"
#include "data/sqlite/LiteConstsUni.h"
#include "framework/rtl/SysUtils.h"
#include "framework/rtl/Text.h"

namespace sqlite {

using namespace daccess;
using namespace store;

namespace {

AnsiString Restriction(rtl::TStrings* Restrictions, const char* Name) {
    if (!Restrictions) return AnsiString();
    for (int i = 0; i < Restrictions->Count(); ++i) {
        const AnsiString& line = Restrictions->Strings(i);
        size_t eq = line.find('=');
        if (eq == AnsiString::npos) continue;
        if (rtl::SameText(rtl::Trim(line.substr(0, eq)), Name)) return rtl::Trim(line.substr(eq + 1));
    }
    return AnsiString();
}

bool IsWord(int code) { return code == lcIdent || code >= 100; }

AnsiString Lower(const AnsiString& s) { return rtl::AnsiLowerCase(s); }

TParser* NewParser(const AnsiString& SQL) {
    TParser* p = TLiteParser::StaticClass().Create(SQL);
    p->SetSkipBlanks(true);
    p->SetSkipComments(true);
    p->SetKeepStringQuotes(true);
    p->SetUpperCaseKeywords(false);
    return p;
}

int FindColumn(const TTableMembers& Table, const AnsiString& Name) {
    AnsiString key = Lower(LiteSQLInfo()->UnQuote(Name));
    for (size_t i = 0; i < Table.Columns.size(); ++i)
        if (Lower(Table.Columns[i].Name) == key) return static_cast<int>(i);
    return -1;
}

// The column list of a key or index after its "(": each name found in the table, with its DESC
// mark; returns the code of the last lexeme read (the ")" or the end).
int ReadIndexColumns(TParser* Parser, const TTableMembers& Table, TTableMembers::Index& Idx) {
    AnsiString st;
    int code;
    while ((code = Parser->GetNext(st)) != lcEnd && st != ")") {
        if (st == ",") continue;
        int col = FindColumn(Table, st);
        int next = Parser->GetNext(st);
        bool desc = Lower(st) == "desc";
        if (!desc && next != lcEnd) Parser->Back();
        if (col >= 0) {
            Idx.Columns.push_back(col);
            Idx.Descending.push_back(desc);
        }
    }
    return code;
}

}  // namespace

TCRRecordSet* TSQLiteMetaData::CreateRecordSet() {
    TCRRecordSet* rs = rtl::Create<TSQLiteRecordSet>();
    return rs;
}

std::vector<std::vector<AnsiString>> TSQLiteMetaData::QueryRows(const AnsiString& SQL, int Columns) {
    auto* conn = static_cast<TSQLiteConnection*>(FRecordSet->GetCommand()->GetConnection());
    if (!conn) throw rtl::Exception(SConnectionNotDefined);
    TSQLite3API* api = conn->API();
    AnsiString sql = conn->EncodeString(SQL);
    TStatementOwner owner(TFinalizeStatement{api});
    int rc = api->sqlite3_prepare_v2(api->SQLite, sql.c_str(), static_cast<int>(sql.size()), owner.Receive(), nullptr);
    conn->Check(rc);
    sqlite3_stmt* stmt = owner.get();
    std::vector<std::vector<AnsiString>> rows;
    while ((rc = api->sqlite3_step(stmt)) == SQLITE_ROW) {
        std::vector<AnsiString> row;
        for (int c = 0; c < Columns; ++c) {
            const char* s = reinterpret_cast<const char*>(api->sqlite3_column_text(stmt, c));
            row.push_back(conn->DecodeString(s, s ? static_cast<size_t>(api->sqlite3_column_bytes(stmt, c)) : 0));
        }
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) conn->Check(rc);
    return rows;
}

AnsiString TSQLiteMetaData::TableText(const AnsiString& TableName) {
    // The name goes into the statement as a literal, its quotes doubled.
    AnsiString name = Lower(LiteSQLInfo()->UnQuote(TableName));
    auto rows = QueryRows(
        "SELECT sql FROM sqlite_master WHERE Lower(name) = " + rtl::QuotedStr(name) + " AND type = 'table'", 1);
    return rows.empty() ? AnsiString() : rows.front()[0];
}

store::TData* TSQLiteMetaData::GetTables(rtl::TStrings* Restrictions) {
    AnsiString tableName = Restriction(Restrictions, "TABLE_NAME");
    AnsiString tableType = Restriction(Restrictions, "TABLE_TYPE");
    AnsiString where;
    AddWhereCondition(where, "lower(name)", false, Lower(tableName));
    if (!where.empty()) where += " AND ";
    bool tables = tableType.empty(), views = tableType.empty();
    size_t start = 0;
    while (!tableType.empty() && start <= tableType.size()) {
        size_t comma = tableType.find(',', start);
        AnsiString part = rtl::AnsiUpperCase(
            rtl::Trim(tableType.substr(start, comma == AnsiString::npos ? AnsiString::npos : comma - start)));
        if (part == "TABLE") tables = true;
        if (part == "VIEW") views = true;
        if (comma == AnsiString::npos) break;
        start = comma + 1;
    }
    AnsiString list;
    if (tables) list = "'table'";
    if (views) list += AnsiString(list.empty() ? "" : ", ") + "'view'";
    if (list.empty()) list = "''";
    auto rows = QueryRows(
        rtl::Format("SELECT name, type FROM sqlite_master WHERE %s lower(type) IN (%s) ORDER BY name", {where, list}),
        2);
    CreateTablesFields();
    OpenResult();
    for (auto& r : rows) {
        FMemDataHelper->InitRecord();
        FMemDataHelper->SetFieldValue(3, r[0]);
        FMemDataHelper->SetFieldValue(4, r[1]);
        FMemDataHelper->AppendRecord();
    }
    FMemData->SetToBegin();
    return FMemData.get();
}

void TSQLiteMetaData::MarkRowIdAlias(const AnsiString& TableName, const AnsiString& Text, TTableMembers& Members) {
    // The engine knows which column is the row id whichever way its key was declared: a key of
    // one column whose type is exactly INTEGER, in a table that has row ids.
    const AnsiString name = Lower(LiteSQLInfo()->UnQuote(TableName));
    const auto info =
        QueryRows("SELECT name, type FROM pragma_table_info(" + rtl::QuotedStr(name) + ") WHERE pk > 0", 2);
    const size_t close = Text.rfind(')');
    const bool withoutRowId =
        close != AnsiString::npos && Lower(Text.substr(close)).find("without") != AnsiString::npos;
    const bool alias = info.size() == 1 && Lower(rtl::Trim(info[0][1])) == "integer" && !withoutRowId;
    for (auto& c : Members.Columns) c.IntegerPrimaryKey = alias && Lower(c.Name) == Lower(info[0][0]);
}

store::TData* TSQLiteMetaData::GetColumns(rtl::TStrings* Restrictions) {
    AnsiString tableName = Restriction(Restrictions, "TABLE_NAME");
    if (tableName.empty()) throw rtl::Exception(rtl::Format(SRestrictionMustBeSet, {AnsiString("TABLE_NAME")}));
    AnsiString columnName = Lower(Restriction(Restrictions, "COLUMN_NAME"));
    AnsiString text = TableText(tableName);
    TTableMembers members;
    if (!text.empty()) {
        ParseTableText(text, members);
        MarkRowIdAlias(tableName, text, members);
    }
    CreateColumnsFields();
    OpenResult();
    for (size_t i = 0; i < members.Columns.size(); ++i) {
        const auto& c = members.Columns[i];
        if (!columnName.empty() && Lower(c.Name) != columnName) continue;
        FMemDataHelper->InitRecord();
        FMemDataHelper->SetFieldValue(3, tableName);
        FMemDataHelper->SetFieldValue(4, c.Name);
        FMemDataHelper->SetFieldValue(5, static_cast<int>(i + 1));
        FMemDataHelper->SetFieldValue(6, c.DataType);
        FMemDataHelper->SetFieldValue(10, c.IntegerPrimaryKey ? 0 : 1);
        if (c.HasDefault) FMemDataHelper->SetFieldValue(11, c.Default);
        FMemDataHelper->AppendRecord();
    }
    FMemData->SetToBegin();
    return FMemData.get();
}

store::TData* TSQLiteMetaData::GetProcedures(rtl::TStrings*) {
    CreateProceduresFields();
    OpenResult();
    return FMemData.get();
}

store::TData* TSQLiteMetaData::GetProcedureParameters(rtl::TStrings*) {
    CreateProcedureParametersFields();
    OpenResult();
    return FMemData.get();
}

store::TData* TSQLiteMetaData::GetConstraints(rtl::TStrings*) {
    CreateConstraintsFields();
    OpenResult();
    return FMemData.get();
}

store::TData* TSQLiteMetaData::GetIndexes(rtl::TStrings* Restrictions) {
    AnsiString tableName = Restriction(Restrictions, "TABLE_NAME");
    if (tableName.empty()) throw rtl::Exception(rtl::Format(SRestrictionMustBeSet, {AnsiString("TABLE_NAME")}));
    TTableMembers members;
    AnsiString text = TableText(tableName);
    if (!text.empty()) ParseTableText(text, members);
    auto indexes = QueryRows("SELECT name, sql FROM sqlite_master WHERE Lower(tbl_name) = " +
                                 rtl::QuotedStr(Lower(LiteSQLInfo()->UnQuote(tableName))) +
                                 " AND type = 'index' AND sql is not null",
                             2);
    CreateIndexesFields();
    OpenResult();
    auto add = [&](const AnsiString& name, int unique) {
        FMemDataHelper->InitRecord();
        FMemDataHelper->SetFieldValue(3, tableName);
        FMemDataHelper->SetFieldValue(6, name);
        FMemDataHelper->SetFieldValue(7, unique);
        FMemDataHelper->AppendRecord();
    };
    for (size_t i = 0; i < members.Indexes.size(); ++i) add("autoindex" + std::to_string(i), 1);
    for (auto& r : indexes) add(r[0], Lower(r[1]).find("unique") != AnsiString::npos ? 1 : 0);
    FMemData->SetToBegin();
    return FMemData.get();
}

store::TData* TSQLiteMetaData::GetIndexColumns(rtl::TStrings* Restrictions) {
    AnsiString tableName = Restriction(Restrictions, "TABLE_NAME");
    if (tableName.empty()) throw rtl::Exception(rtl::Format(SRestrictionMustBeSet, {AnsiString("TABLE_NAME")}));
    AnsiString indexName = Restriction(Restrictions, "INDEX_NAME");
    AnsiString unique = Restriction(Restrictions, "UNIQUE");
    TTableMembers table;
    AnsiString text = TableText(tableName);
    if (!text.empty()) ParseTableText(text, table);
    CreateIndexColumnsFields();
    OpenResult();
    auto addIndex = [&](const AnsiString& name, const TTableMembers::Index& idx) {
        for (size_t k = 0; k < idx.Columns.size(); ++k) {
            FMemDataHelper->InitRecord();
            FMemDataHelper->SetFieldValue(3, tableName);
            FMemDataHelper->SetFieldValue(6, name);
            FMemDataHelper->SetFieldValue(7, table.Columns[static_cast<size_t>(idx.Columns[k])].Name);
            FMemDataHelper->SetFieldValue(8, static_cast<int>(k + 1));
            FMemDataHelper->SetFieldValue(9, AnsiString(idx.Descending[k] ? "DESC" : "ASC"));
            FMemDataHelper->AppendRecord();
        }
    };
    if (unique != "0") {
        for (size_t i = 0; i < table.Indexes.size(); ++i) {
            AnsiString name = "autoindex" + std::to_string(i);
            if (!indexName.empty() && !rtl::SameText(indexName, name)) continue;
            addIndex(name, table.Indexes[i]);
        }
    }
    auto indexes = QueryRows("SELECT name, sql FROM sqlite_master WHERE Lower(tbl_name) = " +
                                 rtl::QuotedStr(Lower(LiteSQLInfo()->UnQuote(tableName))) +
                                 " AND type = 'index' AND sql is not null",
                             2);
    for (auto& r : indexes) {
        if (!indexName.empty() && !rtl::SameText(indexName, r[0])) continue;
        bool isUnique = Lower(r[1]).find("unique") != AnsiString::npos;
        if (unique == "0" && isUnique) continue;
        if (unique == "1" && !isUnique) continue;
        TTableMembers idx;
        ParseIndexText(r[1], table, idx);
        for (auto& e : idx.Indexes) addIndex(r[0], e);
    }
    FMemData->SetToBegin();
    return FMemData.get();
}

// Reads a CREATE TABLE text into its columns (name, declared type, default) and the indexes its
// PRIMARY KEY and UNIQUE clauses make, as column and as table constraints; other constraints are
// passed over. Text it cannot follow ends the reading with what was read so far, never an error.
void TSQLiteMetaData::ParseTableText(const AnsiString& SQL, TTableMembers& Members) {
    rtl::TOwnedPtr<TParser> parser(NewParser(SQL));
    AnsiString st;
    int code;
    do {
        code = parser->GetNext(st);
    } while (code != lcEnd && st != "(");
    if (code == lcEnd) return;

    bool constraints = false;
    bool done = false;
    while (!done && !constraints) {
        code = parser->GetNext(st);
        if (st == "[") code = parser->GetNext(st);
        if (!IsWord(code)) return;
        AnsiString low = Lower(st);
        if (low == "constraint" || low == "primary" || low == "foreign" || low == "check" || low == "unique") {
            constraints = true;
            break;
        }
        TTableMembers::Column col;
        col.Name = LiteSQLInfo()->UnQuote(st);
        if (!col.Name.empty() && col.Name.back() == ']') col.Name.pop_back();
        Members.Columns.push_back(col);
        auto& c = Members.Columns.back();
        const int colIndex = static_cast<int>(Members.Columns.size()) - 1;
        bool typeOpen = true;
        int depth = 0;
        while (true) {
            code = parser->GetNext(st);
            if (code == lcEnd) {
                done = true;
                break;
            }
            if (st == "(") {
                ++depth;
                continue;
            }
            if (st == ")") {
                if (depth == 0) {
                    done = true;
                    break;
                }
                --depth;
                continue;
            }
            if (st == "," && depth == 0) break;
            if (!IsWord(code)) continue;
            low = Lower(st);
            if (low == "primary" || low == "unique") {
                TTableMembers::Index idx;
                idx.Columns.push_back(colIndex);
                idx.Descending.push_back(false);
                if (low == "primary") {
                    if (Lower(c.DataType) == "integer") c.IntegerPrimaryKey = true;
                    parser->GetNext(st);  // KEY
                    int next = parser->GetNext(st);
                    if (Lower(st) == "desc")
                        idx.Descending.back() = true;
                    else if (next != lcEnd)
                        parser->Back();
                }
                typeOpen = false;
                Members.Indexes.push_back(idx);
            } else if (low == "foreign" || low == "check" || low == "autoincrement" || low == "not" || low == "null" ||
                       low == "constraint" || low == "references" || low == "collate") {
                typeOpen = false;
            } else if (low == "default") {
                typeOpen = false;
                if (parser->GetNext(st) != lcEnd) {
                    c.Default = st;
                    c.HasDefault = true;
                }
            } else if (typeOpen) {
                if (!c.DataType.empty()) c.DataType += ' ';
                c.DataType += st;
            }
        }
    }
    if (!constraints) return;
    // Table constraints: the current lexeme is the first constraint's keyword.
    while (true) {
        AnsiString low = Lower(st);
        if (low == "constraint") {
            while ((code = parser->GetNext(st)) != lcEnd) {
                low = Lower(st);
                if (low == "primary" || low == "foreign" || low == "check" || low == "unique") break;
            }
            if (code == lcEnd) return;
        }
        if (low == "primary" || low == "unique") {
            while ((code = parser->GetNext(st)) != lcEnd && st != "(") {
            }
            if (code == lcEnd) return;
            TTableMembers::Index idx;
            code = ReadIndexColumns(parser.get(), Members, idx);
            Members.Indexes.push_back(idx);
            if (code == lcEnd) return;
        }
        // Skip to the next constraint at depth 0.
        int depth = 0;
        while ((code = parser->GetNext(st)) != lcEnd) {
            if (st == "(")
                ++depth;
            else if (st == ")") {
                if (depth == 0) return;
                --depth;
            } else if (st == "," && depth == 0)
                break;
        }
        if (code == lcEnd) return;
        code = parser->GetNext(st);
        if (code == lcEnd) return;
    }
}

void TSQLiteMetaData::ParseIndexText(const AnsiString& SQL, const TTableMembers& Table, TTableMembers& Members) {
    rtl::TOwnedPtr<TParser> parser(NewParser(SQL));
    AnsiString st;
    int code;
    while ((code = parser->GetNext(st)) != lcEnd && Lower(st) != "create") {
    }
    if (code == lcEnd) return;
    parser->GetNext(st);
    TTableMembers::Index idx;
    idx.Unique = Lower(st) == "unique";
    while ((code = parser->GetNext(st)) != lcEnd && st != "(") {
    }
    if (code == lcEnd) return;
    ReadIndexColumns(parser.get(), Table, idx);
    Members.Indexes.push_back(idx);
}

}  // namespace sqlite
