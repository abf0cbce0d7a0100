// Where the script goes: standard output written whole or reported, and --output files, links,
// FIFOs and the columns file itself.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory_resource>
#include <new>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/ProgramRun.h"
#endif

#include "auditscript/WorkedExample.h"
#include "cli/Files.h"
#include "cli/QeltAudit.h"
#include "support/CaseName.h"
#include "support/TempFolder.h"
#include "text/Utf8Path.h"

namespace qelt::cli {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

const char* const kColumns =
    "CompanyIntID\t202\nCompanyName\t202\nEmployees\t3\nEditedBy\t202\nEditDate\t135\n";

struct DescriptorRun {
    int exitCode;
    std::string err;
};

DescriptorRun RunWithStandardOutput(const std::vector<std::string>& args, int standardOutput) {
    std::ostringstream err;
    const int exitCode = RunQeltAudit(args, standardOutput, err);
    return {exitCode, err.str()};
}

#ifdef _WIN32
int MakePipe(int ends[2]) {
    return _pipe(ends, 1 << 16, _O_BINARY);
}
void CloseDescriptor(int fd) {
    _close(fd);
}
#else
int MakePipe(int ends[2]) {
    return pipe(ends);
}
void CloseDescriptor(int fd) {
    close(fd);
}

// A write to a pipe nobody reads fails with EPIPE instead of ending the test program.
class BrokenPipeIgnored {
  public:
    BrokenPipeIgnored() : previous_(std::signal(SIGPIPE, SIG_IGN)) {}
    ~BrokenPipeIgnored() { std::signal(SIGPIPE, previous_); }

  private:
    void (*previous_)(int);
};
#endif

enum class BrokenOutput { PipeWithoutReader, ClosedDescriptor };

class StandardOutputFailure : public ::testing::TestWithParam<BrokenOutput> {};

// A script that cannot be written in full must not end as a success.
TEST_P(StandardOutputFailure, EndsWithExit74AndTheReason) {
    test::TempFolder dir;
    const auto columns = dir.Write("c.tsv", kColumns).string();
#ifndef _WIN32
    const BrokenPipeIgnored ignored;
#endif
    int ends[2];
    ASSERT_EQ(MakePipe(ends), 0);
    CloseDescriptor(ends[0]);
    int fd = ends[1];
    if (GetParam() == BrokenOutput::ClosedDescriptor) {
        CloseDescriptor(ends[1]);
    }
    const DescriptorRun run = RunWithStandardOutput({"--columns", columns}, fd);
    if (GetParam() == BrokenOutput::PipeWithoutReader) {
        CloseDescriptor(ends[1]);
    }
    EXPECT_EQ(run.exitCode, kExitCannotWrite);
    EXPECT_THAT(run.err, StartsWith("qeltaudit: cannot write to standard output: "));
#ifndef _WIN32
    EXPECT_THAT(
        run.err,
        HasSubstr(std::strerror(GetParam() == BrokenOutput::PipeWithoutReader ? EPIPE : EBADF)));
#endif
}

INSTANTIATE_TEST_SUITE_P(Cases, StandardOutputFailure,
                         ::testing::Values(BrokenOutput::PipeWithoutReader,
                                           BrokenOutput::ClosedDescriptor),
                         [](const auto& info) {
                             return info.param == BrokenOutput::PipeWithoutReader
                                        ? "PipeWithoutReader"
                                        : "ClosedDescriptor";
                         });

TEST(StandardOutputFailure, StreamThatRefusesTheTextEndsWithExit74) {
    test::TempFolder dir;
    const auto columns = dir.Write("c.tsv", kColumns).string();
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    std::ostringstream err;
    EXPECT_EQ(RunQeltAudit({"--columns", columns}, out, err), kExitCannotWrite);
    EXPECT_EQ(err.str(),
              "qeltaudit: cannot write to standard output: the stream refused the text\n");
}

// A column list whose script (some 680 KB) passes standard output in several pieces, with
// names that need brackets and quotes doubled in its literals.
std::string WideColumns() {
    std::string columns = "CompanyIntID\t3\nCompanyName\t202\tsize=80\n";
    for (int i = 1; i < 3000; ++i) {
        const std::string name =
            i % 7 == 0 ? "Col'" + std::to_string(i) + " x" : "Col" + std::to_string(i);
        columns += name + "\t" + (i % 2 == 0 ? "202" : "3") + "\n";
    }
    return columns;
}

// The script written whole to --output: what standard output must carry, byte for byte.
std::string WideScript(const test::TempFolder& dir, const std::string& columns) {
    const fs::path output = dir.Path() / "whole.sql";
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunQeltAudit({"--columns", columns, "--output", output.string()}, out, err), kExitOk)
        << err.str();
    return test::ReadBytes(output);
}

