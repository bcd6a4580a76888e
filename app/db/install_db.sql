-- Database of the acquisition registry, UTF-8 text.
-- Running it again on a database it made changes nothing: objects are created only when
-- missing and seed rows carry fixed keys.
-- Each statement ends with a semicolon at the end of a line and holds no other, for a
-- line-based runner.
-- Keys are INTEGER PRIMARY KEY column constraints: the key is then the row id, which the data
-- layer reads back after an insert.
-- Column order matters: several operations address columns by position.

-- Sources of acquisition (journal 1).
CREATE TABLE IF NOT EXISTS sources (
  id INTEGER PRIMARY KEY,
  sourcekind_id SMALLINT,
  num INTEGER,
  source_name VARCHAR(250),
  source_fullname VARCHAR(500),
  ownership INTEGER,
  form_recieve INTEGER,
  fund_num VARCHAR(50),
  rubric_id INTEGER,
  store_years INTEGER,
  profile INTEGER,
  origin_note VARCHAR(250),
  origin_date DATE,
  origin_num VARCHAR(50),
  storage VARCHAR(100),
  doctypes INTEGER,
  curator_id INTEGER,
  year_described VARCHAR(50),
  year_transfered VARCHAR(50),
  address VARCHAR(250),
  fund_status_id INTEGER,
  code VARCHAR(50),
  note VARCHAR(250)
);

-- Inventories (journal 2).
CREATE TABLE IF NOT EXISTS opisi (
  id INTEGER PRIMARY KEY,
  num INTEGER,
  kind_id SMALLINT,
  source_id INTEGER,
  reg_date DATE,
  forward_date DATE,
  year_from SMALLINT,
  year_to SMALLINT,
  note VARCHAR(250),
  units_count INTEGER,
  epmk_date DATE,
  epmk_num VARCHAR(50),
  result_id SMALLINT,
  sent_date DATE,
  return_date DATE,
  ntd_kind_id SMALLINT,
  plan SMALLINT,
  year_of SMALLINT,
  note_dates VARCHAR(250),
  transfered SMALLINT DEFAULT 0,
  archive_id INTEGER,
  curator_id INTEGER,
  file_id INTEGER,
  num_from INTEGER,
  num_to INTEGER,
  epmk_id SMALLINT,
  opis_num VARCHAR(5),
  opisfond_id INTEGER
);

-- Transfers of described and undescribed documents (journal 3).
CREATE TABLE IF NOT EXISTS transfer (
  id INTEGER PRIMARY KEY,
  num INTEGER,
  receipt_date DATE,
  act_date DATE,
  act_num VARCHAR(50),
  source_id INTEGER,
  units_count INTEGER,
  year_from SMALLINT,
  year_to SMALLINT,
  note_dates VARCHAR(250),
  note VARCHAR(250),
  lost_count SMALLINT,
  lost_nums VARCHAR(250),
  left_count SMALLINT,
  plan SMALLINT,
  archive_id INTEGER,
  curator_id INTEGER,
  kind_id INTEGER,
  year_of INTEGER,
  file_id INTEGER,
  undescribed_count INTEGER,
  docs_count SMALLINT,
  is_described SMALLINT
);

-- Losses of documents (journal 4).
CREATE TABLE IF NOT EXISTS losses (
  id INTEGER PRIMARY KEY,
  num INTEGER,
  kind_id INTEGER,
  curator_id INTEGER,
  year_of INTEGER,
  source_id INTEGER,
  reg_date DATE,
  epmk_date DATE,
  epmk_num INTEGER,
  units_count INTEGER,
  years VARCHAR(250),
  notes VARCHAR(250),
  file_id INTEGER
);

-- Events held with sources (journal 5).
CREATE TABLE IF NOT EXISTS events (
  id INTEGER PRIMARY KEY,
  num INTEGER,
  source_id INTEGER,
  date_held DATE,
  subject VARCHAR(150),
  description VARCHAR(500),
  curator_id INTEGER,
  kind_id INTEGER,
  year_of INTEGER,
  plan INTEGER,
  act_num INTEGER,
  act_date DATE,
  file_id INTEGER
);

