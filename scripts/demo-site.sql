-- A small sample site for the demo: three clients, two terminals, badges that take their
-- access class from each of the six sources, expired and blocked rows, previous-day accounts,
-- vacation figures and balance display lists. Dates are relative to the server's date, so the
-- site stays valid. Load after scripts/site.sh init and client MNDNORD MNDSUED MNDWEST.

USE KvBasis;

-- Clients: Nordwerk and Suedhafen serve the gate terminal, Nordwerk also the canteen;
-- Westlager serves no terminal; the group client (MndKon 1) is never visited.
INSERT INTO Kvb112Mnd (MndLiz, MndNum, MndBez, MndSch, MndKon, MndSta) VALUES
  (1, 1, 'Nordwerk GmbH',   'MNDNORD', 0, NULL),
  (1, 2, 'Suedhafen AG',    'MNDSUED', 0, NULL),
  (1, 3, 'Westlager KG',    'MNDWEST', 0, NULL),
  (1, 9, 'Konzernmandant',  'MNDKONZ', 1, NULL);

INSERT INTO Kvb115Tfz (TfzTrm, TfzLiz, TfzMnd, TfzSta) VALUES
  ('TOR1', 1, 1, NULL),
  ('TOR1', 1, 2, NULL),
  ('KANTINE', 1, 1, NULL),
  ('KANTINE', 1, 3, 8);               -- assignment removed

-- Terminals: language 1, each with its balance display list.
INSERT INTO Kvb114Tsm (TsmNam, TSMTYP, TSMSAL, TsmSpr, TsmSta) VALUES
  ('TOR1',    '7744-010', 'SAL1', 1, NULL),
  ('KANTINE', '7598-002', 'SAL2', 1, NULL);

-- Readers and their zones. The gate has readers 1, 2, 3 and 7; the canteen 1 and 2.
INSERT INTO Kvb401Zls (ZlsTrm, ZlsLes, ZlsZko, ZlsSta) VALUES
  ('TOR1', 1, 'EINGANG', NULL),
  ('TOR1', 2, 'LAGER', NULL),
  ('TOR1', 3, 'BUERO', NULL),
  ('TOR1', 7, 'HOF', NULL),
  ('TOR1', 8, 'ALT', 8),              -- reader taken out of service
  ('KANTINE', 1, 'KANTINE', NULL),
  ('KANTINE', 2, 'KANTINE', NULL);

