<?php
declare(strict_types=1);

require dirname(__DIR__) . '/src/autoload.php';
require __DIR__ . '/support/PostgresCluster.php';
require __DIR__ . '/support/TestServer.php';
