#include "Schema.h"

#include "Database.h"

#include <sqlite3.h>

namespace tavsms::Schema {

namespace {

// Version 1: the tables, their defaults and the fixed rows. Yes/no columns
// hold 0/1; date-time columns hold the stored text form (yyyy-MM-dd HH:mm:ss).
const char *const kVersion1 = R"SQL(
CREATE TABLE q_logs (
    id                 INTEGER PRIMARY KEY AUTOINCREMENT,
    dated              TEXT,
    com_port           TEXT,
    outgoing_mobileNo  TEXT,
    outgoing_message   TEXT,
    delivery_time      TEXT,
    status             TEXT DEFAULT 'Pending',
    retry_no           INTEGER NOT NULL DEFAULT 0,
    comments           TEXT,
    sent_at            TEXT,
    sent_from          TEXT
);
-- The port senders' pick: pending rows of one routing value, fewest retries first.
CREATE INDEX q_logs_pending ON q_logs (com_port, retry_no, id) WHERE status = 'Pending';
-- Queue count (by status) and delivered counts per connection and period.
CREATE INDEX q_logs_status ON q_logs (status, sent_from, sent_at);

CREATE TABLE incoming_logs (
    id                 INTEGER PRIMARY KEY AUTOINCREMENT,
    dated              TEXT,
    com_port           TEXT,
    incoming_date      TEXT,
    incoming_mobileNo  TEXT,
    incoming_message   TEXT
);
CREATE INDEX incoming_logs_sender ON incoming_logs (incoming_mobileNo, incoming_date);

CREATE TABLE groups (
    id          INTEGER PRIMARY KEY AUTOINCREMENT,
    dated       TEXT,
    group_name  TEXT
);

CREATE TABLE groups_mem (
    id                    INTEGER PRIMARY KEY AUTOINCREMENT,
    group_name            INTEGER,
    group_mem_name        TEXT,
    group_mem_mobile      TEXT,
    group_mem_email       TEXT,
    group_mem_subs        INTEGER NOT NULL DEFAULT 0,
    group_mem_subs_start  TEXT,
    group_mem_subs_end    TEXT
);
CREATE INDEX groups_mem_group ON groups_mem (group_name, group_mem_mobile);

CREATE TABLE templates (
    id              INTEGER PRIMARY KEY AUTOINCREMENT,
    template_title  TEXT,
    template_text   TEXT
);

CREATE TABLE config_ports (
    softwarePortNo  TEXT PRIMARY KEY,
    portActive      INTEGER NOT NULL DEFAULT 0,
    systemPortNo    TEXT NOT NULL DEFAULT '',
    deviceType      TEXT NOT NULL DEFAULT '',
    mobileOperator  TEXT NOT NULL DEFAULT '',
    allowTwoWay     INTEGER NOT NULL DEFAULT 0,
    allowRouting    INTEGER NOT NULL DEFAULT 0,
    blockIncoming   INTEGER NOT NULL DEFAULT 0,
    remarks         TEXT NOT NULL DEFAULT ''
);
INSERT INTO config_ports (softwarePortNo) VALUES ('COM1'), ('COM2'), ('COM3'), ('COM4'), ('COM5');

CREATE TABLE config_InternetSMS (
    TAVusername  TEXT,
    TAVpassword  TEXT,
    cdma_id      TEXT,
    gsm_id       TEXT,
    TAVisActive  INTEGER NOT NULL DEFAULT 0
);
INSERT INTO config_InternetSMS (TAVusername, TAVpassword, cdma_id, gsm_id, TAVisActive)
VALUES ('zeta', 'zeta', 'zeta', 'zeta', 0);

CREATE TABLE auto_reply (
    id                   INTEGER PRIMARY KEY AUTOINCREMENT,
    dated                TEXT,
    auto_reply_keyword   TEXT,
    com_port             TEXT,
    auto_reply_response  TEXT,
    group_add            INTEGER NOT NULL DEFAULT 0,
    group_delete         INTEGER NOT NULL DEFAULT 0,
    group_name           TEXT,
    auto_reply_action    TEXT,
    auto_reply_push_url  TEXT
);
CREATE INDEX auto_reply_port ON auto_reply (com_port, auto_reply_keyword);
)SQL";

// Version 2: where the Internet channels reach and listen. One row; the
// hosts may carry ":port", so a test can point them at a local server.
const char *const kVersion2 = R"SQL(
CREATE TABLE config_network (
    gatewayHost   TEXT NOT NULL DEFAULT 'gateway.tavsms.com',
    updateHost    TEXT NOT NULL DEFAULT 'www.tavsms.com',
    productSite   TEXT NOT NULL DEFAULT 'www.tavsms.com',
    listenerPort  INTEGER NOT NULL DEFAULT 8081
);
INSERT INTO config_network DEFAULT VALUES;
)SQL";

