<?php
declare(strict_types=1);

require __DIR__ . '/../src/autoload.php';

(new UninstallStats\ReportEndpoint(UninstallStats\Config::fromEnvironment()))->respond(
    $_SERVER['REQUEST_METHOD'] ?? 'GET',
    $_SERVER['QUERY_STRING'] ?? '',
    $_SERVER['REMOTE_ADDR'] ?? '',
)->send();
