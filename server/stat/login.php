<?php
declare(strict_types=1);

require __DIR__ . '/../src/autoload.php';

use UninstallStats\{Access, Config, LoginPage, Response};

$config = Config::fromEnvironment();
Response::guarded(fn () => (new LoginPage(new Access($config, $_SERVER)))->respond($_SERVER['REQUEST_METHOD'] ?? 'GET', $_POST))->send();
