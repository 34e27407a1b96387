<?php
declare(strict_types=1);

namespace UninstallStats;

// The reasons a shipped language file gives the dialog: lang/<Language>/Uninstall.xml, section
// "Uninstall", form "UninstallMainForm", control "rgReason". Its child nodes, comments included, replace
// the English reasons in order; reasons past the last child stay English, as the dialog shows them.
// Names match without regard to case and "&" marks, like the dialog's translator.
final class LanguageFile
{
    /** @param list<string> $reasons UTF-8, seven entries */
    public function __construct(
        public readonly string $codePage,
        public readonly array $reasons,
    ) {
    }

    public static function english(): self
    {
        return new self(TextDecoder::FALLBACK, ReasonCatalog::ENGLISH);
    }

    // Null when the file has no reasons for the dialog or names a code page this PHP cannot decode.
    public static function load(string $path): ?self
    {
        $bytes = @file_get_contents($path);
        if ($bytes === false) {
            return null;
        }
        $codePage = self::declaredEncoding($bytes);
        if (!TextDecoder::isSupported($codePage)) {
            return null;
        }
        $control = self::reasonControl(self::parse(TextDecoder::decode($bytes, $codePage)));
        if ($control === null) {
            return null;
        }
        $reasons = ReasonCatalog::ENGLISH;
        $i = 0;
        foreach ($control->childNodes as $child) {
            if ($i === count($reasons)) {
                break;
            }
            if ($child instanceof \DOMComment) {
                $reasons[$i++] = $child->data;
            } elseif ($child instanceof \DOMElement) {
                $reasons[$i++] = self::elementText($child);
            }
        }
        return new self($codePage, $reasons);
    }

    private static function declaredEncoding(string $bytes): string
    {
        $declaration = '/^(?:\xEF\xBB\xBF)?\s*<\?xml[^>]*\bencoding\s*=\s*["\']([A-Za-z0-9._-]+)["\']/';
        return preg_match($declaration, $bytes, $m) === 1 ? $m[1] : TextDecoder::FALLBACK;
    }

    // A language file may hold several top-level elements (a Section beside Common), so it is read
    // inside a wrapper element; the declaration goes, since the text is UTF-8 by now.
    private static function parse(string $utf8): ?\DOMElement
    {
        $body = preg_replace('/^(?:\xEF\xBB\xBF)?\s*<\?xml[^>]*\?>/', '', $utf8);
        $document = new \DOMDocument();
        $previous = libxml_use_internal_errors(true);
        $loaded = $document->loadXML("<languageFile>$body</languageFile>", LIBXML_NONET);
        libxml_clear_errors();
        libxml_use_internal_errors($previous);
        return $loaded ? $document->documentElement : null;
    }

    private static function reasonControl(?\DOMElement $root): ?\DOMElement
    {
        $section = self::child($root, 'Section', 'Uninstall');
        $form = self::child($section, 'Form', 'UninstallMainForm');
        return self::child($form, 'Control', 'rgReason');
    }

    private static function child(?\DOMElement $parent, string $element, string $name): ?\DOMElement
    {
        if ($parent === null) {
            return null;
        }
        foreach ($parent->childNodes as $child) {
            if ($child instanceof \DOMElement && strcasecmp($child->tagName, $element) === 0
                && self::sameName(self::nameAttribute($child), $name)) {
                return $child;
            }
        }
        return null;
    }

    private static function nameAttribute(\DOMElement $element): string
    {
        foreach ($element->attributes as $attribute) {
            if (strcasecmp($attribute->name, 'Name') === 0) {
                return $attribute->value;
            }
        }
        return '';
    }

    // An "&" marks the next letter as the accelerator and is dropped; "&&" stands for one "&".
    private static function sameName(string $a, string $b): bool
    {
        $strip = static fn (string $s): string => preg_replace('/&(&?)/', '$1', $s);
        return strcasecmp($strip($a), $strip($b)) === 0;
    }

    // The dialog takes an element's last piece of text, trimmed of blanks and control characters.
    private static function elementText(\DOMElement $element): string
    {
        $text = '';
        foreach ($element->childNodes as $node) {
            if ($node instanceof \DOMText) {
                $trimmed = trim($node->data, "\x00..\x20");
                if ($trimmed !== '') {
                    $text = $trimmed;
                }
            }
        }
        return $text;
    }
}
