#!/usr/bin/env bash
# Fails when a source includes a header of a layer above its own, or Qt outside the display backend,
# its tests, the benchmarks and the programs' main files. The include path exposes the whole tree, so
# this is what keeps the dependencies pointing one way. Tests follow the same idea: a test folder
# takes fixtures from itself and from tests/support only, tests/support from no test folder, the
# benchmarks from tests/support only, and the system itself from no test at all.
set -euo pipefail
cd "${1:-$(dirname "$0")/../..}"

files=$( (git ls-files -co --exclude-standard '*.h' '*.cpp' 2>/dev/null ||
          find framework data controls app testform tests bench -name '*.h' -o -name '*.cpp') | grep -v '^build/')
# shellcheck disable=SC2086
awk '
BEGIN {
  # Layers each folder may include besides its own; the order rtl <- db <- store <- access, crypto
  # <- components <- sqlite <- app, and rtl <- ui <- controls <- app (controls also use db).
  below["framework/rtl"] = ""
  below["framework/db"] = "framework/rtl"
  below["data/store"] = "framework/rtl framework/db"
  below["data/access"] = "framework/rtl framework/db data/store"
  below["data/crypto"] = "framework/rtl framework/db data/store"
  below["data/components"] = "framework/rtl framework/db data/store data/access data/crypto"
  below["data/sqlite"] = below["data/components"] " data/components"
  below["framework/ui"] = "framework/rtl"
  below["framework/qt"] = "framework/rtl framework/ui"
  below["controls/editors"] = "framework/rtl framework/db framework/ui"
  below["controls/grid"] = below["controls/editors"] " controls/editors"
  below["app"] = below["data/sqlite"] " data/sqlite framework/ui controls/editors controls/grid"
  violations = 0
}
function layer(path,   p) {
  if (path ~ /^app\//) return "app"
  if (path ~ /^(framework|data|controls)\/[^\/]+\//) { split(path, p, "/"); return p[1] "/" p[2] }
  return ""
}
# The test folder of a path under tests/ ("support" for the shared fixtures), "" elsewhere.
function test_folder(path,   p) {
  if (path !~ /^tests\/[^\/]+\//) return ""
  split(path, p, "/"); return p[2]
}
function test_include_allowed(file, inc,   from, to) {
  to = test_folder(inc)
  if (to == "" || to == "support" || (file " " inc) in allowed) return 1
  from = test_folder(file)
  return from != "" && from != "support" && from == to
}
function qt_allowed(path) {
  return path ~ /^(framework\/qt|tests\/qt|bench|testform)\// || path ~ /(^|\/)main\.cpp$/
}
FNR == 1 { own = layer(FILENAME) }
/^[ \t]*#[ \t]*include[ \t]*[<"]/ {
  inc = $0
  sub(/^[ \t]*#[ \t]*include[ \t]*[<"]/, "", inc); sub(/[>"].*$/, "", inc)
  if (inc ~ /^Q[A-Za-z]*(\/|$)/) {
    if (!qt_allowed(FILENAME)) { printf "%s:%d: Qt header <%s> outside the display backend\n", FILENAME, FNR, inc; violations++ }
    next
  }
  if (!test_include_allowed(FILENAME, inc)) {
    printf "%s:%d: includes %s; shared fixtures belong in tests/support\n", FILENAME, FNR, inc; violations++
    next
  }
  target = layer(inc)
  if (own == "" || target == "" || target == own || FILENAME ~ /(^|\/)main\.cpp$/) next
  if (index(" " below[own] " ", " " target " ") == 0) {
    printf "%s:%d: %s includes %s, which is not below it\n", FILENAME, FNR, own, inc; violations++
  }
}
END {
  if (violations) { printf "%d include(s) against the layer order\n", violations; exit 1 }
  print "layers: every include points down"
}' $files