TEST(StandardOutputInPieces, CarriesTheWholeScript) {
    test::TempFolder dir;
    const auto columns = dir.Write("wide.tsv", WideColumns()).string();
    const std::string whole = WideScript(dir, columns);
    ASSERT_GT(whole.size(), 600000u);
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunQeltAudit({"--columns", columns}, out, err), kExitOk) << err.str();
    EXPECT_TRUE(out.str() == whole) << "the script on standard output differs";
}

// Takes the first `limit` bytes written to it and refuses the rest.
class LimitedBuffer : public std::streambuf {
  public:
    explicit LimitedBuffer(std::size_t limit) : limit_(limit) {}
    const std::string& Taken() const { return taken_; }

  protected:
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        const auto took = std::min(count, static_cast<std::streamsize>(limit_ - taken_.size()));
        taken_.append(bytes, static_cast<std::size_t>(took));
        return took;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()) || taken_.size() >= limit_) {
            return traits_type::eof();
        }
        taken_.push_back(traits_type::to_char_type(c));
        return c;
    }

  private:
    std::size_t limit_;
    std::string taken_;
};

class StandardOutputFailingMidway : public ::testing::TestWithParam<std::size_t> {};

// A write that fails after some pieces went out still ends with exit 74, and nothing is written
// after it.
TEST_P(StandardOutputFailingMidway, EndsWithExit74) {
    test::TempFolder dir;
    const auto columns = dir.Write("wide.tsv", WideColumns()).string();
    const std::string whole = WideScript(dir, columns);
    LimitedBuffer buffer(GetParam());
    std::ostream out(&buffer);
    std::ostringstream err;
    EXPECT_EQ(RunQeltAudit({"--columns", columns}, out, err), kExitCannotWrite);
    EXPECT_EQ(err.str(),
              "qeltaudit: cannot write to standard output: the stream refused the text\n");
    EXPECT_EQ(buffer.Taken().size(), GetParam());
    EXPECT_TRUE(whole.starts_with(buffer.Taken()));
}

INSTANTIATE_TEST_SUITE_P(AcceptedBytes, StandardOutputFailingMidway,
                         ::testing::Values(0, 1000, 256 * 1024, 300000, 600000),
                         [](const auto& info) { return std::to_string(info.param) + "Bytes"; });

// --output naming the columns file, however spelled, would overwrite the input.
struct ColumnsOutputCase {
    std::string name;
    std::string output;  // in the folder
};

class OutputIsTheColumnsFile : public ::testing::TestWithParam<ColumnsOutputCase> {};

