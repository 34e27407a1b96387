<?php
declare(strict_types=1);

require dirname(__DIR__) . '/src/autoload.php';

spl_autoload_register(static function (string $class): void {
    $prefix = 'UninstallStats\\Tests\\';
    if (str_starts_with($class, $prefix)) {
        require __DIR__ . '/support/' . substr($class, strlen($prefix)) . '.php';
    }
});
