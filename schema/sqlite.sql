-- The Orvilex configuration tables that Zentra works on, for SQLite.
--
-- Row identifiers (pkid and every fk... column) behave like SQL Server's
-- UNIQUEIDENTIFIER: a statement may write a GUID with or without braces and in
-- either letter case; the column keeps and returns it in upper case without
-- braces, and text that is not a GUID is refused. For every table a BEFORE
-- trigger checks the identifiers (through the view UniqueIdentifierCheck) and an
-- AFTER trigger rewrites the row's identifiers into the stored form. A GUID
-- already stored in another form then fails the primary key, as on SQL Server.
-- (Recursive triggers are off, as by default: the AFTER triggers' own UPDATE does
-- not fire them again, and their WHEN clauses skip rows already in stored form.)
-- There are no foreign key constraints: the product keeps its rows consistent
-- itself (members are deleted before their tags).

-- Inserting a value into this view checks it: NULL or a GUID, with or without
-- braces, in either letter case.
CREATE VIEW UniqueIdentifierCheck AS SELECT CAST(NULL AS TEXT) AS value WHERE 0;
CREATE TRIGGER UniqueIdentifierCheck_value INSTEAD OF INSERT ON UniqueIdentifierCheck
WHEN NEW.value IS NOT NULL AND NOT (typeof(NEW.value) = 'text' AND (
    NEW.value GLOB '[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]-[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]-[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]-[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]-[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]'
    OR NEW.value GLOB '{[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]-[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]-[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]-[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]-[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]}'))
BEGIN
    SELECT RAISE(ABORT, 'Conversion failed when converting from a character string to uniqueidentifier.');
END;

CREATE TABLE DialPlan (
    pkid varchar NOT NULL PRIMARY KEY,
    name varchar(50) NOT NULL,
    description varchar(200) DEFAULT '',
    isLocalized varchar(1) NOT NULL DEFAULT 'f',
    CONSTRAINT DialPlan_name_unique UNIQUE (name)
);

CREATE TABLE DialPlanTag (
    pkid varchar NOT NULL PRIMARY KEY,
    tag varchar(50) NOT NULL,
    fkDialPlan varchar,
    tkOperator_Max varchar(16),
    suppressFromRouteFilter varchar(16) DEFAULT 'f',
    description varchar(200) DEFAULT ''
);
CREATE INDEX DialPlanTag_fkDialPlan ON DialPlanTag (fkDialPlan);

CREATE TABLE DigitDiscardInstruction (
    pkid varchar NOT NULL PRIMARY KEY,
    name varchar(50) NOT NULL,
    fkDialPlan varchar,
    digitAnalysisID integer NOT NULL,
    clause varchar(1024) DEFAULT '',
    isStandard varchar(1) NOT NULL DEFAULT 'f'
);
CREATE INDEX DigitDiscardInstruction_fkDialPlan ON DigitDiscardInstruction (fkDialPlan);
CREATE INDEX DigitDiscardInstruction_digitAnalysisID ON DigitDiscardInstruction (digitAnalysisID);

CREATE TABLE DigitDiscardInstructionMember (
    pkid varchar NOT NULL PRIMARY KEY,
    fkDigitDiscardInstruction varchar,
    fkDialPlanTag varchar
);
CREATE INDEX DigitDiscardInstructionMember_fkDigitDiscardInstruction
    ON DigitDiscardInstructionMember (fkDigitDiscardInstruction);
CREATE INDEX DigitDiscardInstructionMember_fkDialPlanTag
    ON DigitDiscardInstructionMember (fkDialPlanTag);

CREATE TABLE RouteFilter (
    pkid varchar NOT NULL PRIMARY KEY,
    name varchar(50),
    fkDialPlan varchar,
    clause varchar(1024) DEFAULT '',
    dialPlanWizardGenId integer
);
CREATE INDEX RouteFilter_fkDialPlan ON RouteFilter (fkDialPlan);

