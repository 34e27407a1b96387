<?php
declare(strict_types=1);

use PHPUnit\Framework\TestCase;
use UninstallStats\Access;
use UninstallStats\Tests\TestServer;

// Who sees the results page and the export, over HTTP with real sessions; what they see is escaped.
final class ResultsAccessTest extends TestCase
{
    private const PASSWORD = 'correct horse battery staple';

    public function testLoginNeedsThePasswordAndTheFormsToken(): void
    {
        $dir = sys_get_temp_dir() . '/uf-access-' . bin2hex(random_bytes(4));
        $server = TestServer::start(['UNINSTALL_STATS_DATA' => $dir, 'UNINSTALL_STATS_ADMIN_HASH' => password_hash(self::PASSWORD, PASSWORD_DEFAULT)]);
        try {
            foreach (['%3Cb%3E%3Dcmd', 'Zu+teuer', 'Other%3A+%3Dsum(1)'] as $i => $reason) {
                $server->request('GET', "/stat/uninstall.php?days=2&prj=P%22%3E%3Cimg&os=" . ['O', '-O', '@O'][$i] . "&reason=$reason");
            }
            $cookie = static fn (array $reply): string => explode(';', $reply[1]['set-cookie'] ?? '')[0];
            $csrf = static fn (array $reply): string => preg_match('/name="csrf" value="(\w+)"/', $reply[2], $m) === 1 ? $m[1] : '';
            $redirectedToLogin = static function (string $page, string $session = '') use ($server): bool {
                [$status, $headers] = $server->request('GET', $page, $session);
                return $status === 303 && ($headers['location'] ?? '') === 'login.php';
            };
            self::assertTrue($redirectedToLogin('/stat/') && $redirectedToLogin('/stat/export.php'));

            $form = $server->request('GET', '/stat/login.php');
            $anonymous = $cookie($form);
            self::assertMatchesRegularExpression('/; HttpOnly; SameSite=Strict$/i', $form[1]['set-cookie']);
            $attempts = [
                'no token' => [['password' => self::PASSWORD], $anonymous],
                'another token' => [['password' => self::PASSWORD, 'csrf' => str_repeat('0', 64)], $anonymous],
                'token without its session' => [['password' => self::PASSWORD, 'csrf' => $csrf($form)], ''],
                'wrong password' => [['password' => 'wrong', 'csrf' => $csrf($form)], $anonymous],
            ];
            foreach ($attempts as $case => [$fields, $session]) {
                self::assertSame(403, $server->request('POST', '/stat/login.php', $session, $fields)[0], $case);
                self::assertTrue($redirectedToLogin('/stat/', $anonymous), $case);
            }
            $login = $server->request('POST', '/stat/login.php', $anonymous, ['password' => self::PASSWORD, 'csrf' => $csrf($form)]);
            $session = $cookie($login);
            self::assertSame(303, $login[0]);
            self::assertTrue($session !== $anonymous && $redirectedToLogin('/stat/', $anonymous), 'a new session id at login; the old one is worth nothing');

            [$status, $headers, $page] = $server->request('GET', '/stat/', $session);
            self::assertSame(200, $status);
            self::assertStringContainsString("default-src 'none'", $headers['content-security-policy']);
            self::assertSame([false, false, true], [str_contains($page, '<img'), str_contains($page, '<b>'), str_contains($page, 'P&quot;&gt;&lt;img')]);

            $csv = array_map('str_getcsv', explode("\r\n", trim($server->request('GET', '/stat/export.php', $session)[2])));
            self::assertSame(['received_utc', 'product', 'os', 'days', 'reason_index', 'reason', 'free_text', 'language'], $csv[0]);
            self::assertSame([['P">', 'O', '<b>=cmd', '', '', ''], ['P">', "'-O", 'Zu teuer', '', '4', 'German'], ['P">', "'@O", 'Other: =sum(1)', "'=sum(1)", '6', 'English']],
                array_map(static fn (array $r): array => [substr($r[1], 0, 3), $r[2], $r[5], $r[6], $r[4], $r[7]], array_slice($csv, 1)));

            self::assertSame(403, $server->request('POST', '/stat/logout.php', $session, ['csrf' => str_repeat('0', 64)])[0]);
            $logout = $server->request('POST', '/stat/logout.php', $session, ['csrf' => $csrf([0, [], $page])]);
            self::assertTrue($logout[0] === 303 && $redirectedToLogin('/stat/', $cookie($logout)));
        } finally {
            $server->stop();
            exec('rm -rf ' . escapeshellarg($dir));
        }
    }

    public static function addresses(): array
    {
        return [['127.0.0.1', true], ['127.3.4.5', true], ['::1', true], ['::ffff:127.0.0.1', true], ['10.0.0.1', false],
            ['192.168.1.2', false], ['::2', false], ['1270.0.0.1', false], ['127.evil.example', false], ['', false]];
    }

    /** @dataProvider addresses */
    public function testWithoutPasswordOnlyLoopbackClients(string $address, bool $loopback): void
    {
        self::assertSame($loopback, Access::isLoopback($address));
    }
}
