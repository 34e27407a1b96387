<?php
declare(strict_types=1);

use PHPUnit\Framework\TestCase;
use UninstallStats\{Config, Database, ReasonCatalog, Report, ReportFilter, ReportQuery, ReportStatistics, ReportStore};
use UninstallStats\Tests\{PostgresCluster, TestServer};

// The same store on SQLite (a file in a temporary folder) and on a private PostgreSQL cluster.
final class StorageTest extends TestCase
{
    private static ?PostgresCluster $cluster = null;
    private string $dir = '';

    public static function tearDownAfterClass(): void
    {
        self::$cluster?->stop();
    }

    protected function tearDown(): void
    {
        exec('rm -rf ' . escapeshellarg($this->dir));
    }

    public static function engines(): array
    {
        return ['SQLite' => ['sqlite'], 'PostgreSQL' => ['pgsql']];
    }

    /** @return array<string, string> the settings of a new, empty store */
    private function settings(string $engine): array
    {
        $this->dir = sys_get_temp_dir() . '/uf-store-' . bin2hex(random_bytes(4));
        if ($engine === 'sqlite') {
            return ['UNINSTALL_STATS_DATA' => $this->dir];
        }
        self::$cluster ??= PostgresCluster::binDir() === null
            ? self::markTestSkipped('PostgreSQL is not installed (initdb and pg_ctl under /usr/lib/postgresql/*/bin)') : PostgresCluster::start();
        $name = 'test_' . bin2hex(random_bytes(4));
        (new PDO(self::$cluster->dsn()))->exec("CREATE DATABASE $name");
        return ['UNINSTALL_STATS_DATA' => $this->dir, 'UNINSTALL_STATS_DSN' => str_replace('dbname=postgres', "dbname=$name", self::$cluster->dsn())];
    }

    private static function add(ReportStore $store, string $query, int $at, string $client = 'c1', int $limit = 0): bool
    {
        return $store->add(Report::fromQuery(ReportQuery::parse($query), ReasonCatalog::load(dirname(__DIR__, 2) . '/lang'), $client, $at), $limit);
    }

    /** @dataProvider engines */
    public function testStoresEveryFieldAsMatchedAndKeepsTheRawReason(string $engine): void
    {
        $config = Config::fromArray($this->settings($engine));
        $database = Database::open($config);
        $store = new ReportStore($database);
        $t = 1_700_000_000;
        self::assertTrue(self::add($store, 'days=3&prj=My+Product&os=Windows+XP&reason=%C4%F0%F3%E3%EE%E5%3A+%F2%E5%F1%F2', $t + 5));
        self::assertTrue(self::add($store, 'prj=Caf%E9&os=Unknown&reason=%FF%FEx', $t));
        self::assertTrue(self::add($store, 'days=9&prj=P%C4&os=Windows+98&reason=Zu+teuer', $t + 5));
        self::assertSame([
            [$t, 'Café', 'Unknown', null, null, 'ÿþx', '', null],
            [$t + 5, 'My Product', 'Windows XP', 3, 6, 'Другое: тест', 'тест', 'Russian'],
            [$t + 5, 'PÄ', 'Windows 98', 9, 4, 'Zu teuer', '', 'German'],
        ], array_map('array_values', iterator_to_array((new ReportStatistics($database->pdo, ReportFilter::fromQuery([])))->rows(), false)));

        $raw = $database->pdo->query('SELECT reason_raw FROM reports WHERE days IS NULL')->fetchColumn();
        self::assertSame("\xFF\xFEx", is_resource($raw) ? stream_get_contents($raw) : $raw);
        // Opened again (a new worker): the schema stays as it is, applied once.
        self::assertSame([1], Database::open($config)->pdo->query('SELECT version FROM schema_version')->fetchAll(PDO::FETCH_COLUMN));
    }

    /** @dataProvider engines */
    public function testRateLimitCountsOneClientsReportsOfTheLastMinute(string $engine): void
    {
        $store = new ReportStore(Database::open(Config::fromArray($this->settings($engine))));
        $t = 1_700_000_000;
        $outcomes = array_map(static fn (array $report): bool => self::add($store, 'prj=P&os=O&reason=Unstable', $report[0], $report[1], 2),
            [[$t - 60, 'a'], [$t - 30, 'a'], [$t, 'a'], [$t, 'a'], [$t, 'b']]);
        // At $t the report of 60 s before no longer counts; a third within one minute is refused; b has its own.
        self::assertSame([true, true, true, false, true], $outcomes);
        self::assertTrue(self::add($store, 'prj=P&os=O&reason=Unstable', $t, 'a', 0), 'a limit of 0 is no limit');
    }

