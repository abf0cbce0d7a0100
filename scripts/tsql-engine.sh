#!/usr/bin/env bash
# The T-SQL engine of the tests (Babelfish, reached through FreeTDS), from the source archives in
# ../shared/tsql-engine beside the repository:
#   scripts/tsql-engine.sh build    builds it once per machine (minutes the first time) and starts it
#   scripts/tsql-engine.sh start    starts it (seconds); the CTest fixture of the engine tests
#   scripts/tsql-engine.sh stop
#   scripts/tsql-engine.sh env-file prints the env.sh the tests read
# The build is cached outside the work tree, keyed by the archives' checksums; the last line of
# `build` and `start` names the env.sh the tests read (QELT_TSQL_ENV).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
setup=${QELT_TSQL_ENGINE_SETUP:-$root/../shared/tsql-engine/setup.sh}
if [[ ${1:-} == env-file ]]; then
    echo "${QELT_TSQL_ENGINE_HOME:-/var/cache/qelt-tsql-engine}/current/env.sh"
    exit 0
fi
if [[ ! -f "$setup" ]]; then
    echo "tsql-engine: no engine sources at $setup" >&2
    exit 1
fi
case ${1:-} in
    build) bash "$setup" all ;;
    start) bash "$setup" start ;;
    stop) bash "$setup" stop ;;
    *)
        echo "usage: $0 build|start|stop|env-file" >&2
        exit 2
        ;;
esac