// Version 3: the queue view and the message flow statistics.
//  - The queue view lists the pending rows in queue order a page at a time;
//    q_logs_pending_order keeps each page an index range however long the
//    log grows.
//  - The statistics count delivered rows per connection over periods as
//    long as the whole log. q_logs_delivered_days holds those counts per
//    connection and day of sent_at (NULLs kept as ''), kept by the triggers
//    below in the same transaction as the change of the row, so whole days
//    are read from it and only the partial days at a period's ends from
//    q_logs itself. The triggers use no conflict clause: an outer
//    statement's clause would override it. There is no insert trigger:
//    messages enter the queue "Pending" and become "Delivered" by an update,
//    and under SQLCipher any row trigger on INSERT made queueing four times
//    slower (bench_queue: 0.9 s against 5 s for 100,000 rows).
const char *const kVersion3 = R"SQL(
CREATE INDEX q_logs_pending_order ON q_logs (id) WHERE status = 'Pending';

CREATE TABLE q_logs_delivered_days (
    sent_from  TEXT NOT NULL,
    day        TEXT NOT NULL,
    delivered  INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (sent_from, day)
);
INSERT INTO q_logs_delivered_days (sent_from, day, delivered)
SELECT coalesce(sent_from, ''), coalesce(substr(sent_at, 1, 10), ''), count(*)
FROM q_logs WHERE status = 'Delivered' GROUP BY 1, 2;

CREATE TRIGGER q_logs_delivered_delete AFTER DELETE ON q_logs WHEN old.status = 'Delivered'
BEGIN
    UPDATE q_logs_delivered_days SET delivered = delivered - 1
    WHERE sent_from = coalesce(old.sent_from, '') AND day = coalesce(substr(old.sent_at, 1, 10), '');
END;

CREATE TRIGGER q_logs_delivered_update AFTER UPDATE OF status, sent_from, sent_at ON q_logs
WHEN old.status = 'Delivered' OR new.status = 'Delivered'
BEGIN
    UPDATE q_logs_delivered_days SET delivered = delivered - 1
    WHERE old.status = 'Delivered'
      AND sent_from = coalesce(old.sent_from, '') AND day = coalesce(substr(old.sent_at, 1, 10), '');
    INSERT INTO q_logs_delivered_days (sent_from, day)
    SELECT coalesce(new.sent_from, ''), coalesce(substr(new.sent_at, 1, 10), '')
    WHERE new.status = 'Delivered'
      AND NOT EXISTS (SELECT 1 FROM q_logs_delivered_days
                      WHERE sent_from = coalesce(new.sent_from, '') AND day = coalesce(substr(new.sent_at, 1, 10), ''));
    UPDATE q_logs_delivered_days SET delivered = delivered + 1
    WHERE new.status = 'Delivered'
      AND sent_from = coalesce(new.sent_from, '') AND day = coalesce(substr(new.sent_at, 1, 10), '');
END;
)SQL";

// Version 4:
//  - config_network: the address the listener binds ('' = every interface),
//    the client networks it serves (comma-separated CIDR blocks; '' serves
//    nobody but loopback) and how many gateway requests may be in flight.
//  - config_ports.pduMode: the port sends and reads PDU mode (Unicode and
//    long messages); off for every existing port.
//  - q_logs.next_attempt: a row the gateway refused on its own waits until
//    then (stored date-time text), so the rows behind it keep moving.
const char *const kVersion4 = R"SQL(
ALTER TABLE config_network ADD COLUMN listenAddress TEXT NOT NULL DEFAULT '';
ALTER TABLE config_network ADD COLUMN allowedNetworks TEXT NOT NULL
    DEFAULT '127.0.0.0/8, ::1/128, 10.0.0.0/8, 172.16.0.0/12, 192.168.0.0/16, fc00::/7, fe80::/10';