CREATE TABLE RouteFilterMember (
    pkid varchar NOT NULL PRIMARY KEY,
    fkRouteFilter varchar,
    fkDialPlanTag varchar,
    digits varchar(50) DEFAULT '',
    precedence integer NOT NULL DEFAULT 0,
    tkOperator integer NOT NULL DEFAULT 0
);
CREATE INDEX RouteFilterMember_fkRouteFilter ON RouteFilterMember (fkRouteFilter);
CREATE INDEX RouteFilterMember_fkDialPlanTag ON RouteFilterMember (fkDialPlanTag);

CREATE TABLE NumPlan (
    pkid varchar NOT NULL PRIMARY KEY,
    dnOrPattern varchar(50),
    fkDialPlan varchar,
    fkDigitDiscardInstruction varchar,
    fkRouteFilter varchar,
    description varchar(200) DEFAULT '',
    tkPatternUsage integer NOT NULL DEFAULT 5
);
CREATE INDEX NumPlan_fkDialPlan ON NumPlan (fkDialPlan);
CREATE INDEX NumPlan_fkDigitDiscardInstruction ON NumPlan (fkDigitDiscardInstruction);
CREATE INDEX NumPlan_fkRouteFilter ON NumPlan (fkRouteFilter);

CREATE TABLE RouteList (
    pkid varchar NOT NULL PRIMARY KEY,
    name varchar(50),
    fkDigitDiscardInstruction varchar,
    description varchar(200) DEFAULT '',
    runOnEveryNode varchar(1) NOT NULL DEFAULT 't'
);
CREATE INDEX RouteList_fkDigitDiscardInstruction ON RouteList (fkDigitDiscardInstruction);

-- The identifier triggers, four per table.

CREATE TRIGGER DialPlan_check_insert BEFORE INSERT ON DialPlan
BEGIN
    INSERT INTO UniqueIdentifierCheck (value) VALUES (NEW.pkid);
END;
CREATE TRIGGER DialPlan_normalise_insert AFTER INSERT ON DialPlan
WHEN NEW.pkid IS NOT upper(trim(NEW.pkid, '{}'))
BEGIN
    UPDATE DialPlan SET pkid = upper(trim(pkid, '{}'))
    WHERE rowid = NEW.rowid;
END;

CREATE TRIGGER DialPlan_check_update BEFORE UPDATE ON DialPlan
BEGIN
    INSERT INTO UniqueIdentifierCheck (value) VALUES (NEW.pkid);
END;
CREATE TRIGGER DialPlan_normalise_update AFTER UPDATE ON DialPlan
WHEN NEW.pkid IS NOT upper(trim(NEW.pkid, '{}'))
BEGIN
    UPDATE DialPlan SET pkid = upper(trim(pkid, '{}'))
    WHERE rowid = NEW.rowid;
END;

CREATE TRIGGER DialPlanTag_check_insert BEFORE INSERT ON DialPlanTag
BEGIN
    INSERT INTO UniqueIdentifierCheck (value) VALUES (NEW.pkid), (NEW.fkDialPlan);
END;
CREATE TRIGGER DialPlanTag_normalise_insert AFTER INSERT ON DialPlanTag
WHEN NEW.pkid IS NOT upper(trim(NEW.pkid, '{}'))
    OR NEW.fkDialPlan IS NOT upper(trim(NEW.fkDialPlan, '{}'))
BEGIN
    UPDATE DialPlanTag SET pkid = upper(trim(pkid, '{}')),
        fkDialPlan = upper(trim(fkDialPlan, '{}'))
    WHERE rowid = NEW.rowid;
END;

CREATE TRIGGER DialPlanTag_check_update BEFORE UPDATE ON DialPlanTag
BEGIN
    INSERT INTO UniqueIdentifierCheck (value) VALUES (NEW.pkid), (NEW.fkDialPlan);
END;
CREATE TRIGGER DialPlanTag_normalise_update AFTER UPDATE ON DialPlanTag
WHEN NEW.pkid IS NOT upper(trim(NEW.pkid, '{}'))
    OR NEW.fkDialPlan IS NOT upper(trim(NEW.fkDialPlan, '{}'))
