-- The audit database: one row per event appended by the product's programs,
-- and the error weight table. `When` is ISO text 'YYYY-MM-DD HH:MM:SS' so that
-- text order is time order; `Unattended` is 0 or 1. Text columns compare and
-- sort without regard to letter case (NOCASE, which every SQLite reader
-- knows), and their indexes take the column's collation, so a sort by User
-- still walks its index.
CREATE TABLE IF NOT EXISTS Audit (
    AutoIndex   INTEGER PRIMARY KEY AUTOINCREMENT,
    Level       INTEGER NOT NULL DEFAULT 0,
    Error       INTEGER NOT NULL DEFAULT 0,
    Description TEXT    NOT NULL DEFAULT '' COLLATE NOCASE,
    Application TEXT    NOT NULL DEFAULT '' COLLATE NOCASE,
    [When]      TEXT    NOT NULL,
    User        TEXT    NOT NULL DEFAULT '' COLLATE NOCASE,
    Details     TEXT    NOT NULL DEFAULT '' COLLATE NOCASE,
    Path        TEXT    NOT NULL DEFAULT '' COLLATE NOCASE,
    Unattended  INTEGER NOT NULL DEFAULT 0,
    Response    TEXT    NOT NULL DEFAULT '' COLLATE NOCASE,
    TaskList    TEXT    NOT NULL DEFAULT '' COLLATE NOCASE
);

-- Age filters and the purge compare [When]; the purge also bounds Level.
CREATE INDEX IF NOT EXISTS Audit_When ON Audit([When]);
CREATE INDEX IF NOT EXISTS Audit_Level_When ON Audit(Level, [When]);
-- Heading-click sorts: each index ends in the rowid (AutoIndex), the tie-break
-- of every ordering the viewer builds, so ORDER BY [X], [AutoIndex] walks it.
CREATE INDEX IF NOT EXISTS Audit_Error ON Audit(Error);
CREATE INDEX IF NOT EXISTS Audit_Description ON Audit(Description);
CREATE INDEX IF NOT EXISTS Audit_Application ON Audit(Application);
CREATE INDEX IF NOT EXISTS Audit_User ON Audit(User);

-- Application names match without regard to letter case, as in Audit.
CREATE TABLE IF NOT EXISTS weight (
    error       INTEGER NOT NULL DEFAULT 0,
    application TEXT    NOT NULL DEFAULT '*' COLLATE NOCASE,
    weight      INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX IF NOT EXISTS weight_error_application ON weight(error, application);
