#!/usr/bin/env bash
# Starts or stops the private PostgreSQL server of the database tests:
#   scripts/postgres-fixture.sh start|stop FOLDER PORT
# FOLDER (inside a build folder) gets the data folder, the server log and an odbc.ini with the
# data source QeltPostgres. The server listens on no TCP address, only on a unix socket in a
# private runtime folder named after FOLDER, so build folders never meet; the data folder moves
# there too when FOLDER is out of the postgres user's reach (a build below /root). Starting
# first stops and removes whatever an aborted earlier run left behind.
set -euo pipefail
action=$1
folder=$(realpath -m "$2")
port=$3

pgbin=$(find /usr/lib/postgresql -maxdepth 2 -name bin -type d | sort -V | tail -n 1)
[[ -n "$pgbin" ]] || { echo "postgres-fixture: no PostgreSQL server installed" >&2; exit 1; }
runtime=/tmp/qelt-pg-$(printf '%s' "$folder" | md5sum | cut -c1-12)

# initdb and the server refuse to run as root: CI runs as root, so they run as postgres there.
as_server() {
    if [[ $(id -u) -eq 0 ]]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

stop_server() {
    for data in "$folder/data" "$runtime/data"; do
        if [[ -f "$data/postmaster.pid" ]]; then
            as_server "$pgbin/pg_ctl" -D "$data" -m immediate -w stop >/dev/null 2>&1 || true
        fi
    done
    rm -rf "$folder" "$runtime"
}

start_server() {
    stop_server
    mkdir -p "$folder" "$runtime"
    if [[ $(id -u) -eq 0 ]]; then
        chown postgres: "$folder" "$runtime"
    fi
    local data=$folder/data
    as_server test -w "$folder" || data=$runtime/data
    as_server "$pgbin/initdb" -D "$data" -U postgres -A trust -E UTF8 --locale=C --no-sync \
        >"$runtime/initdb.log"
    as_server "$pgbin/pg_ctl" -D "$data" -l "$runtime/server.log" -w -t 60 \
        -o "-k $runtime -p $port -c listen_addresses='' -c fsync=off" start >/dev/null
    as_server "$pgbin/psql" -h "$runtime" -p "$port" -U postgres -d postgres -q \
        -v ON_ERROR_STOP=1 <<'SQL'
CREATE DATABASE qeltone;
\connect qeltone
-- Unquoted names: the server folds them to lower case.
CREATE TABLE Companies (
    CompanyIntID integer PRIMARY KEY,
    CompanyName varchar(100) NOT NULL,
    Address text,
    CountryCode char(2),
    Employees smallint,
    Shares bigint,
    Turnover numeric(18, 2),
    Rating real,
    Score double precision,
    IsCustomer boolean,
    ExternalRef uuid,
    Logo bytea,
    FoundedOn date,
    OpensAt time,
    CreateDate timestamp,
    uuEditedBy varchar(50),
    EditDate timestamp
);
INSERT INTO Companies (CompanyIntID, CompanyName) VALUES (1, 'Harbour Freight Lines');
-- Columns that a trigger's UPDATE cannot set or must convert with care: an identity, a generated
-- column, a uuid, a wide and a narrow numeric, binary data and a name longer than 40 characters.
CREATE TABLE dbatest (
    id integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    label varchar(60),
    total integer GENERATED ALWAYS AS (id * 2) STORED,
    ref uuid,
    amount numeric(38, 10),
    price numeric(10, 2),
    payload bytea,
    a_column_name_that_is_longer_than_forty_chars text
);
-- Names beyond ASCII and beyond the Basic Multilingual Plane, quoted so that they keep their case.
CREATE TABLE "Wörter" ("数量" integer, "Preis€" numeric(10, 2), "😀" text, "Kunde😀𝔘" varchar(10));
-- Names the same ignoring case, which SQL Server would take for one column set twice; ß and SS
-- differ under simple case folding, ẞ and ß do not.
CREATE TABLE casetwins (id integer PRIMARY KEY, "Name" text, "NAME" text);
CREATE TABLE casefolds (id integer PRIMARY KEY, "Straße" text, "STRASSE" text, "STRAẞE" text);
SQL
    driver=$(find /usr/lib /usr/local/lib -name psqlodbcw.so -print -quit 2>/dev/null)
    [[ -n "$driver" ]] || { echo "postgres-fixture: psqlodbcw.so not found" >&2; exit 1; }
    cat >"$folder/odbc.ini" <<INI
[QeltPostgres]
Driver = $driver
Servername = $runtime
Port = $port
Database = qeltone
Username = postgres
INI
}

case "$action" in
    start) start_server ;;
    stop) stop_server ;;
    *) echo "usage: $0 start|stop FOLDER PORT" >&2; exit 64 ;;
esac