TEST_P(OutputIsTheColumnsFile, IsRefusedAndTheInputKept) {
    test::TempFolder dir;
    const auto columns = dir.Write("c.tsv", kColumns);
    fs::create_directories(dir.Path() / "sub");
    std::error_code noLinks;
    fs::create_symlink(columns, dir.Path() / "link.tsv", noLinks);
    if (GetParam().output == "link.tsv" && noLinks) {
        GTEST_SKIP() << "no symlinks here: " << noLinks.message();
    }
    std::error_code noHardLinks;
    fs::create_hard_link(columns, dir.Path() / "hard.tsv", noHardLinks);
    if (GetParam().output == "hard.tsv" && noHardLinks) {
        GTEST_SKIP() << "no hard links here: " << noHardLinks.message();
    }
    std::ostringstream out;
    std::ostringstream err;
    const int exitCode = RunQeltAudit(
        {"--columns", columns.string(), "--output", (dir.Path() / GetParam().output).string()}, out,
        err);
    EXPECT_EQ(exitCode, kExitUsage);
    EXPECT_THAT(err.str(), HasSubstr("is the columns file"));
    EXPECT_THAT(out.str(), IsEmpty());
    EXPECT_EQ(test::ReadBytes(columns), kColumns);
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputIsTheColumnsFile,
                         ::testing::Values(ColumnsOutputCase{"SameName", "c.tsv"},
                                           ColumnsOutputCase{"ThroughParentFolder", "sub/../c.tsv"},
                                           ColumnsOutputCase{"ThroughDotFolder", "./c.tsv"},
                                           ColumnsOutputCase{"SymbolicLink", "link.tsv"},
                                           ColumnsOutputCase{"HardLink", "hard.tsv"}),
                         test::CaseNameOf());

struct DatabaseOutputCase {
    std::string name;
    std::string database;  // empty: the host settings' database; "@" stands for the folder
    std::string output;    // in the folder

    friend void PrintTo(const DatabaseOutputCase& c, std::ostream* out) { *out << c.name; }
};

class OutputIsTheDatabaseFile : public ::testing::TestWithParam<DatabaseOutputCase> {};

// --output naming the database file, however the database or the output is spelled, would
// replace the database with its script: refused before the database is opened, which stays as it
// was, byte for byte.
TEST_P(OutputIsTheDatabaseFile, IsRefusedAndTheDatabaseKept) {
    const DatabaseOutputCase& c = GetParam();
    test::TempFolder dir;
    const std::string content = "SQLite format 3\0not a database";
    const fs::path database = dir.Write("q.db", content);
    fs::create_directories(dir.Path() / "sub");
    std::error_code noLink;
    if (c.output == "link.db") {
        fs::create_symlink(database, dir.Path() / "link.db", noLink);
    } else if (c.output == "hard.db") {
        fs::create_hard_link(database, dir.Path() / "hard.db", noLink);
    }
    if (noLink) {
        GTEST_SKIP() << "no such links here: " << noLink.message();
    }
    std::string databaseText = c.database;
    if (const auto at = databaseText.find('@'); at != std::string::npos) {
        databaseText.replace(at, 1, text::Utf8Of(dir.Path()));
    }
    std::vector<std::string> args = {"--output", text::Utf8Of(dir.Path() / c.output)};
    if (!databaseText.empty()) {
        args.insert(args.end(), {"--database", databaseText});
    }
    const HostSettingsLookup host = [&] {
        return HostSettings{"/host/", "/data/", text::Utf8Of(database)};
    };
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunQeltAudit(args, out, err, host), kExitUsage);
    EXPECT_THAT(err.str(), HasSubstr("is the database file; name another file"));
    EXPECT_THAT(out.str(), IsEmpty());
    EXPECT_EQ(test::ReadBytes(database), content);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputIsTheDatabaseFile,
    ::testing::Values(
        DatabaseOutputCase{"FilePath", "@/q.db", "q.db"},
        DatabaseOutputCase{"DotSpelling", "@/q.db", "./q.db"},
        DatabaseOutputCase{"UpAndDownSpelling", "@/sub/../q.db", "sub/../q.db"},
        DatabaseOutputCase{"Symlink", "@/q.db", "link.db"},
        DatabaseOutputCase{"HardLink", "@/q.db", "hard.db"},
        DatabaseOutputCase{"DatabaseKey", "DRIVER=SQLite3;Database=@/q.db", "q.db"},
        DatabaseOutputCase{"KeyInAnyCase", "driver=SQLite3;dAtAbAsE=@/q.db;NoCreat=1", "q.db"},
        DatabaseOutputCase{"BracedValue", "DRIVER={SQLite3};DATABASE={@/sub/../q.db}", "q.db"},
        DatabaseOutputCase{"DbqKey", "DRIVER={MDBTools};dbq=@/q.db", "hard.db"},
        DatabaseOutputCase{"HostSettings", "", "q.db"}),
    [](const auto& info) { return info.param.name; });

