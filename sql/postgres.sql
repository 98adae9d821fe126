-- Account-set schema for PostgreSQL. The client creates no table; the admin tool applies this
-- script, in one transaction, to an empty database.
CREATE TABLE c_app (
  uid_0 serial PRIMARY KEY,
  ver_0 text NOT NULL DEFAULT '',
  exe_0 bytea,
  date_exe_0 timestamp(0),
  date_up_0 timestamp(0),
  ver_1 text NOT NULL DEFAULT '',
  app_0 text NOT NULL DEFAULT '',
  company_0 text NOT NULL DEFAULT ''
);

-- A user group carries the rights text: comma-separated menu uids the group may open.
CREATE TABLE c_user_group (
  uid_0 serial PRIMARY KEY,
  name_0 text NOT NULL,
  auth_0 text NOT NULL DEFAULT '',
  remark_0 text NOT NULL DEFAULT ''
);

CREATE TABLE c_user (
  uid_0 serial PRIMARY KEY,
  id_0 text NOT NULL UNIQUE,
  name_0 text NOT NULL DEFAULT '',
  pass_0 text NOT NULL DEFAULT '',
  state_0 text NOT NULL DEFAULT '正常',
  loginTime_0 timestamp(0),
  user_group_uid_0 integer NOT NULL DEFAULT 0,
  auth1_0 text NOT NULL DEFAULT ''
);

CREATE VIEW view_c_user AS
  SELECT u.uid_0, u.id_0, u.name_0, u.pass_0, u.state_0, COALESCE(g.auth_0, '') AS auth_0,
         u.auth1_0, u.loginTime_0, u.user_group_uid_0, COALESCE(g.name_0, '') AS group_name_0
  FROM c_user u LEFT JOIN c_user_group g ON g.uid_0 = u.user_group_uid_0;

CREATE TABLE c_menu_dh (
  uid_0 serial PRIMARY KEY,
  pUid_0 integer NOT NULL DEFAULT 0,
  leaf_0 integer NOT NULL DEFAULT 0,
  name_0 text NOT NULL DEFAULT '',
  level_0 integer NOT NULL DEFAULT 0,
  order_0 integer NOT NULL DEFAULT 0,
  form_0 bytea,
  update_user_uid_0 integer,
  update_time_0 timestamp(0)
);

CREATE TABLE c_menu_dh_down (
  uid_0 integer PRIMARY KEY,
  pUid_0 integer NOT NULL DEFAULT 0,
  leaf_0 integer NOT NULL DEFAULT 0,
  name_0 text NOT NULL DEFAULT '',
  level_0 integer NOT NULL DEFAULT 0,
  order_0 integer NOT NULL DEFAULT 0,
  form_0 bytea,
  update_user_uid_0 integer,
  update_time_0 timestamp(0)
);

CREATE TABLE c_menu_button (
  uid_0 serial PRIMARY KEY,
  menu_uid_0 integer NOT NULL,
  button_id_0 integer NOT NULL,
  value_0 text NOT NULL DEFAULT '',
  sta_0 integer NOT NULL DEFAULT 0
);
CREATE INDEX ix_c_menu_button_menu ON c_menu_button (menu_uid_0, button_id_0);

CREATE TABLE c_menu_button_down (
  uid_0 integer PRIMARY KEY,
  menu_uid_0 integer NOT NULL,
  button_id_0 integer NOT NULL,
  value_0 text NOT NULL DEFAULT '',
  sta_0 integer NOT NULL DEFAULT 0
);

CREATE TABLE c_menu_button_group (
  uid_0 serial PRIMARY KEY,
  menu_button_uid_0 integer NOT NULL,
  group_uid_0 integer NOT NULL,
  sta_0 integer NOT NULL DEFAULT 0
);
CREATE INDEX ix_c_menu_button_group ON c_menu_button_group (menu_button_uid_0, group_uid_0);

CREATE TABLE log_client_login (
  uid_0 serial PRIMARY KEY,
  user_uid_0 integer NOT NULL DEFAULT 0,
  name_0 text NOT NULL DEFAULT '',
  ip_0 text NOT NULL DEFAULT '',
  time_0 timestamp(0),
  cpt_name_0 text NOT NULL DEFAULT '',
  mac_0 text NOT NULL DEFAULT '',
  ip_1 text NOT NULL DEFAULT ''
);

CREATE TABLE log_dh_open (
  uid_0 serial PRIMARY KEY,
  menu_uid_0 integer NOT NULL DEFAULT 0,
  open_user_uid_0 integer NOT NULL DEFAULT 0,
  menu_name_0 text NOT NULL DEFAULT '',
  open_user_id_0 text NOT NULL DEFAULT '',
  control_id_0 integer NOT NULL DEFAULT 0,
  time_0 timestamp(0) DEFAULT LOCALTIMESTAMP(0)
);

CREATE TABLE c_material (
  uid_0 serial PRIMARY KEY,
  code_0 text NOT NULL DEFAULT '',
  name_0 text NOT NULL DEFAULT '',
  spec_0 text NOT NULL DEFAULT '',
  unit_0 text NOT NULL DEFAULT '',
  price_0 numeric(18,4) NOT NULL DEFAULT 0,
  remark_0 text NOT NULL DEFAULT ''
);

CREATE TABLE p_sto (
  uid_0 serial PRIMARY KEY,
  material_uid_0 integer NOT NULL DEFAULT 0,
  qty_0 numeric(18,4) NOT NULL DEFAULT 0,
  update_time_0 timestamp(0)
);
