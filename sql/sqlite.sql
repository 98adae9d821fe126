-- Account-set schema for the local SQLite file. The client creates no table; the admin tool
-- applies this script to a new, empty file.
CREATE TABLE c_app (
  uid_0 INTEGER PRIMARY KEY AUTOINCREMENT,
  ver_0 TEXT NOT NULL DEFAULT '',
  exe_0 BLOB,
  date_exe_0 TEXT,
  date_up_0 TEXT,
  ver_1 TEXT NOT NULL DEFAULT '',
  app_0 TEXT NOT NULL DEFAULT '',
  company_0 TEXT NOT NULL DEFAULT ''
);

-- A user group carries the rights text: comma-separated menu uids the group may open.
CREATE TABLE c_user_group (
  uid_0 INTEGER PRIMARY KEY AUTOINCREMENT,
  name_0 TEXT NOT NULL,
  auth_0 TEXT NOT NULL DEFAULT '',
  remark_0 TEXT NOT NULL DEFAULT ''
);

CREATE TABLE c_user (
  uid_0 INTEGER PRIMARY KEY AUTOINCREMENT,
  id_0 TEXT NOT NULL UNIQUE,
  name_0 TEXT NOT NULL DEFAULT '',
  pass_0 TEXT NOT NULL DEFAULT '',
  state_0 TEXT NOT NULL DEFAULT '正常',
  loginTime_0 TEXT,
  user_group_uid_0 INTEGER NOT NULL DEFAULT 0,
  auth1_0 TEXT NOT NULL DEFAULT ''
);

CREATE VIEW view_c_user AS
  SELECT u.uid_0, u.id_0, u.name_0, u.pass_0, u.state_0, COALESCE(g.auth_0, '') AS auth_0,
         u.auth1_0, u.loginTime_0, u.user_group_uid_0, COALESCE(g.name_0, '') AS group_name_0
  FROM c_user u LEFT JOIN c_user_group g ON g.uid_0 = u.user_group_uid_0;

CREATE TABLE c_menu_dh (
  uid_0 INTEGER PRIMARY KEY AUTOINCREMENT,
  pUid_0 INTEGER NOT NULL DEFAULT 0,
  leaf_0 INTEGER NOT NULL DEFAULT 0,
  name_0 TEXT NOT NULL DEFAULT '',
  level_0 INTEGER NOT NULL DEFAULT 0,
  order_0 INTEGER NOT NULL DEFAULT 0,
  form_0 BLOB,
  update_user_uid_0 INTEGER,
  update_time_0 TEXT
);

CREATE TABLE c_menu_dh_down (
  uid_0 INTEGER PRIMARY KEY,
  pUid_0 INTEGER NOT NULL DEFAULT 0,
  leaf_0 INTEGER NOT NULL DEFAULT 0,
  name_0 TEXT NOT NULL DEFAULT '',
  level_0 INTEGER NOT NULL DEFAULT 0,
  order_0 INTEGER NOT NULL DEFAULT 0,
  form_0 BLOB,
  update_user_uid_0 INTEGER,
  update_time_0 TEXT
);

CREATE TABLE c_menu_button (
  uid_0 INTEGER PRIMARY KEY AUTOINCREMENT,
  menu_uid_0 INTEGER NOT NULL,
  button_id_0 INTEGER NOT NULL,
  value_0 TEXT NOT NULL DEFAULT '',
  sta_0 INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX ix_c_menu_button_menu ON c_menu_button (menu_uid_0, button_id_0);

CREATE TABLE c_menu_button_down (
  uid_0 INTEGER PRIMARY KEY,
  menu_uid_0 INTEGER NOT NULL,
  button_id_0 INTEGER NOT NULL,
  value_0 TEXT NOT NULL DEFAULT '',
  sta_0 INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE c_menu_button_group (
  uid_0 INTEGER PRIMARY KEY AUTOINCREMENT,
  menu_button_uid_0 INTEGER NOT NULL,
  group_uid_0 INTEGER NOT NULL,
  sta_0 INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX ix_c_menu_button_group ON c_menu_button_group (menu_button_uid_0, group_uid_0);

CREATE TABLE log_client_login (
  uid_0 INTEGER PRIMARY KEY AUTOINCREMENT,
  user_uid_0 INTEGER NOT NULL DEFAULT 0,
  name_0 TEXT NOT NULL DEFAULT '',
  ip_0 TEXT NOT NULL DEFAULT '',
  time_0 TEXT,
  cpt_name_0 TEXT NOT NULL DEFAULT '',
  mac_0 TEXT NOT NULL DEFAULT '',
  ip_1 TEXT NOT NULL DEFAULT ''
);

CREATE TABLE log_dh_open (
  uid_0 INTEGER PRIMARY KEY AUTOINCREMENT,
  menu_uid_0 INTEGER NOT NULL DEFAULT 0,
  open_user_uid_0 INTEGER NOT NULL DEFAULT 0,
  menu_name_0 TEXT NOT NULL DEFAULT '',
  open_user_id_0 TEXT NOT NULL DEFAULT '',
  control_id_0 INTEGER NOT NULL DEFAULT 0,
  time_0 TEXT DEFAULT (datetime('now', 'localtime'))
);

CREATE TABLE c_material (
  uid_0 INTEGER PRIMARY KEY AUTOINCREMENT,
  code_0 TEXT NOT NULL DEFAULT '',
  name_0 TEXT NOT NULL DEFAULT '',
  spec_0 TEXT NOT NULL DEFAULT '',
  unit_0 TEXT NOT NULL DEFAULT '',
  price_0 REAL NOT NULL DEFAULT 0,
  remark_0 TEXT NOT NULL DEFAULT ''
);

CREATE TABLE p_sto (
  uid_0 INTEGER PRIMARY KEY AUTOINCREMENT,
  material_uid_0 INTEGER NOT NULL DEFAULT 0,
  qty_0 REAL NOT NULL DEFAULT 0,
  update_time_0 TEXT
);