struct LongNameCase {
    std::string name;
    std::string letter;  // repeated, then 'a' up to `bytes`
    std::size_t bytes;   // of UTF-8, ".sql" included
    bool existing;       // the target is there already

    friend void PrintTo(const LongNameCase& c, std::ostream* out) { *out << c.name; }
};

// The output's name, `bytes` bytes of UTF-8 long.
std::string LongName(const LongNameCase& c) {
    std::string name;
    while (name.size() + c.letter.size() + 4 <= c.bytes) {
        name += c.letter;
    }
    name.resize(c.bytes - 4, 'a');
    return name + ".sql";
}

class LongOutputName : public ::testing::TestWithParam<LongNameCase> {};

// A name that the folder takes leaves no room beside it for a temporary name's suffix: the
// temporary file still fits, the script lands and nothing else stays.
TEST_P(LongOutputName, ScriptLandsAndNoTemporaryFileStays) {
    const LongNameCase& c = GetParam();
    test::TempFolder dir;
    const auto columns = dir.Write("c.tsv", kColumns).string();
    const std::string name = LongName(c);
    ASSERT_EQ(name.size(), c.bytes);
    const fs::path output = dir.Path() / "out" / text::Utf8Path(name);
    fs::create_directories(output.parent_path());
    if (c.existing) {
        test::WriteFile(output, "earlier");
        ASSERT_EQ(test::ReadBytes(output), "earlier");
    }
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunQeltAudit({"--columns", columns, "--output", text::Utf8Of(output)}, out, err),
              kExitOk)
        << err.str();
    EXPECT_EQ(test::ReadBytes(output), test::CompaniesScript());
    EXPECT_EQ(std::distance(fs::directory_iterator(output.parent_path()), {}), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Names, LongOutputName,
    ::testing::Values(LongNameCase{"Ascii242", "a", 242, false},
                      LongNameCase{"Ascii255", "a", 255, false},
                      LongNameCase{"Ascii255Existing", "a", 255, true},
                      LongNameCase{"TwoByteLetters255", "\xC3\xA9", 255, false},
                      LongNameCase{"ThreeByteLetters255Existing", "\xE6\x95\xB0", 255, true},
                      LongNameCase{"FourByteSymbols255", "\xF0\x9F\x98\x80", 255, false},
                      LongNameCase{"FourByteSymbols254Existing", "\xF0\x9F\x98\x80", 254, true}),
    [](const auto& info) { return info.param.name; });

// The rename over an existing file, which Windows does differently.
TEST(OutputFile, ExistingFileIsReplacedWhole) {
    test::TempFolder dir;
    const auto columns = dir.Write("c.tsv", kColumns).string();
    const auto output = dir.Write("audit.sql", std::string(100000, 'x'));
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunQeltAudit({"--columns", columns, "--output", output.string()}, out, err), kExitOk)
        << err.str();
    EXPECT_EQ(test::ReadBytes(output), test::CompaniesScript());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 2);
}

TEST(OutputFile, FolderIsReportedAsAFolder) {
    test::TempFolder dir;
    const auto columns = dir.Write("c.tsv", kColumns).string();
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunQeltAudit({"--columns", columns, "--output", dir.Path().string()}, out, err),
              kExitCannotWrite);
    EXPECT_THAT(err.str(), HasSubstr("is a folder"));
}

#ifndef _WIN32

std::vector<std::string> FolderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::ranges::sort(names);
    return names;
}

struct ReplaceCase {
    std::string name;
    mode_t mode;   // of the existing target
    bool viaLink;  // --output names a symlink in another folder
    bool targetExists;
};

