// The columns the install script must create, in order, with their declared types.
#pragma once

#include <vector>

namespace apptest {

struct Column {
    const char* name;
    const char* type;
};

struct TableColumns {
    const char* table;
    std::vector<Column> columns;
};

// Declared types are what the provider maps to field types: INTEGER 32-bit, SMALLINT 16-bit,
// VARCHAR(N) a string of N, TEXT a memo, DATE a date.
inline const std::vector<TableColumns>& ExpectedSchema() {
    static const std::vector<TableColumns> schema = {
        {"sources",
         {{"id", "INTEGER"}, {"sourcekind_id", "SMALLINT"}, {"num", "INTEGER"}, {"source_name", "VARCHAR(250)"},
          {"source_fullname", "VARCHAR(500)"}, {"ownership", "INTEGER"}, {"form_recieve", "INTEGER"},
          {"fund_num", "VARCHAR(50)"}, {"rubric_id", "INTEGER"}, {"store_years", "INTEGER"}, {"profile", "INTEGER"},
          {"origin_note", "VARCHAR(250)"}, {"origin_date", "DATE"}, {"origin_num", "VARCHAR(50)"},
          {"storage", "VARCHAR(100)"}, {"doctypes", "INTEGER"}, {"curator_id", "INTEGER"},
          {"year_described", "VARCHAR(50)"}, {"year_transfered", "VARCHAR(50)"}, {"address", "VARCHAR(250)"},
          {"fund_status_id", "INTEGER"}, {"code", "VARCHAR(50)"}, {"note", "VARCHAR(250)"}}},
        {"opisi",
         {{"id", "INTEGER"}, {"num", "INTEGER"}, {"kind_id", "SMALLINT"}, {"source_id", "INTEGER"},
          {"reg_date", "DATE"}, {"forward_date", "DATE"}, {"year_from", "SMALLINT"}, {"year_to", "SMALLINT"},
          {"note", "VARCHAR(250)"}, {"units_count", "INTEGER"}, {"epmk_date", "DATE"}, {"epmk_num", "VARCHAR(50)"},
          {"result_id", "SMALLINT"}, {"sent_date", "DATE"}, {"return_date", "DATE"}, {"ntd_kind_id", "SMALLINT"},
          {"plan", "SMALLINT"}, {"year_of", "SMALLINT"}, {"note_dates", "VARCHAR(250)"}, {"transfered", "SMALLINT"},
          {"archive_id", "INTEGER"}, {"curator_id", "INTEGER"}, {"file_id", "INTEGER"}, {"num_from", "INTEGER"},
          {"num_to", "INTEGER"}, {"epmk_id", "SMALLINT"}, {"opis_num", "VARCHAR(5)"}, {"opisfond_id", "INTEGER"}}},
        {"transfer",
         {{"id", "INTEGER"}, {"num", "INTEGER"}, {"receipt_date", "DATE"}, {"act_date", "DATE"},
          {"act_num", "VARCHAR(50)"}, {"source_id", "INTEGER"}, {"units_count", "INTEGER"}, {"year_from", "SMALLINT"},
          {"year_to", "SMALLINT"}, {"note_dates", "VARCHAR(250)"}, {"note", "VARCHAR(250)"},
          {"lost_count", "SMALLINT"}, {"lost_nums", "VARCHAR(250)"}, {"left_count", "SMALLINT"}, {"plan", "SMALLINT"},
          {"archive_id", "INTEGER"}, {"curator_id", "INTEGER"}, {"kind_id", "INTEGER"}, {"year_of", "INTEGER"},
          {"file_id", "INTEGER"}, {"undescribed_count", "INTEGER"}, {"docs_count", "SMALLINT"},
          {"is_described", "SMALLINT"}}},
        {"losses",
         {{"id", "INTEGER"}, {"num", "INTEGER"}, {"kind_id", "INTEGER"}, {"curator_id", "INTEGER"},
          {"year_of", "INTEGER"}, {"source_id", "INTEGER"}, {"reg_date", "DATE"}, {"epmk_date", "DATE"},
          {"epmk_num", "INTEGER"}, {"units_count", "INTEGER"}, {"years", "VARCHAR(250)"}, {"notes", "VARCHAR(250)"},
          {"file_id", "INTEGER"}}},
        {"events",
         {{"id", "INTEGER"}, {"num", "INTEGER"}, {"source_id", "INTEGER"}, {"date_held", "DATE"},
          {"subject", "VARCHAR(150)"}, {"description", "VARCHAR(500)"}, {"curator_id", "INTEGER"},
          {"kind_id", "INTEGER"}, {"year_of", "INTEGER"}, {"plan", "INTEGER"}, {"act_num", "INTEGER"},
          {"act_date", "DATE"}, {"file_id", "INTEGER"}}},
        {"changes",
         {{"id", "INTEGER"}, {"num", "INTEGER"}, {"decision", "SMALLINT"}, {"epmk_date", "DATE"},
          {"empk_num", "INTEGER"}, {"source_id", "INTEGER"}, {"fund_num", "VARCHAR(50)"}, {"reason", "VARCHAR(250)"},
          {"document_date", "DATE"}, {"document_num", "VARCHAR(50)"}, {"document_note", "VARCHAR(255)"},
          {"notes", "VARCHAR(255)"}, {"year_of", "SMALLINT"}, {"kind_id", "INTEGER"}}},
        {"nomenclature",
         {{"id", "INTEGER"}, {"num", "INTEGER"}, {"source_id", "INTEGER"}, {"reg_date", "DATE"},
          {"sent_date", "DATE"}, {"epmk_date", "DATE"}, {"epmk_num", "VARCHAR(50)"}, {"year_agreed", "SMALLINT"},
          {"units_total", "INTEGER"}, {"permanent_count", "INTEGER"}, {"transfer_count", "INTEGER"},
          {"plan", "SMALLINT"}, {"result_id", "SMALLINT"}, {"return_date", "DATE"}, {"notes", "VARCHAR(250)"},
          {"curator_id", "INTEGER"}, {"year_of", "INTEGER"}, {"kind_id", "INTEGER"}, {"file_id", "INTEGER"},
          {"epmk_id", "SMALLINT"}}},
        {"docs_approval",
         {{"id", "INTEGER"}, {"num", "INTEGER"}, {"kind_id", "INTEGER"}, {"source_id", "INTEGER"},
          {"year_of", "INTEGER"}, {"reg_date", "DATE"}, {"approval_date", "DATE"}, {"doc_num", "VARCHAR(50)"},
          {"notes", "VARCHAR(250)"}, {"file_id", "INTEGER"}}},
        {"docs_other",
         {{"id", "INTEGER"}, {"num", "INTEGER"}, {"kind_id", "INTEGER"}, {"source_id", "INTEGER"},
          {"year_of", "INTEGER"}, {"reg_date", "DATE"}, {"notes", "VARCHAR(250)"}, {"file_id", "INTEGER"}}},
        {"organisations",
         {{"id", "INTEGER"}, {"source_id", "INTEGER"}, {"director", "VARCHAR(150)"},
          {"arch_responsible", "VARCHAR(150)"}, {"record_keeper", "VARCHAR(150)"}, {"address", "VARCHAR(250)"},
          {"hist_refer", "TEXT"}}},
        // A passport without a copy clears 12 to 15 (the four flags); a copy takes 1 to the one
        // before the last, so source_id stands last and comes from the master link instead.
        {"passport",
         {{"id", "INTEGER"}, {"year_of", "INTEGER"}, {"address", "VARCHAR(250)"}, {"area", "REAL"},
          {"fund_count", "INTEGER"}, {"workload", "INTEGER"}, {"staff", "INTEGER"},
          {"arch_responsible", "VARCHAR(150)"}, {"stellage", "SMALLINT"}, {"heating", "SMALLINT"},
          {"storage", "SMALLINT"}, {"boards", "SMALLINT"}, {"fire_signals", "SMALLINT"},
          {"intr_signals", "SMALLINT"}, {"reading_hall", "SMALLINT"}, {"th_regime", "SMALLINT"},
          {"source_id", "INTEGER"}}},
        {"documents",
         {{"id", "INTEGER"}, {"passport_id", "INTEGER"}, {"doctype", "SMALLINT"}, {"dockind", "SMALLINT"},
          {"total", "INTEGER"}, {"date_s", "INTEGER"}, {"date_e", "INTEGER"}, {"epmk_total", "INTEGER"},
          {"epmk_date_s", "INTEGER"}, {"epmk_date_e", "INTEGER"}, {"stored_overdue", "INTEGER"},
          {"units_per_year", "INTEGER"}, {"state_part", "SMALLINT"}}},
        {"renames",
         {{"id", "INTEGER"}, {"source_id", "INTEGER"}, {"date_from", "DATE"}, {"date_to", "DATE"},
          {"shortname", "VARCHAR(250)"}, {"fullname", "VARCHAR(500)"}, {"ownership", "INTEGER"},
          {"document", "VARCHAR(250)"}, {"document_date", "DATE"}, {"document_num", "VARCHAR(50)"}}},
        {"opisi_fond",
         {{"id", "INTEGER"}, {"source_id", "INTEGER"}, {"opis_num", "VARCHAR(50)"}, {"opis_name", "VARCHAR(250)"}}},
        {"opis_transfered", {{"id", "INTEGER"}, {"opis_id", "INTEGER"}, {"transfer_id", "INTEGER"}}},
        {"numbers",
         {{"id", "INTEGER"}, {"year_of", "INTEGER"}, {"journal", "INTEGER"}, {"kind_id", "INTEGER"},
          {"next_num", "INTEGER"}}},
        {"files", {{"id", "INTEGER"}, {"file_name", "VARCHAR(250)"}}},
        {"file_content", {{"id", "INTEGER"}, {"file_id", "INTEGER"}, {"content", "BLOB"}}},
        {"branches",
         {{"id", "INTEGER"}, {"branch_name", "VARCHAR(250)"}, {"parent_id", "INTEGER"}, {"code", "VARCHAR(20)"}}},
        {"v_user",
         {{"user_id", "INTEGER"}, {"user_name", "VARCHAR(100)"}, {"password", "VARCHAR(50)"}, {"access", "SMALLINT"},
          {"active", "SMALLINT"}, {"position", "VARCHAR(100)"}}},
        {"v_dockind", {{"id", "INTEGER"}, {"dockind_name", "VARCHAR(100)"}}},
        {"v_epmk", {{"id", "INTEGER"}, {"epmk_name", "VARCHAR(250)"}}},
        {"v_ntd", {{"id", "INTEGER"}, {"ntd_kind", "VARCHAR(100)"}}},
    };
    return schema;
}

}  // namespace apptest
