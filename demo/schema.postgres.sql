-- The demo's business tables for a PostgreSQL account set: the same tables as schema.sql, in
-- PostgreSQL's types (serial keys, double precision amounts, bytea files).

-- Amounts and quantities are doubles and times are texts, as in the local-file demo, so both
-- kinds show the same figures ("73", not "73.0000") and the forms compare dates as texts.
ALTER TABLE c_material ALTER COLUMN price_0 TYPE double precision;
ALTER TABLE p_sto ALTER COLUMN qty_0 TYPE double precision;
ALTER TABLE p_sto ALTER COLUMN update_time_0 TYPE text;
ALTER TABLE c_material ADD COLUMN category_0 text NOT NULL DEFAULT '';
ALTER TABLE c_material ADD COLUMN sale_price_0 double precision NOT NULL DEFAULT 0;
-- Phonetic initials of the name (螺丝刀 → LSD), for searching; the materials form writes them
-- when it saves a material.
ALTER TABLE c_material ADD COLUMN py_0 text NOT NULL DEFAULT '';
CREATE UNIQUE INDEX ix_c_material_code ON c_material (code_0);
-- A photo of the material, shown on the materials form.
ALTER TABLE c_material ADD COLUMN photo_0 bytea;

-- One stock row per material, which goods receipts add to.
CREATE UNIQUE INDEX ix_p_sto_material ON p_sto (material_uid_0);

CREATE TABLE c_supplier (
  uid_0 serial PRIMARY KEY,
  code_0 text NOT NULL UNIQUE,
  name_0 text NOT NULL UNIQUE,
  contact_0 text NOT NULL DEFAULT '',
  phone_0 text NOT NULL DEFAULT '',
  address_0 text NOT NULL DEFAULT ''
);

CREATE TABLE c_customer (
  uid_0 serial PRIMARY KEY,
  code_0 text NOT NULL UNIQUE,
  name_0 text NOT NULL UNIQUE,
  contact_0 text NOT NULL DEFAULT '',
  phone_0 text NOT NULL DEFAULT '',
  address_0 text NOT NULL DEFAULT ''
);

-- Document numbers: one counter row per kind of document (RK receipts, HT contracts), taken
-- and raised inside the save's transaction, so that clerks saving at once wait for each other
-- here and never get the same number. The count starts again each day.
CREATE TABLE c_doc_counter (
  kind_0 TEXT PRIMARY KEY,
  day_0 TEXT NOT NULL DEFAULT '',
  last_0 INTEGER NOT NULL DEFAULT 0
);

-- Goods receipts: a header per delivery and one line per material received.
CREATE TABLE p_receipt (
  uid_0 serial PRIMARY KEY,
  code_0 text NOT NULL UNIQUE,
  supplier_uid_0 integer NOT NULL REFERENCES c_supplier (uid_0),
  date_0 text NOT NULL,
  handler_0 text NOT NULL DEFAULT '',
  remark_0 text NOT NULL DEFAULT '',
  create_user_uid_0 integer NOT NULL DEFAULT 0,
  create_time_0 text
);

CREATE TABLE p_receipt_line (
  uid_0 serial PRIMARY KEY,
  head_uid_0 integer NOT NULL REFERENCES p_receipt (uid_0),
  line_0 integer NOT NULL DEFAULT 0,
  material_uid_0 integer NOT NULL REFERENCES c_material (uid_0),
  qty_0 double precision NOT NULL CHECK (qty_0 > 0),
  price_0 double precision NOT NULL DEFAULT 0 CHECK (price_0 >= 0),
  amount_0 double precision NOT NULL DEFAULT 0
);
CREATE INDEX ix_p_receipt_line_head ON p_receipt_line (head_uid_0);
CREATE INDEX ix_p_receipt_line_material ON p_receipt_line (material_uid_0);

-- Sales contracts: 草稿 until audited, then 已审核. Only drafts may be changed.
CREATE TABLE p_contract (
  uid_0 serial PRIMARY KEY,
  code_0 text NOT NULL UNIQUE,
  customer_uid_0 integer NOT NULL REFERENCES c_customer (uid_0),
  sign_date_0 text NOT NULL,
  delivery_date_0 text NOT NULL,
  state_0 text NOT NULL DEFAULT '草稿' CHECK (state_0 IN ('草稿', '已审核')),
  remark_0 text NOT NULL DEFAULT '',
  create_user_uid_0 integer NOT NULL DEFAULT 0,
  create_time_0 text,
  audit_user_0 text NOT NULL DEFAULT '',
  audit_time_0 text,
  -- The signed contract's scan, with who uploaded it when.
  att_name_0 text,
  att_file_0 bytea,
  date_up_0 text,
  up_user_uid_0 integer
);

CREATE TABLE p_contract_line (
  uid_0 serial PRIMARY KEY,
  head_uid_0 integer NOT NULL REFERENCES p_contract (uid_0),
  line_0 integer NOT NULL DEFAULT 0,
  material_uid_0 integer NOT NULL REFERENCES c_material (uid_0),
  qty_0 double precision NOT NULL CHECK (qty_0 > 0),
  price_0 double precision NOT NULL DEFAULT 0 CHECK (price_0 >= 0),
  amount_0 double precision NOT NULL DEFAULT 0
);
CREATE INDEX ix_p_contract_line_head ON p_contract_line (head_uid_0);
CREATE INDEX ix_p_contract_line_material ON p_contract_line (material_uid_0);

-- Material categories: groups (parent 0) and the categories materials name in category_0.
CREATE TABLE c_material_category (
  uid_0 integer PRIMARY KEY,
  parent_uid_0 integer NOT NULL DEFAULT 0,
  name_0 text NOT NULL UNIQUE,
  order_0 integer NOT NULL DEFAULT 0
);

-- Planned deliveries of contract lines: a day and a time window within it, in minutes.
CREATE TABLE p_delivery (
  uid_0 serial PRIMARY KEY,
  line_uid_0 integer NOT NULL REFERENCES p_contract_line (uid_0),
  date_0 text NOT NULL,
  from_minute_0 integer NOT NULL CHECK (from_minute_0 BETWEEN 1 AND 1439),
  to_minute_0 integer NOT NULL CHECK (to_minute_0 > from_minute_0 AND to_minute_0 <= 1440)
);
CREATE INDEX ix_p_delivery_line ON p_delivery (line_uid_0, date_0);

-- Spreadsheet templates that exports fill (库存查询 → templates/stock.xlsx, stored at set-up).
CREATE TABLE c_xltx (
  uid_0 integer PRIMARY KEY,
  name_0 text NOT NULL,
  file_0 bytea
);
INSERT INTO c_xltx (uid_0, name_0) VALUES (1, '库存查询.xlsx');

-- Monthly sales and receipts, carried over from the books before the client was used (销售分析).
CREATE TABLE p_sales_month (
  month_0 text PRIMARY KEY,
  amount_0 double precision NOT NULL,
  received_0 double precision NOT NULL,
  note_0 text NOT NULL DEFAULT ''
);