class OutputFileReplaced : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(OutputFileReplaced, KeepsLinkAndPermissionsAndLeavesNoTemporaryFile) {
    const auto& c = GetParam();
    test::TempFolder dir;
    const auto columns = dir.Write("c.tsv", kColumns).string();
    const fs::path target = dir.Path() / "scripts" / "audit.sql";
    fs::create_directories(target.parent_path());
    if (c.targetExists) {
        test::WriteFile(target, "earlier");
        ASSERT_EQ(chmod(target.c_str(), c.mode), 0);
    }
    fs::path output = target;
    if (c.viaLink) {
        fs::create_directories(dir.Path() / "links");
        output = dir.Path() / "links" / "audit.sql";
        fs::create_symlink("../scripts/audit.sql", output);
    }
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunQeltAudit({"--columns", columns, "--output", output.string()}, out, err), kExitOk)
        << err.str();
    EXPECT_EQ(test::ReadBytes(target), test::CompaniesScript());
    EXPECT_EQ(fs::is_symlink(fs::symlink_status(output)), c.viaLink);
    struct stat status {};
    ASSERT_EQ(stat(target.c_str(), &status), 0);
    if (c.targetExists) {
        EXPECT_EQ(status.st_mode & 07777, c.mode);
    }
    EXPECT_THAT(FolderEntries(target.parent_path()), ::testing::ElementsAre("audit.sql"));
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputFileReplaced,
                         ::testing::Values(ReplaceCase{"NewFile", 0, false, false},
                                           ReplaceCase{"ReadableByGroup", 0640, false, true},
                                           ReplaceCase{"PrivateFile", 0600, false, true},
                                           ReplaceCase{"SymlinkToExisting", 0604, true, true},
                                           ReplaceCase{"DanglingSymlink", 0, true, false}),
                         [](const auto& info) { return info.param.name; });

TEST(OutputFile, FifoIsWrittenThroughAndStaysAFifo) {
    test::TempFolder dir;
    const auto columns = dir.Write("c.tsv", kColumns).string();
    const fs::path fifo = dir.Path() / "script.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = test::ReadBytes(fifo); });
    std::ostringstream out;
    std::ostringstream err;
    const int exitCode = RunQeltAudit({"--columns", columns, "--output", fifo.string()}, out, err);
    reader.join();
    EXPECT_EQ(exitCode, kExitOk) << err.str();
    EXPECT_EQ(received, test::CompaniesScript());
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_THAT(FolderEntries(dir.Path()), ::testing::ElementsAre("c.tsv", "script.fifo"));
}

// A link to /proc/self/fd/N stands in for /dev/stdout: the script goes to the file or pipe
// behind the descriptor, and neither the link nor what it leads to is replaced.
TEST(OutputFile, LinkToAnOpenDescriptorIsWrittenThrough) {
    test::TempFolder dir;
    const auto columns = dir.Write("c.tsv", kColumns).string();
    const fs::path captured = dir.Path() / "captured.txt";
    const int standardOutput = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(standardOutput, 0);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);

    // Standard output itself: the same file as the descriptor the run writes to.
    fs::create_symlink("/proc/self/fd/" + std::to_string(standardOutput), dir.Path() / "stdout");
    DescriptorRun run = RunWithStandardOutput(
        {"--columns", columns, "--output", (dir.Path() / "stdout").string()}, standardOutput);
    EXPECT_EQ(run.exitCode, kExitOk) << run.err;
    close(standardOutput);
    EXPECT_EQ(test::ReadBytes(captured), test::CompaniesScript());

    // Another open pipe: written through, as a FIFO is.
    fs::create_symlink("/proc/self/fd/" + std::to_string(pipeEnds[1]), dir.Path() / "piped");
    run = RunWithStandardOutput({"--columns", columns, "--output", (dir.Path() / "piped").string()},
                                -1);
    close(pipeEnds[1]);
    EXPECT_EQ(run.exitCode, kExitOk) << run.err;
    std::string piped(test::CompaniesScript().size() + 1, '\0');
    piped.resize(static_cast<std::size_t>(read(pipeEnds[0], piped.data(), piped.size())));
    close(pipeEnds[0]);
    EXPECT_EQ(piped, test::CompaniesScript());
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.Path() / "stdout")));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.Path() / "piped")));
    EXPECT_THAT(FolderEntries(dir.Path()),
                ::testing::ElementsAre("c.tsv", "captured.txt", "piped", "stdout"));
}

