#!/usr/bin/env bash
# The manual pages against the programs they describe, both ways: every option a program
# accepts (a literal its option parser compares with, or one its --help lists) has an entry
# under the page's OPTIONS, and every entry there is such an option. Then each built page
# renders with man without a warning, names its program and carries the version.
#
#   manual_pages_test.sh VERSION BUILT_PAGES_DIR PAGE_SOURCES_DIR \
#     PAGE:PROGRAM:PARSER_SOURCE[,PARSER_SOURCE...] ...
set -u
version=$1 built=$2 sources=$3
shift 3
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# The options of a page's OPTIONS section: the bold options at the start of its entries.
page_options() {
  awk '/^# /{inside = ($0 == "# OPTIONS")} inside && /^\*-/' "$1" |
    grep -oE '\*--?[A-Za-z][A-Za-z0-9-]*' | tr -d '*' | sort -u
}
# The options --help names: a dash or two after a space, a bracket or the start of a line.
help_options() {
  grep -oE '(^|[][ (,|])--?[A-Za-z][A-Za-z0-9-]*' | grep -oE -- '--?[A-Za-z][A-Za-z0-9-]*' | sort -u
}
# The option literals the parser compares arguments with.
parser_options() {
  grep -ohE '"--?[A-Za-z][A-Za-z0-9-]*"' "$@" | tr -d '"' | sort -u
}

for entry in "$@"; do
  IFS=: read -r page program parser_sources <<<"$entry"
  IFS=, read -r -a parsers <<<"$parser_sources"
  source_page=$sources/$page.1.scd
  help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --help 2>&1)
  [ $? -eq 0 ] || fail "$page: $program --help failed: $help"
  documented=$(page_options "$source_page")
  [ -n "$documented" ] || fail "$page: no options found under OPTIONS in $source_page"
  accepted=$(sort -u <(help_options <<<"$help") <(parser_options "${parsers[@]}"))
  for option in $(comm -23 <(echo "$accepted") <(echo "$documented")); do
    fail "$page: $source_page has no entry for $option, which $(basename "$program") accepts" \
      "(add '*$option*' and its description under OPTIONS)"
  done
  for option in $(comm -13 <(echo "$accepted") <(echo "$documented")); do
    fail "$page: $source_page documents $option, which $(basename "$program") does not accept"
  done

  # Rendered as man renders it for a reader: groff's warnings are failures.
  warnings=$(MANWIDTH=80 man --warnings -l "$built/$page.1.gz" 2>&1 >/dev/null)
  [ -n "$warnings" ] && fail "$page: man warns: $warnings"
  rendered=$(MANWIDTH=80 MANPAGER=cat man -l "$built/$page.1.gz")
  grep -qE "^ +$page(, [a-z0-9-]+)* - " <<<"$rendered" || fail "$page: no NAME line for $page"
  grep -qE "^tarnix $version .*$page\(1\)$" <<<"$rendered" || fail "$page: the footer lacks 'tarnix $version'"
  grep -qE '@[A-Z_]+@' <<<"$rendered" && fail "$page: a placeholder was left: $(grep -E '@[A-Z_]+@' <<<"$rendered")"
done

# tarnix1080's page is tarnix's.
[ "$(readlink "$built/tarnix1080.1.gz")" = tarnix.1.gz ] || fail "tarnix1080.1.gz does not point to tarnix.1.gz"
[ "$failures" -eq 0 ] && echo "manual pages: every option documented, every page renders"
exit "$failures"
