-- The monitor database: the poller appends one ResponseTime row per poll and
-- keeps its nodes in Nodes. Tarnvue only reads it. Time is the poll's local
-- wall-clock time as days since 1899-12-30 (the fraction is the time of day).
CREATE TABLE Nodes (
    [Node ID]    INTEGER NOT NULL,
    [Node Name]  TEXT,
    [IP Address] TEXT
);

CREATE TABLE ResponseTime (
    [Node ID] INTEGER NOT NULL,
    Time      REAL    NOT NULL,
    Response  INTEGER NOT NULL,
    Min       INTEGER NOT NULL,
    Max       INTEGER NOT NULL,
    Loss      INTEGER NOT NULL
);

CREATE INDEX ResponseTimeNodeTime ON ResponseTime ([Node ID], Time);
