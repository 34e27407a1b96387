<?php
declare(strict_types=1);

namespace UninstallStats;

// GET /stat/uninstall.php?[days=N&]prj=..&os=..&reason=..: the client counts the report as delivered
// only when the first line of the reply is "OK", and mails it otherwise. So "OK" is sent once the
// report is on disk, and every other outcome is a non-2xx status whose body does not start with "OK".
final class ReportEndpoint
{
    public function __construct(private readonly Config $config)
    {
    }

    public function respond(string $method, string $queryString, string $clientAddress): Response
    {
        if ($method !== 'GET') {
            return Response::text(405, "Only GET is accepted here.\n", ['Allow' => 'GET']);
        }
        try {
            $query = ReportQuery::parse($queryString);
        } catch (InvalidReport $e) {
            return Response::text(400, 'Bad request: ' . $e->getMessage() . ".\n");
        }
        return Response::guarded(function () use ($query, $clientAddress): Response {
            $catalog = ReasonCatalog::load($this->config->langDir(), $this->config->ensureDataDir());
            $clientHash = hash_hmac('sha256', $clientAddress, $this->config->clientHashKey());
            $report = Report::fromQuery($query, $catalog, $clientHash, time());
            if (!(new ReportStore(Database::open($this->config)))->add($report, $this->config->rateLimit())) {
                return Response::text(429, "Too many reports from this address; please try again later.\n", ['Retry-After' => '60']);
            }
            return Response::text(200, "OK\r\n");
        }, 'The report could not be stored');
    }
}