BEGIN
    UPDATE DialPlanTag SET pkid = upper(trim(pkid, '{}')),
        fkDialPlan = upper(trim(fkDialPlan, '{}'))
    WHERE rowid = NEW.rowid;
END;

CREATE TRIGGER DigitDiscardInstruction_check_insert BEFORE INSERT ON DigitDiscardInstruction
BEGIN
    INSERT INTO UniqueIdentifierCheck (value) VALUES (NEW.pkid), (NEW.fkDialPlan);
END;
CREATE TRIGGER DigitDiscardInstruction_normalise_insert AFTER INSERT ON DigitDiscardInstruction
WHEN NEW.pkid IS NOT upper(trim(NEW.pkid, '{}'))
    OR NEW.fkDialPlan IS NOT upper(trim(NEW.fkDialPlan, '{}'))
BEGIN
    UPDATE DigitDiscardInstruction SET pkid = upper(trim(pkid, '{}')),
        fkDialPlan = upper(trim(fkDialPlan, '{}'))
    WHERE rowid = NEW.rowid;
END;

CREATE TRIGGER DigitDiscardInstruction_check_update BEFORE UPDATE ON DigitDiscardInstruction
BEGIN
    INSERT INTO UniqueIdentifierCheck (value) VALUES (NEW.pkid), (NEW.fkDialPlan);
END;
CREATE TRIGGER DigitDiscardInstruction_normalise_update AFTER UPDATE ON DigitDiscardInstruction
WHEN NEW.pkid IS NOT upper(trim(NEW.pkid, '{}'))
    OR NEW.fkDialPlan IS NOT upper(trim(NEW.fkDialPlan, '{}'))
BEGIN
    UPDATE DigitDiscardInstruction SET pkid = upper(trim(pkid, '{}')),
        fkDialPlan = upper(trim(fkDialPlan, '{}'))
    WHERE rowid = NEW.rowid;
END;

CREATE TRIGGER DigitDiscardInstructionMember_check_insert BEFORE INSERT ON DigitDiscardInstructionMember
BEGIN
    INSERT INTO UniqueIdentifierCheck (value) VALUES (NEW.pkid), (NEW.fkDigitDiscardInstruction), (NEW.fkDialPlanTag);
END;
CREATE TRIGGER DigitDiscardInstructionMember_normalise_insert AFTER INSERT ON DigitDiscardInstructionMember
WHEN NEW.pkid IS NOT upper(trim(NEW.pkid, '{}'))
    OR NEW.fkDigitDiscardInstruction IS NOT upper(trim(NEW.fkDigitDiscardInstruction, '{}'))
    OR NEW.fkDialPlanTag IS NOT upper(trim(NEW.fkDialPlanTag, '{}'))
BEGIN
    UPDATE DigitDiscardInstructionMember SET pkid = upper(trim(pkid, '{}')),
        fkDigitDiscardInstruction = upper(trim(fkDigitDiscardInstruction, '{}')),
        fkDialPlanTag = upper(trim(fkDialPlanTag, '{}'))
    WHERE rowid = NEW.rowid;
END;

CREATE TRIGGER DigitDiscardInstructionMember_check_update BEFORE UPDATE ON DigitDiscardInstructionMember
BEGIN
    INSERT INTO UniqueIdentifierCheck (value) VALUES (NEW.pkid), (NEW.fkDigitDiscardInstruction), (NEW.fkDialPlanTag);
END;
CREATE TRIGGER DigitDiscardInstructionMember_normalise_update AFTER UPDATE ON DigitDiscardInstructionMember
WHEN NEW.pkid IS NOT upper(trim(NEW.pkid, '{}'))
    OR NEW.fkDigitDiscardInstruction IS NOT upper(trim(NEW.fkDigitDiscardInstruction, '{}'))
    OR NEW.fkDialPlanTag IS NOT upper(trim(NEW.fkDialPlanTag, '{}'))
