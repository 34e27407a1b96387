<?php
declare(strict_types=1);

use PHPUnit\Framework\TestCase;
use UninstallStats\InvalidReport;
use UninstallStats\ReportQuery;

final class ReportQueryTest extends TestCase
{
    // A row expects the field a refusal names, or the bytes as sent: days, product, os, reason.
    public static function queries(): array
    {
        $ok = 'prj=P&os=O&reason=R';
        return [
            'prj missing' => ['os=O&reason=R', 'prj'],
            'os missing' => ['prj=P&reason=R', 'os'],
            'reason missing' => ['prj=P&os=O', 'reason'],
            'prj empty' => ['prj=&os=O&reason=R', 'prj'],
            'os empty' => ['prj=P&os=&reason=R', 'os'],
            'reason empty' => ['prj=P&os=O&reason=', 'reason'],
            'name without value' => ['prj&os=O&reason=R', 'prj'],
            'prj too long' => ['prj=' . str_repeat('p', 201) . '&os=O&reason=R', 'prj'],
            'os too long' => ['prj=P&os=' . str_repeat('%41', 65) . '&reason=R', 'os'],
            'reason too long' => ['prj=P&os=O&reason=' . str_repeat('r', 4097), 'reason'],
            'zero byte' => ['prj=P&os=O&reason=a%00b', 'reason'],
            'days zero' => ["days=0&$ok", 'days'],
            'days negative' => ["days=-1&$ok", 'days'],
            'days leading zero' => ["days=07&$ok", 'days'],
            'days over 2^31-1' => ["days=2147483648&$ok", 'days'],
            'days not a number' => ["days=3x&$ok", 'days'],
            'days empty' => ["days=&$ok", 'days'],
            'client order with days' => ['days=3&prj=My+Product&os=Windows+XP&reason=Other%3A+a%26b', [3, 'My Product', 'Windows XP', 'Other: a&b']],
            'no days' => ['prj=ab+%E9&os=Unknown&reason=Too+expensive', [null, "ab \xE9", 'Unknown', 'Too expensive']],
            'largest days, longest fields' => ['days=2147483647&prj=' . str_repeat('p', 200) . '&os=' . str_repeat('o', 64) . '&reason=' . str_repeat('%FF', 4096),
                [2147483647, str_repeat('p', 200), str_repeat('o', 64), str_repeat("\xFF", 4096)]],
            'extra, repeated and array names ignored' => ['x=1&reason%5B%5D=z&prj=P&os=O&reason=R&prj=Q&days=2&days=x', [2, 'P', 'O', 'R']],
            'empty pairs and other order' => ['&&reason=R&os=O&&prj=P&', [null, 'P', 'O', 'R']],
        ];
    }

    /** @dataProvider queries */
    public function testKeepsTheBytesOrRefusesNamingTheFieldOnly(string $query, string|array $expected): void
    {
        try {
            $parsed = ReportQuery::parse($query);
            self::assertSame($expected, [$parsed->days, $parsed->product, $parsed->os, $parsed->reason]);
        } catch (InvalidReport $e) {
            self::assertIsString($expected, $e->getMessage());
            self::assertStringStartsWith($expected, $e->getMessage());
            self::assertStringNotContainsString('ppp', $e->getMessage());
        }
    }
}
