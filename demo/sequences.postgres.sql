-- The seed writes its rows with their keys; each key sequence then goes on after the largest
-- key, so the next row a form adds does not collide with a seeded one.
SELECT setval(pg_get_serial_sequence('c_user_group', 'uid_0'), (SELECT COALESCE(MAX(uid_0), 0) + 1 FROM c_user_group), false);
SELECT setval(pg_get_serial_sequence('c_user', 'uid_0'), (SELECT COALESCE(MAX(uid_0), 0) + 1 FROM c_user), false);
SELECT setval(pg_get_serial_sequence('c_menu_dh', 'uid_0'), (SELECT COALESCE(MAX(uid_0), 0) + 1 FROM c_menu_dh), false);
SELECT setval(pg_get_serial_sequence('c_menu_button', 'uid_0'), (SELECT COALESCE(MAX(uid_0), 0) + 1 FROM c_menu_button), false);
SELECT setval(pg_get_serial_sequence('c_menu_button_group', 'uid_0'), (SELECT COALESCE(MAX(uid_0), 0) + 1 FROM c_menu_button_group), false);
SELECT setval(pg_get_serial_sequence('c_supplier', 'uid_0'), (SELECT COALESCE(MAX(uid_0), 0) + 1 FROM c_supplier), false);
SELECT setval(pg_get_serial_sequence('c_customer', 'uid_0'), (SELECT COALESCE(MAX(uid_0), 0) + 1 FROM c_customer), false);
SELECT setval(pg_get_serial_sequence('c_material', 'uid_0'), (SELECT COALESCE(MAX(uid_0), 0) + 1 FROM c_material), false);
SELECT setval(pg_get_serial_sequence('p_receipt', 'uid_0'), (SELECT COALESCE(MAX(uid_0), 0) + 1 FROM p_receipt), false);
SELECT setval(pg_get_serial_sequence('p_receipt_line', 'uid_0'), (SELECT COALESCE(MAX(uid_0), 0) + 1 FROM p_receipt_line), false);
SELECT setval(pg_get_serial_sequence('p_contract', 'uid_0'), (SELECT COALESCE(MAX(uid_0), 0) + 1 FROM p_contract), false);
SELECT setval(pg_get_serial_sequence('p_contract_line', 'uid_0'), (SELECT COALESCE(MAX(uid_0), 0) + 1 FROM p_contract_line), false);
SELECT setval(pg_get_serial_sequence('p_sto', 'uid_0'), (SELECT COALESCE(MAX(uid_0), 0) + 1 FROM p_sto), false);
SELECT setval(pg_get_serial_sequence('p_delivery', 'uid_0'), (SELECT COALESCE(MAX(uid_0), 0) + 1 FROM p_delivery), false);
