<?php
declare(strict_types=1);

require __DIR__ . '/../src/autoload.php';

use UninstallStats\{Access, Config, CsvExport, Response};

$config = Config::fromEnvironment();
$export = new CsvExport($config, new Access($config, $_SERVER));
$statistics = null;
$refusal = Response::guarded(function () use ($export, &$statistics): ?Response {
    $refusal = $export->refusal();
    if ($refusal === null) {
        $statistics = $export->select($_GET);
    }
    return $refusal;
});
if ($refusal !== null) {
    $refusal->send();
    exit;
}
// The store is open; the rows go out as they are read.
header('Content-Type: text/csv; charset=utf-8');
header('Content-Disposition: attachment; filename="uninstall-reports.csv"');
header('Cache-Control: no-store');
header('X-Content-Type-Options: nosniff');
$export->write($statistics, fopen('php://output', 'w'));
