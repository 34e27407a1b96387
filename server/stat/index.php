<?php
declare(strict_types=1);

require __DIR__ . '/../src/autoload.php';

use UninstallStats\{Access, Config, ResultsPage, Response};

$config = Config::fromEnvironment();
Response::guarded(fn () => (new ResultsPage($config, new Access($config, $_SERVER)))->respond($_GET))->send();
