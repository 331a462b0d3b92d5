-- What the program's database user needs in the central schema, and nothing else:
-- SELECT on the tables it reads, SELECT, INSERT and DELETE on the staging table.
-- Each client schema needs SELECT on its tables in addition (see README).
GRANT SELECT ON KvBasis.Kvb112Mnd TO 'vestragen'@'%';
GRANT SELECT ON KvBasis.Kvb115Tfz TO 'vestragen'@'%';
GRANT SELECT ON KvBasis.Kvb301Asw TO 'vestragen'@'%';
GRANT SELECT ON KvBasis.Kvb113Awv TO 'vestragen'@'%';
GRANT SELECT ON KvBasis.Kvb113Sto TO 'vestragen'@'%';
GRANT SELECT ON KvBasis.Kvb114Tsm TO 'vestragen'@'%';
GRANT SELECT ON KvBasis.Kvb401Zls TO 'vestragen'@'%';
GRANT SELECT ON KvBasis.Kvb404Zbr TO 'vestragen'@'%';
GRANT SELECT ON KvBasis.G2101SalLst TO 'vestragen'@'%';
GRANT SELECT ON KvBasis.Kvb102Whl TO 'vestragen'@'%';
GRANT SELECT, INSERT, DELETE ON KvBasis.Kvb999Tmp TO 'vestragen'@'%';
