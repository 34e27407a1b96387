<?php
declare(strict_types=1);

namespace UninstallStats;

// The seven reasons in every language the dialog can show: the built-in English texts and each
// lang/<Language>/Uninstall.xml. A reason as sent is the item's text in the user's ANSI code page, and
// for the last item ("Other") the text, ": " and what the user typed.
final class ReasonCatalog
{
    public const ENGLISH = [
        'Unstable',
        'Lacks some functions',
        'Resource hungry',
        'Unfriendly interface',
        'Too expensive',
        'Upgrade version',
        'Other',
    ];
    public const OTHER = 6;
    private const FREE_TEXT_SEPARATOR = ': ';

    /** @param array<string, LanguageFile> $languages folder name => file, English first */
    private function __construct(private readonly array $languages)
    {
    }

    public static function load(string $langDir): self
    {
        $languages = [];
        foreach (glob($langDir . '/*/Uninstall.xml') ?: [] as $path) {
            $file = LanguageFile::load($path);
            if ($file !== null) {
                $languages[basename(dirname($path))] = $file;
            }
        }
        ksort($languages, SORT_STRING);
        return new self(['English' => LanguageFile::english()] + $languages);
    }

    /** @return list<string> */
    public function reasons(string $language): array
    {
        return ($this->languages[$language] ?? LanguageFile::english())->reasons;
    }

    public function match(string $bytes): ReasonMatch
    {
        foreach ($this->languages as $language => $file) {
            $text = TextDecoder::decode($bytes, $file->codePage);
            $index = array_search($text, $file->reasons, true);
            if ($index !== false && $index !== self::OTHER) {
                return new ReasonMatch($index, $language, $file->codePage, $text, '');
            }
            $prefix = $file->reasons[self::OTHER] . self::FREE_TEXT_SEPARATOR;
            if (str_starts_with($text, $prefix)) {
                return new ReasonMatch(self::OTHER, $language, $file->codePage, $text, substr($text, strlen($prefix)));
            }
        }
        return new ReasonMatch(null, null, TextDecoder::FALLBACK, TextDecoder::guess($bytes), '');
    }
}