-- Changes to list No. 1 (journal 6); empk_num is the name the application uses.
CREATE TABLE IF NOT EXISTS changes (
  id INTEGER PRIMARY KEY,
  num INTEGER,
  decision SMALLINT,
  epmk_date DATE,
  empk_num INTEGER,
  source_id INTEGER,
  fund_num VARCHAR(50),
  reason VARCHAR(250),
  document_date DATE,
  document_num VARCHAR(50),
  document_note VARCHAR(255),
  notes VARCHAR(255),
  year_of SMALLINT,
  kind_id INTEGER
);

-- Nomenclatures of files (journal 7).
CREATE TABLE IF NOT EXISTS nomenclature (
  id INTEGER PRIMARY KEY,
  num INTEGER,
  source_id INTEGER,
  reg_date DATE,
  sent_date DATE,
  epmk_date DATE,
  epmk_num VARCHAR(50),
  year_agreed SMALLINT,
  units_total INTEGER,
  permanent_count INTEGER,
  transfer_count INTEGER,
  plan SMALLINT,
  result_id SMALLINT,
  return_date DATE,
  notes VARCHAR(250),
  curator_id INTEGER,
  year_of INTEGER,
  kind_id INTEGER,
  file_id INTEGER,
  epmk_id SMALLINT
);

-- Local normative acts (journal 8).
CREATE TABLE IF NOT EXISTS docs_approval (
  id INTEGER PRIMARY KEY,
  num INTEGER,
  kind_id INTEGER,
  source_id INTEGER,
  year_of INTEGER,
  reg_date DATE,
  approval_date DATE,
  doc_num VARCHAR(50),
  notes VARCHAR(250),
  file_id INTEGER
);

-- Other kinds of work (journal 9).
CREATE TABLE IF NOT EXISTS docs_other (
  id INTEGER PRIMARY KEY,
  num INTEGER,
  kind_id INTEGER,
  source_id INTEGER,
  year_of INTEGER,
  reg_date DATE,
  notes VARCHAR(250),
  file_id INTEGER
);

-- Contacts and history of an organisation, one row per source.
CREATE TABLE IF NOT EXISTS organisations (
  id INTEGER PRIMARY KEY,
  source_id INTEGER,
  director VARCHAR(150),
  arch_responsible VARCHAR(150),
  record_keeper VARCHAR(150),
  address VARCHAR(250),
  hist_refer TEXT
);

-- Yearly passport of a source. The four flags stand at 12 to 15, which a new passport clears,
-- and source_id stands last, which a copy of the previous year's passport leaves to the master link.
CREATE TABLE IF NOT EXISTS passport (
  id INTEGER PRIMARY KEY,
  year_of INTEGER,
  address VARCHAR(250),
  area REAL,
  fund_count INTEGER,
  workload INTEGER,
  staff INTEGER,
  arch_responsible VARCHAR(150),
  stellage SMALLINT,
  heating SMALLINT,
  storage SMALLINT,
  boards SMALLINT,
  fire_signals SMALLINT,
  intr_signals SMALLINT,
  reading_hall SMALLINT,
  th_regime SMALLINT,
  source_id INTEGER
);

-- Document-volume lines of a passport; date_s and date_e are boundary years.
CREATE TABLE IF NOT EXISTS documents (
  id INTEGER PRIMARY KEY,
  passport_id INTEGER,
  doctype SMALLINT,
  dockind SMALLINT,
  total INTEGER,
  date_s INTEGER,
  date_e INTEGER,
  epmk_total INTEGER,
  epmk_date_s INTEGER,
  epmk_date_e INTEGER,
  stored_overdue INTEGER,
  units_per_year INTEGER,
  state_part SMALLINT
);

-- Renaming history of a source.
CREATE TABLE IF NOT EXISTS renames (
  id INTEGER PRIMARY KEY,
  source_id INTEGER,
  date_from DATE,
  date_to DATE,
  shortname VARCHAR(250),
  fullname VARCHAR(500),
  ownership INTEGER,
  document VARCHAR(250),
  document_date DATE,
  document_num VARCHAR(50)
);

