#!/usr/bin/env bash
# Times `qeltaudit --columns` on a 30,002-column list side by side with `cat` of the script it
# writes, both to /dev/null, in one hyperfine run, and prints the ratio of the mean times. The
# list's dates give some 7,500 warnings; with --warnings, dates and money columns give some 12,000.
#   bench/cli-vs-cat.sh [--warnings] [QELTAUDIT] [RUNS]   (defaults: build/src/cli/qeltaudit, 50)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
types="202 3 135 203"  # text, integer, date, text
if [[ ${1:-} == --warnings ]]; then
    types="202 6 135 3 203"  # money between them
    shift
fi
qeltaudit=${1:-$root/build/src/cli/qeltaudit}
runs=${2:-50}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
columns=$work/wide.tsv
script=$work/wide.sql

# The key, an editor column, a date and 29,999 more of the demo's kinds; every 50th name needs
# brackets.
awk -v typeList="$types" 'BEGIN {
    kinds = split(typeList, types, " ")
    print "CompanyIntID\t3"
    for (i = 1; i < 30002; i++) {
        name = sprintf("Column%05d", i)
        if (i == 1) name = "uuEditedBy"
        else if (i == 2) name = "EditDate"
        else if (i % 50 == 7) name = "Order " i
        printf "%s\t%d\n", name, types[i % kinds + 1]
    }
}' >"$columns"

# Fails loudly before anything is timed.
"$qeltaudit" --columns "$columns" >"$script" 2>"$work/warnings.txt" ||
    { cat "$work/warnings.txt" >&2; exit 1; }
warnings=$(grep -c "^qeltaudit: warning: " "$work/warnings.txt")
[[ $(grep -c "WHEN '" "$script") -eq 60004 ]] ||
    { echo "cli-vs-cat: the script does not log all 30,002 columns" >&2; exit 1; }

hyperfine --shell=none --warmup 5 --runs "$runs" --export-json "$work/times.json" \
    --command-name qeltaudit "$qeltaudit --columns $columns" \
    --command-name cat "cat $script"
python3 - "$work/times.json" "$(wc -c <"$script")" "$warnings" <<'PYTHON'
import json, sys
means = {r["command"]: r["mean"] for r in json.load(open(sys.argv[1]))["results"]}
print(f"script:    {int(sys.argv[2]):,} bytes, {int(sys.argv[3]):,} warnings")
print(f"ratio:     {means['qeltaudit'] / means['cat']:.2f} (qeltaudit / cat, mean wall time)")
PYTHON
