#pragma once

// The worked example of the audit script, byte for byte as the system's description gives it
// (with LF where the script has CR LF: see test::CrLf): golden text for every test of the
// generator, the run, the command line and the window.

#include <string>
#include <vector>

#include "dbsession/DBFuncs.h"
#include "support/FakeSession.h"

namespace qelt::test {

inline const char* const kCompaniesAuditTable = R"(CREATE TABLE [dbo].[AuditTrailCompanies] (
    [AutoNumber] [decimal](18, 0) IDENTITY (1, 1) NOT NULL ,
    [SQLLoginID] [nvarchar] (40) COLLATE SQL_Latin1_General_CP1_CI_AS NULL ,
    [QLXUserID] [nvarchar] (40) COLLATE SQL_Latin1_General_CP1_CI_AS NULL ,
    [ItemIntID] [nvarchar] (10) COLLATE SQL_Latin1_General_CP1_CI_AS NULL ,
    [DisplayName] [nvarchar] (80) COLLATE SQL_Latin1_General_CP1_CI_AS NULL ,
    [FieldName] [nvarchar] (40) COLLATE SQL_Latin1_General_CP1_CI_AS NULL ,
    [OldValue] [ntext] COLLATE SQL_Latin1_General_CP1_CI_AS NULL ,
    [NewValue] [ntext] COLLATE SQL_Latin1_General_CP1_CI_AS NULL ,
    [TransDate] [datetime] NULL
) ON [PRIMARY] TEXTIMAGE_ON [PRIMARY]
GO

ALTER TABLE [dbo].[AuditTrailCompanies] WITH NOCHECK ADD
    CONSTRAINT [DF_AuditTrailCompanies_SQLLoginID] DEFAULT (suser_sname()) FOR [SQLLoginID],
    CONSTRAINT [DF_AuditTrailCompanies_TransDate] DEFAULT (getdate()) FOR [TransDate],
    CONSTRAINT [PK_AuditTrailCompanies] PRIMARY KEY  CLUSTERED
    (
        [AutoNumber]
    )  ON [PRIMARY]
GO

)";

inline const char* const kCompaniesTrigger = R"(CREATE TRIGGER QLX_AuditTrailCompanies ON Companies
INSTEAD OF UPDATE
AS
BEGIN

SET NOCOUNT ON

DECLARE @CurrentCol DECIMAL, @TotalCol DECIMAL, @CurrentColName NVARCHAR(384), @Flag BIT, @QLXUserID NVARCHAR(40)

IF UPDATE(CompanyIntID) AND ((SELECT COUNT(*) FROM INSERTED) > 1 OR EXISTS (SELECT CompanyIntID FROM INSERTED EXCEPT SELECT CompanyIntID FROM DELETED))
BEGIN
    RAISERROR(N'Companies: an update may not change the key column CompanyIntID, by which the audit trigger finds the row. The update was rolled back.', 16, 1)
    ROLLBACK TRANSACTION
    RETURN
END

UPDATE Companies SET
    CompanyIntID = INSERTED.CompanyIntID,
    CompanyName = INSERTED.CompanyName,
    Employees = INSERTED.Employees,
    EditedBy = INSERTED.EditedBy,
    EditDate = INSERTED.EditDate
    From INSERTED
    Where (Companies.CompanyIntID = INSERTED.CompanyIntID)

SET @QLXUserID='Null'
-- SELECT @QLXUserID=INSERTED.uuEditedBy FROM INSERTED
SELECT @QLXUserID=INSERTED.EditedBy FROM INSERTED

SELECT @TotalCol=MAX(syscolumns.colid)
From sysobjects, syscolumns
WHERE sysobjects.id = syscolumns.id AND sysobjects.name = 'Companies'

