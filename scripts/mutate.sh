#!/usr/bin/env bash
# Mutation run over the mutants in tests/mutants/ (see scripts/mutate.py for the format).
#   scripts/mutate.sh                 every mutant
#   scripts/mutate.sh comms doc-csv   the mutants of tests/mutants/comms.txt and ids starting doc-csv
#   scripts/mutate.sh --list          list them only
# The copy of the tree and its build live in build-mutate/; results in build-mutate/results.tsv.
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 scripts/mutate.py "$@"
