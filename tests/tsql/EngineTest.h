#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/TsqlEngine.h"

namespace qelt::test {

using Rows = std::vector<std::vector<std::optional<std::string>>>;

// A test on the T-SQL engine: one connection, batches that must run, scripts installed batch by
// batch, and the tables it made dropped with their audit tables at the end.
class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::optional<std::string> connection = TsqlEngineConnectionString();
        ASSERT_TRUE(connection) << "QELT_TSQL_ENV names no engine";
        connectionString_ = *connection;
        engine_ = std::make_unique<TsqlConnection>(connectionString_);
        ASSERT_TRUE(engine_->Connected()) << engine_->ConnectError();
    }
    void TearDown() override {
        for (const std::string& table : made_) {
            DropWithItsAuditTable(table);
        }
    }

    // Makes the item table anew from its definition.
    void MakeTable(const std::string& table, const std::string& definition) {
        DropWithItsAuditTable(table);
        made_.push_back(table);
        Exec("CREATE TABLE " + table + " (" + definition + ")");
    }

    void DropWithItsAuditTable(const std::string& table) {
        engine_->Run("IF OBJECT_ID(N'" + table + "', N'U') IS NOT NULL DROP TABLE " + table);
        engine_->Run("IF OBJECT_ID(N'AuditTrail" + table +
                     "', N'U') IS NOT NULL DROP TABLE AuditTrail" + table);
    }

    // Runs a batch that must succeed.
    Rows Exec(const std::string& batch) {
        const BatchResult result = engine_->Run(batch);
        EXPECT_FALSE(result.Failed()) << batch << "\n" << ::testing::PrintToString(result.errors);
        return result.rows;
    }

    // Installs a script; every batch must run.
    void Install(const std::string& script) {
        const std::vector<std::string> errors = engine_->RunScript(script);
        EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors) << "\n" << script;
    }

    std::string connectionString_;
    std::unique_ptr<TsqlConnection> engine_;
    std::vector<std::string> made_;
};

}  // namespace qelt::test
