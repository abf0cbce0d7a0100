#!/usr/bin/env bash
# Times `qeltaudit --database` on a 1,024-column SQLite table side by side with the sqlite3 shell
# running the same probe query on the same file, and with bench_odbc_probe, a minimal C program
# that connects, runs the probe and describes the columns through the same ODBC driver.
#   bench/cli-vs-sqlite3.sh [QELTAUDIT] [RUNS]     (defaults: build/src/cli/qeltaudit, 100)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
qeltaudit=${1:-$root/build/src/cli/qeltaudit}
runs=${2:-100}
probe_program=$(dirname "$qeltaudit")/../../bench/bench_odbc_probe

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
database=$work/wide.db

# Id plus 1,023 columns of the demo's kinds: text, memo, integer, timestamp.
{
    printf 'CREATE TABLE Wide (Id INTEGER PRIMARY KEY'
    kinds=(NVARCHAR\(50\) MEMO INTEGER DATETIME)
    for ((i = 1; i < 1024; i++)); do
        printf ', Col%04d %s' "$i" "${kinds[i % 4]}"
    done
    printf ');\n'
} | sqlite3 "$database"

probe="SELECT * FROM Wide WHERE 1=2"
qelt_command=("$qeltaudit" --database "$database" --table Wide --key-column Id)
shell_command=(sqlite3 "$database" "$probe")
c_command=("$probe_program" "DRIVER={SQLite3};Database=file://$database?mode=ro;NoCreat=1;" Wide)

"${qelt_command[@]}" >/dev/null  # fails loudly before anything is timed
[[ $("${c_command[@]}" | wc -l) -eq 1024 ]] ||
    { echo "cli-vs-sqlite3: bench_odbc_probe does not describe 1,024 columns" >&2; exit 1; }
[[ $("${qelt_command[@]}" | grep -c "WHEN 'Col") -eq 2046 ]] ||
    { echo "cli-vs-sqlite3: the script does not log all 1,023 columns" >&2; exit 1; }

# Mean wall time of one run in microseconds.
mean_microseconds() {
    local start end
    "$@" >/dev/null
    start=$(date +%s%N)
    for ((run = 0; run < runs; run++)); do
        "$@" >/dev/null
    done
    end=$(date +%s%N)
    echo $(((end - start) / runs / 1000))
}

# Alternating rounds, so that a slower or faster spell of the machine meets all three alike.
qelt=0 shell=0 c=0
rounds=5
runs=$((runs / rounds))
for ((round = 0; round < rounds; round++)); do
    qelt=$((qelt + $(mean_microseconds "${qelt_command[@]}")))
    c=$((c + $(mean_microseconds "${c_command[@]}")))
    shell=$((shell + $(mean_microseconds "${shell_command[@]}")))
done
qelt=$((qelt / rounds)) c=$((c / rounds)) shell=$((shell / rounds))
echo "runs:             $((runs * rounds)) each, 1,024 columns"
echo "qeltaudit:        $qelt us per run (script of $("${qelt_command[@]}" | wc -c) bytes)"
echo "bench_odbc_probe: $c us per run"
echo "sqlite3:          $shell us per run"
awk -v q="$qelt" -v c="$c" -v s="$shell" 'BEGIN {
    printf "ratio:            %.2f (qeltaudit / bench_odbc_probe, at most 1.30)\n", q / c
    printf "ratio:            %.2f (qeltaudit / sqlite3)\n", q / s
}'
