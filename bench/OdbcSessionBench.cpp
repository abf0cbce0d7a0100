// The ODBC session on wide SQLite tables: connecting, describing the probe query's columns, and
// the whole generation run through the driver, for 64 to 1,024 columns.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "auditscript/GenerationRun.h"
#include "auditscript/ScriptWindow.h"
#include "dbsession/OdbcSession.h"

namespace {

// A SQLite file per column count with an Id key and text, memo, integer and timestamp columns.
class WideDatabases {
  public:
    WideDatabases()
        : folder_(std::filesystem::temp_directory_path() /
                  ("qelt-bench-" +
                   std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))) {
        std::filesystem::create_directories(folder_);
    }
    ~WideDatabases() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    std::string PathFor(int columns) {
        const auto path = folder_ / ("wide" + std::to_string(columns) + ".db");
        if (!std::filesystem::exists(path)) {
            static const char* const kinds[] = {"NVARCHAR(50)", "MEMO", "INTEGER", "DATETIME"};
            std::string create = "CREATE TABLE Wide (Id INTEGER PRIMARY KEY";
            for (int i = 1; i < columns; ++i) {
                create += ", Col" + std::to_string(i) + " " + kinds[i % 4];
            }
            create += ");";
            const auto script = std::filesystem::path(path) += ".sql";
            std::ofstream(script, std::ios::binary) << create;
            const std::string command = std::string("'") + QELT_SQLITE3_SHELL + "' -bail '" +
                                        path.string() + "' < '" + script.string() + "'";
            if (std::system(command.c_str()) != 0) {
                throw std::runtime_error("cannot create " + path.string());
            }
        }
        return path.string();
    }

  private:
    std::filesystem::path folder_;
};

WideDatabases& Databases() {
    static WideDatabases databases;
    return databases;
}

class BenchWindow final : public qelt::ScriptWindow {
  public:
    explicit BenchWindow(std::string database) : database_(std::move(database)) {}
    std::string ItemTableText() override { return "Wide"; }
    std::string DatabaseNameText() override { return database_; }
    qelt::ScriptBuffer& Script() override { return script_; }
    void ShowMessage(const std::string& text, qelt::MessageStyle, const std::string&) override {
        throw std::runtime_error(text);
    }
    void SetBusyPointer() override {}
    void ResetPointer() override {}

  private:
    std::string database_;
    qelt::ScriptBuffer script_;
};

void BM_OpenDatabase(benchmark::State& state) {
    qelt::OdbcSession session;
    session.SetDatabaseName(Databases().PathFor(64));
    for (auto _ : state) {
        benchmark::DoNotOptimize(session.OpenDatabase());
    }
}
BENCHMARK(BM_OpenDatabase)->Unit(benchmark::kMicrosecond);

void BM_DescribeProbe(benchmark::State& state) {
    const int columns = static_cast<int>(state.range(0));
    qelt::OdbcSession session;
    session.SetDatabaseName(Databases().PathFor(columns));
    if (!session.OpenDatabase()) {
        state.SkipWithError(session.OpenFailure().c_str());
        return;
    }
    for (auto _ : state) {
        auto recordset = session.OpenRecordset(qelt::ProbeQuery("Wide"), 3, 3, 1);
        benchmark::DoNotOptimize(recordset->GetFields().Count());
    }
    state.SetComplexityN(columns);
}
BENCHMARK(BM_DescribeProbe)
    ->RangeMultiplier(2)
    ->Range(64, 1024)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

void BM_GenerationRunThroughDriver(benchmark::State& state) {
    const int columns = static_cast<int>(state.range(0));
    BenchWindow window(Databases().PathFor(columns));
    qelt::OdbcSession session;
    for (auto _ : state) {
        qelt::CreateAuditScript(window, session, qelt::ColumnOverrides{"Id", std::nullopt});
        benchmark::DoNotOptimize(window.Script().Text().size());
    }
    state.SetComplexityN(columns);
}
BENCHMARK(BM_GenerationRunThroughDriver)
    ->RangeMultiplier(2)
    ->Range(64, 1024)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
