<?php
declare(strict_types=1);

use PHPUnit\Framework\TestCase;
use UninstallStats\Tests\TestServer;

// stat/uninstall.php over HTTP as the program calls it; every answer but a stored report must keep the
// client from reading "OK" in its first line.
final class EndpointHttpTest extends TestCase
{
    private static string $dir;
    private static TestServer $server;

    public static function setUpBeforeClass(): void
    {
        self::$dir = sys_get_temp_dir() . '/uf-endpoint-' . bin2hex(random_bytes(4));
        mkdir(self::$dir);
        file_put_contents(self::$dir . '/settings', "# as deployed\nUNINSTALL_STATS_DATA=" . self::$dir . "/data\nUNINSTALL_STATS_RATE='3'\n");
        self::$server = TestServer::start(['UNINSTALL_STATS_CONFIG' => self::$dir . '/settings']);
    }

    public static function tearDownAfterClass(): void
    {
        self::$server->stop();
        exec('rm -rf ' . escapeshellarg(self::$dir));
    }

    public static function refusals(): array
    {
        $hostile = '%3Cscript%3Ealert(1)%3C%2Fscript%3E';
        return [
            'no query' => ['GET', '/stat/uninstall.php', 400],
            'hostile product not echoed' => ['GET', "/stat/uninstall.php?prj=$hostile&os=O&reason=R&days=0", 400],
            'POST' => ['POST', '/stat/uninstall.php?prj=P&os=O&reason=R', 405],
            'HEAD' => ['HEAD', '/stat/uninstall.php?prj=P&os=O&reason=R', 405],
            'the classes are not served' => ['GET', '/src/Config.php', 404],
        ];
    }

    /** @dataProvider refusals */
    public function testRefusalsAreNotOkAndEchoNothing(string $method, string $target, int $status): void
    {
        [$got, , $body] = self::$server->request($method, $target);
        self::assertSame($status, $got);
        self::assertStringStartsNotWith('OK', $body);
        self::assertStringNotContainsString('<script', $body);
    }

    public function testStoresThenLimitsOneAddress(): void
    {
        $statuses = [];
        for ($i = 1; $i <= 4; ++$i) {
            [$status, , $body] = self::$server->request('GET', "/stat/uninstall.php?days=$i&prj=My+Product&os=Windows+XP&reason=Other%3A+n$i");
            $statuses[] = [$status, strtok($body, "\r\n")];
        }
        self::assertSame([[200, 'OK'], [200, 'OK'], [200, 'OK'], [429, 'Too many reports from this address; please try again later.']], $statuses);
        $pdo = new PDO('sqlite:' . self::$dir . '/data/stats.sqlite');
        self::assertSame(['n1', 'n2', 'n3'], $pdo->query('SELECT free_text FROM reports ORDER BY id')->fetchAll(PDO::FETCH_COLUMN));
        self::assertStringNotContainsString('127.0.0.1', implode(',', $pdo->query('SELECT client_hash FROM reports')->fetchAll(PDO::FETCH_COLUMN)));
    }

    public static function brokenSettings(): array
    {
        return [
            'storage down: the database folder is missing' => ['UNINSTALL_STATS_DSN=sqlite:/nonexistent/folder/stats.sqlite', 503],
            'storage down: nobody at the PostgreSQL socket' => ['UNINSTALL_STATS_DSN=pgsql:host=/nonexistent;dbname=x', 503],
            'an engine the collector does not know' => ['UNINSTALL_STATS_DSN=odbc:x', 503],
            'a rate that is no number' => ['UNINSTALL_STATS_RATE=many', 500],
            'a password setting that is no hash' => ["UNINSTALL_STATS_ADMIN_HASH=secret\nUNINSTALL_STATS_RATE=0", 200],
        ];
    }

    /** @dataProvider brokenSettings */
    public function testAStoreOrSettingThatFailsAnswersNotOk(string $setting, int $status): void
    {
        file_put_contents(self::$dir . '/broken', 'UNINSTALL_STATS_DATA=' . self::$dir . "/data2\n$setting\n");
        $server = TestServer::start(['UNINSTALL_STATS_CONFIG' => self::$dir . '/broken']);
        try {
            [$got, , $body] = $server->request('GET', '/stat/uninstall.php?prj=P&os=O&reason=Unstable');
        } finally {
            $server->stop();
        }
        self::assertSame($status, $got, $body);
        self::assertSame($status === 200, str_starts_with($body, 'OK'));
    }
}