class TemporaryFileCleanup : public ::testing::TestWithParam<int> {};

// SIGQUIT dumps core: none, so that nothing is written outside the test's folder.
void RaiseWithoutCore(int signalNumber) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    std::raise(signalNumber);
}

// A run ended by a signal while its temporary file exists leaves nothing behind, and still ends
// by that signal.
TEST_P(TemporaryFileCleanup, SignalRemovesThePendingFileAndStillEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "fast");
    test::TempFolder dir;
    const fs::path pending = dir.Write("audit.sql.tmp123", "half a script");
    EXPECT_EXIT(
        {
            const TemporaryFileGuard guard(pending);
            RaiseWithoutCore(GetParam());
        },
        ::testing::KilledBySignal(GetParam()), "");
    EXPECT_FALSE(fs::exists(pending));
}

INSTANTIATE_TEST_SUITE_P(Signals, TemporaryFileCleanup,
                         ::testing::Values(SIGINT, SIGTERM, SIGHUP, SIGQUIT), [](const auto& info) {
                             switch (info.param) {
                                 case SIGINT:
                                     return "SIGINT";
                                 case SIGTERM:
                                     return "SIGTERM";
                                 case SIGHUP:
                                     return "SIGHUP";
                                 default:
                                     return "SIGQUIT";
                             }
                         });

const std::string kQeltAudit = QELT_QELTAUDIT;

struct ClosedStreamsCase {
    std::string name;
    std::vector<int> closed;  // standard descriptors closed at start
    bool toOutputFile;        // --output, else standard output
    int exitCode;
    std::string err;  // on standard error, when it is open

    friend void PrintTo(const ClosedStreamsCase& c, std::ostream* out) { *out << c.name; }
};

class ClosedStandardStreams : public ::testing::TestWithParam<ClosedStreamsCase> {};

// qeltaudit started with standard descriptors closed: nothing it opens takes their numbers, and a
// script bound for a closed standard output fails with the reason instead of going anywhere else.
TEST_P(ClosedStandardStreams, ScriptGoesWhereItIsMeantOrNowhere) {
    const ClosedStreamsCase& c = GetParam();
    test::TempFolder dir;
    test::TempFolder captured;
    const auto columns = dir.Write("c.tsv", kColumns).string();
    std::vector<std::string> args = {"--columns", columns};
    if (c.toOutputFile) {
        args.insert(args.end(), {"--output", (dir.Path() / "out.sql").string()});
    }
    const fs::path capturedOutput = captured.Path() / "stdout";
    const int standardOutput = open(capturedOutput.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(standardOutput, 0);
    const bool outputClosed = std::ranges::find(c.closed, 1) != c.closed.end();
    const test::ProgramRun run = test::RunProgram(
        kQeltAudit, args, outputClosed ? test::kClosedOutput : standardOutput, c.closed);
    close(standardOutput);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_EQ(run.err, c.err);
    const bool written = c.exitCode == kExitOk;
    EXPECT_EQ(test::ReadBytes(capturedOutput),
              written && !c.toOutputFile ? test::CompaniesScript() : "");
    if (written && c.toOutputFile) {
        EXPECT_EQ(test::ReadBytes(dir.Path() / "out.sql"), test::CompaniesScript());
        EXPECT_THAT(FolderEntries(dir.Path()), ::testing::ElementsAre("c.tsv", "out.sql"));
    } else {
        EXPECT_THAT(FolderEntries(dir.Path()), ::testing::ElementsAre("c.tsv"));
    }
    EXPECT_EQ(test::ReadBytes(columns), kColumns);
}

const std::string kClosedOutputMessage =
    std::string("qeltaudit: cannot write to standard output: ") + std::strerror(EBADF) + "\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ClosedStandardStreams,
    ::testing::Values(
        ClosedStreamsCase{"OutputClosed", {1}, false, kExitCannotWrite, kClosedOutputMessage},
        ClosedStreamsCase{"OutputClosedScriptToFile", {1}, true, kExitOk, ""},
        ClosedStreamsCase{"InputClosed", {0}, false, kExitOk, ""},
        ClosedStreamsCase{"InputClosedScriptToFile", {0}, true, kExitOk, ""},
        ClosedStreamsCase{"ErrorClosedScriptToFile", {2}, true, kExitOk, ""},
        ClosedStreamsCase{"AllClosed", {0, 1, 2}, false, kExitCannotWrite, ""},
        ClosedStreamsCase{"AllClosedScriptToFile", {0, 1, 2}, true, kExitOk, ""}),
    [](const auto& info) { return info.param.name; });

