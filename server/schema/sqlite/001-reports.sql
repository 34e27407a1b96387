-- One row per report. Times are seconds since 1970-01-01 UTC; reason_raw keeps the bytes as sent,
-- reason and free_text hold them decoded to UTF-8.
CREATE TABLE reports (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    received_at INTEGER NOT NULL,
    product TEXT NOT NULL,
    os TEXT NOT NULL,
    days INTEGER CHECK (days >= 1),
    reason_index INTEGER CHECK (reason_index BETWEEN 0 AND 6),
    reason_raw BLOB NOT NULL,
    reason TEXT NOT NULL,
    free_text TEXT NOT NULL DEFAULT '',
    language TEXT,
    client_hash TEXT NOT NULL
);
CREATE INDEX reports_received ON reports (received_at);
CREATE INDEX reports_product_received ON reports (product, received_at);
CREATE INDEX reports_client_received ON reports (client_hash, received_at);
