<?php
declare(strict_types=1);

namespace UninstallStats;

// One report as it is stored: the query's fields decoded, the reason matched, the client as a keyed hash.
final class Report
{
    public function __construct(
        public readonly int $receivedAt,
        public readonly string $product,
        public readonly string $os,
        public readonly ?int $days,
        public readonly ?int $reasonIndex,
        public readonly string $reasonRaw,
        public readonly string $reason,
        public readonly string $freeText,
        public readonly ?string $language,
        public readonly string $clientHash,
    ) {
    }

    public static function fromQuery(ReportQuery $query, ReasonCatalog $catalog, string $clientHash, int $now): self
    {
        $match = $catalog->match($query->reason);
        return new self(
            $now,
            $match->decode($query->product),
            $match->decode($query->os),
            $query->days,
            $match->index,
            $query->reason,
            $match->reason,
            $match->freeText,
            $match->language,
            $clientHash,
        );
    }
}
