<?php
declare(strict_types=1);

namespace UninstallStats;

use PDO;

// Stores reports, at most $rateLimit a minute from one client hash (0: no limit). The count and the
// insert share one write transaction, so writers racing from one address cannot pass the limit together.
final class ReportStore
{
    private const INSERT = 'INSERT INTO reports (received_at, product, os, days, reason_index, reason_raw, reason,'
        . ' free_text, language, client_hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)';
    private const WINDOW_SECONDS = 60;

    public function __construct(private readonly Database $database)
    {
    }

    // True once the report is stored and on disk; false when the client is over its limit.
    public function add(Report $report, int $rateLimit): bool
    {
        $stored = $rateLimit === 0
            ? $this->insert($this->database->pdo, $report)
            : $this->database->writeTransaction(fn (PDO $pdo): bool => $this->insertWithinLimit($pdo, $report, $rateLimit));
        if ($stored) {
            $this->database->flush();
        }
        return $stored;
    }

    private function insertWithinLimit(PDO $pdo, Report $report, int $rateLimit): bool
    {
        if ($this->database->driver === 'pgsql') {
            // Serialises the writers of one client only; the key is the first 60 bits of its hash.
            $lock = $pdo->prepare('SELECT pg_advisory_xact_lock(?)');
            $lock->execute([hexdec(substr($report->clientHash, 0, 15))]);
        }
        $count = $pdo->prepare('SELECT COUNT(*) FROM reports WHERE client_hash = ? AND received_at > ?');
        $count->execute([$report->clientHash, $report->receivedAt - self::WINDOW_SECONDS]);
        if ((int) $count->fetchColumn() >= $rateLimit) {
            return false;
        }
        return $this->insert($pdo, $report);
    }

    private function insert(PDO $pdo, Report $report): bool
    {
        $insert = $pdo->prepare(self::INSERT);
        $insert->bindValue(1, $report->receivedAt, PDO::PARAM_INT);
        $insert->bindValue(2, $report->product);
        $insert->bindValue(3, $report->os);
        $insert->bindValue(4, $report->days, $report->days === null ? PDO::PARAM_NULL : PDO::PARAM_INT);
        $insert->bindValue(5, $report->reasonIndex, $report->reasonIndex === null ? PDO::PARAM_NULL : PDO::PARAM_INT);
        $insert->bindValue(6, $report->reasonRaw, PDO::PARAM_LOB);
        $insert->bindValue(7, $report->reason);
        $insert->bindValue(8, $report->freeText);
        $insert->bindValue(9, $report->language, $report->language === null ? PDO::PARAM_NULL : PDO::PARAM_STR);
        $insert->bindValue(10, $report->clientHash);
        $insert->execute();
        return true;
    }
}
