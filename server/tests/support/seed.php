<?php
// Sample reports for the results page: php seed.php DATA-DIR prints the reasons' expected counts.
// Eight weeks of reports from the shipped languages, each reason in its own number, with free texts.
declare(strict_types=1);

require dirname(__DIR__, 2) . '/src/autoload.php';

use UninstallStats\{Config, Database, ReasonCatalog, Report, ReportQuery, ReportStore};

$catalog = ReasonCatalog::load(dirname(__DIR__, 3) . '/lang');
$store = new ReportStore(Database::open(Config::fromArray(['UNINSTALL_STATS_DATA' => $argv[1]])));
$counts = [9, 5, 3, 4, 12, 2, 6];
$languages = [['English', 'Windows-1252'], ['German', 'Windows-1252'], ['Russian', 'Windows-1251']];
$free = [
    'English' => ['too slow on old PCs', '<script>alert(1)</script>'],
    'German' => ['zu grün <b>fett</b>', 'Preis'],
    'Russian' => ['слишком сложно', 'нет версии для Linux'],
];
$systems = ['Windows XP', 'Windows XP', 'Windows 2000', 'Windows 98SE', 'Unknown'];
$days = [1, 3, 12, 45, 200, 800, null];
$now = time();
$n = 0;
foreach ($counts as $index => $count) {
    for ($i = 0; $i < $count; ++$i, ++$n) {
        [$language, $codePage] = $languages[$n % 3];
        $reason = $catalog->reasons($language)[$index];
        if ($index === ReasonCatalog::OTHER) {
            $reason .= ': ' . $free[$language][$i % 2];
        }
        $query = ($days[$n % 7] === null ? '' : 'days=' . $days[$n % 7] . '&')
            . 'prj=' . urlencode($n % 5 === 0 ? 'Velmora Lite' : 'Velmora') . '&os=' . urlencode($systems[$n % 5])
            . '&reason=' . urlencode(mb_convert_encoding($reason, $codePage, 'UTF-8'));
        $at = $now - $n * 118000;
        $store->add(Report::fromQuery(ReportQuery::parse($query), $catalog, "client$n", $at), 0);
    }
}
foreach ($counts as $index => $count) {
    printf("%s\t%d\t%.1f%%\n", ReasonCatalog::ENGLISH[$index], $count, 100 * $count / array_sum($counts));
}
