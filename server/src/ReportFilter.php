<?php
declare(strict_types=1);

namespace UninstallStats;

// The page's and the export's selection: one product or all, and a range of whole UTC days.
final class ReportFilter
{
    private function __construct(
        public readonly string $product,
        public readonly ?string $from,
        public readonly ?string $to,
        public readonly int $page,
    ) {
    }

    /** @param array<string, mixed> $get */
    public static function fromQuery(array $get): self
    {
        $product = is_string($get['product'] ?? null) ? $get['product'] : '';
        $page = is_string($get['page'] ?? null) && preg_match('/^[1-9][0-9]{0,5}$/', $get['page']) === 1 ? (int) $get['page'] : 1;
        return new self($product, self::day($get['from'] ?? null), self::day($get['to'] ?? null), $page);
    }

    /** @return array{0: string, 1: list<string|int>} SQL condition and its parameters */
    public function where(): array
    {
        $conditions = ['1 = 1'];
        $parameters = [];
        if ($this->product !== '') {
            $conditions[] = 'product = ?';
            $parameters[] = $this->product;
        }
        if ($this->from !== null) {
            $conditions[] = 'received_at >= ?';
            $parameters[] = self::start($this->from);
        }
        if ($this->to !== null) {
            $conditions[] = 'received_at < ?';
            $parameters[] = self::start($this->to) + 86400;
        }
        return [implode(' AND ', $conditions), $parameters];
    }

    // The filter as query parameters, for links that keep it.
    public function query(array $override = []): string
    {
        $parameters = array_filter(['product' => $this->product, 'from' => $this->from, 'to' => $this->to], static fn ($v) => $v !== null && $v !== '');
        return http_build_query($override + $parameters);
    }

    private static function day(mixed $value): ?string
    {
        if (!is_string($value)) {
            return null;
        }
        $date = \DateTimeImmutable::createFromFormat('!Y-m-d', $value, new \DateTimeZone('UTC'));
        return $date !== false && $date->format('Y-m-d') === $value ? $value : null;
    }

    private static function start(string $day): int
    {
        return (new \DateTimeImmutable($day, new \DateTimeZone('UTC')))->getTimestamp();
    }
}
