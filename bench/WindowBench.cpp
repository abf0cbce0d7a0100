// The window's Create, offscreen: on a 1,024-column SQLite table through the ODBC session, and on
// a 30,000-column list held in memory, each ending with the script shown in txtScript.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>
#include <string>
#include <vector>

#include "dbsession/DBFuncs.h"
#include "dbsession/OdbcSession.h"
#include "mainwindow/qt/QtFormView.h"

namespace {

using qelt::gui::MessageBoxContent;
using qelt::gui::QtFormView;

// A session whose probe query answers with a fixed column list, without any database.
class ColumnListSession final : public qelt::DatabaseSession {
  public:
    explicit ColumnListSession(std::vector<qelt::Field> columns) : columns_(std::move(columns)) {}
    void SetDatabaseName(const std::string&) override {}
    bool UppercaseIdentifiers() override { return false; }
    bool OpenDatabase() override { return true; }
    std::unique_ptr<qelt::Recordset> OpenRecordset(const std::string&, std::int32_t, std::int32_t,
                                                   std::int32_t) override {
        return std::make_unique<ListRecordset>(columns_);
    }

  private:
    class ListRecordset final : public qelt::Recordset {
      public:
        explicit ListRecordset(std::vector<qelt::Field> columns) : fields_(std::move(columns)) {}
        const qelt::Fields& GetFields() const override { return fields_; }

      private:
        qelt::FieldVector fields_;
    };
    std::vector<qelt::Field> columns_;
};

std::vector<qelt::Field> ManyColumns(int count) {
    const std::int32_t types[] = {qelt::ado::adVarWChar, qelt::ado::adInteger,
                                  qelt::ado::adLongVarWChar, qelt::ado::adDBTimeStamp};
    std::vector<qelt::Field> columns;
    columns.push_back({"CompanyIntID", qelt::ado::adInteger});
    for (int i = 1; i < count; ++i) {
        columns.push_back({"Column" + std::to_string(i), types[i % 4]});
    }
    return columns;
}

// Clicks Create and lets the window repaint, as a user would see the script.
void RunCreate(benchmark::State& state, const qelt::gui::SessionFactory& createSession,
               const std::string& database) {
    bool messageShown = false;
    QtFormView window(createSession,
                      {[](const std::string&) { return std::string(); },
                       [](const std::string&, const std::string&) { return std::string(); },
                       [database](const std::string&, const std::string&, const std::string&) {
                           return database;
                       }},
                      [&messageShown](QWidget*, const MessageBoxContent&) { messageShown = true; });
    window.show();
    QApplication::processEvents();
    auto* create = window.findChild<QPushButton*>(QStringLiteral("cmdCreate"));
    auto* script = window.findChild<QPlainTextEdit*>(QStringLiteral("txtScript"));

    for (auto _ : state) {
        create->click();
        QApplication::processEvents();
    }
    if (messageShown) {
        state.SkipWithError("Create showed a message box");
    }
    state.counters["script_lines"] = script->blockCount();
    state.counters["script_MB"] = static_cast<double>(script->document()->characterCount()) / 1e6;
}

void BM_CreateOnSQLiteTable1024Columns(benchmark::State& state) {
    RunCreate(
        state, [] { return std::make_unique<qelt::OdbcSession>(); }, QELT_WIDE_DATABASE);
}
BENCHMARK(BM_CreateOnSQLiteTable1024Columns)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_CreateOnColumnList30000Columns(benchmark::State& state) {
    const auto columns = ManyColumns(30000);
    RunCreate(
        state, [&columns] { return std::make_unique<ColumnListSession>(columns); }, "in memory");
}
BENCHMARK(BM_CreateOnColumnList30000Columns)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
