<?php
declare(strict_types=1);

namespace UninstallStats\Tests;

final class HttpReply
{
    /** @param array<string, list<string>> $headers lower-case names */
    public function __construct(public readonly int $status, public readonly array $headers, public readonly string $body)
    {
    }

    public function header(string $name): string
    {
        return $this->headers[strtolower($name)][0] ?? '';
    }
}