SET @CurrentCol=1
WHILE (@CurrentCol<=@TotalCol)
BEGIN
    SET @CurrentColName=COL_NAME(OBJECT_ID('Companies'), @CurrentCol)
    SET @Flag=0
    IF UPDATE(CompanyName) AND (@CurrentColName= 'CompanyName')  SET @Flag=1
    IF UPDATE(Employees) AND (@CurrentColName= 'Employees')  SET @Flag=1
    IF(@Flag=1)
    BEGIN
        INSERT INTO AuditTrailCompanies (QLXUserID,ItemIntID,DisplayName,FieldName,OldValue,NewValue)
        SELECT  @QLXUserID,INSERTED.CompanyIntID,CAST(INSERTED.CompanyName AS NVARCHAR(80)),LEFT(@CurrentColName, 40),
        CASE @CurrentColName
            WHEN 'CompanyIntID' THEN DELETED.CompanyIntID
            WHEN 'CompanyName' THEN DELETED.CompanyName
            WHEN 'Employees' THEN CAST(DELETED.Employees AS NVARCHAR(20))
            WHEN 'EditedBy' THEN DELETED.EditedBy
            WHEN 'EditDate' THEN CAST(DELETED.EditDate AS NVARCHAR(20))
        END,
        CASE @CurrentColName
            WHEN 'CompanyIntID' THEN INSERTED.CompanyIntID
            WHEN 'CompanyName' THEN INSERTED.CompanyName
            WHEN 'Employees' THEN CAST(INSERTED.Employees AS NVARCHAR(20))
            WHEN 'EditedBy' THEN INSERTED.EditedBy
            WHEN 'EditDate' THEN CAST(INSERTED.EditDate AS NVARCHAR(20))
        END
        From INSERTED, DELETED
        Where (INSERTED.CompanyIntID = DELETED.CompanyIntID)
    END
    SET @CurrentCol=@CurrentCol+1
END

SET NOCOUNT OFF
END
GO
)";

inline const std::vector<Field> kCompaniesColumns = {{"CompanyIntID", ado::adVarWChar},
                                                     {"CompanyName", ado::adVarWChar},
                                                     {"Employees", ado::adInteger},
                                                     {"EditedBy", ado::adVarWChar},
                                                     {"EditDate", ado::adDBTimeStamp}};

// The trigger section of the Companies table for an empty column list.
inline const char* const kCompaniesEmptyTrigger =
    R"(CREATE TRIGGER QLX_AuditTrailCompanies ON Companies
INSTEAD OF UPDATE
AS
BEGIN

SET NOCOUNT ON

DECLARE @CurrentCol DECIMAL, @TotalCol DECIMAL, @CurrentColName NVARCHAR(384), @Flag BIT, @QLXUserID NVARCHAR(40)

IF UPDATE(CompanyIntID) AND ((SELECT COUNT(*) FROM INSERTED) > 1 OR EXISTS (SELECT CompanyIntID FROM INSERTED EXCEPT SELECT CompanyIntID FROM DELETED))
BEGIN
    RAISERROR(N'Companies: an update may not change the key column CompanyIntID, by which the audit trigger finds the row. The update was rolled back.', 16, 1)
    ROLLBACK TRANSACTION
    RETURN
END

UPDATE Companies SET

    From INSERTED
    Where (Companies.CompanyIntID = INSERTED.CompanyIntID)

SET @QLXUserID='Null'
-- SELECT @QLXUserID=INSERTED.uuEditedBy FROM INSERTED

SELECT @TotalCol=MAX(syscolumns.colid)
From sysobjects, syscolumns
WHERE sysobjects.id = syscolumns.id AND sysobjects.name = 'Companies'

SET @CurrentCol=1
WHILE (@CurrentCol<=@TotalCol)
BEGIN
    SET @CurrentColName=COL_NAME(OBJECT_ID('Companies'), @CurrentCol)
    SET @Flag=0
    IF(@Flag=1)
    BEGIN
        INSERT INTO AuditTrailCompanies (QLXUserID,ItemIntID,DisplayName,FieldName,OldValue,NewValue)
        SELECT  @QLXUserID,INSERTED.CompanyIntID,CAST(INSERTED.CompanyName AS NVARCHAR(80)),LEFT(@CurrentColName, 40),
        CASE @CurrentColName
        END,
        CASE @CurrentColName
        END
        From INSERTED, DELETED
        Where (INSERTED.CompanyIntID = DELETED.CompanyIntID)
    END
    SET @CurrentCol=@CurrentCol+1
END

SET NOCOUNT OFF
END
GO
)";

// The whole script of the worked example, with its CR LF line ends.
inline std::string CompaniesScript() {
    return CrLf(std::string(kCompaniesAuditTable) + kCompaniesTrigger);
}

// The worked example's script up to the trigger's SET list: what a run leaves when the column
// list cannot be read.
inline std::string CompaniesLinesBeforeTheSetList() {
    const std::string script = CompaniesScript();
    const std::string setLine = "UPDATE Companies SET\r\n";
    return script.substr(0, script.find(setLine) + setLine.size());
}

}  // namespace qelt::test
