<?php
declare(strict_types=1);

namespace UninstallStats;

// A query the endpoint refuses; the message names the field, never its content.
final class InvalidReport extends \InvalidArgumentException
{
}
