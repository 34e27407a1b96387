<?php
declare(strict_types=1);

namespace UninstallStats;

// What a reason as sent turned out to be. An unmatched reason has no index and no language; its text
// is then the whole reason.
final class ReasonMatch
{
    public function __construct(
        public readonly ?int $index,
        public readonly ?string $language,
        public readonly string $codePage,
        public readonly string $reason,
        public readonly string $freeText,
    ) {
    }

    // Other text of the same report (product, os) in the code page the reason revealed.
    public function decode(string $bytes): string
    {
        return $this->language === null ? TextDecoder::guess($bytes) : TextDecoder::decode($bytes, $this->codePage);
    }
}
