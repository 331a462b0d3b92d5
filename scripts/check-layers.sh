#!/usr/bin/env bash
# Checks the include graph of src/ against the layer order: a file includes headers of its own
# folder and of folders below it, never of one above it or beside it; only db/ includes the
# client library's headers. Prints every offending line and exits 1 if there is one.
#
#   check-layers.sh [SRC_DIR]      (default: the project's src/)
set -euo pipefail
src=${1:-"$(cd "$(dirname "$0")/.." && pwd)/src"}

# Bottom first. Folders of one rank must not include each other; the companion programs
# sit on top, each in a folder of its own.
rank() {
  case "$1" in
    base) echo 0 ;;
    config) echo 1 ;;
    db) echo 2 ;;
    lookup) echo 3 ;;
    generators) echo 4 ;;
    run) echo 5 ;;
    config_tool | site | inspect) echo 6 ;;
    *) echo "" ;;
  esac
}

status=0
complain() { echo "$1"; status=1; }

while IFS= read -r file; do
  rel=${file#"$src"/}
  folder=${rel%%/*}
  own=$(rank "$folder")
  if [ -z "$own" ]; then
    complain "$rel: folder $folder has no place in the layer order (add it to $0)"
    continue
  fi
  line_no=0
  while IFS= read -r line; do
    line_no=$((line_no + 1))
    case "$line" in
      '#include "'*'"'*)
        header=${line#*\"}
        header=${header%%\"*}
        target=${header%%/*}
        [ "$target" = "$header" ] && continue  # a header beside the file
        [ "$target" = "$folder" ] && continue
        theirs=$(rank "$target")
        if [ -z "$theirs" ]; then
          complain "$rel:$line_no: includes $header from unknown folder $target"
        elif [ "$theirs" -ge "$own" ]; then
          complain "$rel:$line_no: $folder includes $header, which is not below it"
        fi
        ;;
      '#include <mysql.h>'* | '#include <errmsg.h>'* | '#include <mysqld_error.h>'* | '#include <mariadb/'*)
        [ "$folder" = db ] || complain "$rel:$line_no: only db/ includes the client library"
        ;;
    esac
  done <"$file"
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cc' -o -name '*.h.in' \) | sort)

exit $status
