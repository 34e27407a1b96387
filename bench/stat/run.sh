#!/usr/bin/env bash
# The collector under load: bench/stat/run.sh [REPORTS [CONCURRENCY]] (default 20000 reports, 32 at a
# time) against nginx and PHP-FPM on loopback (the site and pool of server/deploy/), first on SQLite,
# then on a private PostgreSQL cluster. Prints reports a second and latencies per engine, and the ratio
# to the peer: the same nginx and PHP-FPM answering "OK" from a script that stores nothing. Checks that
# every report answered "OK" is stored exactly once; exits 1 when one is not.
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
peer_port=$((20000 + RANDOM % 40000))
cat >"$tmp/extra-peer.conf" <<CONF
server {
  listen 127.0.0.1:$peer_port;
  location / {
    include /etc/nginx/fastcgi_params;
    fastcgi_param SCRIPT_FILENAME $source/bench/stat/ok.php;
    fastcgi_pass unix:$tmp/php-fpm.sock;
  }
}
CONF
start_stat_server "$settings" || { echo "bench: the collector did not start"; exit 1; }
status=0

# load PORT DSN: one run; its reports a second go to the file rate.
load() {
  php "$source/bench/stat/load.php" "$1" "$reports" "$concurrency" "$2" | tee "$tmp/run.out"
  local rc=${PIPESTATUS[0]}
  sed -n 's/.*: \([0-9]*\) reports\/s.*/\1/p' "$tmp/run.out" >"$tmp/rate"
  return "$rc"
}
ratio() { php -r 'printf("ratio to the peer: %.2f\n", $argv[1] / max(1, $argv[2]));' "$(cat "$tmp/rate")" "$peer_rate"; }

echo "== peer: PHP-FPM answering OK without storing"
load "$peer_port" - || status=1
peer_rate=$(cat "$tmp/rate")

echo "== SQLite, nginx + PHP-FPM on loopback"
load "$stat_port" "sqlite:$tmp/stats/stats.sqlite" || status=1
ratio

echo "== PostgreSQL, nginx + PHP-FPM on loopback"
if [ -z "$(php -r 'require "'"$source"'/server/tests/bootstrap.php"; echo UninstallStats\Tests\PostgresCluster::binDir();')" ]; then
  echo "skipped: PostgreSQL is not installed"
else
  IFS=$'\t' read -r pg_dir pg_dsn < <(php "$source/bench/stat/pg_cluster.php" start)
  printf 'UNINSTALL_STATS_DSN=%s\n' "$pg_dsn" >>"$settings"
  load "$stat_port" "$pg_dsn" || status=1
  ratio
fi
exit $status
