<?php
// The product's statistics script as the end-to-end tests run it: records each request's raw query, one
// line per request, and answers "OK" unless the test has put another answer in place.
// The test's folder comes from nginx (fastcgi_param STAT_DIR).
$dir = $_SERVER['STAT_DIR'] ?? '';
if ($dir === '' || !is_dir($dir)) {
    http_response_code(500);
    exit("no STAT_DIR\n");
}
file_put_contents("$dir/queries.log", ($_SERVER['QUERY_STRING'] ?? '') . "\n", FILE_APPEND | LOCK_EX);
header('Content-Type: text/plain');
$answer = "$dir/answer";
echo is_file($answer) ? file_get_contents($answer) : "OK\r\n";