BEGIN
    UPDATE DigitDiscardInstructionMember SET pkid = upper(trim(pkid, '{}')),
        fkDigitDiscardInstruction = upper(trim(fkDigitDiscardInstruction, '{}')),
        fkDialPlanTag = upper(trim(fkDialPlanTag, '{}'))
    WHERE rowid = NEW.rowid;
END;

CREATE TRIGGER RouteFilter_check_insert BEFORE INSERT ON RouteFilter
BEGIN
    INSERT INTO UniqueIdentifierCheck (value) VALUES (NEW.pkid), (NEW.fkDialPlan);
END;
CREATE TRIGGER RouteFilter_normalise_insert AFTER INSERT ON RouteFilter
WHEN NEW.pkid IS NOT upper(trim(NEW.pkid, '{}'))
    OR NEW.fkDialPlan IS NOT upper(trim(NEW.fkDialPlan, '{}'))
BEGIN
    UPDATE RouteFilter SET pkid = upper(trim(pkid, '{}')),
        fkDialPlan = upper(trim(fkDialPlan, '{}'))
    WHERE rowid = NEW.rowid;
END;

CREATE TRIGGER RouteFilter_check_update BEFORE UPDATE ON RouteFilter
BEGIN
    INSERT INTO UniqueIdentifierCheck (value) VALUES (NEW.pkid), (NEW.fkDialPlan);
END;
CREATE TRIGGER RouteFilter_normalise_update AFTER UPDATE ON RouteFilter
WHEN NEW.pkid IS NOT upper(trim(NEW.pkid, '{}'))
    OR NEW.fkDialPlan IS NOT upper(trim(NEW.fkDialPlan, '{}'))
BEGIN
    UPDATE RouteFilter SET pkid = upper(trim(pkid, '{}')),
        fkDialPlan = upper(trim(fkDialPlan, '{}'))
    WHERE rowid = NEW.rowid;
END;

CREATE TRIGGER RouteFilterMember_check_insert BEFORE INSERT ON RouteFilterMember
BEGIN
    INSERT INTO UniqueIdentifierCheck (value) VALUES (NEW.pkid), (NEW.fkRouteFilter), (NEW.fkDialPlanTag);
END;
CREATE TRIGGER RouteFilterMember_normalise_insert AFTER INSERT ON RouteFilterMember
WHEN NEW.pkid IS NOT upper(trim(NEW.pkid, '{}'))
    OR NEW.fkRouteFilter IS NOT upper(trim(NEW.fkRouteFilter, '{}'))
    OR NEW.fkDialPlanTag IS NOT upper(trim(NEW.fkDialPlanTag, '{}'))
BEGIN
    UPDATE RouteFilterMember SET pkid = upper(trim(pkid, '{}')),
        fkRouteFilter = upper(trim(fkRouteFilter, '{}')),
        fkDialPlanTag = upper(trim(fkDialPlanTag, '{}'))
    WHERE rowid = NEW.rowid;
END;

CREATE TRIGGER RouteFilterMember_check_update BEFORE UPDATE ON RouteFilterMember
BEGIN
    INSERT INTO UniqueIdentifierCheck (value) VALUES (NEW.pkid), (NEW.fkRouteFilter), (NEW.fkDialPlanTag);
END;
CREATE TRIGGER RouteFilterMember_normalise_update AFTER UPDATE ON RouteFilterMember
WHEN NEW.pkid IS NOT upper(trim(NEW.pkid, '{}'))
    OR NEW.fkRouteFilter IS NOT upper(trim(NEW.fkRouteFilter, '{}'))
    OR NEW.fkDialPlanTag IS NOT upper(trim(NEW.fkDialPlanTag, '{}'))
BEGIN
    UPDATE RouteFilterMember SET pkid = upper(trim(pkid, '{}')),
        fkRouteFilter = upper(trim(fkRouteFilter, '{}')),
        fkDialPlanTag = upper(trim(fkDialPlanTag, '{}'))
    WHERE rowid = NEW.rowid;
END;

CREATE TRIGGER NumPlan_check_insert BEFORE INSERT ON NumPlan
BEGIN
    INSERT INTO UniqueIdentifierCheck (value) VALUES (NEW.pkid), (NEW.fkDialPlan), (NEW.fkDigitDiscardInstruction), (NEW.fkRouteFilter);
