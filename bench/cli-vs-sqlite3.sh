#!/usr/bin/env bash
# Times `qeltaudit --database` on a 1,024-column SQLite table side by side with the sqlite3 shell
# running the same probe query on the same file.
#   bench/cli-vs-sqlite3.sh [QELTAUDIT] [RUNS]     (defaults: build/src/cli/qeltaudit, 100)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
qeltaudit=${1:-$root/build/src/cli/qeltaudit}
runs=${2:-100}

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

"${qelt_command[@]}" >/dev/null  # fails loudly before anything is timed
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

qelt=$(mean_microseconds "${qelt_command[@]}")
shell=$(mean_microseconds "${shell_command[@]}")
echo "runs:      $runs each, 1,024 columns"
echo "qeltaudit: $qelt us per run (script of $("${qelt_command[@]}" | wc -c) bytes)"
echo "sqlite3:   $shell us per run"
awk -v q="$qelt" -v s="$shell" 'BEGIN { printf "ratio:     %.2f (qeltaudit / sqlite3)\n", q / s }'
