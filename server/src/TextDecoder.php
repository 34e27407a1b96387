<?php
declare(strict_types=1);

namespace UninstallStats;

// Bytes of a Windows code page to UTF-8. The client never labels its charset; the code page comes from
// the language the reason matched, and Windows-1252 is the guess for everything else.
final class TextDecoder
{
    public const FALLBACK = 'Windows-1252';

    public static function isSupported(string $codePage): bool
    {
        try {
            mb_encoding_aliases($codePage);
            return true;
        } catch (\ValueError) {
            return false;
        }
    }

    // Bytes the code page leaves undefined become U+FFFD; the raw bytes are stored beside the text.
    public static function decode(string $bytes, string $codePage): string
    {
        $previous = mb_substitute_character();
        mb_substitute_character(0xFFFD);
        try {
            return mb_convert_encoding($bytes, 'UTF-8', $codePage);
        } finally {
            mb_substitute_character($previous);
        }
    }

    // For text whose code page is unknown: valid UTF-8 stays as it is, anything else is Windows-1252.
    public static function guess(string $bytes): string
    {
        return mb_check_encoding($bytes, 'UTF-8') ? $bytes : self::decode($bytes, self::FALLBACK);
    }
}
