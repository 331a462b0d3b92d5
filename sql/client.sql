-- The tables of one client schema. Load with the client schema as the current database
-- (mariadb SCHEMA < sql/client.sql). Status columns (...Sta): 4 or 8 hides a row.

CREATE TABLE Kvb300Pnr (                -- persons
  PNRNUM VARCHAR(16) NOT NULL,
  PnrNam VARCHAR(60),
  PnrSpr INT,                           -- language
  PnrSal VARCHAR(16),                   -- the person's own balance display list
  PnrSta INT,
  KEY (PNRNUM)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE Kvb408Bzu (                -- access class assignments
  BzuZau VARCHAR(8),                    -- to a badge group
  BzuKst VARCHAR(32),                   -- to a cost centre
  BzuVks VARCHAR(32),                   -- to a cost-centre group
  BzuAbt VARCHAR(16),                   -- to a department
  BzuVab VARCHAR(16),                   -- to a department list
  BzuAkr VARCHAR(12),                   -- to persons with this entry (Kvb310Bsv)
  BzuBkl VARCHAR(8),                    -- the access class
  BzuGvo DATE,
  BzuGbi DATE,
  BzuSta INT,
  KEY (BzuZau), KEY (BzuKst), KEY (BzuVks), KEY (BzuAbt), KEY (BzuVab), KEY (BzuAkr)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE Kvb311Zuo (                -- a person's cost centre and department
  ZuoPnr VARCHAR(16) NOT NULL,
  ZuoKst VARCHAR(32),
  ZuoAbt VARCHAR(16),
  ZuoGvo DATE,
  ZuoGbi DATE,
  ZuoSta INT,
  KEY (ZuoPnr)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE O1003Kststelle (           -- cost centres
  KstNum VARCHAR(32) NOT NULL,
  KstVws VARCHAR(32),                   -- cost-centre group
  KstBez VARCHAR(60),
  KstSta INT,
  KEY (KstNum)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE G1102AbtLst (              -- departments in department lists
  AblAbt VARCHAR(16) NOT NULL,
  AblVab VARCHAR(16),
  AblSta INT,
  KEY (AblAbt)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE Kvb310Bsv (                -- a person's entries
  BsvPnr VARCHAR(16) NOT NULL,
  BsvAkr VARCHAR(12),
  BsvGvo DATE,
  BsvGbi DATE,
  BsvSta INT,
  KEY (BsvPnr)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE Kvb320Tgb (                -- daily accounts, in minutes
  TGBPNR VARCHAR(16) NOT NULL,
  TGBZTR INT,
  TGBDTM DATE,
  TGBVT1 DECIMAL(9,2), TGBVT2 DECIMAL(9,2), TGBVT3 DECIMAL(9,2), TGBVT4 DECIMAL(9,2),
  TGBVT5 DECIMAL(9,2), TGBVT6 DECIMAL(9,2), TGBVT7 DECIMAL(9,2),
  TGBSA1 DECIMAL(9,2), TGBSA2 DECIMAL(9,2), TGBSA3 DECIMAL(9,2), TGBSA4 DECIMAL(9,2),
  TGBSA5 DECIMAL(9,2), TGBSA6 DECIMAL(9,2), TGBSA7 DECIMAL(9,2),
  KEY (TGBPNR, TGBDTM)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE Kvb332Utg (                -- vacation days
  UTGPNR VARCHAR(16) NOT NULL,
  UtgDtm DATE,
  UtgVtg DECIMAL(9,3),
  UtgRtg DECIMAL(9,3),
  UtgGut DECIMAL(9,3),
  KEY (UTGPNR, UtgDtm)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

CREATE TABLE Kvb332Urv (                -- vacation entitlement per year
  URVPNR VARCHAR(16) NOT NULL,
  URVJHR INT,
  URVGUR DECIMAL(9,3),
  URVVJR DECIMAL(9,3),
  KEY (URVPNR, URVJHR)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;
