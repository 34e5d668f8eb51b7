#!/usr/bin/env bash
# dump-database.sh FILE PASSWORD: prints everything a practice database
# holds, in a form two files can be compared by (diff): each object's type
# and name, each table's columns (name, declared type, NOT NULL, default,
# key), and each table's rows in the order of their ids, every value as an
# SQL literal of its storage class. The checks' texts are left out: how a
# rule is written may change while the data must not.
set -euo pipefail
file=$1
password=$2
run() {
  printf "PRAGMA key='%s';\nPRAGMA cipher_page_size=4096;\n%s\n" "$password" "$1" |
    sqlcipher -batch "$file" | sed '/^ok$/d'
}
run "SELECT type, name, tbl_name FROM sqlite_master ORDER BY type, name;"
for table in $(run "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name;"); do
  echo "== $table"
  run "PRAGMA table_info(\"$table\");"
  run ".mode insert \"$table\"
SELECT * FROM \"$table\" ORDER BY rowid;"
done
