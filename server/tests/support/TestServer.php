<?php
declare(strict_types=1);

namespace UninstallStats\Tests;

// The collector under PHP's built-in server on a free loopback port, with the settings given, and
// requests written byte for byte as the program's HTTP/1.0 client writes them.
final class TestServer
{
    /** @param resource $process */
    private function __construct(private $process, public readonly int $port, private readonly string $log)
    {
    }

    /** @param array<string, string> $settings */
    public static function start(array $settings): self
    {
        $probe = stream_socket_server('tcp://127.0.0.1:0');
        $port = (int) substr(strrchr(stream_socket_get_name($probe, false), ':'), 1);
        fclose($probe);
        $server = dirname(__DIR__, 2);
        $log = tempnam(sys_get_temp_dir(), 'uf-php-server');
        $process = proc_open(
            [PHP_BINARY, '-S', "127.0.0.1:$port", '-t', $server, "$server/router.php"],
            [0 => ['file', '/dev/null', 'r'], 1 => ['file', $log, 'a'], 2 => ['file', $log, 'a']],
            $pipes,
            null,
            $settings + ['PHP_CLI_SERVER_WORKERS' => '4'] + getenv(),
        );
        $self = new self($process, $port, $log);
        for ($i = 0; $i < 100; ++$i) {
            $socket = @stream_socket_client("tcp://127.0.0.1:$port", $errno, $error, 1);
            if ($socket !== false) {
                fclose($socket);
                return $self;
            }
            usleep(50000);
        }
        throw new \RuntimeException('the built-in server did not start: ' . file_get_contents($log));
    }

    public function stop(): void
    {
        proc_terminate($this->process);
        proc_close($this->process);
        @unlink($this->log);
    }

    /** @param array<string, string> $headers */
    public function request(string $method, string $target, array $headers = [], string $body = ''): HttpReply
    {
        $socket = stream_socket_client("tcp://127.0.0.1:{$this->port}", $errno, $error, 5);
        if ($socket === false) {
            throw new \RuntimeException("cannot connect: $error");
        }
        stream_set_timeout($socket, 30);
        $head = "$method $target HTTP/1.0\r\nHost: 127.0.0.1:{$this->port}\r\n";
        foreach ($headers as $name => $value) {
            $head .= "$name: $value\r\n";
        }
        if ($body !== '') {
            $head .= 'Content-Length: ' . strlen($body) . "\r\n";
        }
        fwrite($socket, "$head\r\n$body");
        $reply = stream_get_contents($socket);
        fclose($socket);
        [$head, $body] = explode("\r\n\r\n", $reply, 2) + [1 => ''];
        $lines = explode("\r\n", $head);
        $status = (int) explode(' ', array_shift($lines))[1];
        $parsed = [];
        foreach ($lines as $line) {
            [$name, $value] = explode(':', $line, 2);
            $parsed[strtolower($name)][] = trim($value);
        }
        return new HttpReply($status, $parsed, $body);
    }

    /** @param array<string, string> $fields */
    public function post(string $target, array $fields, string $cookie = ''): HttpReply
    {
        $headers = ['Content-Type' => 'application/x-www-form-urlencoded'] + ($cookie === '' ? [] : ['Cookie' => $cookie]);
        return $this->request('POST', $target, $headers, http_build_query($fields));
    }
}
