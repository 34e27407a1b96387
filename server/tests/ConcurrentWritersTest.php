<?php
declare(strict_types=1);

use PHPUnit\Framework\TestCase;

// Separate PHP processes writing into one SQLite file at once, as PHP-FPM workers do.
final class ConcurrentWritersTest extends TestCase
{
    private const WRITER = <<<'PHP'
        require $argv[1] . '/src/autoload.php';
        use UninstallStats\{Config, Database, ReasonCatalog, Report, ReportQuery, ReportStore};
        [, , $dir, $writer, $count, $limit] = $argv;
        $catalog = ReasonCatalog::load($argv[1] . '/../lang');
        $stored = 0;
        for ($i = 0; $i < (int) $count; ++$i) {
            $store = new ReportStore(Database::open(Config::fromArray(['UNINSTALL_STATS_DATA' => $dir])));
            $query = ReportQuery::parse("prj=P&os=O&reason=Other%3A+$writer-$i");
            $stored += $store->add(Report::fromQuery($query, $catalog, 'one-client', time()), (int) $limit) ? 1 : 0;
        }
        echo $stored;
        PHP;

    public static function runs(): array
    {
        return [
            'no limit: every report stored once' => [0, 200],
            'limit 20 a minute: exactly 20 pass' => [20, 20],
        ];
    }

    /** @dataProvider runs */
    public function testWritersRacingKeepEveryConfirmedReportOnce(int $limit, int $expected): void
    {
        $dir = sys_get_temp_dir() . '/uf-race-' . bin2hex(random_bytes(4));
        $writers = [];
        for ($w = 0; $w < 4; ++$w) {
            $writers[] = proc_open([PHP_BINARY, '-r', self::WRITER, '--', dirname(__DIR__), $dir, "w$w", '50', (string) $limit],
                [1 => ['pipe', 'w'], 2 => ['pipe', 'w']], $pipes[$w]);
        }
        $confirmed = 0;
        foreach ($writers as $w => $process) {
            $out = stream_get_contents($pipes[$w][1]);
            $errors = stream_get_contents($pipes[$w][2]);
            self::assertSame(0, proc_close($process), $errors);
            $confirmed += (int) $out;
        }
        $pdo = new PDO("sqlite:$dir/stats.sqlite");
        $reasons = $pdo->query('SELECT reason FROM reports')->fetchAll(PDO::FETCH_COLUMN);
        exec('rm -rf ' . escapeshellarg($dir));
        self::assertSame($expected, $confirmed);
        self::assertCount($expected, $reasons);
        self::assertCount($expected, array_unique($reasons));
    }
}
