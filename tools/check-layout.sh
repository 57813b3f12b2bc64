#!/bin/sh
# The source's layout: includes run one way (app/ uses repair/ and ui/, and
# those use winsupport/ only), and no product source file grows past 450
# lines, the size at which a file stops being read as one piece.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
status=0
check() {
    folder=$1
    shift
    for used in "$@"; do
        if found=$(git grep -n "#include \"$used/" -- "$folder"); then
            echo "$folder/ must not include $used/:"
            echo "$found"
            status=1
        fi
    done
}
check repair app ui
check ui app repair
check winsupport app repair ui
for file in $(git ls-files 'app/*' 'repair/*' 'ui/*' 'winsupport/*'); do
    [ -e "$file" ] || continue
    lines=$(wc -l <"$file")
    if [ "$lines" -gt 450 ]; then
        echo "$file has $lines lines"
        status=1
    fi
done
exit $status
