<?php
declare(strict_types=1);

namespace UninstallStats;

// A setting that cannot be used as given; the collector refuses to run rather than guess.
final class ConfigException extends \RuntimeException
{
}
