<?php
declare(strict_types=1);

namespace UninstallStats;

use PDO;

// A PDO connection to the configured store with its schema brought up to date. SQLite (the default) is
// one file in WAL mode; PostgreSQL is chosen by a pgsql: DSN. The schema files live in
// schema/<driver>/NNN-name.sql and are applied in order, each once, recorded in schema_version.
final class Database
{
    private const BUSY_TIMEOUT_SECONDS = 5;
    // Any constant will do; it only has to be the same for every worker that migrates.
    private const MIGRATION_LOCK = 7312401;

    private function __construct(public readonly PDO $pdo, public readonly string $driver, private readonly ?string $walFile)
    {
    }

    public static function open(Config $config): self
    {
        $dsn = $config->dsn();
        if (str_starts_with($dsn, 'sqlite:' . $config->dataDir() . '/')) {
            $config->ensureDataDir();
        }
        // A worker keeps its connection between requests: no connection set-up per report, and SQLite
        // does not checkpoint and drop its log each time the last connection closes.
        $pdo = new PDO($dsn, null, null, [
            PDO::ATTR_PERSISTENT => true,
            PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION,
            PDO::ATTR_DEFAULT_FETCH_MODE => PDO::FETCH_ASSOC,
            PDO::ATTR_TIMEOUT => self::BUSY_TIMEOUT_SECONDS,
        ]);
        $driver = $pdo->getAttribute(PDO::ATTR_DRIVER_NAME);
        if ($driver !== 'sqlite' && $driver !== 'pgsql') {
            throw new ConfigException("UNINSTALL_STATS_DSN names the $driver driver; sqlite: and pgsql: are supported");
        }
        $walFile = null;
        if ($driver === 'sqlite') {
            $walFile = self::prepareSqlite($pdo, substr($dsn, strlen('sqlite:')));
        } else {
            $pdo->exec("SET client_encoding TO 'UTF8'");
        }
        $database = new self($pdo, $driver, $walFile);
        $database->migrate();
        return $database;
    }

    // Runs $work in a transaction that holds the store's write lock for its whole length.
    public function writeTransaction(callable $work): mixed
    {
        $this->pdo->exec($this->driver === 'sqlite' ? 'BEGIN IMMEDIATE' : 'BEGIN');
        try {
            $result = $work($this->pdo);
            $this->pdo->exec('COMMIT');
        } catch (\Throwable $e) {
            try {
                $this->pdo->exec('ROLLBACK');
            } catch (\PDOException) {
                // The first error is the one to report.
            }
            throw $e;
        }
        return $result;
    }

    // SQLite commits without a disk flush while it holds the write lock (synchronous=NORMAL); each
    // request then flushes the WAL itself before it answers. Requests flushing at once share one disk
    // write, so the store keeps up with many writers and no report is confirmed before it is on disk.
    public function flush(): void
    {
        if ($this->walFile === null || !is_file($this->walFile)) {
            return;
        }
        $wal = @fopen($this->walFile, 'r');
        if ($wal === false || !fdatasync($wal)) {
            throw new \PDOException('the SQLite write-ahead log cannot be flushed');
        }
        fclose($wal);
    }

    // PDO's time-out is SQLite's busy time-out: a writer waits that long for another to finish.
    private static function prepareSqlite(PDO $pdo, string $path): string
    {
        $pdo->exec('PRAGMA synchronous = NORMAL');
        return $path . '-wal';
    }

    private function migrate(): void
    {
        $files = self::schemaFiles($this->driver);
        $latest = array_key_last($files) ?? 0;
        if ($this->version() >= $latest) {
            return;
        }
        if ($this->driver === 'sqlite') {
            // Kept in the file once set; it cannot change inside a transaction.
            $this->pdo->query('PRAGMA journal_mode = WAL')->fetchAll();
        }
        $this->writeTransaction(function (PDO $pdo) use ($files): void {
            if ($this->driver === 'pgsql') {
                $pdo->query('SELECT pg_advisory_xact_lock(' . self::MIGRATION_LOCK . ')')->fetchAll();
            }
            $pdo->exec('CREATE TABLE IF NOT EXISTS schema_version (version INTEGER PRIMARY KEY, applied_at BIGINT NOT NULL)');
            $current = (int) $pdo->query('SELECT MAX(version) FROM schema_version')->fetchColumn();
            $record = $pdo->prepare('INSERT INTO schema_version (version, applied_at) VALUES (?, ?)');
            foreach ($files as $version => $file) {
                if ($version <= $current) {
                    continue;
                }
                $pdo->exec((string) file_get_contents($file));
                $record->execute([$version, time()]);
            }
        });
    }

    private function version(): int
    {
        try {
            return (int) $this->pdo->query('SELECT MAX(version) FROM schema_version')->fetchColumn();
        } catch (\PDOException) {
            return 0;
        }
    }

    /** @return array<int, string> version => file, in order */
    private static function schemaFiles(string $driver): array
    {
        $files = [];
        foreach (glob(dirname(__DIR__) . "/schema/$driver/*.sql") ?: [] as $file) {
            $files[(int) basename($file)] = $file;
        }
        ksort($files);
        return $files;
    }
}