ALTER TABLE config_network ADD COLUMN parallelRequests INTEGER NOT NULL DEFAULT 8;
ALTER TABLE config_ports ADD COLUMN pduMode INTEGER NOT NULL DEFAULT 0;
ALTER TABLE q_logs ADD COLUMN next_attempt TEXT;
)SQL";

// Version 5: the daily counts take rows written already "Delivered" (a log
// restored from a copy, another program's rows, a repaired file) and are
// counted afresh once, so a log that drifted before is right again. The
// queue's own inserts say OR FAIL, which spares them the statement journal
// that any insert trigger otherwise costs (five times slower under
// SQLCipher); the trigger itself fires for delivered rows only.
const char *const kVersion5 = R"SQL(
CREATE TRIGGER q_logs_delivered_insert AFTER INSERT ON q_logs WHEN new.status = 'Delivered'
BEGIN
    INSERT INTO q_logs_delivered_days (sent_from, day)
    SELECT coalesce(new.sent_from, ''), coalesce(substr(new.sent_at, 1, 10), '')
    WHERE NOT EXISTS (SELECT 1 FROM q_logs_delivered_days
                      WHERE sent_from = coalesce(new.sent_from, '') AND day = coalesce(substr(new.sent_at, 1, 10), ''));
    UPDATE q_logs_delivered_days SET delivered = delivered + 1
    WHERE sent_from = coalesce(new.sent_from, '') AND day = coalesce(substr(new.sent_at, 1, 10), '');
END;

DELETE FROM q_logs_delivered_days;
INSERT INTO q_logs_delivered_days (sent_from, day, delivered)
SELECT coalesce(sent_from, ''), coalesce(substr(sent_at, 1, 10), ''), count(*)
FROM q_logs WHERE status = 'Delivered' GROUP BY 1, 2;
)SQL";

// Version 6: several workstations on one shared store.
//  - q_logs.workstation: the workstation whose port a "COMn" row is for
//    ('' for "Auto" and gateway rows, which any workstation may send, and
//    on the local file, which has one workstation). claimed_by and
//    claimed_at say which workstation took a "Sending" row and when.
//  - config_ports and config_network hold a set of rows per workstation.
const char *const kVersion6 = R"SQL(
ALTER TABLE q_logs ADD COLUMN workstation TEXT NOT NULL DEFAULT '';
ALTER TABLE q_logs ADD COLUMN claimed_by TEXT NOT NULL DEFAULT '';
ALTER TABLE q_logs ADD COLUMN claimed_at TEXT;
ALTER TABLE config_ports ADD COLUMN workstation TEXT NOT NULL DEFAULT '';
ALTER TABLE config_network ADD COLUMN workstation TEXT NOT NULL DEFAULT '';
)SQL";

// The same versions for a PostgreSQL store. Date-times are timestamptz; yes/no
// columns stay integers 0/1, as the owners read and write them.
const char *const kPgVersion1 = R"SQL(
CREATE TABLE q_logs (
    id                 bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    dated              timestamptz,
    com_port           text,
    outgoing_mobileNo  text,
    outgoing_message   text,
    delivery_time      timestamptz,
    status             text DEFAULT 'Pending',
    retry_no           integer NOT NULL DEFAULT 0,
    comments           text,
    sent_at            timestamptz,
    sent_from          text
);
CREATE INDEX q_logs_pending ON q_logs (com_port, retry_no, id) WHERE status = 'Pending';
CREATE INDEX q_logs_status ON q_logs (status, sent_from, sent_at);

CREATE TABLE incoming_logs (
    id                 bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    dated              timestamptz,
    com_port           text,
    incoming_date      timestamptz,
    incoming_mobileNo  text,
    incoming_message   text
);
CREATE INDEX incoming_logs_sender ON incoming_logs (incoming_mobileNo, incoming_date);

CREATE TABLE groups (
    id          bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    dated       timestamptz,
    group_name  text
);

CREATE TABLE groups_mem (
    id                    bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    group_name            bigint,
    group_mem_name        text,
    group_mem_mobile      text,
    group_mem_email       text,
    group_mem_subs        integer NOT NULL DEFAULT 0,
    group_mem_subs_start  timestamptz,
    group_mem_subs_end    timestamptz
);
CREATE INDEX groups_mem_group ON groups_mem (group_name, group_mem_mobile);

CREATE TABLE templates (
    id              bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    template_title  text,
    template_text   text
);

