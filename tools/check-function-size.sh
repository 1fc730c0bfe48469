#!/usr/bin/env bash
# Fails on a function in src/ longer than 60 lines, from its name to its closing brace (one
# written inside a class counts the same). A long function is split into named steps in its
# own file; universal-ctags finds where each definition starts and ends.
set -uo pipefail
cd "$(dirname "$0")/.."

limit=60
if ! ctags --version 2>/dev/null | grep -q 'Universal Ctags'; then
    echo "The function-size check needs universal-ctags (tools/ensure-packages.sh installs it)."
    exit 1
fi

# One line per definition: name, file, and the line and end fields.
long=$(git ls-files 'src/*.cpp' 'src/*.h' |
    ctags --languages=C++ --langmap=C++:+.h --kinds-C++=f --fields=+ne --sort=no -L - -o - |
    awk -F'\t' -v limit="$limit" '{
        start = ""; end = "";
        for (i = 4; i <= NF; ++i) {
            if ($i ~ /^line:/) start = substr($i, 6);
            if ($i ~ /^end:/) end = substr($i, 5);
        }
        if (start != "" && end != "" && end - start + 1 > limit)
            printf "%s:%s: %s is %d lines\n", $2, start, $1, end - start + 1;
    }')

if [ -n "$long" ]; then
    echo "$long"
    echo "Function-size check failed: split each of these into named steps of at most $limit lines."
    exit 1
fi
echo "Function-size check passed: no function in src/ is over $limit lines."
