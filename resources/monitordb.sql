-- The monitor database: the poller appends one ResponseTime row per poll and
-- keeps its nodes in Nodes. Tarnvue only reads it. Time is the poll's local
-- wall-clock time as days since 1899-12-30 (the fraction is the time of day).
-- No column is declared NOT NULL: the poller's own files allow nulls, and the
-- reader must cope with them the same way here.
CREATE TABLE Nodes (
    [Node ID]    INTEGER,
    [Node Name]  TEXT,
    [IP Address] TEXT
);

CREATE TABLE ResponseTime (
    [Node ID] INTEGER,
    Time      REAL,
    Response  INTEGER,
    Min       INTEGER,
    Max       INTEGER,
    Loss      INTEGER
);

CREATE INDEX ResponseTimeNodeTime ON ResponseTime ([Node ID], Time);