CREATE TABLE config_ports (
    softwarePortNo  text PRIMARY KEY,
    portActive      integer NOT NULL DEFAULT 0,
    systemPortNo    text NOT NULL DEFAULT '',
    deviceType      text NOT NULL DEFAULT '',
    mobileOperator  text NOT NULL DEFAULT '',
    allowTwoWay     integer NOT NULL DEFAULT 0,
    allowRouting    integer NOT NULL DEFAULT 0,
    blockIncoming   integer NOT NULL DEFAULT 0,
    remarks         text NOT NULL DEFAULT ''
);
INSERT INTO config_ports (softwarePortNo) VALUES ('COM1'), ('COM2'), ('COM3'), ('COM4'), ('COM5');

CREATE TABLE config_InternetSMS (
    TAVusername  text,
    TAVpassword  text,
    cdma_id      text,
    gsm_id       text,
    TAVisActive  integer NOT NULL DEFAULT 0
);
INSERT INTO config_InternetSMS (TAVusername, TAVpassword, cdma_id, gsm_id, TAVisActive)
VALUES ('zeta', 'zeta', 'zeta', 'zeta', 0);

CREATE TABLE auto_reply (
    id                   bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    dated                timestamptz,
    auto_reply_keyword   text,
    com_port             text,
    auto_reply_response  text,
    group_add            integer NOT NULL DEFAULT 0,
    group_delete         integer NOT NULL DEFAULT 0,
    group_name           text,
    auto_reply_action    text,
    auto_reply_push_url  text
);
CREATE INDEX auto_reply_port ON auto_reply (com_port, auto_reply_keyword);
)SQL";

const char *const kPgVersion2 = R"SQL(
CREATE TABLE config_network (
    gatewayHost   text NOT NULL DEFAULT 'gateway.tavsms.com',
    updateHost    text NOT NULL DEFAULT 'www.tavsms.com',
    productSite   text NOT NULL DEFAULT 'www.tavsms.com',
    listenerPort  integer NOT NULL DEFAULT 8081
);
INSERT INTO config_network DEFAULT VALUES;
)SQL";

// The daily counts are kept by one trigger function. A day is the date of
// sent_at in the writing session's time zone (the workstation's own).
const char *const kPgVersion3 = R"SQL(
CREATE INDEX q_logs_pending_order ON q_logs (id) WHERE status = 'Pending';

CREATE TABLE q_logs_delivered_days (
    sent_from  text NOT NULL,
    day        text NOT NULL,
    delivered  bigint NOT NULL DEFAULT 0,
    PRIMARY KEY (sent_from, day)
);
INSERT INTO q_logs_delivered_days (sent_from, day, delivered)
SELECT coalesce(sent_from, ''), coalesce(to_char(sent_at, 'YYYY-MM-DD'), ''), count(*)
FROM q_logs WHERE status = 'Delivered' GROUP BY 1, 2;

CREATE FUNCTION q_logs_delivered_count() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP IN ('UPDATE', 'DELETE') AND OLD.status = 'Delivered' THEN
        UPDATE q_logs_delivered_days SET delivered = delivered - 1
        WHERE sent_from = coalesce(OLD.sent_from, '') AND day = coalesce(to_char(OLD.sent_at, 'YYYY-MM-DD'), '');
    END IF;
    IF TG_OP IN ('UPDATE', 'INSERT') AND NEW.status = 'Delivered' THEN
        INSERT INTO q_logs_delivered_days AS d (sent_from, day, delivered)
        VALUES (coalesce(NEW.sent_from, ''), coalesce(to_char(NEW.sent_at, 'YYYY-MM-DD'), ''), 1)
        ON CONFLICT (sent_from, day) DO UPDATE SET delivered = d.delivered + 1;
    END IF;
    RETURN NULL;
END
$$;
CREATE TRIGGER q_logs_delivered_delete AFTER DELETE ON q_logs FOR EACH ROW
    WHEN (OLD.status = 'Delivered') EXECUTE FUNCTION q_logs_delivered_count();
CREATE TRIGGER q_logs_delivered_update AFTER UPDATE OF status, sent_from, sent_at ON q_logs FOR EACH ROW
    WHEN (OLD.status = 'Delivered' OR NEW.status = 'Delivered') EXECUTE FUNCTION q_logs_delivered_count();
)SQL";

