// DBFuncs: the database session interface, its recordset and the ADO type codes.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dbsession/FailureReason.h"

namespace qelt {

// ADO DataTypeEnum codes: the column type codes that the script generator sees.
namespace ado {
inline constexpr std::int32_t adSmallInt = 2;
inline constexpr std::int32_t adInteger = 3;
inline constexpr std::int32_t adSingle = 4;
inline constexpr std::int32_t adDouble = 5;
inline constexpr std::int32_t adCurrency = 6;
inline constexpr std::int32_t adDate = 7;
inline constexpr std::int32_t adBoolean = 11;
inline constexpr std::int32_t adVariant = 12;
inline constexpr std::int32_t adDecimal = 14;
inline constexpr std::int32_t adTinyInt = 16;
inline constexpr std::int32_t adUnsignedTinyInt = 17;
inline constexpr std::int32_t adBigInt = 20;
inline constexpr std::int32_t adGUID = 72;
inline constexpr std::int32_t adBinary = 128;
inline constexpr std::int32_t adChar = 129;
inline constexpr std::int32_t adWChar = 130;
inline constexpr std::int32_t adNumeric = 131;
inline constexpr std::int32_t adDBDate = 133;
inline constexpr std::int32_t adDBTime = 134;
inline constexpr std::int32_t adDBTimeStamp = 135;
inline constexpr std::int32_t adVarChar = 200;
inline constexpr std::int32_t adLongVarChar = 201;
inline constexpr std::int32_t adVarWChar = 202;
inline constexpr std::int32_t adLongVarWChar = 203;
inline constexpr std::int32_t adVarBinary = 204;
inline constexpr std::int32_t adLongVarBinary = 205;
}  // namespace ado

// What a script needs to know of a column beyond its name and ADO type, where the database (or
// a columns file) tells it; the defaults say nothing is known.
struct ColumnFacts {
    std::string typeName;     // the server's own name of the type: "uuid", "numeric", "timestamp"
    std::int32_t size = 0;    // characters of text, digits of a number, bytes of binary; 0: unknown
    std::int32_t scale = 0;   // digits after the decimal point
    bool identity = false;    // the server fills it: identity, serial, autoincrement
    bool computed = false;    // computed or generated from other columns: read-only
    bool primaryKey = false;  // part of the table's primary key (columns files only)
    bool sparse = false;      // a sparse column (SQL Server)
    bool columnSet = false;   // the column set of the table's sparse columns (SQL Server)

    friend bool operator==(const ColumnFacts&, const ColumnFacts&) = default;
};

// The facts of a column, held apart from it when there are any: a column list of 30,000 names
// from a file that tells none stays as small as the names. Reads see the empty facts then.
class ColumnFactsBox {
  public:
    ColumnFactsBox() = default;
    ColumnFactsBox(ColumnFacts facts)  // implicit: the box stands for the facts it holds
        : facts_(facts == ColumnFacts() ? nullptr
                                        : std::make_unique<ColumnFacts>(std::move(facts))) {}
    ColumnFactsBox(const ColumnFactsBox& other) : ColumnFactsBox(*other) {}
    ColumnFactsBox(ColumnFactsBox&&) noexcept = default;
    ColumnFactsBox& operator=(const ColumnFactsBox& other) { return *this = ColumnFactsBox(other); }
    ColumnFactsBox& operator=(ColumnFactsBox&&) noexcept = default;
    ~ColumnFactsBox() = default;

    const ColumnFacts& operator*() const { return facts_ ? *facts_ : kNone; }
    const ColumnFacts* operator->() const { return &**this; }
    // The facts to fill in, made when there were none.
    ColumnFacts& Edit() {
        if (!facts_) {
            facts_ = std::make_unique<ColumnFacts>();
        }
        return *facts_;
    }

    friend bool operator==(const ColumnFactsBox& a, const ColumnFactsBox& b) { return *a == *b; }

  private:
    static inline const ColumnFacts kNone{};
    std::unique_ptr<ColumnFacts> facts_;
};

// One column of a query result: its name, its ADO type code and what more is known of it.
struct Field {
    Field() = default;
    Field(std::string name, std::int32_t type) : Name(std::move(name)), Type(type) {}
    Field(std::string name, std::int32_t type, ColumnFacts facts)
        : Name(std::move(name)), Type(type), Facts(std::move(facts)) {}

