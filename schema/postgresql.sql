-- The Orvilex configuration tables that Zentra works on, for PostgreSQL.
--
-- Row identifiers (pkid and every fk... column) behave like SQL Server's
-- UNIQUEIDENTIFIER: a statement may write a GUID with or without braces and in
-- either letter case; the column keeps and returns it in upper case without
-- braces, and text that is not a GUID is refused. A trigger on every table
-- does this before the row is stored, so that the primary keys and the unique
-- index also see the same GUID written in two ways as one value. Identifier
-- columns have no length limit, so that any text reaches the check.
-- There are no foreign key constraints: the product keeps its rows consistent
-- itself (members are deleted before their tags).

SET client_min_messages = warning;

-- The form SQL Server prints for a GUID given in any accepted form; NULL stays NULL.
CREATE FUNCTION zentra_uniqueidentifier(value text) RETURNS text
LANGUAGE plpgsql IMMUTABLE AS $$
BEGIN
    IF value IS NULL THEN
        RETURN NULL;
    END IF;
    IF value !~ '^(\{[0-9A-Fa-f]{8}(-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12}\}|[0-9A-Fa-f]{8}(-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12})$' THEN
        RAISE EXCEPTION 'Conversion failed when converting from a character string to uniqueidentifier: %', value
            USING ERRCODE = '22P02';
    END IF;
    RETURN upper(value::uuid::text);
END
$$;

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

-- The identifier triggers: every identifier column named in the trigger's
-- arguments (in lower case, as PostgreSQL keeps unquoted names) is stored in
-- the form SQL Server prints. The function finds zentra_uniqueidentifier in
-- the schema it was made in, whatever search path a session has (pg_dump's
-- restore runs with an empty one).
CREATE FUNCTION zentra_identifiers() RETURNS trigger LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
DECLARE
    row_values jsonb := to_jsonb(NEW);
    normalised jsonb := '{}';
    column_name text;
BEGIN
    FOREACH column_name IN ARRAY TG_ARGV LOOP
        normalised := normalised ||
            jsonb_build_object(column_name, zentra_uniqueidentifier(row_values ->> column_name));
    END LOOP;
    NEW := jsonb_populate_record(NEW, normalised);
    RETURN NEW;
END
$$;

CREATE TRIGGER DialPlan_identifiers BEFORE INSERT OR UPDATE ON DialPlan
    FOR EACH ROW EXECUTE FUNCTION zentra_identifiers('pkid');
CREATE TRIGGER DialPlanTag_identifiers BEFORE INSERT OR UPDATE ON DialPlanTag
    FOR EACH ROW EXECUTE FUNCTION zentra_identifiers('pkid', 'fkdialplan');
CREATE TRIGGER DigitDiscardInstruction_identifiers BEFORE INSERT OR UPDATE ON DigitDiscardInstruction
    FOR EACH ROW EXECUTE FUNCTION zentra_identifiers('pkid', 'fkdialplan');
CREATE TRIGGER DigitDiscardInstructionMember_identifiers BEFORE INSERT OR UPDATE ON DigitDiscardInstructionMember
    FOR EACH ROW EXECUTE FUNCTION zentra_identifiers('pkid', 'fkdigitdiscardinstruction', 'fkdialplantag');
CREATE TRIGGER RouteFilter_identifiers BEFORE INSERT OR UPDATE ON RouteFilter
    FOR EACH ROW EXECUTE FUNCTION zentra_identifiers('pkid', 'fkdialplan');
CREATE TRIGGER RouteFilterMember_identifiers BEFORE INSERT OR UPDATE ON RouteFilterMember
    FOR EACH ROW EXECUTE FUNCTION zentra_identifiers('pkid', 'fkroutefilter', 'fkdialplantag');
CREATE TRIGGER NumPlan_identifiers BEFORE INSERT OR UPDATE ON NumPlan
    FOR EACH ROW EXECUTE FUNCTION zentra_identifiers('pkid', 'fkdialplan', 'fkdigitdiscardinstruction', 'fkroutefilter');
CREATE TRIGGER RouteList_identifiers BEFORE INSERT OR UPDATE ON RouteList
    FOR EACH ROW EXECUTE FUNCTION zentra_identifiers('pkid', 'fkdigitdiscardinstruction');
