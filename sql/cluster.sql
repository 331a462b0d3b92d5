-- What a site whose database runs on a Galera cluster adds to KvBasis, once, on any node:
-- the lock table that keeps one run per download file across the nodes, and a primary key
-- on the staging table, which the cluster needs to replicate deletes of its rows well.
-- The program works with and without the key; it needs the lock table on a cluster.
USE KvBasis;

CREATE TABLE IF NOT EXISTS Kvb999Lck (  -- one row per download file being written
  LckKey CHAR(40) CHARACTER SET latin1 COLLATE latin1_bin NOT NULL,  -- SHA1 of the path
  LckHolder VARCHAR(64) NOT NULL,       -- the run holding it: host, process, random token
  LckExpires DATETIME(3) NOT NULL,      -- another run may take it over from then on
  PRIMARY KEY (LckKey)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

-- Invisible, so that statements naming only TmpUsr and TmpStr work as before. The cluster
-- steps the counter by the number of nodes; 64 bits last for ever at any rate of runs.
ALTER TABLE Kvb999Tmp
  ADD COLUMN IF NOT EXISTS TmpId BIGINT UNSIGNED NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY
  FIRST;

GRANT SELECT, INSERT, UPDATE, DELETE ON KvBasis.Kvb999Lck TO 'vestragen'@'%';
