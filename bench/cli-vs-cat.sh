#!/usr/bin/env bash
# Times `qeltaudit --columns` on a 30,002-column list side by side with `cat` of the script it
# writes, both to /dev/null, in one hyperfine run, and prints the ratio of the mean times.
#   bench/cli-vs-cat.sh [QELTAUDIT] [RUNS]     (defaults: build/src/cli/qeltaudit, 50)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
qeltaudit=${1:-$root/build/src/cli/qeltaudit}
runs=${2:-50}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
columns=$work/wide.tsv
script=$work/wide.sql

# The key, an editor column, a date and 29,999 more of the demo's kinds; every 50th name needs
# brackets.
awk 'BEGIN {
    split("202 3 135 203", types, " ")
    print "CompanyIntID\t3"
    for (i = 1; i < 30002; i++) {
        name = sprintf("Column%05d", i)
        if (i == 1) name = "uuEditedBy"
        else if (i == 2) name = "EditDate"
        else if (i % 50 == 7) name = "Order " i
        printf "%s\t%d\n", name, types[i % 4 + 1]
    }
}' >"$columns"

"$qeltaudit" --columns "$columns" >"$script"  # fails loudly before anything is timed
[[ $(grep -c "WHEN '" "$script") -eq 60004 ]] ||
    { echo "cli-vs-cat: the script does not log all 30,002 columns" >&2; exit 1; }

hyperfine --shell=none --warmup 5 --runs "$runs" --export-json "$work/times.json" \
    --command-name qeltaudit "$qeltaudit --columns $columns" \
    --command-name cat "cat $script"
python3 - "$work/times.json" "$(wc -c <"$script")" <<'PYTHON'
import json, sys
means = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
print(f"script:    {int(sys.argv[2]):,} bytes")
print(f"ratio:     {means['qeltaudit'] / means['cat']:.2f} (qeltaudit / cat, mean wall time)")
PYTHON
