#!/usr/bin/env bash
# The Debian package, as a user would get it: CPack builds korvalis_VERSION_ARCH.deb from this
# build; its control data (dependencies found from the linked libraries, no maintainer
# scripts) and its files are checked; unpacked into a scratch root, the installed game plays
# a few frames headless from an empty folder; the manual page renders without warnings; the
# desktop entry and the software-centre metadata pass their validators; lintian finds no
# error or warning. No display is needed.
# Arguments: the game executable, the game data directory, an output directory.
set -uo pipefail
name=package
game="$(realpath "$1")"
data="$(realpath "$2")"
out="$3/$name"
mkdir -p "$out"
out="$(realpath "$out")"
build="$(dirname "$(dirname "$game")")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() {
  echo "$name: FAIL: $*" >&2
  exit 1
}
for tool in cpack dpkg-deb readelf man appstreamcli desktop-file-validate lintian; do
  command -v "$tool" >/dev/null || fail "missing tool $tool (scripts/setup installs it with KORVALIS_TEST_PACKAGES=1)"
done

version="$("$game" --version | awk '{print $2}')"
arch="$(dpkg --print-architecture)"
(cd "$build" && cpack -G DEB -B "$work/cpack") >"$out/cpack.log" 2>&1 || fail "cpack failed (see $out/cpack.log)"
deb="$work/cpack/korvalis_${version}_${arch}.deb"
[ -f "$deb" ] || fail "no $(basename "$deb"); cpack made: $(ls "$work/cpack")"
echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f1) kB"

# --- control data ---
dpkg-deb -I "$deb" >"$out/info.txt" || fail "dpkg-deb -I cannot read the package"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = korvalis ] || fail "package name $(field Package)"
[ "$(field Version)" = "$version" ] || fail "version $(field Version), the game says $version"
[ "$(field Architecture)" = "$arch" ] || fail "architecture $(field Architecture)"
[ "$(field Section)" = games ] || fail "section $(field Section)"
depends="$(field Depends)"
echo "depends: $depends"
# The first name of each dependency (of alternatives too), one a line.
depends_names="$(tr ',|' '\n\n' <<<"$depends" | awk '{print $1}')"
for library in libsdl2-2.0-0 libsdl2-mixer-2.0-0 libjpeg62-turbo libfreetype6 libpng16-16 libphysfs1 \
               libglu1-mesa librecast1 libc6 libstdc++6 libgl1; do
  grep -qxF "$library" <<<"$depends_names" || fail "Depends lacks $library: $depends"
done
# Only the control file and the checksums: nothing runs at install or removal.
control_files="$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||' | grep -v '^$' | sort | tr '\n' ' ')"
[ "$control_files" = "control md5sums " ] || fail "control archive holds: $control_files"

# --- files ---
dpkg-deb -c "$deb" >"$out/contents.txt" || fail "dpkg-deb -c cannot list the package"
for f in usr/games/korvalis usr/share/korvalis/Config.ini usr/share/korvalis/maps/korvalis.bsp \
         usr/share/korvalis/sound/background.mp3 usr/share/applications/korvalis.desktop \
         usr/share/icons/hicolor/64x64/apps/korvalis.png usr/share/man/man6/korvalis.6.gz \
         usr/share/metainfo/org.korvalis.Korvalis.metainfo.xml \
         usr/share/doc/korvalis/copyright usr/share/doc/korvalis/changelog.gz; do
  grep -q " \./$f\$" "$out/contents.txt" || fail "the package has no /$f"
