#pragma once

// A structure check of T-SQL scripts for the tests: a lexer and a recursive-descent parser over
// the statement forms the audit scripts use. It is no complete T-SQL grammar; it catches what a
// script generator gets wrong: unbalanced parentheses, BEGIN or CASE without END, unclosed
// literals, names that need brackets, misplaced GO lines, stray commas, empty lists.

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "auditscript/SqlQuoting.h"
#include "text/Ascii.h"
#include "text/Utf.h"

namespace qelt::test {

namespace tsql {

// Go is a batch separator line; End follows the last token of the script.
enum class Kind { Word, Delimited, String, Number, Variable, Symbol, Go, End };

struct Token {
    Kind kind;
    std::string_view text;
    int line;
};

struct Problem {
    int line;
    std::string message;
};

// T-SQL takes names of at most 128 UTF-16 units.
inline bool TooLong(std::string_view name) {
    return text::Utf8ToUtf16(name).size() > 128;
}

inline bool IsWordStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

inline bool IsWordByte(unsigned char c) {
    return IsWordStart(c) || (c >= '0' && c <= '9') || c == '@' || c == '$' || c == '#';
}

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Splits the script into tokens. False after a problem the lexer cannot go on from (an unclosed
// literal, name or comment, a stray character); a GO line with more on it is reported, and the
// lexer goes on after it.
class Lexer {
  public:
    Lexer(std::string_view script, std::vector<Token>& tokens, std::vector<Problem>& problems)
        : s_(script), tokens_(tokens), problems_(problems) {}

    bool Run() {
        while (pos_ < s_.size()) {
            const char c = s_[pos_];
            if (c == '\n') {
                ++line_;
                lineStart_ = true;
                ++pos_;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f') {
                ++pos_;
            } else if (!Lex()) {
                return false;
            }
        }
        tokens_.push_back({Kind::End, {}, line_});
        return true;
    }

  private:
    // Reads the token, comment or GO line at pos_.
    bool Lex() {
        const bool first = lineStart_;
        lineStart_ = false;
        const std::size_t start = pos_;
        const char c = s_[pos_];
        const char next = pos_ + 1 < s_.size() ? s_[pos_ + 1] : '\0';
        if (c == '-' && next == '-') {
            pos_ = std::min(s_.find('\n', pos_), s_.size());
            return true;
        }
        if (c == '/' && next == '*') {
            return BlockComment();
        }
        if (c == '\'' || ((c == 'N' || c == 'n') && next == '\'')) {
            return Quoted(Kind::String, s_.find('\'', start), '\'', "'...' literal");
        }
        if (c == '[') {
            return Quoted(Kind::Delimited, start, ']', "[...] name");
        }
        if (c == '"') {
            return Quoted(Kind::Delimited, start, '"', "\"...\" name");
        }
        if (IsDigit(c)) {
            return Number();
        }
        if (IsWordStart(static_cast<unsigned char>(c)) || c == '@') {
            while (++pos_ < s_.size() && IsWordByte(static_cast<unsigned char>(s_[pos_]))) {
            }
            const std::string_view word = s_.substr(start, pos_ - start);
            if (word == "@") {
                return Fail("'@' without a variable name");
            }
            if (first && text::EqualsIgnoringAsciiCase(word, "GO")) {
                return GoLine();
            }
            Add(c == '@' ? Kind::Variable : Kind::Word, start);
            return true;
        }
        for (const std::string_view pair : {"<=", ">=", "<>", "!=", "!<", "!>"}) {
            if (s_.substr(start, 2) == pair) {
                pos_ += 2;
                Add(Kind::Symbol, start);
                return true;
            }
        }
        if (std::string_view("(),.;=<>+-*/%&|^~").find(c) == std::string_view::npos) {
            return Fail("unexpected character " + QuotedForMessage(s_.substr(start, 1)));
        }
        ++pos_;
        Add(Kind::Symbol, start);
        return true;
    }

    // A quoted token from its opening character at open: a doubled closing character stands for
    // itself. The scripts never break a line inside a literal or a name, so one that runs past
    // its line has lost a quote, and is reported on the line where it opens.
    bool Quoted(Kind kind, std::size_t open, char close, std::string_view what) {
        const std::size_t start = pos_;
        const std::size_t lineEnd = s_.find('\n', open);
        std::size_t at = open + 1;
        for (;; at += 2) {
            at = s_.find(close, at);
            if (at == std::string_view::npos || at > lineEnd) {
                return Fail(std::string(what) + " not closed on its line");
            }
            if (at + 1 >= s_.size() || s_[at + 1] != close) {
                break;
            }
        }
        pos_ = at + 1;
        if (kind == Kind::Delimited) {
            const std::string_view name = s_.substr(open + 1, at - open - 1);
            if (name.empty()) {
                return Fail("empty " + std::string(what));
            }
            if (TooLong(name)) {
                return Fail(std::string(what) + " longer than 128 characters");
            }
        }
        Add(kind, start);
        return true;
    }

    // Digits with an optional fraction; letters right after them make a name that
    // starts with a digit, which T-SQL would read as a number and an alias.
    bool Number() {
        const std::size_t start = pos_;
        const auto digits = [&] {
            while (pos_ < s_.size() && IsDigit(s_[pos_])) {
                ++pos_;
            }
        };
        digits();
        if (pos_ + 1 < s_.size() && s_[pos_] == '.' && IsDigit(s_[pos_ + 1])) {
            ++pos_;
            digits();
        }
        if (pos_ < s_.size() && IsWordByte(static_cast<unsigned char>(s_[pos_]))) {
            std::size_t end = pos_;
            while (end < s_.size() && IsWordByte(static_cast<unsigned char>(s_[end]))) {
                ++end;
            }
            return Fail(QuotedForMessage(s_.substr(start, end - start)) +
                        " starts with a digit; as a name it needs brackets");
        }
        Add(Kind::Number, start);
        return true;
    }

    // T-SQL's block comments nest.
    bool BlockComment() {
        const int openLine = line_;
        int depth = 0;
        while (pos_ + 1 < s_.size()) {
            const std::string_view two = s_.substr(pos_, 2);
            if (two == "/*" || two == "*/") {
                depth += two == "/*" ? 1 : -1;
                pos_ += 2;
                if (depth == 0) {
                    return true;
                }
            } else {
                line_ += s_[pos_] == '\n' ? 1 : 0;
                ++pos_;
            }
        }
        line_ = openLine;
        return Fail("/* comment without */");
    }

    // GO ends a batch only alone on its line, a -- comment aside.
    bool GoLine() {
        const std::size_t lineEnd = std::min(s_.find('\n', pos_), s_.size());
        const std::string_view rest = s_.substr(pos_, lineEnd - pos_);
        const std::size_t more = rest.find_first_not_of(" \t\r");
        if (more != std::string_view::npos && !rest.substr(more).starts_with("--")) {
            problems_.push_back({line_, "GO must stand alone on its line"});
        }
        tokens_.push_back({Kind::Go, "GO", line_});
        pos_ = lineEnd;
        return true;
    }

    void Add(Kind kind, std::size_t start) {
        tokens_.push_back({kind, s_.substr(start, pos_ - start), line_});
    }

    bool Fail(std::string message) {
        problems_.push_back({line_, std::move(message)});
        return false;
    }

    std::string_view s_;
    std::vector<tsql::Token>& tokens_;
    std::vector<Problem>& problems_;
    std::size_t pos_ = 0;
    int line_ = 1;
    bool lineStart_ = true;
};

// Thrown at the first problem of a batch; the next batch is checked on its own.
struct Failure {
    Problem problem;
};

// Checks one batch: its tokens, ending with a Go or End token.
class Parser {
  public:
    explicit Parser(std::span<const Token> batch) : t_(batch) {}

    void Batch() {
        for (bool first = true; !AtEnd(); first = false) {
            Statement(first);
        }
    }

  private:
    // ---- statements ----

    void Statement(bool firstInBatch) {
        const Token& t = Peek();
        if (IsWord(t, "BEGIN")) {
            Block();
        } else if (IsWord(t, "CREATE") && IsWord(Peek(1), "TABLE")) {
            CreateTable();
        } else if (IsWord(t, "CREATE") && IsWord(Peek(1), "TRIGGER")) {
            if (!firstInBatch) {
                Fail(t.line, "CREATE TRIGGER must be the first statement of its batch");
            }
            CreateTrigger();
        } else if (IsWord(t, "ALTER")) {
            AlterTable();
        } else if (IsWord(t, "DROP")) {
            Next();
            if (!AcceptWord("TABLE") && !AcceptWord("TRIGGER")) {
                Unexpected("TABLE or TRIGGER");
            }
            Name();
        } else if (IsWord(t, "SET")) {
            Set();
        } else if (IsWord(t, "DECLARE")) {
            Next();
            CommaList([&] {
                Expect(Kind::Variable, "a variable");
                AcceptWord("AS");
                Type();
            });
        } else if (IsWord(t, "UPDATE")) {
            Update();
        } else if (IsWord(t, "SELECT")) {
            Select();
        } else if (IsWord(t, "INSERT")) {
            Insert();
        } else if (IsWord(t, "WHILE")) {
            Next();
            Expression();
            Statement(false);
        } else if (IsWord(t, "IF")) {
            Next();
            Expression();
            Statement(false);
            if (AcceptWord("ELSE")) {
                Statement(false);
            }
        } else if (IsWord(t, "RAISERROR")) {
            Next();
            const Token& open = ExpectSymbol("(");
            CommaList([&] { Expression(); });
            Close(open);
        } else if (IsWord(t, "ROLLBACK")) {
            Next();
            if (!AcceptWord("TRANSACTION")) {
                AcceptWord("TRAN");
            }
        } else if (IsWord(t, "RETURN")) {
            Next();
        } else if (IsWord(t, "END")) {
            Fail(t.line, "END without BEGIN");
        } else if (IsWord(t, "GO")) {
            Fail(t.line, "GO must stand alone on its line");
        } else {
            Unexpected("a statement");
        }
        AcceptSymbol(";");
    }

    void Block() {
        const Token& begin = Next();
        if (IsWord(Peek(), "END")) {
            Fail(begin.line, "BEGIN ... END without a statement");
        }
        while (!AcceptWord("END")) {
            if (AtEnd()) {
                Fail(begin.line, "BEGIN without END");
            }
            Statement(false);
        }
    }

    void CreateTable() {
        Next();
        Next();
        Name();
        const Token& open = ExpectSymbol("(");
        CommaList([&] { ColumnDefinition(); });
        Close(open);
        if (AcceptWord("ON")) {
            Identifier();
        }
        if (AcceptWord("TEXTIMAGE_ON")) {
            Identifier();
        }
    }

    void ColumnDefinition() {
        Identifier();
        Type();
        for (;;) {
            if (AcceptWord("IDENTITY")) {
                const Token& open = ExpectSymbol("(");
                Expect(Kind::Number, "a number");
                ExpectSymbol(",");
                Expect(Kind::Number, "a number");
                Close(open);
            } else if (AcceptWord("COLLATE")) {
                Identifier();
            } else if (AcceptWord("NOT")) {
                ExpectWord("NULL");
            } else if (!AcceptWord("NULL")) {
                return;
            }
        }
    }

    void AlterTable() {
        Next();
        ExpectWord("TABLE");
        Name();
        if (AcceptWord("WITH") && !AcceptWord("NOCHECK") && !AcceptWord("CHECK")) {
            Unexpected("CHECK or NOCHECK");
        }
        ExpectWord("ADD");
        CommaList([&] {
            ExpectWord("CONSTRAINT");
            Identifier();
            if (AcceptWord("DEFAULT")) {
                Expression();
                ExpectWord("FOR");
                Identifier();
            } else if (AcceptWord("PRIMARY")) {
                ExpectWord("KEY");
                if (!AcceptWord("CLUSTERED")) {
                    AcceptWord("NONCLUSTERED");
                }
                const Token& open = ExpectSymbol("(");
                CommaList([&] {
                    Identifier();
                    if (!AcceptWord("ASC")) {
                        AcceptWord("DESC");
                    }
                });
                Close(open);
                if (AcceptWord("ON")) {
                    Identifier();
                }
            } else {
                Unexpected("DEFAULT or PRIMARY KEY");
            }
        });
    }

    // The trigger's body is every statement up to the end of the batch.
    void CreateTrigger() {
        Next();
        Next();
        Name();
        ExpectWord("ON");
        Name();
        ExpectWord("INSTEAD");
        ExpectWord("OF");
        CommaList([&] {
            if (!AcceptWord("INSERT") && !AcceptWord("UPDATE") && !AcceptWord("DELETE")) {
                Unexpected("INSERT, UPDATE or DELETE");
            }
        });
        ExpectWord("AS");
        do {
            Statement(false);
        } while (!AtEnd());
    }

    void Set() {
        Next();
        if (Peek().kind == Kind::Variable) {
            Next();
            ExpectSymbol("=");
            Expression();
            return;
        }
        Expect(Kind::Word, "a variable or an option");
        if (!AcceptWord("ON") && !AcceptWord("OFF")) {
            Unexpected("ON or OFF");
        }
    }

    void Update() {
        Next();
        Name();
        const Token& set = ExpectWord("SET");
        if (AtEnd() || IsWord(Peek(), "FROM") || IsWord(Peek(), "WHERE")) {
            Fail(set.line, "SET list is empty, " + Found());
        }
        CommaList([&] {
            if (!AcceptKind(Kind::Variable)) {
                Name();
            }
            ExpectSymbol("=");
            Expression();
        });
        FromAndWhere();
    }

    void Select() {
        Next();
        CommaList([&] {
            if (AcceptSymbol("*")) {
                return;
            }
            if (Peek().kind == Kind::Variable && IsSymbol(Peek(1), "=")) {
                Next();
                Next();
            }
            Expression();
        });
        FromAndWhere();
    }

    void FromAndWhere() {
        if (AcceptWord("FROM")) {
            CommaList([&] { Name(); });
        }
        if (AcceptWord("WHERE")) {
            Expression();
        }
    }

    // A SELECT in parentheses, or two joined by EXCEPT.
    void Subquery(const Token& open) {
        do {
            if (!IsWord(Peek(), "SELECT")) {
                Unexpected("SELECT");
            }
            Select();
        } while (AcceptWord("EXCEPT"));
        Close(open);
    }

    void Insert() {
        Next();
        ExpectWord("INTO");
        Name();
        if (IsSymbol(Peek(), "(")) {
            const Token& open = Next();
            CommaList([&] { Identifier(); });
            Close(open);
        }
        if (!IsWord(Peek(), "SELECT")) {
            Unexpected("SELECT");
        }
        Select();
    }

    // ---- expressions ----

    // Operands joined by operators: precedence does not change whether an expression parses.
    void Expression() {
        do {
            while (AcceptWord("NOT")) {
            }
            Operand();
            if (AcceptWord("IS")) {
                AcceptWord("NOT");
                ExpectWord("NULL");
            }
        } while (AcceptOperator());
    }

    bool AcceptOperator() {
        const Token& t = Peek();
        const bool binary =
            t.kind == Kind::Symbol
                ? std::string_view("=<>!+-*/%&|^").find(t.text.front()) != std::string_view::npos
                : IsWord(t, "AND") || IsWord(t, "OR");
        return binary && (Next(), true);
    }

    void Operand() {
        if (AcceptKind(Kind::String) || AcceptKind(Kind::Number) || AcceptKind(Kind::Variable) ||
            AcceptWord("NULL")) {
            return;
        }
        const Token& t = Peek();
        const bool call = IsSymbol(Peek(1), "(");
        if (IsSymbol(t, "-") || IsSymbol(t, "+") || IsSymbol(t, "~")) {
            Next();
            Operand();
        } else if (IsSymbol(t, "(") && IsWord(Peek(1), "SELECT")) {
            Subquery(Next());
        } else if (IsSymbol(t, "(")) {
            Next();
            Expression();
            Close(t);
        } else if (IsWord(t, "EXISTS") && call) {
            Next();
            Subquery(Next());
        } else if (IsWord(t, "CASE")) {
            Case();
        } else if (IsWord(t, "CAST") && call) {
            Next();
            const Token& open = Next();
            Expression();
            ExpectWord("AS");
            Type();
            Close(open);
        } else if (IsWord(t, "CONVERT") && call) {
            Next();
            const Token& open = Next();
            Type();
            ExpectSymbol(",");
            Expression();
            if (AcceptSymbol(",")) {
                Expect(Kind::Number, "a style number");
            }
            Close(open);
        } else if ((IsWord(t, "LEFT") || IsWord(t, "RIGHT")) && call) {
            Next();  // reserved for joins, and functions too
            const Token& open = Next();
            CommaList([&] { Expression(); });
            Close(open);
        } else if (IsWord(t, "UPDATE") && call) {
            Next();
            const Token& open = Next();
            Identifier();
            Close(open);
        } else if (t.kind == Kind::Word && call) {
            Identifier();
            const Token& open = Next();
            if (IsSymbol(Peek(), "*") && IsSymbol(Peek(1), ")")) {
                Next();
            } else if (!IsSymbol(Peek(), ")")) {
                CommaList([&] { Expression(); });
            }
            Close(open);
        } else if (t.kind == Kind::Word && IsReservedKeyword(t.text) && !IsSymbol(Peek(1), ".")) {
            Unexpected("an expression");
        } else {
            Name();
        }
    }

    void Case() {
        const Token& start = Next();
        if (!IsWord(Peek(), "WHEN")) {
            Expression();
        }
        if (!IsWord(Peek(), "WHEN")) {
            Fail(start.line, "CASE without WHEN, " + Found());
        }
        while (AcceptWord("WHEN")) {
            Expression();
            ExpectWord("THEN");
            Expression();
        }
        if (AcceptWord("ELSE")) {
            Expression();
        }
        if (IsSymbol(Peek(), ",")) {
            Fail(Peek().line, "comma inside CASE before " + Describe(Peek(1)));
        }
        if (!AcceptWord("END")) {
            Fail(start.line, "CASE without END, " + Found());
        }
    }

    // A type with its length, precision and scale, or MAX; character lengths within T-SQL's.
    void Type() {
        const Token& name = Peek();
        Identifier();
        if (!IsSymbol(Peek(), "(")) {
            return;
        }
        const Token& open = Next();
        if (!AcceptWord("MAX")) {
            const Token& length = Expect(Kind::Number, "a number or MAX");
            CheckLength(name, length);
        }
        if (AcceptSymbol(",")) {
            Expect(Kind::Number, "a number");
        }
        Close(open);
    }

    // The longest length T-SQL takes for a sized character or byte type; 0 for other types.
    static unsigned MaxLength(std::string_view type) {
        const std::string name = text::AsciiLower(type);
        if (name == "nvarchar" || name == "nchar") {
            return 4000;
        }
        if (name == "varchar" || name == "char" || name == "varbinary" || name == "binary") {
            return 8000;
        }
        return 0;
    }

    static void CheckLength(const Token& type, const Token& length) {
        std::string_view name = type.text;
        if (type.kind == Kind::Delimited) {
            name = name.substr(1, name.size() - 2);
        }
        const unsigned limit = MaxLength(name);
        unsigned value = 0;
        const std::string_view digits = length.text;
        const char* const end = digits.data() + digits.size();
        const std::from_chars_result read = std::from_chars(digits.data(), end, value);
        if (limit != 0 &&
            (read.ec != std::errc() || read.ptr != end || value < 1 || value > limit)) {
            Fail(length.line, "length " + std::string(digits) + " of " + std::string(name) +
                                  " is not from 1 to " + std::to_string(limit));
        }
    }

    // ---- names and lists ----

    // A name of up to four parts: server.database.schema.object, table.column.
    void Name() {
        Identifier();
        while (AcceptSymbol(".")) {
            Identifier();
        }
    }

    // A bare name must be a regular identifier; a delimited one was checked by the lexer.
    void Identifier() {
        const Token& t = Peek();
        if (t.kind == Kind::Word) {
            const std::string quoted = QuotedForMessage(t.text);
            if (IsReservedKeyword(t.text)) {
                Fail(t.line, quoted + " is a reserved keyword; as a name it needs brackets");
            }
            if (!IsRegularIdentifier(t.text)) {
                Fail(t.line, quoted + " is not a regular identifier; it needs brackets");
            }
            if (TooLong(t.text)) {
                Fail(t.line, quoted + " is longer than 128 characters");
            }
        } else if (t.kind != Kind::Delimited) {
            Unexpected("a name");
        }
        Next();
    }

    // Items separated by commas; a comma with no item after it is reported on its own line.
    template <typename Item>
    void CommaList(Item item) {
        item();
        while (IsSymbol(Peek(), ",")) {
            const Token& comma = Next();
            const Token& next = Peek();
            if (IsSymbol(next, ",")) {
                Fail(next.line, "two commas in a row");
            }
            if (AtEnd() || IsSymbol(next, ")") || IsWord(next, "FROM") || IsWord(next, "WHERE") ||
                IsWord(next, "END")) {
                Fail(comma.line, "comma before " + Describe(next));
            }
            item();
        }
    }

    // ---- tokens ----

    const Token& Peek(std::size_t ahead = 0) const {
        return t_[std::min(pos_ + ahead, t_.size() - 1)];
    }

    const Token& Next() {
        const Token& t = Peek();
        pos_ = std::min(pos_ + 1, t_.size() - 1);
        return t;
    }

    bool AtEnd() const { return pos_ + 1 == t_.size(); }

    static bool IsWord(const Token& t, std::string_view word) {
        return t.kind == Kind::Word && text::EqualsIgnoringAsciiCase(t.text, word);
    }

    static bool IsSymbol(const Token& t, std::string_view symbol) {
        return t.kind == Kind::Symbol && t.text == symbol;
    }

    bool AcceptWord(std::string_view word) { return IsWord(Peek(), word) && (Next(), true); }

    bool AcceptSymbol(std::string_view symbol) {
        return IsSymbol(Peek(), symbol) && (Next(), true);
    }

    bool AcceptKind(Kind kind) { return !AtEnd() && Peek().kind == kind && (Next(), true); }

    const Token& ExpectWord(std::string_view word) {
        if (!IsWord(Peek(), word)) {
            Unexpected(word);
        }
        return Next();
    }

    const Token& ExpectSymbol(std::string_view symbol) {
        if (!IsSymbol(Peek(), symbol)) {
            Unexpected("'" + std::string(symbol) + "'");
        }
        return Next();
    }

    const Token& Expect(Kind kind, std::string_view what) {
        if (AtEnd() || Peek().kind != kind) {
            Unexpected(what);
        }
        return Next();
    }

    // The ')' that closes open.
    void Close(const Token& open) {
        if (!AcceptSymbol(")")) {
            Fail(open.line, "'(' without ')', " + Found());
        }
    }

    static std::string Describe(const Token& t) {
        if (t.kind == Kind::End) {
            return "the end of the script";
        }
        return t.kind == Kind::Go ? "GO" : QuotedForMessage(t.text);
    }

    std::string Found() const { return "found " + Describe(Peek()); }

    [[noreturn]] void Unexpected(std::string_view expected) const {
        Fail(Peek().line, "expected " + std::string(expected) + ", " + Found());
    }

    [[noreturn]] static void Fail(int line, std::string message) {
        throw Failure{{line, std::move(message)}};
    }

    std::span<const Token> t_;
    std::size_t pos_ = 0;
};

}  // namespace tsql

// Problems found in a T-SQL script, each naming its line; empty when the script parses. Each
// batch reports its first problem; a problem of the lexer ends the check.
inline std::vector<std::string> TsqlProblems(std::string_view script) {
    std::vector<tsql::Token> tokens;
    std::vector<tsql::Problem> problems;
    if (tsql::Lexer(script, tokens, problems).Run()) {
        std::size_t start = 0;
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (tokens[i].kind == tsql::Kind::Go || tokens[i].kind == tsql::Kind::End) {
                try {
                    tsql::Parser(std::span(tokens).subspan(start, i + 1 - start)).Batch();
                } catch (const tsql::Failure& failure) {
                    problems.push_back(failure.problem);
                }
                start = i + 1;
            }
        }
    }
    std::stable_sort(problems.begin(), problems.end(),
                     [](const auto& a, const auto& b) { return a.line < b.line; });
    std::vector<std::string> messages;
    for (const tsql::Problem& problem : problems) {
        messages.push_back("line " + std::to_string(problem.line) + ": " + problem.message);
    }
    return messages;
}

}  // namespace qelt::test
