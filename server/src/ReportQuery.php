<?php
declare(strict_types=1);

namespace UninstallStats;

// The query of one report as the client sends it: [days=N&]prj=..&os=..&reason=.., each value
// percent-encoded bytes of the user's ANSI code page. Values stay bytes here; decoding is the reason
// catalogue's job, since only the matched language tells the code page.
final class ReportQuery
{
    public const MAX_DAYS = 2147483647;
    // Field => [minimum bytes, maximum bytes].
    private const BOUNDS = ['prj' => [1, 200], 'os' => [1, 64], 'reason' => [1, 4096]];

    private function __construct(
        public readonly ?int $days,
        public readonly string $product,
        public readonly string $os,
        public readonly string $reason,
    ) {
    }

    // The raw query string, not $_GET: PHP's own parsing rewrites names ("a.b" becomes "a_b"), turns
    // "reason[]" into arrays and keeps the last of repeated names. Here the first occurrence counts and
    // names that are not ours are ignored.
    public static function parse(string $queryString): self
    {
        $fields = [];
        foreach (explode('&', $queryString) as $pair) {
            if ($pair === '') {
                continue;
            }
            [$name, $value] = array_pad(explode('=', $pair, 2), 2, '');
            $name = urldecode($name);
            if (!array_key_exists($name, $fields)) {
                $fields[$name] = urldecode($value);
            }
        }
        foreach (self::BOUNDS as $name => [$min, $max]) {
            $length = strlen($fields[$name] ?? '');
            if (!isset($fields[$name])) {
                throw new InvalidReport("$name is missing");
            }
            if ($length < $min || $length > $max) {
                throw new InvalidReport("$name must be $min to $max bytes long");
            }
            if (str_contains($fields[$name], "\0")) {
                throw new InvalidReport("$name holds a zero byte");
            }
        }
        return new self(self::days($fields['days'] ?? null), $fields['prj'], $fields['os'], $fields['reason']);
    }

    private static function days(?string $days): ?int
    {
        if ($days === null) {
            return null;
        }
        if (preg_match('/^[1-9][0-9]{0,9}$/', $days) !== 1 || (int) $days > self::MAX_DAYS) {
            throw new InvalidReport('days must be a whole number from 1 to ' . self::MAX_DAYS);
        }
        return (int) $days;
    }
}