-- Access classes authorised in zones. Class 20 may enter the yard but not book time at the
-- gate (type 3 in reader 1's zone); class 30 is authorised nowhere.
INSERT INTO Kvb404Zbr (ZbrZbk, ZbrZko, ZbrZtb, ZbrSta) VALUES
  ('5',  'EINGANG', 1, NULL),
  ('5',  'BUERO',   1, NULL),
  ('5',  'KANTINE', 1, NULL),
  ('12', 'LAGER',   1, NULL),
  ('12', 'KANTINE', 1, NULL),
  ('20', 'HOF',     1, NULL),
  ('20', 'EINGANG', 3, NULL),
  ('7',  'EINGANG', 1, NULL),
  ('7',  'KANTINE', 1, NULL),
  ('30', 'LAGER',   1, 8);             -- withdrawn

-- Locations with their short texts.
INSERT INTO Kvb113Sto (StoNum, StoKtx, StoBez, StoSta) VALUES
  ('100',   'NRD',  'Werk Nord', NULL),
  ('200',   'HF',   'Hafen', NULL),
  ('31415', 'LAGR', 'Zentrallager', NULL),
  ('300',   'ALT',  'Altstandort', 8);

-- Badges. Client 1 (Nordwerk): one per class source, own classes, a badge without class, one
-- without location number, an expired, a blocked, a future and a replaced badge.
INSERT INTO Kvb301Asw (AswNum, AswGvo, AswGbi, AswPnr, AswBkl, AswGrp, AswAan, AswAtp, ASWLIZ, ASWMND, AswSta) VALUES
  ('10001', CURDATE() - INTERVAL 400 DAY, NULL,                         'P101', '5',  'G0', NULL, 1, 1, 1, NULL),
  ('10002', CURDATE() - INTERVAL 300 DAY, CURDATE() + INTERVAL 60 DAY,  'P102', '0',  'G1', NULL, 1, 1, 1, NULL),
  ('10003', CURDATE() - INTERVAL 200 DAY, NULL,                         'P103', '0',  'G0', NULL, 1, 1, 1, NULL),
  ('10004', NULL,                         CURDATE() + INTERVAL 365 DAY, 'P104', '0',  'G0', NULL, 2, 1, 1, NULL),
  ('10005', CURDATE() - INTERVAL 100 DAY, NULL,                         'P105', '0',  'G0', NULL, 1, 1, 1, NULL),
  ('10006', CURDATE() - INTERVAL 50 DAY,  NULL,                         'P106', '0',  'G0', NULL, 1, 1, 1, NULL),
  ('10007', CURDATE() - INTERVAL 30 DAY,  NULL,                         'P107', '0',  'G0', NULL, 1, 1, 1, NULL),
  ('10008', CURDATE() - INTERVAL 30 DAY,  NULL,                         'P108', '12', 'G0', NULL, 1, 1, 1, NULL),
  ('10009', CURDATE() - INTERVAL 30 DAY,  NULL,                         'P109', '30', 'G0', NULL, 1, 1, 1, NULL),
  ('10010', CURDATE() - INTERVAL 900 DAY, CURDATE() - INTERVAL 1 DAY,   'P110', '5',  'G0', NULL, 1, 1, 1, NULL),
  ('10011', CURDATE() - INTERVAL 90 DAY,  NULL,                         'P111', '5',  'G0', NULL, 1, 1, 1, 8),
  ('10012', CURDATE() + INTERVAL 7 DAY,   NULL,                         'P112', '5',  'G0', NULL, 1, 1, 1, NULL),
  ('10013', CURDATE() - INTERVAL 700 DAY, CURDATE() + INTERVAL 30 DAY,  'P113', '5',  'G0', NULL, 1, 1, 1, NULL),
  ('10013', CURDATE() - INTERVAL 10 DAY,  NULL,                         'P113', '12', 'G0', NULL, 1, 1, 1, NULL),
  ('10014', CURDATE() - INTERVAL 20 DAY,  NULL,                         'P114', '20', 'G0', NULL, 3, 1, 1, NULL),
-- Client 2 (Suedhafen).
  ('20001', CURDATE() - INTERVAL 500 DAY, NULL,                         'P201', '5',  'H0', NULL, 1, 1, 2, NULL),
  ('20002', CURDATE() - INTERVAL 60 DAY,  NULL,                         'P202', '0',  'H1', NULL, 1, 1, 2, NULL),
  ('20003', CURDATE() - INTERVAL 60 DAY,  CURDATE() + INTERVAL 5 DAY,   'P203', '7',  'H0', NULL, 1, 1, 2, NULL),
-- Client 3 (Westlager): served by no terminal.
  ('30001', CURDATE() - INTERVAL 60 DAY,  NULL,                         'P301', '5',  'W0', NULL, 1, 1, 3, NULL);

-- Where each badge is kept: 10007 has no location number, 10008's location is closed.
INSERT INTO Kvb113Awv (AwvNum, AwvSto, AwvSta) VALUES
  ('10001', '100', NULL), ('10002', '100', NULL), ('10003', '31415', NULL),
  ('10004', '100', NULL), ('10005', '200', NULL), ('10006', '100', NULL),
  ('10007', NULL, NULL),  ('10008', '300', NULL), ('10009', '100', NULL),
  ('10010', '100', NULL), ('10011', '100', NULL), ('10012', '100', NULL),
  ('10013', '100', NULL), ('10014', '200', NULL),
  ('20001', '200', NULL), ('20002', '200', NULL), ('20003', '200', NULL),
  ('30001', '100', NULL);

-- Balance display lists: labels (text 220001) and display codes (text 220002) in language 1.
INSERT INTO G2101SalLst (TsaSal, TsaLfd, TsaSpl, TsaAnz, TsaAus, TsaSta) VALUES
  ('SAL1', 1, 1,    1, 2,  NULL),
  ('SAL1', 2, 1,    2, 1,  NULL),
  ('SAL1', 3, NULL, 3, 8,  NULL),
  ('SAL1', 4, 1,    4, 4,  NULL),
  ('SAL1', 5, 2,    5, 6,  NULL),
  ('SAL1', 6, 1,    6, 9,  NULL),
  ('SAL2', 1, 1,    1, 2,  NULL),
  ('SAL2', 2, 1,    2, 1,  NULL),
  ('SAL2', 5, 1,    4, 4,  NULL);

INSERT INTO Kvb102Whl (FtxNumSpr, FtxWhl, FtxSpr, FtxT50, FTXT10) VALUES
  (220001, 1, 1, 'Gleitzeit Vortag', NULL),
  (220001, 2, 1, 'Datum', NULL),
  (220001, 3, 1, 'Urlaubsanspruch', NULL),
  (220001, 4, 1, 'Resturlaub', NULL),
  (220001, 5, 1, 'Urlaub genommen', NULL),
  (220001, 6, 1, 'Mehrarbeit', NULL),
  (220002, 1, 1, NULL, '#W1'),
  (220002, 2, 1, NULL, '#W2'),
  (220002, 4, 1, NULL, '#W4'),
  (220002, 6, 1, NULL, '#W6'),
  (220002, 8, 1, NULL, '#W8'),
  (220002, 9, 1, NULL, '#W9');

-- Client 1's own tables.
USE MNDNORD;

INSERT INTO Kvb300Pnr (PNRNUM, PnrNam, PnrSpr, PnrSal, PnrSta) VALUES
  ('P101', 'Anna Albers', 1, 'SAL1', NULL),    ('P102', 'Bernd Brandt', 1, NULL, NULL),
  ('P103', 'Carla Cordes', 2, NULL, NULL),     ('P104', 'Dieter Dahl', 1, NULL, NULL),
  ('P105', 'Eva Engel', 1, NULL, NULL),        ('P106', 'Frank Fuchs', 1, NULL, NULL),
  ('P107', 'Gabi Gross', 1, NULL, NULL),       ('P108', 'Hans Hoff', 1, NULL, NULL),
  ('P109', 'Ines Iske', 1, NULL, NULL),        ('P110', 'Jan Janssen', 1, NULL, NULL),
  ('P113', 'Meike Mertens', 1, NULL, NULL),    ('P114', 'Nils Nolte', 1, NULL, 8);

-- Class assignments, one per source.
INSERT INTO Kvb408Bzu (BzuZau, BzuKst, BzuVks, BzuAbt, BzuVab, BzuAkr, BzuBkl, BzuGvo, BzuGbi, BzuSta) VALUES
  ('G1', NULL,   NULL,  NULL,  NULL,  NULL,   '12', CURDATE() - INTERVAL 100 DAY, NULL,  NULL),
  (NULL, 'K100', NULL,  NULL,  NULL,  NULL,   '5',  CURDATE() - INTERVAL 80 DAY,  NULL,  NULL),
  (NULL, NULL,   'VK2', NULL,  NULL,  NULL,   '20', CURDATE() - INTERVAL 70 DAY,  NULL,  NULL),
  (NULL, NULL,   NULL,  'A10', NULL,  NULL,   '5',  CURDATE() - INTERVAL 60 DAY,  CURDATE() + INTERVAL 200 DAY, NULL),
  (NULL, NULL,   NULL,  NULL,  'VA1', NULL,   '12', CURDATE() - INTERVAL 50 DAY,  NULL,  NULL),
  (NULL, NULL,   NULL,  NULL,  NULL,  'AKR1', '7',  CURDATE() - INTERVAL 40 DAY,  NULL,  NULL),
  (NULL, 'K999', NULL,  NULL,  NULL,  NULL,   '5',  CURDATE() - INTERVAL 40 DAY,  CURDATE() - INTERVAL 1 DAY, NULL);

INSERT INTO Kvb311Zuo (ZuoPnr, ZuoKst, ZuoAbt, ZuoGvo, ZuoGbi, ZuoSta) VALUES
  ('P102', 'K100', 'A99', CURDATE() - INTERVAL 365 DAY, NULL, NULL),
  ('P103', 'K200', 'A99', CURDATE() - INTERVAL 365 DAY, NULL, NULL),
  ('P104', 'K300', 'A10', CURDATE() - INTERVAL 365 DAY, NULL, NULL),
  ('P105', 'K300', 'A20', CURDATE() - INTERVAL 365 DAY, NULL, NULL),
  ('P107', 'K999', 'A99', CURDATE() - INTERVAL 365 DAY, NULL, NULL);

INSERT INTO O1003Kststelle (KstNum, KstVws, KstBez, KstSta) VALUES
  ('K100', 'VK1', 'Verwaltung', NULL), ('K200', 'VK2', 'Logistik', NULL),
  ('K300', 'VK3', 'Produktion', NULL), ('K999', 'VK9', 'Aufgeloest', 8);

INSERT INTO G1102AbtLst (AblAbt, AblVab, AblSta) VALUES ('A20', 'VA1', NULL);

INSERT INTO Kvb310Bsv (BsvPnr, BsvAkr, BsvGvo, BsvGbi, BsvSta) VALUES
  ('P106', 'AKR1', CURDATE() - INTERVAL 10 DAY, NULL, NULL);

-- Yesterday's daily accounts (minutes); the connection's database, so client 1's.
INSERT INTO Kvb320Tgb (TGBPNR, TGBZTR, TGBDTM, TGBVT1, TGBSA1, TGBVT2, TGBSA2, TGBVT3, TGBSA3) VALUES
  ('P101', 1, CURDATE() - INTERVAL 1 DAY, 450, 30, 120, NULL, 15, 0),
  ('P102', 1, CURDATE() - INTERVAL 1 DAY, -95, 0, 0, 0, NULL, NULL),
  ('P103', 1, CURDATE() - INTERVAL 1 DAY, 6020, 5, 30, 30, 0, 0),
  ('P104', 1, CURDATE() - INTERVAL 1 DAY, 0, 0, 0, 0, 0, 0),
  ('P108', 1, CURDATE() - INTERVAL 1 DAY, 610, 0, 0, 0, 0, 0),
  ('P108', 1, CURDATE() - INTERVAL 2 DAY, 999, 0, 0, 0, 0, 0);

INSERT INTO Kvb332Utg (UTGPNR, UtgDtm, UtgVtg, UtgRtg, UtgGut) VALUES
  ('P101', CURDATE() - INTERVAL 30 DAY, 12, 18, 0.5),
  ('P101', CURDATE() - INTERVAL 5 DAY, 14, 16, 0.5),
  ('P101', CURDATE() + INTERVAL 5 DAY, 19, 11, 0.5),
  ('P102', CURDATE() - INTERVAL 3 DAY, 2.5, 27.5, 0);

INSERT INTO Kvb332Urv (URVPNR, URVJHR, URVGUR, URVVJR) VALUES
  ('P101', YEAR(CURDATE()), 30, 4),
  ('P102', YEAR(CURDATE()), 28, 31.5),
  ('P103', YEAR(CURDATE()), 30, 0);

-- Client 2's own tables.
USE MNDSUED;

INSERT INTO Kvb300Pnr (PNRNUM, PnrNam, PnrSpr, PnrSal, PnrSta) VALUES
  ('P201', 'Ole Otten', 1, NULL, NULL), ('P202', 'Paula Peters', 1, NULL, NULL),
  ('P203', 'Quirin Quast', 1, NULL, NULL);

INSERT INTO Kvb408Bzu (BzuZau, BzuBkl, BzuGvo, BzuGbi, BzuSta) VALUES
  ('H1', '12', CURDATE() - INTERVAL 20 DAY, NULL, NULL);

INSERT INTO Kvb332Urv (URVPNR, URVJHR, URVGUR, URVVJR) VALUES
  ('P201', YEAR(CURDATE()), 25, 3);

-- Client 3's own tables.
USE MNDWEST;

INSERT INTO Kvb300Pnr (PNRNUM, PnrNam, PnrSpr, PnrSal, PnrSta) VALUES
  ('P301', 'Rita Rau', 1, NULL, NULL);
