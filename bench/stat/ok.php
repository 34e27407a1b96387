<?php
// The peer of the load run: PHP-FPM behind the same nginx answering as the collector does, storing nothing.
header('Content-Type: text/plain; charset=utf-8');
echo "OK\r\n";
