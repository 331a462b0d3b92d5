-- The central schema KvBasis: clients, terminals, readers, zones, badges, locations,
-- texts and the staging table. Other software maintains these tables; VESTRAGEN reads
-- them and writes only Kvb999Tmp. The definitions are this project's own, for tests,
-- the demo site and the benchmark. Status columns (...Sta): 4 or 8 hides a row.
CREATE DATABASE IF NOT EXISTS KvBasis CHARACTER SET latin1 COLLATE latin1_swedish_ci;
USE KvBasis;

CREATE TABLE Kvb112Mnd (                -- clients
  MndLiz INT NOT NULL,
  MndNum INT NOT NULL,
  MndBez VARCHAR(60),
  MndSch VARCHAR(32),                   -- the client's schema
  MndKon INT,                           -- 1: never visited
  MndSta INT,
  PRIMARY KEY (MndLiz, MndNum)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE Kvb115Tfz (                -- terminal serves client
  TfzTrm VARCHAR(20) NOT NULL,
  TfzLiz INT NOT NULL,
  TfzMnd INT NOT NULL,
  TfzSta INT,
  KEY (TfzTrm)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE Kvb301Asw (                -- badges
  AswNum VARCHAR(64) NOT NULL,
  AswGvo DATE,                          -- valid from
  AswGbi DATE,                          -- valid to
  AswPnr VARCHAR(16),                   -- person
  AswBkl VARCHAR(8),                    -- access class, 0: none of its own
  AswGrp VARCHAR(8),                    -- badge group
  AswAan VARCHAR(16),
  AswAtp INT,                           -- badge type
  ASWLIZ INT NOT NULL,
  ASWMND INT NOT NULL,
  AswSta INT,
  KEY (ASWLIZ, ASWMND),
  KEY (AswNum)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE Kvb113Awv (                -- badge locations
  AwvNum VARCHAR(64) NOT NULL,          -- badge
  AwvSto VARCHAR(12),                   -- location
  AwvSta INT,
  KEY (AwvNum)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE Kvb113Sto (                -- locations
  StoNum VARCHAR(12) NOT NULL,
  StoKtx VARCHAR(20),                   -- short text
  StoBez VARCHAR(60),
  StoSta INT,
  KEY (StoNum)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE Kvb114Tsm (                -- terminals
  TsmNam VARCHAR(20) NOT NULL,
  TSMTYP VARCHAR(16),                   -- terminal type, such as 7598-002
  TSMSAL VARCHAR(16),                   -- balance display list
  TsmSpr INT,                           -- language of the texts
  TsmSta INT,
  KEY (TsmNam)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE Kvb401Zls (                -- readers
  ZlsTrm VARCHAR(20) NOT NULL,          -- terminal
  ZlsLes INT,                           -- reader number
  ZlsZko VARCHAR(12),                   -- zone
  ZlsSta INT,
  KEY (ZlsTrm, ZlsLes)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE Kvb404Zbr (                -- access class authorised in a zone
  ZbrZbk VARCHAR(8),                    -- access class
  ZbrZko VARCHAR(12),                   -- zone
  ZbrZtb INT,                           -- authorisation type
  ZbrSta INT,
  KEY (ZbrZbk, ZbrZko)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE G2101SalLst (              -- lines of a balance display list
  TsaSal VARCHAR(16) NOT NULL,          -- list
  TsaLfd INT,                           -- line, 1 to 8
  TsaSpl INT,                           -- layout mark
  TsaAnz INT,                           -- label text (FtxWhl of text number 220001)
  TsaAus INT,                           -- display code (FtxWhl of text number 220002)
  TsaSta INT,
  KEY (TsaSal, TsaLfd)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE Kvb102Whl (                -- texts by number, choice and language
  FtxNumSpr INT NOT NULL,
  FtxWhl INT NOT NULL,
  FtxSpr INT NOT NULL,
  FtxT50 VARCHAR(50),
  FTXT10 VARCHAR(10),
  KEY (FtxNumSpr, FtxWhl, FtxSpr)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

-- The staging table: one row per record of a run, keyed by the download file's path.
-- latin1_bin on both columns: keys are compared byte for byte (paths that differ only in
-- letter case are different files), and the download file is ordered by the bytes of the
-- record texts, whatever the server's default collation is.
CREATE TABLE Kvb999Tmp (
  TmpUsr VARCHAR(159) CHARACTER SET latin1 COLLATE latin1_bin NOT NULL,
  TmpStr VARCHAR(512) CHARACTER SET latin1 COLLATE latin1_bin,
  KEY (TmpUsr, TmpStr)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;