    std::string Name;
    std::int32_t Type = ado::adVariant;
    ColumnFactsBox Facts;

    friend bool operator==(const Field&, const Field&) = default;
};

// What the database tells of a table beyond its result columns; empty where it tells nothing.
struct TableFacts {
    std::vector<std::string> primaryKey;       // in key order
    std::vector<std::string> computedColumns;  // generated or computed, where only the catalog
                                               // says so
    // Every column as the server's catalog describes it, where the session reads one (SQL
    // Server): its type name, size, scale, identity, computed, sparse and column-set facts stand in
    // for the driver's guesses. Names as the catalog spells them (a server may fold their case).
    std::vector<Field> catalogColumns;
    // What keeps an INSTEAD OF UPDATE trigger off the table or breaks it, as the catalog shows it.
    std::vector<std::string> cascadingForeignKeys;     // the table's keys with an ON UPDATE action
    std::vector<std::string> insteadOfUpdateTriggers;  // such triggers already on the table
    bool systemVersioned = false;                      // a system-versioned temporal table

    bool IsComputed(std::string_view column) const;
};

// An item table's audit table and audit trigger as the server's catalog shows them.
struct InstalledAudit {
    std::optional<std::vector<std::string>> auditTableColumns;  // nothing: no audit table
    bool triggerExists = false;  // the audit trigger, on the item table
    bool insteadOfUpdate = false;
    bool disabled = false;
    std::optional<std::string> definition;  // its text; nothing when it cannot be read
    std::string definitionFailure;          // why it cannot be read
};

// The fields of a recordset, read by 0-based position. Any read may throw qelt::Error.
class Fields {
  public:
    virtual ~Fields() = default;
    virtual std::int32_t Count() const = 0;
    virtual const Field& Item(std::int32_t index) const = 0;
};

// Fields held in memory: a described query result, or a column list from a file.
class FieldVector final : public Fields {
  public:
    FieldVector() = default;
    FieldVector(std::initializer_list<Field> fields) : fields_(fields) {}
    explicit FieldVector(std::vector<Field> fields)
        : fields_(std::make_move_iterator(fields.begin()), std::make_move_iterator(fields.end())) {}
    // Keeps the fields where they are, in the memory they were made in.
    explicit FieldVector(std::pmr::vector<Field> fields) : fields_(std::move(fields)) {}

    std::int32_t Count() const override;
    const Field& Item(std::int32_t index) const override;

  private:
    std::pmr::vector<Field> fields_;
};

// The result of a query. Only its fields are ever used: no row is read.
class Recordset {
  public:
    virtual ~Recordset() = default;
    virtual const Fields& GetFields() const = 0;
    // True when every field's name was held to the column name rules before the query (a columns
    // file is checked whole as it is read), so the run need not check them again.
    virtual bool NamesChecked() const { return false; }
};

// The database session: names a database, opens it and describes query results.
// Every member may throw qelt::Error; an unopened database is OpenDatabase's false result.
class DatabaseSession {
  public:
    virtual ~DatabaseSession() = default;

    virtual void SetDatabaseName(const std::string& name) = 0;
    virtual bool UppercaseIdentifiers() = 0;
    virtual bool OpenDatabase() = 0;
    // Why the last OpenDatabase returned false; nothing after an open that succeeded, and
    // nothing from a session that always opens.
    virtual FailureReason LastOpenFailure() const { return {}; }
    // The three integers are the cursor type, lock type and options of the host's session
    // component; the run always passes 3, 3 and 1. A null result means no recordset came back.
    virtual std::unique_ptr<Recordset> OpenRecordset(const std::string& sql,
                                                     std::int32_t cursorType, std::int32_t lockType,
                                                     std::int32_t options) = 0;
    // The table's primary key and computed columns as the database's catalog reports them. A
    // database that cannot tell reports nothing; only a failure of the session itself throws.
    virtual TableFacts DescribeTable(const std::string& table);
    // The audit table `auditTable` and the trigger `trigger` of the item table, where the
    // database keeps T-SQL triggers in a catalog the session reads; nothing where it does not.
    virtual std::optional<InstalledAudit> DescribeInstalledAudit(const std::string& itemTable,
                                                                 const std::string& auditTable,
                                                                 const std::string& trigger);
};

}  // namespace qelt
