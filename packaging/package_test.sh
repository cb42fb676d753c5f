#!/usr/bin/env bash
# The package of a build: made with CPack, its control data and contents
# checked, installed with dpkg into a throw-away root (maintainer scripts
# included, with a recorded language), its programs run there against the
# language libraries of that root, removed and purged again; lintian and
# appstreamcli on it.
#
#   package_test.sh BUILD_DIR SOURCE_DIR PRIVATE_DIR APP_ID
#
# Nothing outside a temporary folder is touched.
set -euo pipefail
build=$1 source=$2 private=$3 app_id=$4
private=${private#/}
work=$(mktemp -d "${TMPDIR:-/tmp}/zelt-package-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

# --- the package -----------------------------------------------------------
prefix=$(sed -n 's/^set(CPACK_PACKAGING_INSTALL_PREFIX "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
if [ "$prefix" != /usr ]; then
  echo "FAIL: this build installs under '$prefix'; the package installs under /usr." \
       "Configure with -DCMAKE_INSTALL_PREFIX=/usr (scripts/test does)." >&2
  exit 1
fi
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(ls "$work"/out/*.deb)
echo "package: $(basename "$deb") ($(stat -c %s "$deb") bytes)"

# --- control data ----------------------------------------------------------
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = tarnkeeper ] || fail "Package is $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture"
depends=$(field Depends)
echo "Depends: $depends"
# The libraries we link, found by dpkg-shlibdeps, and Qt's platform plugins.
names=" $(sed -e 's/([^)]*)//g' -e 's/[,|]/ /g' <<<"$depends" | tr -s ' ') "
for pkg in libc6 libstdc++6 libssl3 libcurl4 libpugixml1v5 libsnmp40 \
           libqt6widgets6 qt6-qpa-plugins; do
  [[ "$names" == *" $pkg "* ]] || fail "Depends lacks $pkg"
done
[[ "$(field Recommends)" == *xdg-utils* ]] || fail "Recommends lacks xdg-utils"

# --- contents --------------------------------------------------------------
dpkg-deb --contents "$deb" | awk '{ print $6 $7 $8 }' | sed 's|^\./||' >"$work/contents"
must=(
  "usr/bin/boxkeeper->../lib/${private#usr/lib/}/boxkeeper"
  "$private/boxkeeper" "$private/tarnkeeper-language"
  "$private/libzeltplatform.so" "$private/libboxlink.so" "$private/libftpshim.so"
  "$private/libfinder.so" "$private/libauthdlg.so" "$private/libcipherlib.so"
  "$private/libdigestlib.so" "$private/libidfile.so" "$private/libsnmpcore.so"
  "$private/libkeeperlang_en.so" "$private/libkeeperlang_de.so"
  "$private/libfinderlang_en.so" "$private/libfinderlang_de.so"
  "$private/libboxendian.so" "$private/ZELT_ConvertModels.ini"
  "$private/ZELT_ModelInfo.bin" "$private/ZELT_Discovery.bin"
  "$private/keeper.ini" "$private/keeper-about.png"
  "usr/share/man/man1/boxkeeper.1.gz"
  "usr/share/metainfo/org.tarnkeeper.boxkeeper.metainfo.xml"
  "usr/share/icons/hicolor/48x48/apps/$app_id.png"
  "usr/share/icons/hicolor/256x256/apps/$app_id.png"
  "usr/share/doc/tarnkeeper/copyright" "usr/share/doc/tarnkeeper/changelog.gz"
)
if grep -q "^$private/keeper$" "$work/contents"; then
  must+=("usr/bin/keeper->../lib/${private#usr/lib/}/keeper"
         "usr/share/applications/$app_id.desktop"
         "usr/share/metainfo/$app_id.metainfo.xml"
         "usr/share/man/man1/keeper.1.gz"
         "$private/help/keeper.html" "$private/help/help.css"
         "$private/help/de/keeper.html")
else
  echo "note: no keeper program in this build; its desktop entry is not expected"
fi
for f in "${must[@]}"; do
  grep -qxF -- "$f" "$work/contents" || fail "missing $f"
done
# Never: the simulated device, tests, the bootstrapper, build paths.
if grep -E '(devsim|_test$|testlang|/setup$|setupdialog|/build/)' "$work/contents"; then
  fail "files that do not belong in the package (above)"
fi
[ $failures -eq 0 ] && ok "control data and $(wc -l <"$work/contents") entries"

# --- installed into a throw-away root --------------------------------------
if [ "$(id -u)" -eq 0 ]; then
  root=$work/root
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/etc"
  touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
  dpkg_root=(dpkg --root="$root" --log=/dev/null --force-depends
             --force-script-chrootless --no-triggers)
  ZELT_INSTALL_LANGUAGE=1031 "${dpkg_root[@]}" --install "$deb" >"$work/dpkg.log" 2>&1 ||
    { cat "$work/dpkg.log"; fail "dpkg --install"; }
  status=$(dpkg-query --root="$root" -W -f='${db:Status-Abbrev}' tarnkeeper)
  [ "$status" = "ii " ] || fail "installed state is '$status'"

  machine=$root/etc/zelt/machine.reg
  grep -q '^"Language"="1031"$' "$machine" 2>/dev/null ||
    fail "postinst did not record the language: $(cat "$machine" 2>&1)"
  [ "$(stat -c %a "$machine" 2>/dev/null)" = 644 ] || fail "machine.reg is not readable by all"

  # Every binary finds its libraries in the root's private folder.
  while IFS= read -r elf; do
    out=$(ldd "$elf" 2>&1)
    if grep -q "not found" <<<"$out"; then fail "$elf: $(grep 'not found' <<<"$out")"; fi
    if grep -E "lib(zeltplatform|boxlink|snmpcore)\.so => " <<<"$out" | grep -vqF "$root/"; then
      fail "$elf loads our libraries from outside the root"
    fi
  done < <(find "$root/$private" -type f \( -name '*.so' -o -perm -u+x \) \
             -exec sh -c 'head -c4 "$1" | grep -q ELF' _ {} \; -print)

  # The programs run through their links, and the recorded language is
  # the one the language loader picks.
  version=$("$root/usr/bin/boxkeeper" --version 2>&1) || fail "boxkeeper --version: $version"
  echo "installed boxkeeper: $version"
  shown=$(env -u LC_ALL -u LC_MESSAGES LANG=C ZELT_REGISTRY_MACHINE="$machine" \
          "$root/$private/tarnkeeper-language" show 2>&1) || fail "tarnkeeper-language show: $shown"
  echo "$shown"
  grep -qF "$root/$private/libkeeperlang_de.so (language 1031): \"Sicherung\"" <<<"$shown" ||
    fail "the recorded German is not what the programs load"

  # Removal keeps the recorded language (configuration), purge drops it.
  "${dpkg_root[@]}" --remove tarnkeeper >>"$work/dpkg.log" 2>&1 || fail "dpkg --remove"
  [ ! -e "$root/usr/bin/boxkeeper" ] && [ ! -e "$root/$private" ] || fail "files left after removal"
  grep -q '"Language"' "$machine" || fail "removal dropped the recorded language"
  "${dpkg_root[@]}" --purge tarnkeeper >>"$work/dpkg.log" 2>&1 || fail "dpkg --purge"
  if grep -q '"Language"' "$machine"; then fail "purge kept the recorded language"; fi
  [ "$(dpkg-query --root="$root" -W -f='${db:Status-Abbrev}' tarnkeeper 2>/dev/null)" != "ii " ] ||
    fail "still installed after purge"
  [ $failures -eq 0 ] && ok "installed, run, removed and purged in a throw-away root"
else
  echo "note: not root, so dpkg does not install into a throw-away root here;" \
       "only the contents are checked"
fi

# --- metadata --------------------------------------------------------------
extract=$work/extract
dpkg-deb --extract "$deb" "$extract"
for xml in "$extract"/usr/share/metainfo/*.xml; do
  appstreamcli validate --no-net "$xml" >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log"; fail "appstreamcli on $(basename "$xml")"; }
done
for desktop in "$extract"/usr/share/applications/*.desktop; do
  [ -e "$desktop" ] || continue
  desktop-file-validate "$desktop" || fail "desktop-file-validate $(basename "$desktop")"
  # The menu shows the entry with an icon of the package and starts a
  # program that the package links into /usr/bin.
  icon=$(sed -n 's/^Icon=//p' "$desktop")
  [ -e "$extract/usr/share/icons/hicolor/48x48/apps/$icon.png" ] ||
    fail "$(basename "$desktop"): no icon '$icon' in the package"
  exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
  [ -L "$extract/usr/bin/$exec_name" ] ||
    fail "$(basename "$desktop"): Exec '$exec_name' is not a program in /usr/bin"
done

# --- lintian ---------------------------------------------------------------
lintian --tag-display-limit 0 --fail-on error "$deb" >"$work/lintian.log" 2>&1 ||
  fail "lintian reports errors"
echo "lintian:"
sed 's/^/  /' "$work/lintian.log"

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "package test passed"
