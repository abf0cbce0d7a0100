// Generation speed of the whole script (audit table and trigger sections) by column count, and
// of qeltaudit's reading of a columns file.
// Targets: at least 200 MB/s of script text, and 30,000 columns within 35x the time of 1,024.

#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "auditscript/GenerationRun.h"
#include "auditscript/SQLFuncs.h"
#include "cli/ColumnsFile.h"
#include "dbsession/ColumnListSession.h"

namespace {

// A realistic mix: text and non-text columns, an editor column, the key and a date.
qelt::FieldVector MakeColumns(int count) {
    std::vector<qelt::Field> columns;
    columns.reserve(static_cast<std::size_t>(count));
    const std::int32_t types[] = {qelt::ado::adVarWChar, qelt::ado::adInteger,
                                  qelt::ado::adDBTimeStamp, qelt::ado::adLongVarWChar};
    for (int i = 0; i < count; ++i) {
        std::string name = i == 0 ? "CompanyIntID" : "Column" + std::to_string(i);
        if (i == 1) {
            name = "uuEditedBy";
        } else if (i == 2) {
            name = "EditDate";
        } else if (i % 50 == 7) {
            name = "Order " + std::to_string(i);  // a name that needs brackets
        }
        columns.push_back({std::move(name), types[i % 4]});
    }
    return qelt::FieldVector(std::move(columns));
}

void WholeScript(benchmark::State& state) {
    const qelt::FieldVector columns = MakeColumns(static_cast<int>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        qelt::ScriptBuffer script;
        qelt::WriteAuditTableScript(script, "AuditTrailCompanies");
        qelt::WriteAuditTriggerScript(script, "Companies", "AuditTrailCompanies", "CompanyIntID",
                                      "CompanyName", columns);
        bytes = script.Text().size();
        benchmark::DoNotOptimize(script.Text().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
    state.counters["script_bytes"] = static_cast<double>(bytes);
}

// The command line's path for a column list: the script handed on in 64 KiB pieces.
void ScriptInPieces(benchmark::State& state) {
    const qelt::FieldVector columns = MakeColumns(static_cast<int>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        qelt::ScriptBuffer script;
        script.HandOnInPieces(64 * 1024, [&bytes](std::string_view piece) {
            benchmark::DoNotOptimize(piece.data());
            bytes += piece.size();
        });
        qelt::WriteAuditTableScript(script, "AuditTrailCompanies");
        qelt::WriteAuditTriggerScript(script, "Companies", "AuditTrailCompanies", "CompanyIntID",
                                      "CompanyName", columns);
        script.HandOnRest();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
}

// qeltaudit's reading of a columns file of as many lines: parsing, checks and repeated names.
void ParseColumnList(benchmark::State& state) {
    const qelt::FieldVector columns = MakeColumns(static_cast<int>(state.range(0)));
    std::string text;
    for (std::int32_t i = 0; i < columns.Count(); ++i) {
        text += columns.Item(i).Name + "\t" + std::to_string(columns.Item(i).Type) + "\n";
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(qelt::cli::ParseColumns(text).data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(text.size()) * state.iterations());
}

// A window that only holds the script.
class ScriptOnlyWindow final : public qelt::ScriptWindow {
  public:
    std::string ItemTableText() override { return "Companies"; }
    std::string DatabaseNameText() override { return {}; }
    qelt::ScriptBuffer& Script() override { return script; }
    void ShowMessage(const std::string& text, qelt::MessageStyle, const std::string&) override {
        message = text;
    }
    void SetBusyPointer() override {}
    void ResetPointer() override {}

    qelt::ScriptBuffer script;
    std::string message;
};

// The whole Create run on a column list, as a database gives it: the run checks each name as
// the script reads it.
void CreateRun(benchmark::State& state) {
    qelt::ColumnListSession session(MakeColumns(static_cast<int>(state.range(0))));
    ScriptOnlyWindow window;
    for (auto _ : state) {
        qelt::CreateAuditScript(window, session);
        benchmark::DoNotOptimize(window.script.Text().data());
    }
    if (!window.message.empty()) {
        state.SkipWithError(window.message.c_str());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(window.script.Text().size()) *
                            state.iterations());
}

BENCHMARK(CreateRun)->Arg(1024)->Arg(30000)->Unit(benchmark::kMicrosecond);

BENCHMARK(ParseColumnList)->Arg(1024)->Arg(30000)->Unit(benchmark::kMicrosecond);

BENCHMARK(WholeScript)->Arg(16)->Arg(1024)->Arg(30000)->Unit(benchmark::kMicrosecond);

BENCHMARK(ScriptInPieces)->Arg(30000)->Unit(benchmark::kMicrosecond);

}  // namespace