const char *const kPgVersion4 = R"SQL(
ALTER TABLE config_network ADD COLUMN listenAddress text NOT NULL DEFAULT '';
ALTER TABLE config_network ADD COLUMN allowedNetworks text NOT NULL
    DEFAULT '127.0.0.0/8, ::1/128, 10.0.0.0/8, 172.16.0.0/12, 192.168.0.0/16, fc00::/7, fe80::/10';
ALTER TABLE config_network ADD COLUMN parallelRequests integer NOT NULL DEFAULT 8;
ALTER TABLE config_ports ADD COLUMN pduMode integer NOT NULL DEFAULT 0;
ALTER TABLE q_logs ADD COLUMN next_attempt timestamptz;
)SQL";

const char *const kPgVersion5 = R"SQL(
CREATE TRIGGER q_logs_delivered_insert AFTER INSERT ON q_logs FOR EACH ROW
    WHEN (NEW.status = 'Delivered') EXECUTE FUNCTION q_logs_delivered_count();
DELETE FROM q_logs_delivered_days;
INSERT INTO q_logs_delivered_days (sent_from, day, delivered)
SELECT coalesce(sent_from, ''), coalesce(to_char(sent_at, 'YYYY-MM-DD'), ''), count(*)
FROM q_logs WHERE status = 'Delivered' GROUP BY 1, 2;
)SQL";

// The senders' claims look for a route's pending rows of one workstation,
// and a lease running out is found through the "Sending" rows' claim times.
// The daily counts are kept per workstation that claimed the row (readers
// add them up): with one row per connection and day, every workstation's
// delivery would wait for the one before it to reach the disk. A count
// taken back goes to the row's claimer of the moment, as an upsert, so the
// sums stay right whoever it is.
const char *const kPgVersion6 = R"SQL(
CREATE TABLE workstations (
    name        text PRIMARY KEY,
    host        text NOT NULL DEFAULT '',
    started_at  timestamptz
);
ALTER TABLE q_logs ADD COLUMN workstation text NOT NULL DEFAULT '';
ALTER TABLE q_logs ADD COLUMN claimed_by text NOT NULL DEFAULT '';
ALTER TABLE q_logs ADD COLUMN claimed_at timestamptz;
DROP INDEX q_logs_pending;
CREATE INDEX q_logs_pending ON q_logs (com_port, workstation, retry_no, id) WHERE status = 'Pending';
CREATE INDEX q_logs_claimed ON q_logs (claimed_at) WHERE status = 'Sending';
ALTER TABLE config_ports ADD COLUMN workstation text NOT NULL DEFAULT '';
ALTER TABLE config_ports DROP CONSTRAINT config_ports_pkey;
ALTER TABLE config_ports ADD PRIMARY KEY (workstation, softwarePortNo);
ALTER TABLE config_network ADD COLUMN workstation text NOT NULL DEFAULT '';
ALTER TABLE config_network ADD PRIMARY KEY (workstation);
ALTER TABLE q_logs_delivered_days ADD COLUMN workstation text NOT NULL DEFAULT '';
ALTER TABLE q_logs_delivered_days DROP CONSTRAINT q_logs_delivered_days_pkey;
ALTER TABLE q_logs_delivered_days ADD PRIMARY KEY (sent_from, day, workstation);
CREATE OR REPLACE FUNCTION q_logs_delivered_count() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF TG_OP IN ('UPDATE', 'DELETE') AND OLD.status = 'Delivered' THEN
        INSERT INTO q_logs_delivered_days AS d (sent_from, day, workstation, delivered)
        VALUES (coalesce(OLD.sent_from, ''), coalesce(to_char(OLD.sent_at, 'YYYY-MM-DD'), ''), OLD.claimed_by, -1)
        ON CONFLICT (sent_from, day, workstation) DO UPDATE SET delivered = d.delivered - 1;
    END IF;
    IF TG_OP IN ('UPDATE', 'INSERT') AND NEW.status = 'Delivered' THEN
        INSERT INTO q_logs_delivered_days AS d (sent_from, day, workstation, delivered)
        VALUES (coalesce(NEW.sent_from, ''), coalesce(to_char(NEW.sent_at, 'YYYY-MM-DD'), ''), NEW.claimed_by, 1)
        ON CONFLICT (sent_from, day, workstation) DO UPDATE SET delivered = d.delivered + 1;
    END IF;
    RETURN NULL;
END
$$;
)SQL";

