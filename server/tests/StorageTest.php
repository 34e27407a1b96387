<?php
declare(strict_types=1);

use PHPUnit\Framework\TestCase;
use UninstallStats\Config;
use UninstallStats\Database;
use UninstallStats\ReasonCatalog;
use UninstallStats\Report;
use UninstallStats\ReportFilter;
use UninstallStats\ReportQuery;
use UninstallStats\ReportStatistics;
use UninstallStats\ReportStore;
use UninstallStats\Tests\PostgresCluster;

// The same store on SQLite (a file in a temporary folder) and on a private PostgreSQL cluster.
final class StorageTest extends TestCase
{
    private static ?PostgresCluster $cluster = null;
    private static ReasonCatalog $catalog;
    private string $dir;

    public static function setUpBeforeClass(): void
    {
        self::$catalog = ReasonCatalog::load(dirname(__DIR__, 2) . '/lang');
        if (PostgresCluster::binDir() !== null) {
            self::$cluster = PostgresCluster::start();
        }
    }

    public static function tearDownAfterClass(): void
    {
        self::$cluster?->stop();
    }

    protected function setUp(): void
    {
        $this->dir = sys_get_temp_dir() . '/uf-store-' . bin2hex(random_bytes(4));
    }

    protected function tearDown(): void
    {
        exec('rm -rf ' . escapeshellarg($this->dir));
    }

    public static function engines(): array
    {
        return ['SQLite' => ['sqlite'], 'PostgreSQL' => ['pgsql']];
    }

    /** @var array<string, Config> */
    private array $config = [];

    private function open(string $engine): Database
    {
        if ($engine === 'sqlite') {
            $this->config[$engine] = Config::fromArray(['UNINSTALL_STATS_DATA' => $this->dir]);
        } elseif (self::$cluster === null) {
            self::markTestSkipped('PostgreSQL is not installed (initdb and pg_ctl under /usr/lib/postgresql/*/bin)');
        } else {
            $name = 'test_' . bin2hex(random_bytes(4));
            (new PDO(self::$cluster->dsn()))->exec("CREATE DATABASE $name");
            $this->config[$engine] = Config::fromArray(['UNINSTALL_STATS_DSN' => str_replace('dbname=postgres', "dbname=$name", self::$cluster->dsn())]);
        }
        return Database::open($this->config[$engine]);
    }

    private static function report(string $query, int $at, string $client = 'c1'): Report
    {
        return Report::fromQuery(ReportQuery::parse($query), self::$catalog, $client, $at);
    }

    /** @dataProvider engines */
    public function testStoresEveryFieldAsMatchedAndKeepsTheRawReason(string $engine): void
    {
        $database = $this->open($engine);
        $store = new ReportStore($database);
        $t = 1_700_000_000;
        self::assertTrue($store->add(self::report('days=3&prj=My+Product&os=Windows+XP&reason=%C4%F0%F3%E3%EE%E5%3A+%F2%E5%F1%F2', $t + 5), 0));
        self::assertTrue($store->add(self::report('prj=Caf%E9&os=Unknown&reason=%FF%FEx', $t), 0));
        self::assertTrue($store->add(self::report('days=9&prj=P%C4&os=Windows+98&reason=Zu+teuer', $t + 5), 0));

        $rows = iterator_to_array((new ReportStatistics($database->pdo, ReportFilter::fromQuery([])))->rows(), false);
        self::assertSame([
            [$t, 'Café', 'Unknown', null, null, 'ÿþx', '', null],
            [$t + 5, 'My Product', 'Windows XP', 3, 6, 'Другое: тест', 'тест', 'Russian'],
            [$t + 5, 'PÄ', 'Windows 98', 9, 4, 'Zu teuer', '', 'German'],
        ], array_map(static fn (array $r): array => array_map(
            static fn ($v) => is_string($v) && ctype_digit($v) ? (int) $v : $v,
            [$r['received_at'], $r['product'], $r['os'], $r['days'], $r['reason_index'], $r['reason'], $r['free_text'], $r['language']],
        ), $rows));

        $raw = $database->pdo->query('SELECT reason_raw FROM reports WHERE days IS NULL')->fetchColumn();
        self::assertSame("\xFF\xFEx", is_resource($raw) ? stream_get_contents($raw) : $raw);
        // Opened again (a new worker): the schema stays as it is, applied once.
        $again = Database::open($this->config[$engine]);
        self::assertSame(['1'], array_map('strval', $again->pdo->query('SELECT version FROM schema_version')->fetchAll(PDO::FETCH_COLUMN)));
    }

    /** @dataProvider engines */
    public function testRateLimitCountsOneClientsReportsOfTheLastMinute(string $engine): void
    {
        $store = new ReportStore($this->open($engine));
        $q = 'prj=P&os=O&reason=Unstable';
        $t = 1_700_000_000;
        $outcomes = [];
        foreach ([[$t - 61, 'a'], [$t - 30, 'a'], [$t, 'a'], [$t, 'a'], [$t, 'b']] as [$at, $client]) {
            $outcomes[] = $store->add(self::report($q, $at, $client), 2);
        }
        // At $t the report of 61 s before no longer counts; a third within one minute is refused; b has its own.
        self::assertSame([true, true, true, false, true], $outcomes);
        self::assertTrue($store->add(self::report($q, $t, 'a'), 0), 'a limit of 0 is no limit');
    }

    /** @dataProvider engines */
    public function testStatisticsFollowTheFilter(string $engine): void
    {
        $database = $this->open($engine);
        $store = new ReportStore($database);
        $monday = 1_700_438_400; // 2023-11-20, a Monday
        $week = 7 * 86400;
        $rows = [
            ['days=1&prj=A&os=Windows+XP&reason=Unstable', $monday],
            ['days=7&prj=A&os=Windows+XP&reason=Unstable', $monday + 86399],
            ['days=8&prj=A&os=Windows+2000&reason=Other%3A+one', $monday + 2 * $week],
            ['days=365&prj=B&os=Windows+XP&reason=Zu+teuer', $monday + 2 * $week + 3600],
            ['days=366&prj=A&os=Unknown&reason=Other%3A+two', $monday + 2 * $week + 7200],
            ['prj=A&os=Unknown&reason=nothing+known', $monday + 3 * $week - 1],
        ];
        foreach ($rows as [$query, $at]) {
            $store->add(self::report($query, $at), 0);
        }
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
