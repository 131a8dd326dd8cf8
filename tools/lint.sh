#!/usr/bin/env bash
# Static checks of the project's C++ sources and documentation; changes no file. Fails when any
# finds anything.
#   format:   the layout .clang-format asks for (clang-format --dry-run --Werror);
#   cppcheck: its warning, style, performance and portability checks, with the Windows and
#             GoogleTest library models, silenced only as .cppcheck-suppressions says;
#   links:    every relative link of README.md and docs/*.md leads somewhere (check_links.py).
#
#   tools/lint.sh [format|cppcheck|links]...    (no argument: all three)
#
# To see what clang-format would change in a file: clang-format FILE | diff FILE -
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2

kSourceFolders=(detect install framework ui tests tools)
# The include directories the build gives, so cppcheck finds headers included by bare name.
kIncludeFolders=(. framework res tests/support tools/gui_driver)
# Another major version of clang-format lays some constructs out differently: prefer 14.
clangFormat=${CLANG_FORMAT:-$(command -v clang-format-14 || echo clang-format)}

# Sources under the given name patterns, never anything inside a build tree.
Sources() {
  local patterns=(-name "$1")
  [ $# -gt 1 ] && patterns=(\( -name "$1" -o -name "$2" \))
  find "${kSourceFolders[@]}" -type d -name build -prune -o -type f "${patterns[@]}" -print |
    LC_ALL=C sort
}

Require() {
  command -v "$1" >/dev/null && return 0
  echo "lint: $1 is missing (Debian package $2)" >&2
  return 1
}

CheckFormat() {
  Require "$clangFormat" clang-format-14 || return 1
  local failed=0 file places
  while read -r file; do
    places=$("$clangFormat" --style=file --dry-run "$file" 2>&1 | grep -c 'warning:')
    if [ "$places" -gt 0 ]; then
      echo "format: $file: $places differences from .clang-format"
      failed=1
    fi
  done < <(Sources '*.cpp' '*.h')
  [ $failed -eq 0 ] && echo "format: clean"
  return $failed
}

# Headers are checked where the .cpp files include them; given alone they would be checked
# without their users, and every struct member would look unused.
CheckCppcheck() {
  Require cppcheck cppcheck || return 1
  local includes=()
  for folder in "${kIncludeFolders[@]}"; do includes+=(-I "$folder"); done
  mapfile -t files < <(Sources '*.cpp')
  # Windows and GoogleTest headers are not there to read; their library models stand in.
  cppcheck --quiet --error-exitcode=1 --inline-suppr --std=c++17 --language=c++ \
    --enable=warning,style,performance,portability --library=windows --library=googletest \
    --suppress=missingInclude --suppress=missingIncludeSystem \
    --suppressions-list=.cppcheck-suppressions -j "$(nproc)" "${includes[@]}" \
    --template='{file}:{line}: {severity} [{id}] {message}' "${files[@]}" 2>&1 || {
    echo "cppcheck: findings above"
    return 1
  }
  echo "cppcheck: clean"
}

checks=("$@")
[ ${#checks[@]} -eq 0 ] && checks=(format cppcheck links)
status=0
for check in "${checks[@]}"; do
  case $check in
    format) CheckFormat || status=1 ;;
    cppcheck) CheckCppcheck || status=1 ;;
    links) /usr/bin/python3 tools/check_links.py || status=1 ;;
    *) echo "usage: $0 [format|cppcheck|links]..." >&2; exit 2 ;;
  esac
done
exit $status