// Version 7: proof of delivery.
//  - config_ports.deliveryReports: the port asks the network for a status
//    report of every part it sends (GSM only).
//  - delivery_parts: one line per part a port handed over, with the message
//    reference the device gave it (+CMGS: <mr>), matched against status
//    reports by port, reference and the recipient's last ten digits
//    (recipient_key), the newest awaiting part first. state: 0 awaiting,
//    1 confirmed, 2 failed; status_code is the report's TP-ST.
//  - delivery_messages: one line per q_logs row sent with reports asked
//    for, summing its parts, so that the views and the counts read one row
//    per message. state: 'Awaiting', 'Confirmed' or 'Failed'.
//  - delivery_unmatched: reports that matched no part, kept and counted.
// workstation is '' until the program runs on more than one.
const char *const kVersion7 = R"SQL(
ALTER TABLE config_ports ADD COLUMN deliveryReports INTEGER NOT NULL DEFAULT 0;

CREATE TABLE delivery_parts (
    id             INTEGER PRIMARY KEY,
    q_log_id       INTEGER NOT NULL,
    port           TEXT NOT NULL,
    workstation    TEXT NOT NULL DEFAULT '',
    recipient      TEXT NOT NULL,
    recipient_key  TEXT NOT NULL,
    reference      INTEGER NOT NULL,
    part_no        INTEGER NOT NULL,
    parts          INTEGER NOT NULL,
    sent_at        TEXT NOT NULL,
    state          INTEGER NOT NULL DEFAULT 0,
    status_code    INTEGER,
    reported_at    TEXT
);
CREATE INDEX delivery_parts_match ON delivery_parts (port, reference, recipient_key, sent_at);
CREATE INDEX delivery_parts_message ON delivery_parts (q_log_id);

CREATE TABLE delivery_messages (
    q_log_id      INTEGER PRIMARY KEY,
    port          TEXT NOT NULL,
    workstation   TEXT NOT NULL DEFAULT '',
    parts         INTEGER NOT NULL,
    confirmed     INTEGER NOT NULL DEFAULT 0,
    state         TEXT NOT NULL DEFAULT 'Awaiting',
    status_code   INTEGER,
    status_text   TEXT,
    sent_at       TEXT NOT NULL,
    settled_at    TEXT
);
CREATE INDEX delivery_messages_state ON delivery_messages (state, port, sent_at);
CREATE INDEX delivery_messages_sent ON delivery_messages (sent_at);

CREATE TABLE delivery_unmatched (
    id           INTEGER PRIMARY KEY,
    port         TEXT NOT NULL,
    workstation  TEXT NOT NULL DEFAULT '',
    reference    INTEGER NOT NULL,
    recipient    TEXT NOT NULL,
    status_code  INTEGER NOT NULL,
    received_at  TEXT NOT NULL
);
)SQL";

// Version 7 on the shared store: the same tables, date-times as timestamptz.
const char *const kPgVersion7 = R"SQL(
ALTER TABLE config_ports ADD COLUMN deliveryReports integer NOT NULL DEFAULT 0;

CREATE TABLE delivery_parts (
    id             bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    q_log_id       bigint NOT NULL,
    port           text NOT NULL,
    workstation    text NOT NULL DEFAULT '',
    recipient      text NOT NULL,
    recipient_key  text NOT NULL,
    reference      integer NOT NULL,
    part_no        integer NOT NULL,
    parts          integer NOT NULL,
    sent_at        timestamptz NOT NULL,
    state          integer NOT NULL DEFAULT 0,
    status_code    integer,
    reported_at    timestamptz
);
CREATE INDEX delivery_parts_match ON delivery_parts (port, reference, recipient_key, sent_at);
CREATE INDEX delivery_parts_message ON delivery_parts (q_log_id);

CREATE TABLE delivery_messages (
    q_log_id      bigint PRIMARY KEY,
    port          text NOT NULL,
    workstation   text NOT NULL DEFAULT '',
    parts         integer NOT NULL,
    confirmed     integer NOT NULL DEFAULT 0,
    state         text NOT NULL DEFAULT 'Awaiting',
    status_code   integer,
    status_text   text,
    sent_at       timestamptz NOT NULL,
    settled_at    timestamptz
);
CREATE INDEX delivery_messages_state ON delivery_messages (state, port, sent_at);
CREATE INDEX delivery_messages_sent ON delivery_messages (sent_at);

