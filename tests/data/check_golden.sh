#!/usr/bin/env bash
# Plays one golden replay with tolvane-replay and compares the result and the trace
# with the expected files.   usage: check_golden.sh TOOL NAME
set -euo pipefail
tool=$1
name=$2
cd "$(dirname "$0")"
diff -u "$name.verify.json" <("$tool" verify "$name.rep")
diff -u "$name.trace.jsonl" <("$tool" trace "$name.rep" --objects --every 1000) | head -c 4000
echo "$name: the same result and trace"
