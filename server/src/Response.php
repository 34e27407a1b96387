<?php
declare(strict_types=1);

namespace UninstallStats;

// What a front file sends: status, headers and body.
final class Response
{
    /** @param array<string, string> $headers */
    public function __construct(
        public readonly int $status,
        public readonly string $body,
        public readonly array $headers = [],
    ) {
    }

    public static function text(int $status, string $body, array $headers = []): self
    {
        return new self($status, $body, ['Content-Type' => 'text/plain; charset=utf-8', 'Cache-Control' => 'no-store'] + $headers);
    }

    // Runs a page; a setting or a store that fails becomes an answer instead of a PHP error page.
    public static function guarded(callable $page, string $storageFailure = 'The reports cannot be read just now'): ?self
    {
        try {
            return $page();
        } catch (ConfigException $e) {
            error_log('uninstall stats: configuration: ' . $e->getMessage());
            return self::text(500, "The collector is not configured correctly.\n");
        } catch (\PDOException $e) {
            error_log('uninstall stats: storage: ' . $e->getMessage());
            return self::text(503, "$storageFailure; please try again later.\n", ['Retry-After' => '60']);
        } catch (\Throwable $e) {
            error_log('uninstall stats: ' . $e);
            return self::text(500, "Something went wrong here; please try again later.\n");
        }
    }

    public function send(): void
    {
        http_response_code($this->status);
        foreach ($this->headers as $name => $value) {
            header("$name: $value");
        }
        echo $this->body;
    }
}
