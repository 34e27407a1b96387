<?php
// Sample reports for the results page: php seed.php DATA-DIR prints each reason's expected count and share.
// Eight weeks of reports from the shipped languages, each reason in its own number, with free texts.
declare(strict_types=1);

require dirname(__DIR__, 2) . '/src/autoload.php';

use UninstallStats\{Config, Database, ReasonCatalog, Report, ReportQuery, ReportStore};

$catalog = ReasonCatalog::load(dirname(__DIR__, 3) . '/lang');
$store = new ReportStore(Database::open(Config::fromArray(['UNINSTALL_STATS_DATA' => $argv[1]])));
$counts = [9, 5, 3, 4, 12, 2, 6];
$codePages = ['English' => 'Windows-1252', 'German' => 'Windows-1252', 'Russian' => 'Windows-1251'];
$free = [['too slow on old PCs', '<script>alert(1)</script>'], ['zu grün <b>fett</b>', 'Preis'], ['слишком сложно', 'нет версии для Linux']];
$systems = ['Windows XP', 'Windows XP', 'Windows 2000', 'Windows 98SE', 'Unknown'];
$days = [1, 3, 12, 45, 200, 800, null];
$n = 0;
foreach ($counts as $index => $count) {
    for ($i = 0; $i < $count; ++$i, ++$n) {
        $language = array_keys($codePages)[$n % 3];
        $reason = $catalog->reasons($language)[$index] . ($index === ReasonCatalog::OTHER ? ': ' . $free[$n % 3][$i % 2] : '');
        $query = ($days[$n % 7] === null ? '' : 'days=' . $days[$n % 7] . '&')
            . 'prj=' . urlencode($n % 5 === 0 ? 'Velmora Lite' : 'Velmora') . '&os=' . urlencode($systems[$n % 5])
            . '&reason=' . urlencode(mb_convert_encoding($reason, $codePages[$language], 'UTF-8'));
        $store->add(Report::fromQuery(ReportQuery::parse($query), $catalog, "client$n", time() - $n * 118000), 0);
    }
}
foreach ($counts as $index => $count) {
    printf("%s\t%d\t%.1f%%\n", ReasonCatalog::ENGLISH[$index], $count, 100 * $count / array_sum($counts));
}
