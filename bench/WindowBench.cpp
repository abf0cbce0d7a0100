// The window's Create: on a 1,024-column SQLite table through the ODBC session, and on a
// 30,000-column list held in memory, each ending with the script shown in txtScript. The Qt view
// runs here, offscreen; the Win32 view runs under Wine in bench_window_win32.exe, which times each
// run inside its own process (named by QELT_WIN32_WINDOW_BENCH; those cases need a display).
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ManyColumns.h"
#include "dbsession/ColumnListSession.h"
#include "dbsession/DBFuncs.h"
#include "dbsession/OdbcSession.h"
#include "mainwindow/qt/QtFormView.h"

namespace {

using qelt::ColumnListSession;
using qelt::bench::ManyColumns;
using qelt::gui::MessageBoxContent;
using qelt::gui::QtFormView;

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
        state,
        [&columns] { return std::make_unique<ColumnListSession>(qelt::FieldVector(columns)); },
        "in memory");
}
BENCHMARK(BM_CreateOnColumnList30000Columns)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

// bench_window_win32.exe under Wine, spoken to through its standard input and output.
class Win32WindowProcess {
  public:
    Win32WindowProcess(const std::string& program, const std::string& openCommand) {
        int toChild[2];
        int fromChild[2];
        if (pipe(toChild) != 0 || pipe(fromChild) != 0) {
            throw std::runtime_error("no pipe");
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(toChild[0], STDIN_FILENO);
            dup2(fromChild[1], STDOUT_FILENO);
            for (const int end : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) {
                close(end);
            }
            execlp("wine", "wine", program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        to_ = fdopen(toChild[1], "w");
        from_ = fdopen(fromChild[0], "r");
        if (Ask(openCommand) != "ready") {
            throw std::runtime_error("bench_window_win32.exe did not open its window");
        }
    }
    ~Win32WindowProcess() {
        std::fputs("quit\n", to_);
        std::fclose(to_);
        std::fclose(from_);
        waitpid(pid_, nullptr, 0);
    }

    std::string Ask(const std::string& line) {
        std::fputs((line + "\n").c_str(), to_);
        std::fflush(to_);
        char answer[256] = {};
        if (std::fgets(answer, sizeof(answer), from_) == nullptr) {
            throw std::runtime_error("bench_window_win32.exe ended");
        }
        std::string text(answer);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        return text;
    }

  private:
    pid_t pid_ = -1;
    FILE* to_ = nullptr;
    FILE* from_ = nullptr;
};

// Each iteration's time is the Win32 process's own measure of one Create.
void RunWin32Create(benchmark::State& state, const std::string& openCommand) {
    const char* program = std::getenv("QELT_WIN32_WINDOW_BENCH");
    if (program == nullptr) {
        state.SkipWithError("QELT_WIN32_WINDOW_BENCH names no bench_window_win32.exe");
        return;
    }
    Win32WindowProcess window(program, openCommand);
    double characters = 0;
    for (auto _ : state) {
        const std::string answer = window.Ask("run");
        const auto space = answer.find(' ');
        state.SetIterationTime(std::stod(answer.substr(0, space)));
        characters = std::stod(answer.substr(space + 1));
    }
    state.counters["script_MB"] = characters / 1e6;
}

void BM_Win32CreateOnSQLiteTable1024Columns(benchmark::State& state) {
    RunWin32Create(
        state, std::string("sqlite DRIVER=SQLite3;Database=") + QELT_WIDE_DATABASE + ";NoCreat=1");
}
BENCHMARK(BM_Win32CreateOnSQLiteTable1024Columns)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_Win32CreateOnColumnList30000Columns(benchmark::State& state) {
    RunWin32Create(state, "columns 30000");
}
BENCHMARK(BM_Win32CreateOnColumnList30000Columns)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
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
