-- The delivered database, bhodb.mdb. Type names are the Jet ones the layer
-- converts by (INTEGER = long, TEXT = text, YESNO, DATETIME, SINGLE, DOUBLE).
-- Text compares without regard to case, as Jet does: class IDs arrive in
-- upper and lower case alike.

-- The schema's version: a program opening an older file upgrades it step by
-- step to the version it knows (shared/dbupgrade/SchemaVersion.h).
PRAGMA user_version = 1;

CREATE TABLE BHOS (
  clsid    TEXT(38)  COLLATE NOCASE PRIMARY KEY,
  name     TEXT(255) COLLATE NOCASE,
  risk     TEXT(20)  COLLATE NOCASE,
  files    TEXT(255) COLLATE NOCASE,
  comments TEXT(255) COLLATE NOCASE,
  modified INTEGER DEFAULT 0
);

CREATE TABLE Events (
  dtm   INTEGER,
  event TEXT(255) COLLATE NOCASE
);
CREATE INDEX EventsByTime ON Events(dtm);

CREATE TABLE regbk (
  dattm   INTEGER,
  file    TEXT(255) COLLATE NOCASE,
  comment TEXT(255) COLLATE NOCASE
);
CREATE INDEX regbkByTime ON regbk(dattm);

CREATE TABLE problems (
  ID      INTEGER PRIMARY KEY AUTOINCREMENT,
  ptype   TEXT(10)  COLLATE NOCASE,
  rootkey TEXT(255) COLLATE NOCASE,
  subkey  TEXT(255) COLLATE NOCASE,
  problem TEXT(255) COLLATE NOCASE,
  state   INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE spwscan (
  Location TEXT(255) COLLATE NOCASE,
  Action   TEXT(20)  COLLATE NOCASE
);

CREATE TABLE processes (
  pname       TEXT(100) COLLATE NOCASE,
  paltname    TEXT(100) COLLATE NOCASE,
  description TEXT(255) COLLATE NOCASE
);
CREATE INDEX processesByName ON processes(pname);
CREATE INDEX processesByAltName ON processes(paltname);

-- The database password the connection string must carry.
CREATE TABLE dbpassword (password TEXT(20));
INSERT INTO dbpassword VALUES ('418305');
