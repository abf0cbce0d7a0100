-- The demo QeltOne database: the four item tables of the window with a few rows each.
-- Declared types follow the host product's SQL Server tables; the SQLite ODBC driver reports
-- them by the type name's prefix (NVARCHAR as text, MEMO/TEXT as long text, DATETIME as a
-- timestamp, INTEGER/SMALLINT/BIT/DOUBLE as themselves).

CREATE TABLE Companies (
    CompanyIntID INTEGER PRIMARY KEY,
    CompanyName NVARCHAR(100) NOT NULL,
    Address MEMO,
    City NVARCHAR(50),
    Phone NVARCHAR(30),
    Employees INTEGER,
    Turnover DOUBLE,
    IsCustomer BIT NOT NULL DEFAULT 0,
    CreateDate DATETIME,
    uuEditedBy NVARCHAR(50),
    EditDate DATETIME
);

CREATE TABLE Contacts (
    ContactIntID INTEGER PRIMARY KEY,
    CompanyIntID INTEGER REFERENCES Companies (CompanyIntID),
    DisplayName NVARCHAR(100) NOT NULL,
    FirstName NVARCHAR(50),
    LastName NVARCHAR(50),
    JobTitle NVARCHAR(80),
    Email NVARCHAR(120),
    Mobile NVARCHAR(30),
    BirthDate DATE,
    Notes MEMO,
    uuEditedBy NVARCHAR(50),
    EditDate DATETIME
);

CREATE TABLE Consultants (
    ConsIntID INTEGER PRIMARY KEY,
    DisplayName NVARCHAR(100) NOT NULL,
    Initials NVARCHAR(8),
    Email NVARCHAR(120),
    DailyRate DOUBLE,
    Active BIT NOT NULL DEFAULT 1,
    StartDate DATE,
    EditedBy NVARCHAR(50),
    EditDate DATETIME
);

CREATE TABLE Requirements (
    ReqIntID INTEGER PRIMARY KEY,
    ReqID NVARCHAR(20) NOT NULL,
    CompanyIntID INTEGER REFERENCES Companies (CompanyIntID),
    ConsIntID INTEGER REFERENCES Consultants (ConsIntID),
    Title NVARCHAR(120),
    Description TEXT,
    Positions SMALLINT,
    Budget DOUBLE,
    OpenDate DATE,
    CloseDate DATE,
    uuEditedBy NVARCHAR(50),
    EditDate DATETIME
);

INSERT INTO Companies VALUES
    (1, 'Harbour Freight Lines', '12 Quay Street', 'Bristol', '+44 117 496 0000', 240,
     18500000.0, 1, '2019-03-04 09:12:00', 'mpalmer', '2024-11-02 16:40:00'),
    (2, 'Nordlicht Software GmbH', 'Am Wehr 7', 'Hamburg', '+49 40 555 0143', 65,
     7200000.0, 1, '2020-07-21 11:00:00', 'jkraus', '2025-01-15 08:05:00'),
    (3, 'Cedar & Pine Joinery', 'Unit 4, Mill Lane', 'York', '+44 1904 555 014', 12,
     950000.0, 0, '2023-02-10 14:30:00', 'mpalmer', '2023-02-10 14:30:00');

INSERT INTO Contacts VALUES
    (1, 1, 'Aisha Raman', 'Aisha', 'Raman', 'Head of Logistics', 'a.raman@example.com',
     '+44 7700 900123', '1984-06-12', 'Prefers calls before noon.', 'mpalmer',
     '2024-10-30 10:00:00'),
    (2, 2, 'Jonas Becker', 'Jonas', 'Becker', 'CTO', 'jonas.becker@example.org',
     '+49 151 5550 1234', '1979-01-28', NULL, 'jkraus', '2025-01-15 08:07:00'),
    (3, 3, 'Tom O''Brien', 'Tom', 'O''Brien', 'Owner', 'tom@example.net', NULL, NULL,
     'Met at the trade fair.', 'mpalmer', '2023-02-10 14:35:00');

INSERT INTO Consultants VALUES
    (1, 'Maria Palmer', 'MP', 'm.palmer@example.com', 850.0, 1, '2015-09-01', 'admin',
     '2024-01-08 09:00:00'),
    (2, 'Jan Kraus', 'JK', 'j.kraus@example.com', 780.0, 1, '2018-04-16', 'admin',
     '2024-01-08 09:01:00');

INSERT INTO Requirements VALUES
    (1, 'REQ-2024-017', 1, 1, 'Fleet scheduling lead', 'Lead the rollout of the new route planner.',
     1, 95000.0, '2024-09-01', NULL, 'mpalmer', '2024-11-02 16:45:00'),
    (2, 'REQ-2025-002', 2, 2, 'Senior C++ developers', 'Two developers for the data platform team.',
     2, 160000.0, '2025-01-10', NULL, 'jkraus', '2025-01-15 08:10:00');
