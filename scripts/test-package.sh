#!/usr/bin/env bash
# Tests the Debian package from outside: builds it (scripts/package.sh, in
# build-pkg/ or $BUILD_DIR), checks it with lintian (no errors) and
# desktop-file-validate, installs it with dpkg --root into a throw-away root,
# and runs the installed program through a link, as /usr/bin/auditlog runs
# it: --version, one unattended report against a demo database made by the
# build's makedemo, and an invalid command line; the copy tool auditlog-copydb
# starts and refuses a password. Reinstalling and purging the package must
# leave that database alone.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-pkg}"
deb="$(BUILD_DIR="$build" "$root/scripts/package.sh" | tail -n 1)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "test-package: $*" >&2; exit 1; }
echo "test-package: $deb"

# Lintian fails on errors; its warnings are shown.
status=0
report="$(lintian --fail-on error "$deb" 2>&1)" || status=$?
grep -v 'running with root privileges' <<<"$report" || true
[ "$status" -eq 0 ] || fail "lintian reports errors"

# A dpkg database of its own: nothing of the machine's is touched.
mkdir -p "$work/fs/var/lib/dpkg/info" "$work/fs/var/lib/dpkg/updates"
: >"$work/fs/var/lib/dpkg/status"
dpkg_root() {
    PATH="$PATH:/usr/sbin:/sbin" dpkg --root="$work/fs" --force-not-root --force-depends \
        --log=/dev/null "$@" >/dev/null 2>"$work/dpkg.err" || fail "dpkg $*: $(cat "$work/dpkg.err")"
}
dpkg_root -i "$deb"
inst="$work/fs/opt/velmora"
desktop-file-validate "$work/fs/usr/share/applications/auditlog.desktop" || fail "desktop entry invalid"
for exe in auditlog auditlog-copydb; do
    [ "$(readlink "$work/fs/usr/bin/$exe")" = "/opt/velmora/bin/$exe" ] ||
        fail "/usr/bin/$exe does not link to /opt/velmora/bin/$exe"
done
[ -d "$inst/SYSTEM" ] && [ -z "$(ls -A "$inst/SYSTEM")" ] || fail "SYSTEM is not shipped empty"
dpkg-deb -f "$deb" Depends | grep -q libqt6sql6-sqlite || fail "no dependency on the SQLite driver"

# Every keyword of the parser is in the manual page and the completion.
man="$work/auditlog.1"
zcat "$work/fs/usr/share/man/man1/auditlog.1.gz" >"$man"
keywords="$(sed -n '/^const QStringList& CommandLineKeywords()/,/return keywords/p' "$root/src/startup/core/CommandLine.cpp" |
            grep -o 'QStringLiteral("[^"]*")' | sed 's/QStringLiteral("\(.*\)")/\1/')"
[ "$(echo "$keywords" | wc -l)" -ge 27 ] || fail "keyword list not found in CommandLine.cpp"
for k in $keywords; do
    grep -q "^\.B[I]* /$k\b" "$man" || fail "manual page lacks /$k"
    grep -qw -- "/$k" "$work/fs/usr/share/bash-completion/completions/auditlog" ||
        fail "completion lacks /$k"
done
zcat "$work/fs/usr/share/man/man1/auditlog-copydb.1.gz" >"$work/auditlog-copydb.1"
for page in "$man" "$work/auditlog-copydb.1"; do
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
    [ -z "$warnings" ] || fail "manual page $(basename "$page"): $warnings"
done
completion() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _auditlog;
             echo "${COMPREPLY[*]}"' _ "$work/fs/usr/share/bash-completion/completions/auditlog" "$@"
}
[ "$(completion auditlog /ERROR /una)" = /unattended ] || fail "completion of /una"
[ "$(completion auditlog /SORTBY2 Desc)" = Description ] || fail "completion of a column"

# The program, started through a link from another folder, finds its root
# through the link: the database under the unpacked root's SYSTEM folder.
mkdir -p "$work/bin" "$work/config" "$work/out"
ln -s "$inst/bin/auditlog" "$work/bin/auditlog"
version="$(dpkg-deb -f "$deb" Version)"
[ "$("$work/bin/auditlog" --version)" = "auditlog ${version%-*}" ] || fail "--version"
"$build/bin/makedemo" --seed 1 "$inst/SYSTEM/Audit.mdb" 2000 >/dev/null
run() {
    env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$work/config" "$work/bin/auditlog" "$@" \
        2>"$work/stderr"
}
run /STATUS /ERROR /UNDER 30 /FILE "$work/out/report.txt" /UNATTENDED ||
    fail "unattended report: status $?: $(cat "$work/stderr")"
[ ! -s "$work/stderr" ] || fail "unattended report wrote: $(cat "$work/stderr")"
grep -q "Audit Detail Report" "$work/out/report.txt" || fail "report has no title"
status=0
run /STATUS /PRINT /FILE "$work/out/x.txt" /UNATTENDED || status=$?
[ "$status" -eq 2 ] && [ ! -e "$work/out/x.txt" ] || fail "invalid line gave status $status"
# The copy tool starts (libpq found) and refuses a password on its command line.
[ "$("$inst/bin/auditlog-copydb" --version)" = "auditlog-copydb ${version%-*}" ] ||
    fail "auditlog-copydb --version"
status=0
"$inst/bin/auditlog-copydb" "$inst/SYSTEM/Audit.mdb" postgresql://u:secret@db/audit 2>/dev/null ||
    status=$?
[ "$status" -eq 2 ] || fail "auditlog-copydb took a password (status $status)"

# The database is the product's, not the package's.
sum="$(md5sum <"$inst/SYSTEM/Audit.mdb")"
dpkg_root -i "$deb"
dpkg_root --purge auditlog
[ "$(md5sum <"$inst/SYSTEM/Audit.mdb" 2>/dev/null)" = "$sum" ] || fail "the database did not survive"
[ ! -e "$inst/bin/auditlog" ] || fail "purge left the program"
echo "test-package: passed ($(wc -l <"$work/out/report.txt") report lines)"
