#!/usr/bin/env bash
# The manual pages as man shows them: rendered at 80 columns without a warning, with the
# sections a reader looks for, and in step with the programs: every option and exit code of
# qeltaudit --help is on qeltaudit's page.
#   tests/package/manual-pages.sh QELTAUDIT PAGE.1...
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
qeltaudit=$1
shift
for page in "$@"; do
    name=$(basename "$page" .1)
    warnings=$(groff -man -ww -z "$page" 2>&1) || fail "$name.1 does not render: $warnings"
    [[ -z "$warnings" ]] || fail "$name.1: $warnings"
    errors=$(MANWIDTH=80 man -l "$page" 2>&1 >/dev/null)
    [[ -z "$errors" ]] || fail "man -l $name.1: $errors"
    text=$(MANWIDTH=80 man -l "$page")
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS ENVIRONMENT FILES 'EXIT STATUS' EXAMPLES; do
        grep -qx "$section" <<<"$text" || fail "$name.1 has no $section section"
    done
    awk 'length > 80 { exit 1 }' <<<"$text" || fail "$name.1 has lines over 80 columns"
    grep -qF "$name $version" <<<"$text" || fail "$name.1 does not name version $version"
    for variable in QELT_REGISTRY WINEPREFIX QELT_WINDOWS_DIR ODBCINI ODBCSYSINI; do
        grep -q "^       $variable\$" <<<"$text" || fail "$name.1 does not describe $variable"
    done
    if [[ $name == qeltaudit ]]; then
        help=$("$qeltaudit" --help)
        while read -r option; do
            grep -q -- "^       $option\\b" <<<"$text" || fail "qeltaudit.1 does not describe $option"
        done < <(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u)
        for code in $(tr "\n" " " <<<"$help" | sed -n "s/.*Exit codes: //p" | grep -o "\b[0-9]\+ "); do
            grep -q "^       $code\\b" <<<"$text" || fail "qeltaudit.1 does not explain exit code $code"
        done
    fi
done
echo "manual pages: $* pass"
