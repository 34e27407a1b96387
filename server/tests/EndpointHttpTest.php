<?php
declare(strict_types=1);

use PHPUnit\Framework\TestCase;
use UninstallStats\Tests\TestServer;

// stat/uninstall.php over HTTP as the program calls it; every answer but a stored report must keep the
// client from reading "OK" in its first line.
final class EndpointHttpTest extends TestCase
{
    /** @return array{0: int, 1: array<string, string>, 2: string} the reply of a collector set up by a file as deployed */
    private function reply(string $settings, string $method, string $target): array
    {
        mkdir($dir = sys_get_temp_dir() . '/uf-endpoint-' . bin2hex(random_bytes(4)));
        file_put_contents("$dir/settings", "# as deployed\nUNINSTALL_STATS_DATA=$dir/data\n$settings\n");
        $server = TestServer::start(['UNINSTALL_STATS_CONFIG' => "$dir/settings"]);
        try {
            return $server->request($method, $target);
        } finally {
            $server->stop();
            exec('rm -rf ' . escapeshellarg($dir));
        }
    }

    public static function answers(): array
    {
        $ok = '/stat/uninstall.php?prj=P&os=O&reason=Unstable';
        return [
            'no query' => ['', 'GET', '/stat/uninstall.php', 400],
            'hostile product not echoed' => ['', 'GET', "/stat/uninstall.php?prj=%3Cscript%3Ealert(1)%3C%2Fscript%3E&os=O&reason=R&days=0", 400],
            'POST' => ['', 'POST', $ok, 405],
            'the classes are not served' => ['', 'GET', '/src/Config.php', 404],
            'storage down: the database folder is missing' => ['UNINSTALL_STATS_DSN=sqlite:/nonexistent/folder/stats.sqlite', 'GET', $ok, 503],
            'storage down: nobody at the PostgreSQL socket' => ['UNINSTALL_STATS_DSN=pgsql:host=/nonexistent;dbname=x', 'GET', $ok, 503],
            'an engine the collector does not know' => ['UNINSTALL_STATS_DSN=odbc:x', 'GET', $ok, 503],
            'a rate that is no number' => ['UNINSTALL_STATS_RATE=many', 'GET', $ok, 500],
            'a quoted setting' => ["UNINSTALL_STATS_RATE='0'", 'GET', $ok, 200],
            'a password setting that is no hash: stored all the same' => ['UNINSTALL_STATS_ADMIN_HASH=secret', 'GET', $ok, 200],
        ];
    }

    /** @dataProvider answers */
    public function testOnlyAStoredReportIsOk(string $settings, string $method, string $target, int $status): void
    {
        [$got, , $body] = $this->reply($settings, $method, $target);
        self::assertSame($status, $got, $body);
        self::assertSame($status === 200, str_starts_with($body, 'OK'));
        self::assertStringNotContainsString('<script', $body);
    }
}
