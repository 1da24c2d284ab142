#!/usr/bin/env bash
# Runs a command beside a PostgreSQL server of its own: initdb into a
# temporary folder, the server listening only on a Unix socket in that
# folder, password authentication, stopped and removed at the end whatever
# the command's outcome. The server runs as a non-root user (nobody when
# started as root). The command gets in its environment:
#   KTX_TEST_POSTGRES   libpq conninfo without dbname (host, port, user, password)
#   KTX_TEST_PG_STOP, KTX_TEST_PG_START   shell commands stopping and starting the server
#   KTX_TEST_PG_BIN     the folder of the server's programs (createdb, psql)
# Usage: with-postgres.sh COMMAND [ARGS...]
set -euo pipefail
bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
[ -x "$bin/initdb" ] || { echo "with-postgres: no PostgreSQL server programs (Debian package postgresql)" >&2; exit 2; }

work="$(mktemp -d /tmp/ktx-pg.XXXXXX)"
as_server=()
if [ "$(id -u)" -eq 0 ]; then
  chown nobody: "$work"
  as_server=(runuser -u nobody --)
fi
chmod 755 "$work"
data="$work/data"
password="ktx-test-$$"
printf '%s\n' "$password" >"$work/pwfile"
chmod 644 "$work/pwfile"
"${as_server[@]}" "$bin/initdb" -D "$data" -U ktx --pwfile="$work/pwfile" --auth=scram-sha-256 --no-sync \
  -E UTF8 --locale=C.UTF-8 >"$work/initdb.log" 2>&1 || { cat "$work/initdb.log" >&2; exit 2; }
rm -f "$work/pwfile"

quoted_server=""
[ ${#as_server[@]} -eq 0 ] || quoted_server="$(printf '%q ' "${as_server[@]}")"
start="${quoted_server}$(printf '%q' "$bin/pg_ctl") -D $(printf '%q' "$data") -w -t 30 -l $(printf '%q' "$work/server.log") \
-o \"-k $(printf '%q' "$work") -c listen_addresses='' -c fsync=off -c max_connections=40\" start >/dev/null"
stop="${quoted_server}$(printf '%q' "$bin/pg_ctl") -D $(printf '%q' "$data") -w -t 30 -m fast stop >/dev/null"

cleanup() {
  eval "${quoted_server}$(printf '%q' "$bin/pg_ctl") -D $(printf '%q' "$data") -m immediate stop" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
eval "$start" || { cat "$work/server.log" >&2; exit 2; }

export KTX_TEST_POSTGRES="host=$work port=5432 user=ktx password=$password"
export KTX_TEST_PG_STOP="$stop" KTX_TEST_PG_START="$start" KTX_TEST_PG_BIN="$bin"
status=0
"$@" || status=$?
exit "$status"