-- Fund inventories of a collection or personal fund.
CREATE TABLE IF NOT EXISTS opisi_fond (
  id INTEGER PRIMARY KEY,
  source_id INTEGER,
  opis_num VARCHAR(50),
  opis_name VARCHAR(250)
);

-- Inventories received by a transfer of described documents.
CREATE TABLE IF NOT EXISTS opis_transfered (
  id INTEGER PRIMARY KEY,
  opis_id INTEGER,
  transfer_id INTEGER
);

-- Running-number counters: next_num is the next number to hand out for (year, journal, kind).
CREATE TABLE IF NOT EXISTS numbers (
  id INTEGER PRIMARY KEY,
  year_of INTEGER NOT NULL,
  journal INTEGER NOT NULL,
  kind_id INTEGER NOT NULL,
  next_num INTEGER NOT NULL
);

-- One counter per key: a second row would make numbering ambiguous.
CREATE UNIQUE INDEX IF NOT EXISTS numbers_key ON numbers (year_of, journal, kind_id);

-- Attached files: the copy in the files folder is named by id and the extension of file_name.
CREATE TABLE IF NOT EXISTS files (
  id INTEGER PRIMARY KEY,
  file_name VARCHAR(250)
);

CREATE TABLE IF NOT EXISTS file_content (
  id INTEGER PRIMARY KEY,
  file_id INTEGER,
  content BLOB
);

-- Rubric classifier, a tree: parent_id 0 marks a root.
CREATE TABLE IF NOT EXISTS branches (
  id INTEGER PRIMARY KEY,
  branch_name VARCHAR(250),
  parent_id INTEGER,
  code VARCHAR(20)
);

-- The application reads, inserts, updates and deletes rows of the v_ names by those names.
-- They are tables, not views: a write through an INSTEAD OF trigger reports no changed row and
-- no new row id, which the data layer needs to check the write and read the key back.

-- Users: password compared as bytes, access 1 curator, 2 department head, 3 administrator,
-- active 1, or 0 for a disabled user.
CREATE TABLE IF NOT EXISTS v_user (
  user_id INTEGER PRIMARY KEY,
  user_name VARCHAR(100),
  password VARCHAR(50),
  access SMALLINT,
  active SMALLINT,
  position VARCHAR(100)
);

-- Kinds of other documents.
CREATE TABLE IF NOT EXISTS v_dockind (
  id INTEGER PRIMARY KEY,
  dockind_name VARCHAR(100)
);

-- Expert commissions.
CREATE TABLE IF NOT EXISTS v_epmk (
  id INTEGER PRIMARY KEY,
  epmk_name VARCHAR(250)
);

-- Kinds of scientific-technical documentation, read only by the application.
CREATE TABLE IF NOT EXISTS v_ntd (
  id INTEGER PRIMARY KEY,
  ntd_kind VARCHAR(100)
);

-- The first administrator has an empty password, to be set at the first login.
INSERT OR IGNORE INTO v_user (user_id, user_name, password, access, active, position)
  VALUES (1, 'Администратор', '', 3, 1, 'Администратор');

INSERT OR IGNORE INTO v_dockind (id, dockind_name) VALUES (1, 'Прочие документы');

INSERT OR IGNORE INTO v_epmk (id, epmk_name) VALUES (1, 'Экспертно-проверочная методическая комиссия');

INSERT OR IGNORE INTO v_ntd (id, ntd_kind) VALUES (1, 'Научно-исследовательская');
INSERT OR IGNORE INTO v_ntd (id, ntd_kind) VALUES (2, 'Проектная');
INSERT OR IGNORE INTO v_ntd (id, ntd_kind) VALUES (3, 'Конструкторская');
INSERT OR IGNORE INTO v_ntd (id, ntd_kind) VALUES (4, 'Технологическая');

INSERT OR IGNORE INTO branches (id, branch_name, parent_id, code) VALUES (1, 'Органы государственной власти и управления', 0, '01');
