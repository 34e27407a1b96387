<?php
declare(strict_types=1);

namespace UninstallStats\Tests;

// A private PostgreSQL cluster in a temporary folder, reached only through a unix socket in that folder.
// PostgreSQL refuses to run as root, so under root it runs as the postgres account.
final class PostgresCluster
{
    private function __construct(private readonly string $bin, private readonly string $dir, private readonly ?string $user)
    {
    }

    public static function binDir(): ?string
    {
        $dirs = glob('/usr/lib/postgresql/*/bin') ?: [];
        usort($dirs, static fn (string $a, string $b): int => version_compare(basename(dirname($b)), basename(dirname($a))));
        foreach ($dirs as $dir) {
            if (is_executable("$dir/initdb") && is_executable("$dir/pg_ctl")) {
                return $dir;
            }
        }
        return null;
    }

    public static function start(): self
    {
        $bin = self::binDir() ?? throw new \RuntimeException('PostgreSQL is not installed');
        $user = posix_geteuid() === 0 ? 'postgres' : null;
        $dir = sys_get_temp_dir() . '/uf-pg-' . bin2hex(random_bytes(4));
        mkdir($dir, 0700);
        if ($user !== null) {
            chown($dir, $user);
        }
        $cluster = new self($bin, $dir, $user);
        $cluster->run(['initdb', '-D', "$dir/data", '-A', 'trust', '-U', 'postgres', '-E', 'UTF8', '--locale=C', '--no-instructions']);
        $cluster->run(['pg_ctl', '-D', "$dir/data", '-l', "$dir/server.log", '-w', '-t', '60', '-o',
            "-k $dir -c listen_addresses='' -c max_connections=100", 'start']);
        return $cluster;
    }

    // A cluster that start() made in an earlier process, to stop it.
    public static function attach(string $dir): self
    {
        return new self(self::binDir() ?? throw new \RuntimeException('PostgreSQL is not installed'), $dir,
            posix_geteuid() === 0 ? 'postgres' : null);
    }

    public function dir(): string
    {
        return $this->dir;
    }

    public function dsn(): string
    {
        return "pgsql:host={$this->dir};dbname=postgres;user=postgres";
    }

    public function stop(): void
    {
        $this->run(['pg_ctl', '-D', "{$this->dir}/data", '-m', 'fast', '-w', 'stop']);
        exec('rm -rf ' . escapeshellarg($this->dir));
    }

    /** @param list<string> $command */
    private function run(array $command): void
    {
        $command[0] = "{$this->bin}/{$command[0]}";
        if ($this->user !== null) {
            $command = ['runuser', '-u', $this->user, '--', ...$command];
        }
        $process = proc_open($command, [0 => ['file', '/dev/null', 'r'], 1 => ['pipe', 'w'], 2 => ['redirect', 1]], $pipes, $this->dir);
        $output = stream_get_contents($pipes[1]);
        if (proc_close($process) !== 0) {
            $log = @file_get_contents("{$this->dir}/server.log") ?: '';
            throw new \RuntimeException(implode(' ', $command) . " failed:\n$output\n$log");
        }
    }
}
