<?php
declare(strict_types=1);

namespace UninstallStats;

// Escaping for HTML and SVG text and attributes; every value a page prints goes through it.
final class Html
{
    public static function e(string|int|float|null $value): string
    {
        return htmlspecialchars((string) $value, ENT_QUOTES | ENT_SUBSTITUTE | ENT_HTML5, 'UTF-8');
    }

    // A page of this site: scripts and other origins are refused by the browser, whatever a report holds.
    public static function pageHeaders(): array
    {
        return [
            'Content-Type' => 'text/html; charset=utf-8',
            'Cache-Control' => 'no-store',
            'Content-Security-Policy' => "default-src 'none'; style-src 'self'; img-src 'self'; form-action 'self';"
                . " frame-ancestors 'none'; base-uri 'none'",
            'X-Content-Type-Options' => 'nosniff',
            'Referrer-Policy' => 'same-origin',
        ];
    }

    /** @param array<string, mixed> $variables */
    public static function render(string $template, array $variables): string
    {
        extract($variables, EXTR_SKIP);
        ob_start();
        require dirname(__DIR__) . "/templates/$template.php";
        return (string) ob_get_clean();
    }
}
