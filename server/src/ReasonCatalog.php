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

    // With a cache folder, the files are parsed again only when one of them changed; a report would
    // otherwise pay for parsing every language file.
    public static function load(string $langDir, ?string $cacheDir = null): self
    {
        $paths = glob($langDir . '/*/Uninstall.xml') ?: [];
        $fingerprint = '';
        foreach ($paths as $path) {
            $fingerprint .= $path . ':' . @filemtime($path) . ':' . @filesize($path) . "\n";
        }
        $cacheFile = $cacheDir === null ? null : $cacheDir . '/reasons-' . md5($fingerprint) . '.cache';
        $cached = $cacheFile === null ? false : @file_get_contents($cacheFile);
        if (is_string($cached) && is_array($languages = @unserialize($cached, ['allowed_classes' => false]))) {
            return new self(array_map(static fn (array $l): LanguageFile => new LanguageFile($l[0], $l[1]), $languages));
        }
        $languages = [];
        foreach ($paths as $path) {
            $file = LanguageFile::load($path);
            if ($file !== null) {
                $languages[basename(dirname($path))] = $file;
            }
        }
        ksort($languages, SORT_STRING);
        $catalog = new self(['English' => LanguageFile::english()] + $languages);
        if ($cacheFile !== null) {
            $catalog->save($cacheFile);
        }
        return $catalog;
    }

    /** @return list<string> */
    public function reasons(string $language): array
    {
        return ($this->languages[$language] ?? LanguageFile::english())->reasons;
    }

    private function save(string $cacheFile): void
    {
        $plain = array_map(static fn (LanguageFile $l): array => [$l->codePage, $l->reasons], $this->languages);
        $temporary = $cacheFile . '.' . bin2hex(random_bytes(6));
        if (@file_put_contents($temporary, serialize($plain)) !== false) {
            @rename($temporary, $cacheFile);
        }
        @unlink($temporary);
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
