<?php
declare(strict_types=1);

use PHPUnit\Framework\TestCase;
use UninstallStats\ReasonCatalog;

final class ReasonCatalogTest extends TestCase
{
    public static function shippedLanguages(): array
    {
        $cp = static fn (string $utf8, string $codePage): string => mb_convert_encoding($utf8, $codePage, 'UTF-8');
        return [
            'English' => ['Too expensive', 4, 'English', 'Too expensive', ''],
            'English other, empty text' => ['Other: ', 6, 'English', 'Other: ', ''],
            'English other, Windows-1252 text' => ["Other: Stra\xDFe & 100%", 6, 'English', 'Other: Straße & 100%', 'Straße & 100%'],
            'German, Windows-1252' => [$cp('Umständliche Bedienung', 'Windows-1252'), 3, 'German', 'Umständliche Bedienung', ''],
            'German other' => [$cp('Sonstiges: zu grün', 'Windows-1252'), 6, 'German', 'Sonstiges: zu grün', 'zu grün'],
            'Russian, Windows-1251' => [$cp('Переход на новую версию', 'Windows-1251'), 5, 'Russian', 'Переход на новую версию', ''],
            'Russian other' => [$cp('Другое: слишком сложно', 'Windows-1251'), 6, 'Russian', 'Другое: слишком сложно', 'слишком сложно'],
            'Russian other, undefined byte' => [$cp('Другое: ', 'Windows-1251') . "a\x98b", 6, 'Russian', "Другое: a\u{FFFD}b", "a\u{FFFD}b"],
            'Russian text, UTF-8 bytes: no match' => ['Слишком дорого', null, null, 'Слишком дорого', ''],
            'unknown, Windows-1252' => ["caf\xE9 \x80", null, null, 'café €', ''],
            'case differs: no match' => ['too expensive', null, null, 'too expensive', ''],
            'other without its blank: no match' => ['Other:x', null, null, 'Other:x', ''],
            'trailing blank: no match' => ['Unstable ', null, null, 'Unstable ', ''],
        ];
    }

    /** @dataProvider shippedLanguages */
    public function testMatchesTheShippedLanguages(string $bytes, ?int $index, ?string $language, string $reason, string $freeText): void
    {
        $match = ReasonCatalog::load(dirname(__DIR__, 2) . '/lang')->match($bytes);
        self::assertSame([$index, $language, $reason, $freeText], [$match->index, $match->language, $match->reason, $match->freeText]);
    }

    public function testReadsTheTranslatorsFormatAsTheDialogDoes(): void
    {
        $dir = sys_get_temp_dir() . '/uf-lang-' . bin2hex(random_bytes(4));
        $files = [
            // Five entries, a comment among them: the last two reasons stay English. Names ignore case and "&".
            'Short' => "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\r\n<common><item name=\"x\" value=\"y\"/></common>\r\n"
                . "<SECTION name=\"UnInstall\"><form NAME=\"Uninstall&amp;MainForm\"><Control Name=\"x\"/><control name=\"rgReason\">"
                . "<i>  Eins \xA4 </i><!--Zwei--><i>Drei &amp; vier</i><i/><i>F&#252;nf</i></control></form></SECTION>",
            'Unreadable' => '<?xml version="1.0" encoding="x-unknown-charset"?><Section Name="Uninstall"/>',
            'NoForm' => '<Section Name="Uninstall"><Form Name="Other"><Control Name="rgReason"><i>A</i></Control></Form></Section>',
        ];
        foreach ($files as $language => $xml) {
            mkdir("$dir/$language", 0700, true);
            file_put_contents("$dir/$language/Uninstall.xml", $xml);
        }
        try {
            $catalog = ReasonCatalog::load($dir);
            self::assertSame(['Eins €', 'Zwei', 'Drei & vier', '', 'Fünf', 'Upgrade version', 'Other'], $catalog->reasons('Short'));
            $match = static fn (string $utf8) => $catalog->match(mb_convert_encoding($utf8, 'ISO-8859-15', 'UTF-8'));
            self::assertSame([0, 1, 2, 4], array_map(static fn (string $reason) => $match($reason)->index, ['Eins €', 'Zwei', 'Drei & vier', 'Fünf']));
            self::assertSame(['Short', 'English'], [$match('Fünf')->language, $match('Upgrade version')->language]);
            self::assertSame([ReasonCatalog::ENGLISH, ReasonCatalog::ENGLISH], [$catalog->reasons('Unreadable'), $catalog->reasons('NoForm')]);
        } finally {
            exec('rm -rf ' . escapeshellarg($dir));
        }
    }
}