CREATE TABLE delivery_unmatched (
    id           bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    port         text NOT NULL,
    workstation  text NOT NULL DEFAULT '',
    reference    integer NOT NULL,
    recipient    text NOT NULL,
    status_code  integer NOT NULL,
    received_at  timestamptz NOT NULL
);
)SQL";

struct Step
{
    int version;
    const char *sqlite;
    const char *postgres;
};

// Later versions append a step here; never edit a step that has shipped.
const Step kSteps[] = {
    {1, kVersion1, kPgVersion1},
    {2, kVersion2, kPgVersion2},
    {3, kVersion3, kPgVersion3},
    {4, kVersion4, kPgVersion4},
    {5, kVersion5, kPgVersion5},
    {6, kVersion6, kPgVersion6},
    {7, kVersion7, kPgVersion7},
};

// Two workstations starting together on a new shared store: one creates the
// tables while the other waits on this lock, then finds them made.
constexpr const char *kUpgradeLock = "SELECT pg_advisory_xact_lock(4724720)";

int pgVersion(Database &db)
{
    if (db.scalar(QStringLiteral("SELECT to_regclass('schema_version') IS NOT NULL")).toLongLong() == 0)
        return 0;
    return int(db.scalar(QStringLiteral("SELECT max(version) FROM schema_version")).toLongLong());
}

void upgradePg(Database &db, int targetVersion)
{
    for (const Step &step : kSteps) {
        if (step.version > targetVersion)
            break;
        Transaction tx(db);
        db.scalar(QString::fromLatin1(kUpgradeLock));
        const int current = pgVersion(db);
        if (current == 0 && step.version == 1
            && db.scalar(QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = current_schema()"))
                       .toLongLong()
                > 0)
            throw DbError(QStringLiteral("%1 is not a TAVSMS database: it holds tables of another program.")
                              .arg(db.path()),
                          SQLITE_NOTADB);
        if (current > kCurrentVersion)
            throw DbError(QStringLiteral("The shared database %1 was made by a newer TAVSMS (schema version %2, "
                                         "this program knows up to %3).")
                              .arg(db.path())
                              .arg(current)
                              .arg(kCurrentVersion),
                          SQLITE_MISMATCH);
        if (step.version <= current)
            continue;
        if (current == 0)
            db.execScript(QStringLiteral("CREATE TABLE schema_version (version integer NOT NULL)"));
        db.execScript(QString::fromUtf8(step.postgres));
        db.exec(QStringLiteral("DELETE FROM schema_version"));
        db.exec(QStringLiteral("INSERT INTO schema_version (version) VALUES (?)"), {step.version});
        tx.commit();
    }
}

} // namespace

int version(Database &db)
{
    if (db.kind() == Database::Kind::Postgres)
        return pgVersion(db);
    return int(db.scalar(QStringLiteral("PRAGMA user_version")).toLongLong());
}

void upgrade(Database &db, int targetVersion)
{
    if (db.kind() == Database::Kind::Postgres) {
        upgradePg(db, targetVersion);
        return;
    }
    const int current = version(db);
    // A keyed file with tables but no version of ours belongs to something
    // else: refuse it before anything (even the journal mode) is written.
    if (current == 0 && db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master")).toLongLong() > 0)
        throw DbError(QStringLiteral("%1 is not a TAVSMS database.").arg(db.path()), SQLITE_NOTADB);
    if (current > kCurrentVersion)
        throw DbError(QStringLiteral("The database file %1 was made by a newer TAVSMS (schema version %2, "
                                     "this program knows up to %3).")
                          .arg(db.path())
                          .arg(current)
                          .arg(kCurrentVersion),
                      SQLITE_MISMATCH);

    // WAL lets the screens read while a sender writes; NORMAL sync is durable
    // across a program crash and fast enough for bulk queueing. Recursive
    // triggers make a REPLACE that removes a delivered row run its delete
    // trigger, so the daily counts follow it too.
    db.execScript(QStringLiteral("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA recursive_triggers=ON;"));

    for (const Step &step : kSteps) {
        if (step.version <= current || step.version > targetVersion)
            continue;
        Transaction tx(db);
        db.execScript(QString::fromUtf8(step.sqlite));
        db.execScript(QStringLiteral("PRAGMA user_version = %1").arg(step.version));
        tx.commit();
    }
}

} // namespace tavsms::Schema
