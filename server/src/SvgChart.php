<?php
declare(strict_types=1);

namespace UninstallStats;

// Charts as inline SVG drawn here, so the page needs no script and no other site. Every label passes
// through Html::e, whatever a report put into it.
final class SvgChart
{
    private const WIDTH = 640;
    private const ROW = 26;
    private const LABEL_WIDTH = 220;
    private const VALUE_WIDTH = 110;
    private const COLUMN_HEIGHT = 160;
    private const LABEL_SPACING = 76;

    /** @param array<string, int> $values label => count; each bar also shows its share of the total */
    public static function bars(string $title, array $values): string
    {
        $total = array_sum($values);
        $max = max([1, ...array_values($values)]);
        $height = max(1, count($values)) * self::ROW + 8;
        $barSpace = self::WIDTH - self::LABEL_WIDTH - self::VALUE_WIDTH - 16;
        $body = '';
        $y = 4;
        foreach ($values as $label => $count) {
            $width = (int) round($barSpace * $count / $max);
            $share = $total > 0 ? sprintf('%.1f%%', 100 * $count / $total) : '-';
            $textY = $y + 17;
            $body .= sprintf(
                '<text x="%d" y="%d" text-anchor="end">%s</text><rect x="%d" y="%d" width="%d" height="%d" rx="2"/>'
                . '<text x="%d" y="%d" class="value">%s (%s)</text>',
                self::LABEL_WIDTH - 8, $textY, Html::e(self::shorten((string) $label, 32)),
                self::LABEL_WIDTH, $y + 3, $width, self::ROW - 8,
                self::LABEL_WIDTH + $width + 6, $textY, Html::e($count), Html::e($share),
            );
            $y += self::ROW;
        }
        return self::svg($title, $height, $body);
    }

    /** @param array<string, int> $values label => count, drawn left to right as columns */
    public static function columns(string $title, array $values): string
    {
        $count = max(1, count($values));
        $max = max([1, ...array_values($values)]);
        $step = (self::WIDTH - 40) / $count;
        // Labels at least this far apart, so they never run into each other.
        $labelEvery = max(1, (int) ceil(self::LABEL_SPACING / $step));
        $baseline = self::COLUMN_HEIGHT + 20;
        $body = sprintf('<line x1="20" y1="%d" x2="%d" y2="%d" class="axis"/>', $baseline, self::WIDTH - 20, $baseline);
        $i = 0;
        foreach ($values as $label => $value) {
            $height = (int) round(self::COLUMN_HEIGHT * $value / $max);
            $x = 20 + $i * $step;
            $middle = $x + $step / 2;
            $body .= sprintf(
                '<rect x="%.1f" y="%d" width="%.1f" height="%d"><title>%s: %s</title></rect>',
                $x + $step * 0.1, $baseline - $height, $step * 0.8, $height, Html::e((string) $label), Html::e($value),
            );
            if ($value > 0 && $step >= 24) {
                $body .= sprintf('<text x="%.1f" y="%d" text-anchor="middle" class="value">%s</text>', $middle, $baseline - $height - 4, Html::e($value));
            }
            if ($i % $labelEvery === 0) {
                $body .= sprintf('<text x="%.1f" y="%d" text-anchor="middle">%s</text>', $middle, $baseline + 16, Html::e((string) $label));
            }
            ++$i;
        }
        return self::svg($title, $baseline + 24, $body);
    }

    private static function svg(string $title, int $height, string $body): string
    {
        return sprintf(
            '<svg xmlns="http://www.w3.org/2000/svg" class="chart" viewBox="0 0 %d %d" width="%d" height="%d" role="img">'
            . '<title>%s</title>%s</svg>',
            self::WIDTH, $height, self::WIDTH, $height, Html::e($title), $body,
        );
    }

    private static function shorten(string $text, int $length): string
    {
        return mb_strlen($text) > $length ? mb_substr($text, 0, $length - 1) . '…' : $text;
    }
}
