#!/usr/bin/env bash
# The collector under load: bench/stat/run.sh [REPORTS [CONCURRENCY]] (default 20000 reports, 32 at a
# time) against nginx and PHP-FPM on loopback (the site and pool of server/deploy/), first on SQLite,
# then on a private PostgreSQL cluster. Prints reports a second and latencies per engine and checks
# that every report answered "OK" is stored exactly once; exits 1 when one is not.
set -uo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
reports=${1:-20000} concurrency=${2:-32}

. "$source/tests/e2e/lib/stat_server.bash"
missing=$(stat_missing)
[ -z "$missing" ] || { echo "bench: $missing (scripts/setup installs it)"; exit 1; }
tmp=$(mktemp -d "${TMPDIR:-/tmp}/uf-stat-bench.XXXXXX")
pg_dir=
trap '[ -n "$pg_dir" ] && php "$source/bench/stat/pg_cluster.php" stop "$pg_dir"; stat_cleanup' EXIT

# All reports come from 127.0.0.1: no rate limit for this run.
settings=$tmp/stats.conf
printf 'UNINSTALL_STATS_DATA=%s\nUNINSTALL_STATS_RATE=0\n' "$tmp/stats" >"$settings"
start_stat_server "$settings" || { echo "bench: the collector did not start"; exit 1; }
status=0

echo "== SQLite, nginx + PHP-FPM on loopback"
php "$source/bench/stat/load.php" "$stat_port" "$reports" "$concurrency" "sqlite:$tmp/stats/stats.sqlite" || status=1

echo "== PostgreSQL, nginx + PHP-FPM on loopback"
if [ -z "$(php -r 'require "'"$source"'/server/tests/bootstrap.php"; echo UninstallStats\Tests\PostgresCluster::binDir();')" ]; then
  echo "skipped: PostgreSQL is not installed"
else
  IFS=$'\t' read -r pg_dir pg_dsn < <(php "$source/bench/stat/pg_cluster.php" start)
  printf 'UNINSTALL_STATS_DSN=%s\n' "$pg_dsn" >>"$settings"
  php "$source/bench/stat/load.php" "$stat_port" "$reports" "$concurrency" "$pg_dsn" || status=1
fi
exit $status
