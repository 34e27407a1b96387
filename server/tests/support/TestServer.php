<?php
declare(strict_types=1);

namespace UninstallStats\Tests;

// The collector under PHP's built-in server on a free loopback port with the settings given, and none of
// the developer's own; requests go out as HTTP/1.0, as the program sends them.
final class TestServer
{
    /** @param resource $process */
    private function __construct(private $process, private readonly int $port)
    {
    }

    /** @param array<string, string> $settings */
    public static function start(array $settings): self
    {
        $probe = stream_socket_server('tcp://127.0.0.1:0');
        $port = (int) substr(strrchr(stream_socket_get_name($probe, false), ':'), 1);
        fclose($probe);
        $server = dirname(__DIR__, 2);
        $environment = array_filter(getenv(), static fn (string $name): bool => !str_starts_with($name, 'UNINSTALL_STATS_'), ARRAY_FILTER_USE_KEY);
        $process = proc_open([PHP_BINARY, '-S', "127.0.0.1:$port", '-t', $server, "$server/router.php"],
            [['file', '/dev/null', 'r'], ['file', '/dev/null', 'w'], ['file', '/dev/null', 'w']], $pipes, null,
            $settings + ['PHP_CLI_SERVER_WORKERS' => '4'] + $environment);
        for ($i = 0; $i < 100 && !@fsockopen('127.0.0.1', $port); ++$i) {
            usleep(50000);
        }
        return new self($process, $port);
    }

    public function stop(): void
    {
        proc_terminate($this->process);
        proc_close($this->process);
    }

    public function url(string $target): string
    {
        return "http://127.0.0.1:{$this->port}$target";
    }

    /** @return array{0: int, 1: array<string, string>, 2: string} status, headers by lower-case name, body */
    public function request(string $method, string $target, string $cookie = '', array $form = []): array
    {
        $headers = array_merge($cookie === '' ? [] : ["Cookie: $cookie"], $form === [] ? [] : ['Content-Type: application/x-www-form-urlencoded']);
        $context = stream_context_create(['http' => ['method' => $method, 'header' => $headers, 'content' => http_build_query($form),
            'protocol_version' => 1.0, 'follow_location' => 0, 'ignore_errors' => true, 'timeout' => 30]]);
        $body = (string) @file_get_contents($this->url($target), false, $context);
        $parsed = [];
        foreach (array_slice($http_response_header ?? [], 1) as $line) {
            [$name, $value] = explode(':', $line, 2);
            $parsed[strtolower($name)] ??= trim($value);
        }
        return [(int) explode(' ', $http_response_header[0] ?? 'HTTP/1.0 0')[1], $parsed, $body];
    }
}
