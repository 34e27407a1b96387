<?php
declare(strict_types=1);

namespace UninstallStats;

// stat/export.php: the reports the filter selects as UTF-8 CSV, oldest first.
final class CsvExport
{
    public const HEADER = ['received_utc', 'product', 'os', 'days', 'reason_index', 'reason', 'free_text', 'language'];

    public function __construct(private readonly Config $config, private readonly Access $access)
    {
    }

    // Null when the client may read the reports; otherwise the answer to send instead.
    public function refusal(): ?Response
    {
        $this->access->start();
        // The export only reads; releasing the session lets the page's other requests go on meanwhile.
        session_write_close();
        return $this->access->allowed() ? null : $this->access->refusal();
    }

    public function select(array $get): ReportStatistics
    {
        return new ReportStatistics(Database::open($this->config)->pdo, ReportFilter::fromQuery($get));
    }

    /** @param resource $out */
    public function write(ReportStatistics $statistics, $out): void
    {
        fputcsv($out, self::HEADER, eol: "\r\n");
        foreach ($statistics->rows() as $row) {
            fputcsv($out, [
                gmdate('Y-m-d\TH:i:s\Z', (int) $row['received_at']),
                self::cell($row['product']),
                self::cell($row['os']),
                $row['days'] ?? '',
                $row['reason_index'] ?? '',
                self::cell($row['reason']),
                self::cell($row['free_text']),
                self::cell($row['language'] ?? ''),
            ], eol: "\r\n");
        }
    }

    // A spreadsheet runs a cell that starts with = + - @ as a formula; such text gets a leading
    // apostrophe, which the spreadsheet shows as text and hides.
    private static function cell(string $text): string
    {
        return $text !== '' && str_contains("=+-@\t\r", $text[0]) ? "'" . $text : $text;
    }
}
