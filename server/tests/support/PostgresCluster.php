<?php
declare(strict_types=1);

namespace UninstallStats\Tests;

// A private PostgreSQL cluster in a temporary folder, reached only through a unix socket in that folder.
// PostgreSQL refuses to run as root, so under root it runs as the postgres account.
final class PostgresCluster
{
    private function __construct(private readonly string $bin, public readonly string $dir)
    {
    }

    // The newest installed version's programs, or null.
    public static function binDir(): ?string
    {
        $programs = glob('/usr/lib/postgresql/*/bin/pg_ctl') ?: [];
        natsort($programs);
        return $programs === [] ? null : dirname(end($programs));
    }

    public static function start(): self
    {
        $cluster = self::attach(sys_get_temp_dir() . '/uf-pg-' . bin2hex(random_bytes(4)));
        mkdir($cluster->dir, 0700);
        if (posix_geteuid() === 0) {
            chown($cluster->dir, 'postgres');
        }
        $cluster->run(['initdb', '-D', "$cluster->dir/data", '-A', 'trust', '-U', 'postgres', '-E', 'UTF8', '--locale=C', '--no-instructions']);
        $cluster->run(['pg_ctl', '-D', "$cluster->dir/data", '-l', "$cluster->dir/server.log", '-w', '-t', '60', '-o',
            "-k $cluster->dir -c listen_addresses='' -c max_connections=100", 'start']);
        return $cluster;
    }

    // Also a cluster that start() made in an earlier process, to stop it.
    public static function attach(string $dir): self
    {
        return new self(self::binDir() ?? throw new \RuntimeException('PostgreSQL is not installed'), $dir);
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
        if (posix_geteuid() === 0) {
            $command = ['runuser', '-u', 'postgres', '--', ...$command];
        }
        exec('cd ' . escapeshellarg($this->dir) . ' && ' . implode(' ', array_map('escapeshellarg', $command)) . ' </dev/null 2>&1', $output, $status);
        if ($status !== 0) {
            throw new \RuntimeException(implode(' ', $command) . " failed:\n" . implode("\n", $output) . "\n" . @file_get_contents("{$this->dir}/server.log"));
        }
    }
}
