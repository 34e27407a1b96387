<?php
declare(strict_types=1);

use PHPUnit\Framework\TestCase;
use UninstallStats\Access;
use UninstallStats\Tests\HttpReply;
use UninstallStats\Tests\TestServer;

// Who sees the results page and the export, over HTTP with real sessions.
final class ResultsAccessTest extends TestCase
{
    private const PASSWORD = 'correct horse battery staple';
    private static string $dir;
    private static TestServer $server;

    public static function setUpBeforeClass(): void
    {
        self::$dir = sys_get_temp_dir() . '/uf-access-' . bin2hex(random_bytes(4));
        self::$server = TestServer::start([
            'UNINSTALL_STATS_DATA' => self::$dir,
            'UNINSTALL_STATS_ADMIN_HASH' => password_hash(self::PASSWORD, PASSWORD_DEFAULT),
        ]);
        foreach (['%3Cb%3E%3Dcmd', 'Zu+teuer', 'Other%3A+%3Dsum(1)'] as $i => $reason) {
            self::$server->request('GET', "/stat/uninstall.php?days=2&prj=P%22%3E%3Cimg&os=O&reason=$reason");
        }
    }

    public static function tearDownAfterClass(): void
    {
        self::$server->stop();
        exec('rm -rf ' . escapeshellarg(self::$dir));
    }

    private static function cookie(HttpReply $reply): string
    {
        return explode(';', $reply->header('Set-Cookie'))[0];
    }

    private static function csrf(HttpReply $reply): string
    {
        preg_match('/name="csrf" value="([0-9a-f]+)"/', $reply->body, $m);
        return $m[1] ?? '';
    }

    public function testLoginNeedsThePasswordAndTheFormsToken(): void
    {
        foreach (['/stat/', '/stat/export.php'] as $page) {
            $reply = self::$server->request('GET', $page);
            self::assertSame([303, 'login.php'], [$reply->status, $reply->header('Location')], $page);
        }
        $form = self::$server->request('GET', '/stat/login.php');
        $cookie = self::cookie($form);
        self::assertMatchesRegularExpression('/; HttpOnly; SameSite=Strict$/i', $form->header('Set-Cookie'));
        $attempts = [
            'no token' => [['password' => self::PASSWORD], $cookie],
            'another token' => [['password' => self::PASSWORD, 'csrf' => str_repeat('0', 64)], $cookie],
            'token without its session' => [['password' => self::PASSWORD, 'csrf' => self::csrf($form)], ''],
            'wrong password' => [['password' => 'wrong', 'csrf' => self::csrf($form)], $cookie],
        ];
        foreach ($attempts as $case => [$fields, $withCookie]) {
            self::assertSame(403, self::$server->post('/stat/login.php', $fields, $withCookie)->status, $case);
            self::assertSame(303, self::$server->request('GET', '/stat/', ['Cookie' => $cookie])->status, $case);
        }
        $login = self::$server->post('/stat/login.php', ['password' => self::PASSWORD, 'csrf' => self::csrf($form)], $cookie);
        self::assertSame(303, $login->status);
        $session = self::cookie($login);
        self::assertNotSame($cookie, $session, 'the session id changes at login');
        self::assertSame(303, self::$server->request('GET', '/stat/', ['Cookie' => $cookie])->status, 'the old id is worth nothing');

        $page = self::$server->request('GET', '/stat/', ['Cookie' => $session]);
        self::assertSame(200, $page->status);
        self::assertStringContainsString("default-src 'none'", $page->header('Content-Security-Policy'));
        self::assertStringNotContainsString('<img', $page->body);
        self::assertStringNotContainsString('<b>', $page->body);
        self::assertStringContainsString('P&quot;&gt;&lt;img', $page->body);

        $csv = self::$server->request('GET', '/stat/export.php', ['Cookie' => $session]);
        self::assertSame("received_utc,product,os,days,reason_index,reason,free_text,language\r\n", strtok($csv->body, "\n") . "\n");
        $rows = array_map('str_getcsv', array_slice(explode("\r\n", trim($csv->body)), 1));
        self::assertSame([['P">', '<b>=cmd', '', '', ''], ['P">', 'Zu teuer', '', '4', 'German'], ['P">', 'Other: =sum(1)', "'=sum(1)", '6', 'English']],
            array_map(static fn (array $r): array => [substr($r[1], 0, 3), $r[5], $r[6], $r[4], $r[7]], $rows));

        $logout = self::$server->post('/stat/logout.php', ['csrf' => self::csrf($page)], $session);
        self::assertSame(303, $logout->status);
        self::assertSame(303, self::$server->request('GET', '/stat/', ['Cookie' => self::cookie($logout)])->status);
    }

    public static function addresses(): array
    {
        return [
            ['127.0.0.1', true], ['127.3.4.5', true], ['::1', true], ['::ffff:127.0.0.1', true],
            ['10.0.0.1', false], ['192.168.1.2', false], ['::2', false], ['1270.0.0.1', false], ['', false],
        ];
    }

    /** @dataProvider addresses */
    public function testWithoutPasswordOnlyLoopbackClients(string $address, bool $loopback): void
    {
        self::assertSame($loopback, Access::isLoopback($address));
    }

    public function testWithoutPasswordTheLoopbackClientNeedsNoLogin(): void
    {
        $server = TestServer::start(['UNINSTALL_STATS_DATA' => self::$dir . '/open']);
        try {
            $page = $server->request('GET', '/stat/');
            $login = $server->request('GET', '/stat/login.php');
        } finally {
            $server->stop();
        }
        self::assertSame(200, $page->status);
        self::assertStringContainsString('0 reports', $page->body);
        self::assertSame(303, $login->status);
    }
}
