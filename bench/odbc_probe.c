/* The least a program can do to learn a table's columns through ODBC: connect with a
 * connection string, run the probe query and describe every result column, printing each
 * column's name and SQL type. The yardstick that bench/cli-vs-sqlite3.sh holds qeltaudit
 * --database against.
 *   bench_odbc_probe CONNECTION-STRING TABLE */
#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <string.h>

static int Fail(SQLSMALLINT type, SQLHANDLE handle, const char* operation) {
    SQLCHAR state[6] = "";
    SQLCHAR message[1024] = "";
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length);
    fprintf(stderr, "bench_odbc_probe: %s failed: [%s] %s\n", operation, (char*)state,
            (char*)message);
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: bench_odbc_probe CONNECTION-STRING TABLE\n");
        return 64;
    }
    SQLHENV environment = SQL_NULL_HENV;
    SQLHDBC connection = SQL_NULL_HDBC;
    SQLHSTMT statement = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment);
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection);
    if (!SQL_SUCCEEDED(SQLDriverConnect(connection, NULL, (SQLCHAR*)argv[1], SQL_NTS, NULL, 0, NULL,
                                        SQL_DRIVER_NOPROMPT))) {
        return Fail(SQL_HANDLE_DBC, connection, "SQLDriverConnect");
    }
    char query[1024];
    snprintf(query, sizeof query, "SELECT * FROM %s WHERE 1=2", argv[2]);
    SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement);
    if (!SQL_SUCCEEDED(SQLExecDirect(statement, (SQLCHAR*)query, SQL_NTS))) {
        return Fail(SQL_HANDLE_STMT, statement, "SQLExecDirect");
    }
    SQLSMALLINT columns = 0;
    SQLNumResultCols(statement, &columns);
    for (SQLUSMALLINT column = 1; column <= columns; ++column) {
        SQLCHAR name[256];
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        if (!SQL_SUCCEEDED(SQLDescribeCol(statement, column, name, sizeof name, &nameLength, &type,
                                          &size, &digits, &nullable))) {
            return Fail(SQL_HANDLE_STMT, statement, "SQLDescribeCol");
        }
        printf("%s\t%d\n", (char*)name, type);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    SQLDisconnect(connection);
    SQLFreeHandle(SQL_HANDLE_DBC, connection);
    SQLFreeHandle(SQL_HANDLE_ENV, environment);
    return 0;
}
