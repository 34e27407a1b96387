<?php
declare(strict_types=1);

namespace UninstallStats;

// stat/: why users leave, for the reports the filter selects.
final class ResultsPage
{
    public function __construct(private readonly Config $config, private readonly Access $access)
    {
    }

    /** @param array<string, mixed> $get */
    public function respond(array $get): Response
    {
        $this->access->start();
        if (!$this->access->allowed()) {
            return $this->access->refusal();
        }
        $filter = ReportFilter::fromQuery($get);
        $statistics = new ReportStatistics(Database::open($this->config)->pdo, $filter);
        $reasons = $statistics->reasons();
        $reasonBars = [];
        foreach (ReasonCatalog::ENGLISH as $index => $name) {
            $reasonBars[$name] = $reasons[$index];
        }
        if (isset($reasons[-1])) {
            $reasonBars['(no language matched)'] = $reasons[-1];
        }
        $freeTextCount = $statistics->freeTextCount();
        $html = Html::render('results', [
            'filter' => $filter,
            'products' => $statistics->products(),
            'total' => $statistics->total(),
            'reasonChart' => SvgChart::bars('Reasons', $reasonBars),
            'weekChart' => SvgChart::columns('Reports per week', self::weekLabels($statistics->weeks())),
            'systemChart' => SvgChart::bars('Operating systems', $statistics->systems()),
            'dayChart' => SvgChart::columns('Days in use', $statistics->days()),
            'freeTexts' => $statistics->freeTexts($filter->page),
            'pages' => max(1, (int) ceil($freeTextCount / ReportStatistics::FREE_TEXTS_PER_PAGE)),
            'freeTextCount' => $freeTextCount,
            'logout' => $this->access->loggedIn() ? $this->access->csrfToken() : null,
        ]);
        return new Response(200, $html, Html::pageHeaders());
    }

    /** @param array<string, int> $weeks Y-m-d => count */
    private static function weekLabels(array $weeks): array
    {
        $labelled = [];
        foreach ($weeks as $monday => $count) {
            $labelled[gmdate('j M y', (int) strtotime("$monday UTC"))] = $count;
        }
        return $labelled;
    }
}