struct ClosedPipeCase {
    std::string name;
    std::vector<std::string> args;  // "@" stands for a columns file

    friend void PrintTo(const ClosedPipeCase& c, std::ostream* out) { *out << c.name; }
};

class ClosedPipe : public ::testing::TestWithParam<ClosedPipeCase> {};

// `qeltaudit | head -c 10`: a reader gone before the text went out is a failed write, reported
// with exit 74 and the reason, not the end of the process by SIGPIPE.
TEST_P(ClosedPipe, EndsWithExit74AndTheReason) {
    test::TempFolder dir;
    const auto columns = dir.Write("c.tsv", kColumns).string();
    std::vector<std::string> args = GetParam().args;
    std::ranges::replace(args, std::string("@"), columns);
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    close(ends[0]);
    const test::ProgramRun run = test::RunProgram(kQeltAudit, args, ends[1]);
    close(ends[1]);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.exitCode, kExitCannotWrite);
    EXPECT_EQ(run.err, std::string("qeltaudit: cannot write to standard output: ") +
                           std::strerror(EPIPE) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClosedPipe,
    ::testing::Values(ClosedPipeCase{"ScriptInPieces", {"--columns", "@"}},
                      ClosedPipeCase{"WholeScriptUnderStrict", {"--strict", "--columns", "@"}},
                      ClosedPipeCase{"RemovalScript", {"--drop"}},
                      ClosedPipeCase{"Version", {"--version"}}, ClosedPipeCase{"Help", {"--help"}}),
    [](const auto& info) { return info.param.name; });

TEST(TemporaryFileCleanup, RestoresTheSignalHandlersWhenDone) {
    test::TempFolder dir;
    { const TemporaryFileGuard guard(dir.Path() / "pending"); }
    struct sigaction action {};
    sigaction(SIGTERM, nullptr, &action);
    EXPECT_EQ(action.sa_handler, SIG_DFL);
}

#endif

// Blocks on both sides of the size that is mapped on its own, all alive at once: each holds every
// byte it was given, none overlaps another, and each is given back.
TEST(LargeBufferMemory, BlocksOfEverySizeHoldTheirBytes) {
    std::pmr::memory_resource& memory = LargeBufferMemory();
    const std::vector<std::size_t> sizes = {1, 256 * 1024 - 1, 256 * 1024, 2 * 1024 * 1024,
                                            3 * 1024 * 1024 + 5};
    std::vector<unsigned char*> blocks;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        blocks.push_back(static_cast<unsigned char*>(memory.allocate(sizes[i], 16)));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(blocks.back()) % 16, 0u);
        std::memset(blocks.back(), static_cast<int>(i + 1), sizes[i]);
    }
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const unsigned char* block = blocks[i];
        EXPECT_TRUE(
            std::all_of(block, block + sizes[i], [i](unsigned char c) { return c == i + 1; }))
            << sizes[i] << " bytes";
        memory.deallocate(blocks[i], sizes[i], 16);
    }
}

TEST(LargeBufferMemory, BlockBeyondTheAddressSpaceIsBadAlloc) {
    EXPECT_THROW(static_cast<void>(LargeBufferMemory().allocate(std::size_t{1} << 62)),
                 std::bad_alloc);
    EXPECT_THROW(static_cast<void>(LargeBufferMemory().allocate(SIZE_MAX - 4096)), std::bad_alloc);
}

}  // namespace
}  // namespace qelt::cli
