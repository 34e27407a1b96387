<?php
// php pg_cluster.php start: starts a private PostgreSQL cluster, prints its folder and DSN (one line,
// tab between). php pg_cluster.php stop FOLDER: stops it and removes the folder.
declare(strict_types=1);

require dirname(__DIR__, 2) . '/server/tests/bootstrap.php';

use UninstallStats\Tests\PostgresCluster;

if (($argv[1] ?? '') === 'start') {
    $cluster = PostgresCluster::start();
    echo $cluster->dir, "\t", $cluster->dsn(), "\n";
} elseif (($argv[1] ?? '') === 'stop' && isset($argv[2])) {
    PostgresCluster::attach($argv[2])->stop();
} else {
    fwrite(STDERR, "usage: php pg_cluster.php start | stop FOLDER\n");
    exit(2);
}
