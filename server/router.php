<?php
// Router for PHP's built-in server (scripts/serve): only the files under stat/ are served, as the nginx
// site does it; the classes, schema files and data stay out of reach.
declare(strict_types=1);

$path = rawurldecode(parse_url($_SERVER['REQUEST_URI'] ?? '/', PHP_URL_PATH) ?: '/');
if ($path === '/' || $path === '/stat') {
    header('Location: /stat/', true, 302);
    return true;
}
if (!str_starts_with($path, '/stat/') || str_contains($path, '..')) {
    http_response_code(404);
    header('Content-Type: text/plain; charset=utf-8');
    echo "Not found.\n";
    return true;
}
return false;