    public static function races(): array
    {
        return ['SQLite, no limit' => ['sqlite', 0, 200], 'SQLite, 20 a minute' => ['sqlite', 20, 20], 'PostgreSQL, 20 a minute' => ['pgsql', 20, 20]];
    }

    // 200 reports from one address, 16 at a time, to a new store behind four PHP workers: the schema,
    // the limit and the writes race; only the "OK" ones are stored, each once, without the address.
    /** @dataProvider races */
    public function testRacingWorkersKeepEveryConfirmedReportOnce(string $engine, int $limit, int $expected): void
    {
        $settings = $this->settings($engine);
        $server = TestServer::start($settings + ['UNINSTALL_STATS_RATE' => (string) $limit]);
        $urls = array_map(static fn (int $i): string => escapeshellarg($server->url("/stat/uninstall.php?prj=P&os=O&reason=Other%3A+$i")), range(1, 200));
        exec('curl -s --no-progress-meter -Z --parallel-max 16 ' . implode(' ', $urls), $replies);
        $server->stop();
        $rows = Database::open(Config::fromArray($settings))->pdo->query('SELECT reason, client_hash FROM reports')->fetchAll(PDO::FETCH_NUM);
        self::assertSame([$expected, $expected, $expected], [count(preg_grep('/^OK\r?$/', $replies)), count($rows), count(array_unique(array_column($rows, 0)))]);
        self::assertStringNotContainsString('127.0.0.1', implode(',', array_column($rows, 1)), 'no raw client address stored');
    }

    /** @dataProvider engines */
    public function testStatisticsFollowTheFilter(string $engine): void
    {
        $database = Database::open(Config::fromArray($this->settings($engine)));
        $store = new ReportStore($database);
        $monday = 1_700_438_400; // 2023-11-20, a Monday
        $week = 7 * 86400;
        self::add($store, 'days=1&prj=A&os=Windows+XP&reason=Unstable', $monday);
        self::add($store, 'days=7&prj=A&os=Windows+XP&reason=Unstable', $monday + 86399);
        self::add($store, 'days=8&prj=A&os=Windows+2000&reason=Other%3A+one', $monday + 2 * $week);
        self::add($store, 'days=365&prj=B&os=Windows+XP&reason=Zu+teuer', $monday + 2 * $week + 3600);
        self::add($store, 'days=366&prj=A&os=Unknown&reason=Other%3A+two', $monday + 2 * $week + 7200);
        self::add($store, 'prj=A&os=Unknown&reason=nothing+known', $monday + 3 * $week - 1);
        $all = new ReportStatistics($database->pdo, ReportFilter::fromQuery([]));
        self::assertSame(6, $all->total());
        self::assertSame([0 => 2, 1 => 0, 2 => 0, 3 => 0, 4 => 1, 5 => 0, 6 => 2, -1 => 1], $all->reasons());
        self::assertSame(['2023-11-20' => 2, '2023-11-27' => 0, '2023-12-04' => 4], $all->weeks());
        self::assertSame(['1' => 1, '2-7' => 1, '8-30' => 1, '31-90' => 0, '91-365' => 1, 'more' => 1, 'not sent' => 1], $all->days());
        self::assertSame(['Windows XP' => 3, 'Unknown' => 2, 'Windows 2000' => 1], $all->systems());
        self::assertSame(['nothing known', 'Other: two', 'Other: one'], array_column($all->freeTexts(1), 'reason'));
        self::assertSame(['A', 'B'], $all->products());

        $filtered = new ReportStatistics($database->pdo, ReportFilter::fromQuery(['product' => 'A', 'from' => '2023-11-20', 'to' => '2023-12-03']));
        self::assertSame(2, $filtered->total(), 'the first and the last day whole, not the day after');
        $badDates = new ReportStatistics($database->pdo, ReportFilter::fromQuery(['from' => '2023-02-30', 'to' => ['x']]));
        self::assertSame(6, $badDates->total(), 'dates that are no dates are left out of the filter');
    }
}