END;
CREATE TRIGGER NumPlan_normalise_insert AFTER INSERT ON NumPlan
WHEN NEW.pkid IS NOT upper(trim(NEW.pkid, '{}'))
    OR NEW.fkDialPlan IS NOT upper(trim(NEW.fkDialPlan, '{}'))
    OR NEW.fkDigitDiscardInstruction IS NOT upper(trim(NEW.fkDigitDiscardInstruction, '{}'))
    OR NEW.fkRouteFilter IS NOT upper(trim(NEW.fkRouteFilter, '{}'))
BEGIN
    UPDATE NumPlan SET pkid = upper(trim(pkid, '{}')),
        fkDialPlan = upper(trim(fkDialPlan, '{}')),
        fkDigitDiscardInstruction = upper(trim(fkDigitDiscardInstruction, '{}')),
        fkRouteFilter = upper(trim(fkRouteFilter, '{}'))
    WHERE rowid = NEW.rowid;
END;

CREATE TRIGGER NumPlan_check_update BEFORE UPDATE ON NumPlan
BEGIN
    INSERT INTO UniqueIdentifierCheck (value) VALUES (NEW.pkid), (NEW.fkDialPlan), (NEW.fkDigitDiscardInstruction), (NEW.fkRouteFilter);
END;
CREATE TRIGGER NumPlan_normalise_update AFTER UPDATE ON NumPlan
WHEN NEW.pkid IS NOT upper(trim(NEW.pkid, '{}'))
    OR NEW.fkDialPlan IS NOT upper(trim(NEW.fkDialPlan, '{}'))
    OR NEW.fkDigitDiscardInstruction IS NOT upper(trim(NEW.fkDigitDiscardInstruction, '{}'))
    OR NEW.fkRouteFilter IS NOT upper(trim(NEW.fkRouteFilter, '{}'))
BEGIN
    UPDATE NumPlan SET pkid = upper(trim(pkid, '{}')),
        fkDialPlan = upper(trim(fkDialPlan, '{}')),
        fkDigitDiscardInstruction = upper(trim(fkDigitDiscardInstruction, '{}')),
        fkRouteFilter = upper(trim(fkRouteFilter, '{}'))
    WHERE rowid = NEW.rowid;
END;

CREATE TRIGGER RouteList_check_insert BEFORE INSERT ON RouteList
BEGIN
    INSERT INTO UniqueIdentifierCheck (value) VALUES (NEW.pkid), (NEW.fkDigitDiscardInstruction);
END;
CREATE TRIGGER RouteList_normalise_insert AFTER INSERT ON RouteList
WHEN NEW.pkid IS NOT upper(trim(NEW.pkid, '{}'))
    OR NEW.fkDigitDiscardInstruction IS NOT upper(trim(NEW.fkDigitDiscardInstruction, '{}'))
BEGIN
    UPDATE RouteList SET pkid = upper(trim(pkid, '{}')),
        fkDigitDiscardInstruction = upper(trim(fkDigitDiscardInstruction, '{}'))
    WHERE rowid = NEW.rowid;
END;

CREATE TRIGGER RouteList_check_update BEFORE UPDATE ON RouteList
BEGIN
    INSERT INTO UniqueIdentifierCheck (value) VALUES (NEW.pkid), (NEW.fkDigitDiscardInstruction);
END;
CREATE TRIGGER RouteList_normalise_update AFTER UPDATE ON RouteList
WHEN NEW.pkid IS NOT upper(trim(NEW.pkid, '{}'))
    OR NEW.fkDigitDiscardInstruction IS NOT upper(trim(NEW.fkDigitDiscardInstruction, '{}'))
BEGIN
    UPDATE RouteList SET pkid = upper(trim(pkid, '{}')),
        fkDigitDiscardInstruction = upper(trim(fkDigitDiscardInstruction, '{}'))
    WHERE rowid = NEW.rowid;
END;
