<?php
declare(strict_types=1);

namespace UninstallStats;

// The collector's settings: environment variables (under PHP-FPM also fastcgi_param values), optionally
// from a file of NAME=value lines named by UNINSTALL_STATS_CONFIG. A variable set in the environment wins
// over the same name in the file.
final class Config
{
    public const NAMES = [
        'UNINSTALL_STATS_DSN',
        'UNINSTALL_STATS_ADMIN_HASH',
        'UNINSTALL_STATS_KEY',
        'UNINSTALL_STATS_RATE',
        'UNINSTALL_STATS_DATA',
        'UNINSTALL_STATS_LANG',
    ];
    private const DEFAULT_RATE = 20;
    private const KEY_FILE = 'client-hash.key';

    /** @param array<string, string> $values */
    private function __construct(private readonly array $values, private readonly ?ConfigException $error = null)
    {
    }

    public static function fromEnvironment(): self
    {
        $values = [];
        $file = self::env('UNINSTALL_STATS_CONFIG');
        try {
            if ($file !== null && $file !== '') {
                $values = self::readFile($file);
            }
        } catch (ConfigException $e) {
            // Reported by the first setting asked for, where the caller answers for it.
            return new self([], $e);
        }
        foreach (self::NAMES as $name) {
            $value = self::env($name);
            if ($value !== null) {
                $values[$name] = $value;
            }
        }
        return new self($values);
    }

    /** @param array<string, string> $values */
    public static function fromArray(array $values): self
    {
        return new self($values);
    }

    public function dataDir(): string
    {
        return $this->get('UNINSTALL_STATS_DATA') ?? dirname(__DIR__) . '/data';
    }

    public function langDir(): string
    {
        return $this->get('UNINSTALL_STATS_LANG') ?? dirname(__DIR__, 2) . '/lang';
    }

    public function dsn(): string
    {
        return $this->get('UNINSTALL_STATS_DSN') ?? 'sqlite:' . $this->dataDir() . '/stats.sqlite';
    }

    // Empty: no password login; the results page then answers only to loopback clients.
    public function adminHash(): string
    {
        $hash = $this->get('UNINSTALL_STATS_ADMIN_HASH') ?? '';
        if ($hash !== '' && password_get_info($hash)['algo'] === null) {
            throw new ConfigException('UNINSTALL_STATS_ADMIN_HASH is not a password_hash() string');
        }
        return $hash;
    }

    // Reports a minute per client address; 0 switches the limit off.
    public function rateLimit(): int
    {
        $rate = $this->get('UNINSTALL_STATS_RATE');
        if ($rate === null) {
            return self::DEFAULT_RATE;
        }
        if (preg_match('/^[0-9]{1,9}$/', $rate) !== 1) {
            throw new ConfigException('UNINSTALL_STATS_RATE must be a whole number of reports a minute');
        }
        return (int) $rate;
    }

    // The key of the client address hash; made once and kept in the data folder when not configured.
    public function clientHashKey(): string
    {
        $key = $this->get('UNINSTALL_STATS_KEY');
        if ($key !== null) {
            if (strlen($key) < 16) {
                throw new ConfigException('UNINSTALL_STATS_KEY must be at least 16 characters');
            }
            return $key;
        }
        return self::keptKey($this->dataDir() . '/' . self::KEY_FILE);
    }

    public function ensureDataDir(): string
    {
        $dir = $this->dataDir();
        if (!is_dir($dir) && !@mkdir($dir, 0700, true) && !is_dir($dir)) {
            throw new ConfigException("the data folder cannot be created: $dir");
        }
        return $dir;
    }

    private function get(string $name): ?string
    {
        if ($this->error !== null) {
            throw $this->error;
        }
        $value = $this->values[$name] ?? null;
        return $value === '' && $name !== 'UNINSTALL_STATS_ADMIN_HASH' ? null : $value;
    }

    private static function env(string $name): ?string
    {
        $value = getenv($name);
        return $value === false ? null : $value;
    }

    /** @return array<string, string> */
    private static function readFile(string $file): array
    {
        $lines = @file($file, FILE_IGNORE_NEW_LINES);
        if ($lines === false) {
            throw new ConfigException("the configuration file cannot be read: $file");
        }
        $values = [];
        foreach ($lines as $number => $line) {
            $line = trim($line);
            if ($line === '' || $line[0] === '#') {
                continue;
            }
            if (preg_match('/^([A-Z_][A-Z0-9_]*)\s*=\s*(.*)$/', $line, $m) !== 1) {
                throw new ConfigException(sprintf('%s line %d is not NAME=value', $file, $number + 1));
            }
            $values[$m[1]] = self::unquote($m[2]);
        }
        return $values;
    }

    private static function unquote(string $value): string
    {
        if (strlen($value) >= 2 && ($value[0] === '"' || $value[0] === "'") && $value[-1] === $value[0]) {
            return substr($value, 1, -1);
        }
        return $value;
    }

    // Two workers may start at once: the key is written to a private file and linked into place, so a
    // reader sees either no key file or a whole one, and the first link wins.
    private static function keptKey(string $path): string
    {
        $key = @file_get_contents($path);
        if (is_string($key) && strlen($key) >= 32) {
            return $key;
        }
        $dir = dirname($path);
        if (!is_dir($dir) && !@mkdir($dir, 0700, true) && !is_dir($dir)) {
            throw new ConfigException("the data folder cannot be created: $dir");
        }
        $temporary = $path . '.' . bin2hex(random_bytes(6));
        $old = umask(0077);
        try {
            if (@file_put_contents($temporary, bin2hex(random_bytes(32))) === false) {
                throw new ConfigException("the client hash key cannot be written in $dir");
            }
            @link($temporary, $path);
        } finally {
            umask($old);
            @unlink($temporary);
        }
        $key = @file_get_contents($path);
        if (!is_string($key) || strlen($key) < 32) {
            throw new ConfigException("the client hash key cannot be read: $path");
        }
        return $key;
    }
}
