<?php
// Load run against the collector: php load.php PORT REPORTS CONCURRENCY DSN. Sends REPORTS reports, at
// most CONCURRENCY at a time, each a fresh HTTP/1.0 connection as the program makes it, every report
// with a free text of its own. Prints reports a second and latencies, then checks in the store that
// every report answered "OK" is stored exactly once. Exits 1 when one is missing or doubled.
// DSN "-": a peer that stores nothing; only the timing is printed.
declare(strict_types=1);

[, $port, $total, $concurrency, $dsn] = $argv + [null, null, '20000', '32', null];
$port = (int) $port;
$total = (int) $total;
$concurrency = (int) $concurrency;
$run = bin2hex(random_bytes(4));
$days = [1, 3, 12, 45, 200, 800];

$active = [];
$latencies = [];
$confirmed = [];
$refused = 0;
$next = 0;
$started = hrtime(true);
while ($next < $total || $active !== []) {
    while (count($active) < $concurrency && $next < $total) {
        $socket = stream_socket_client("tcp://127.0.0.1:$port", $errno, $error, 10, STREAM_CLIENT_CONNECT | STREAM_CLIENT_ASYNC_CONNECT);
        if ($socket === false) {
            fwrite(STDERR, "connect: $error\n");
            exit(2);
        }
        stream_set_blocking($socket, false);
        $query = 'days=' . $days[$next % count($days)] . "&prj=Load+$run&os=Windows+XP&reason=Other%3A+$next";
        $active[(int) $socket] = ['socket' => $socket, 'id' => $next, 'start' => hrtime(true), 'reply' => '',
            'request' => "GET /stat/uninstall.php?$query HTTP/1.0\r\nHost: 127.0.0.1:$port\r\n\r\n"];
        ++$next;
    }
    $read = $write = [];
    foreach ($active as $key => $c) {
        if ($c['request'] !== '') {
            $write[] = $c['socket'];
        } else {
            $read[] = $c['socket'];
        }
    }
    $except = null;
    if (stream_select($read, $write, $except, 30) === 0) {
        fwrite(STDERR, "no progress for 30 s\n");
        exit(2);
    }
    foreach ($write as $socket) {
        $c = &$active[(int) $socket];
        $sent = @fwrite($socket, $c['request']);
        $c['request'] = $sent === false ? '' : substr($c['request'], $sent);
        unset($c);
    }
    foreach ($read as $socket) {
        $c = &$active[(int) $socket];
        $chunk = fread($socket, 8192);
        if ($chunk !== '' && $chunk !== false) {
            $c['reply'] .= $chunk;
            unset($c);
            continue;
        }
        $latencies[] = (hrtime(true) - $c['start']) / 1e6;
        $body = explode("\r\n\r\n", $c['reply'], 2)[1] ?? '';
        if (preg_split('/\r\n|\r|\n/', $body)[0] === 'OK') {
            $confirmed[$c['id']] = true;
        } else {
            ++$refused;
        }
        fclose($socket);
        unset($active[(int) $socket], $c);
    }
}
$seconds = (hrtime(true) - $started) / 1e9;
sort($latencies);
$percentile = static fn (float $p): float => $latencies[(int) min(count($latencies) - 1, floor($p * count($latencies)))];

if ($dsn === '-') {
    printf("%d requests, %d at a time: %.0f reports/s, latency p50 %.1f ms, p99 %.1f ms; %d OK\n",
        $total, $concurrency, $total / $seconds, $percentile(0.5), $percentile(0.99), count($confirmed));
    exit(0);
}
$pdo = new PDO($dsn, null, null, [PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION]);
$statement = $pdo->prepare('SELECT free_text, COUNT(*) FROM reports WHERE product = ? GROUP BY free_text');
$statement->execute(["Load $run"]);
$stored = $statement->fetchAll(PDO::FETCH_KEY_PAIR);
$missing = count(array_diff_key($confirmed, $stored));
$doubled = count(array_filter($stored, static fn ($n) => (int) $n > 1));

printf("%d reports, %d at a time: %.0f reports/s, latency p50 %.1f ms, p99 %.1f ms; %d OK, %d refused; stored %d, missing %d, doubled %d\n",
    $total, $concurrency, $total / $seconds, $percentile(0.5), $percentile(0.99), count($confirmed), $refused, count($stored), $missing, $doubled);
exit($missing === 0 && $doubled === 0 && count($confirmed) === $total ? 0 : 1);
