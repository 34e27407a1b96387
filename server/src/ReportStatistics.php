<?php
declare(strict_types=1);

namespace UninstallStats;

use PDO;

// The numbers the results page shows, over the reports a filter selects. Plain SQL that SQLite and
// PostgreSQL read alike; times are whole seconds since 1970 (UTC), so weeks are integer arithmetic.
final class ReportStatistics
{
    public const DAY_BUCKETS = ['1' => [1, 1], '2-7' => [2, 7], '8-30' => [8, 30], '31-90' => [31, 90], '91-365' => [91, 365], 'more' => [366, null]];
    public const FREE_TEXTS_PER_PAGE = 20;
    // 1970-01-01 was a Thursday; weeks start on the Monday four days later.
    private const FIRST_MONDAY = 345600;
    private const WEEK = 604800;
    private const MAX_WEEKS = 104;
    private const MAX_SYSTEMS = 12;

    private readonly string $where;
    /** @var list<string|int> */
    private readonly array $parameters;

    public function __construct(private readonly PDO $pdo, ReportFilter $filter)
    {
        [$this->where, $this->parameters] = $filter->where();
    }

    public function total(): int
    {
        return (int) $this->select('SELECT COUNT(*) FROM reports WHERE %s')->fetchColumn();
    }

    /** @return array<int, int> reason index (-1: matched no language) => count, all seven present */
    public function reasons(): array
    {
        $counts = array_fill(0, count(ReasonCatalog::ENGLISH), 0);
        $rows = $this->select('SELECT reason_index, COUNT(*) AS n FROM reports WHERE %s GROUP BY reason_index');
        foreach ($rows as $row) {
            $counts[$row['reason_index'] === null ? -1 : (int) $row['reason_index']] = (int) $row['n'];
        }
        return $counts;
    }

    /** @return array<string, int> first day of the week (Y-m-d) => count, empty weeks included */
    public function weeks(): array
    {
        $sql = 'SELECT (received_at - ' . self::FIRST_MONDAY . ') / ' . self::WEEK . ' AS week, COUNT(*) AS n'
            . ' FROM reports WHERE %s GROUP BY (received_at - ' . self::FIRST_MONDAY . ') / ' . self::WEEK;
        $byWeek = [];
        foreach ($this->select($sql) as $row) {
            $byWeek[(int) $row['week']] = (int) $row['n'];
        }
        if ($byWeek === []) {
            return [];
        }
        $weeks = [];
        $last = max(array_keys($byWeek));
        for ($week = max(min(array_keys($byWeek)), $last - self::MAX_WEEKS + 1); $week <= $last; ++$week) {
            $weeks[gmdate('Y-m-d', self::FIRST_MONDAY + $week * self::WEEK)] = $byWeek[$week] ?? 0;
        }
        return $weeks;
    }

    /** @return array<string, int> operating system => count, the most frequent first, the rest summed */
    public function systems(): array
    {
        $systems = [];
        $rest = 0;
        foreach ($this->select('SELECT os, COUNT(*) AS n FROM reports WHERE %s GROUP BY os ORDER BY n DESC, os') as $row) {
            if (count($systems) < self::MAX_SYSTEMS) {
                $systems[$row['os']] = (int) $row['n'];
            } else {
                $rest += (int) $row['n'];
            }
        }
        if ($rest > 0) {
            $systems['(others)'] = $rest;
        }
        return $systems;
    }

    /** @return array<string, int> bucket of days in use => count; "not sent" for reports without days */
    public function days(): array
    {
        $cases = [];
        foreach (self::DAY_BUCKETS as $label => [$low, $high]) {
            $cases[] = $high === null ? "WHEN days >= $low THEN '$label'" : "WHEN days BETWEEN $low AND $high THEN '$label'";
        }
        $bucket = 'CASE ' . implode(' ', $cases) . " ELSE 'not sent' END";
        $counts = array_fill_keys(array_keys(self::DAY_BUCKETS), 0) + ['not sent' => 0];
        foreach ($this->select("SELECT $bucket AS bucket, COUNT(*) AS n FROM reports WHERE %s GROUP BY $bucket") as $row) {
            $counts[$row['bucket']] = (int) $row['n'];
        }
        return $counts;
    }

    // What users wrote: the free text of "Other", and whole reasons that matched no language.
    public function freeTextCount(): int
    {
        return (int) $this->select("SELECT COUNT(*) FROM reports WHERE %s AND (free_text <> '' OR reason_index IS NULL)")->fetchColumn();
    }

    /** @return list<array<string, mixed>> newest first */
    public function freeTexts(int $page): array
    {
        $offset = ($page - 1) * self::FREE_TEXTS_PER_PAGE;
        $sql = "SELECT received_at, product, language, reason_index, reason, free_text FROM reports"
            . " WHERE %s AND (free_text <> '' OR reason_index IS NULL)"
            . ' ORDER BY received_at DESC, id DESC LIMIT ' . self::FREE_TEXTS_PER_PAGE . " OFFSET $offset";
        return $this->select($sql)->fetchAll();
    }

    /** @return list<string> every product that reported, whatever the filter */
    public function products(): array
    {
        return $this->pdo->query('SELECT DISTINCT product FROM reports ORDER BY product')->fetchAll(PDO::FETCH_COLUMN);
    }

    /** @return \Generator<array<string, mixed>> the selected reports, oldest first */
    public function rows(): \Generator
    {
        $rows = $this->select('SELECT received_at, product, os, days, reason_index, reason, free_text, language'
            . ' FROM reports WHERE %s ORDER BY received_at, id');
        while (($row = $rows->fetch()) !== false) {
            yield $row;
        }
    }

    private function select(string $sql): \PDOStatement
    {
        $statement = $this->pdo->prepare(sprintf($sql, $this->where));
        $statement->execute($this->parameters);
        return $statement;
    }
}
