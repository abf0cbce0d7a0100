// Reading the ODBC data sources' definitions (odbc.ini, or the registry on Windows).
#pragma once

#include <string>
#include <vector>

// What the ODBC data sources' definitions say (odbc.ini; on Windows the registry's ODBC.INI),
// through the driver manager's installer library.
namespace qelt {

// The database files a data source's definition names under the file keys (DBQ, Database);
// nothing for a data source that is not defined or names none.
std::vector<std::string> DataSourceFiles(const std::string& dataSource);

}  // namespace qelt