done
# All of the game data, and nothing but the game beside it.
(cd "$data" && find . -type f ! -path ./korvalis | sed 's|^\./||' | sort) >"$work/data-files.txt"
sed -n 's| \./usr/share/korvalis/\(.*[^/]\)$| \1|p' "$out/contents.txt" | awk '{print $NF}' | sort >"$work/packaged-data.txt"
missing="$(comm -23 "$work/data-files.txt" "$work/packaged-data.txt" | head -5 | tr '\n' ' ')"
[ -z "$missing" ] || fail "game data missing from the package: $missing"
awk '{print $6}' "$out/contents.txt" | grep -v '^\./usr/' | grep -v '^\./$' && fail "files outside /usr"
awk '{print $2}' "$out/contents.txt" | grep -v '^root/root$' && fail "files not owned by root"
dpkg -x "$deb" "$work/root" || fail "dpkg -x failed"
usr="$work/root/usr"
readelf -S "$usr/games/korvalis" | grep -qE '\.symtab|\.comment' && fail "the game is not stripped"
# Hardened: bound at load, with read-only relocations, copying through checked calls (grep -c
# reads to the end, so readelf never writes into a closed pipe).
readelf -d "$usr/games/korvalis" | grep -c 'FLAGS.*BIND_NOW' >/dev/null || fail "the game is not bound at load (-z now)"
readelf -l "$usr/games/korvalis" | grep -c 'GNU_RELRO' >/dev/null || fail "the game has no read-only relocations"
readelf -W --dyn-syms "$usr/games/korvalis" | grep -c '__[a-z_]*_chk@' >/dev/null ||
  fail "the game makes no checked calls (_FORTIFY_SOURCE)"
readelf -d "$usr/games/korvalis" | grep -qE 'RPATH|RUNPATH' && fail "the game carries a library path of the build"

# --- the installed game, headless, from an empty folder ---
mkdir "$work/empty"
(cd "$work/empty" && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy KORVALIS_FRAMES=20 \
   KORVALIS_WINDOW=64x48 timeout 300 "$usr/games/korvalis" --windowed) >"$out/game.log" 2>&1
status=$?
[ "$status" = 0 ] || fail "the installed game ended with status $status (see $out/game.log)"
grep -q '^Level: maps/korvalis.bsp' "$out/game.log" || fail "the installed game did not play its level (see $out/game.log)"
[ -z "$(ls -A "$work/empty")" ] || fail "the game wrote into the working folder: $(ls -A "$work/empty")"

# --- manual page, desktop entry, metainfo ---
MANWIDTH=80 man --warnings -l "$usr/share/man/man6/korvalis.6.gz" >"$out/manual.txt" 2>"$out/manual-warnings.txt" \
  || fail "man cannot render the page"
[ -s "$out/manual-warnings.txt" ] && fail "man warns: $(cat "$out/manual-warnings.txt")"
grep -q '^SYNOPSIS' "$out/manual.txt" || fail "the rendered page has no SYNOPSIS"
desktop-file-validate "$usr/share/applications/korvalis.desktop" || fail "desktop-file-validate refuses the entry"
metainfo="$usr/share/metainfo/org.korvalis.Korvalis.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >"$out/appstream.txt" 2>&1 || fail "appstreamcli refuses the metainfo: $(cat "$out/appstream.txt")"
launchable="$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")"
[ -f "$usr/share/applications/$launchable" ] || fail "the metainfo launches $launchable, which the package lacks"
release="$(grep -o '<release version="[^"]*"' "$metainfo" | head -1 | cut -d'"' -f2)"
[ "$release" = "$version" ] || fail "the metainfo's newest release is $release, the game is $version"
changelog="$(zcat "$usr/share/doc/korvalis/changelog.gz" | head -1)"
[[ "$changelog" == "korvalis ($version) "* ]] || fail "the changelog's newest entry is not $version: $changelog"

# --- lintian: every finding is listed (information and pedantic ones too), errors and warnings fail ---
lintian --allow-root --display-info --pedantic --tag-display-limit 0 "$deb" >"$out/lintian.txt" 2>&1
sed 's/^/  lintian: /' "$out/lintian.txt"
grep -qE '^[EW]: ' "$out/lintian.txt" && fail "lintian reports errors or warnings"
echo "package: ok"
