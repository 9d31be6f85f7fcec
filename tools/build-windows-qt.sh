#!/usr/bin/env bash
# Builds the Windows x86-64 (MinGW-w64) toolchain for the editor into a cache:
# Qt 6.4.2 qtbase from Debian's own qt6-base source package, plus static
# libpng and GoogleTest, then proves it by running two tiny programs under Wine.
#
#   tools/build-windows-qt.sh [--force] [STAGE...]
#
# Stages, in order: packages sources toolchain qtbase libpng googletest check.
# With no STAGE all of them run. A stage whose key file matches is skipped, so a
# rerun is cheap; --force reruns the named stages (all, if none is named).
#
# Environment:
#   KRELLON_CACHE  cache root (default ~/.cache/krellon); the toolchain lives
#                  in $KRELLON_CACHE/qt-6.4.2-mingw
#   KRELLON_JOBS   parallel build jobs (default 2)
set -Eeuo pipefail

QT_VERSION=6.4.2
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache_root=${KRELLON_CACHE:-$HOME/.cache/krellon}
cache=$cache_root/qt-$QT_VERSION-mingw
jobs=${KRELLON_JOBS:-2}

qt_prefix=$cache/qt
deps_prefix=$cache/deps
toolchain=$cache/toolchain/mingw-w64-x86_64.cmake
wine_run=$cache/toolchain/wine-run
stamps=$cache/stamps
logs=$cache/logs
mingw=x86_64-w64-mingw32

all_stages=(packages sources toolchain qtbase libpng googletest check)

packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev libz-mingw-w64-dev
  wine64 wine fonts-wine nsis zip unzip xvfb xauth
  qt6-base-dev qt6-base-dev-tools googletest
  dpkg-dev cmake ninja-build patch xz-utils
)

# Qt features: bundled third-party code, only what the editor and its tests use.
qt_flags=(
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=ON
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++
  -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_testlib=ON
  -DFEATURE_system_png=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_doubleconversion=OFF
  -DFEATURE_system_freetype=OFF -DFEATURE_freetype=ON
  # FEATURE_opengl=OFF alone leaves dynamic GL on, and qwindowswindow.cpp breaks.
  -DINPUT_opengl=no -DFEATURE_opengl=OFF
  # With DirectWrite 3 qwindows.dll does not link against MinGW's dwrite.
  -DFEATURE_directwrite3=OFF
  # Debian's tarball drops wintab.
  -DFEATURE_tabletevent=OFF
  -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF -DFEATURE_dbus=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_xml=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_ico=OFF
  -DFEATURE_zstd=OFF -DFEATURE_icu=OFF
)

force=0
wanted=()
for arg in "$@"; do
  case $arg in
    --force) force=1 ;;
    -h|--help) sed -n '2,16p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *)
      if [[ " ${all_stages[*]} " != *" $arg "* ]]; then
        echo "build-windows-qt: unknown stage '$arg' (stages: ${all_stages[*]})" >&2
        exit 2
      fi
      wanted+=("$arg") ;;
  esac
done
[ ${#wanted[@]} -gt 0 ] || wanted=("${all_stages[@]}")

current_stage=setup
on_error() {
  local rc=$?
  # Subshells report through their parent.
  [ "$BASHPID" = "$$" ] || exit "$rc"
  echo "build-windows-qt: FAILED in stage '$current_stage' (exit $rc); logs in $logs" >&2
  exit "$rc"
}
trap on_error ERR

say() { echo "build-windows-qt: $*"; }
die() { echo "build-windows-qt: $*" >&2; false; }
heavy() { nice -n 19 "$@"; }

# Runs a command with its output in the stage's log; on failure the log's end is shown.
logged() {
  local log=$logs/$current_stage.log
  if ! "$@" >>"$log" 2>&1; then
    echo "---- last lines of $log ----" >&2
    tail -n 40 "$log" >&2
    return 1
  fi
}

pkg_version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || true; }
sha() { sha256sum | cut -c1-16; }

stamp_matches() { [ -f "$stamps/$1.key" ] && [ "$(cat "$stamps/$1.key")" = "$2" ]; }
stamp_write() { mkdir -p "$stamps"; printf '%s\n' "$2" >"$stamps/$1.key"; }
stamp_require() {
  [ -f "$stamps/$1.key" ] || die "stage '$1' has not been run yet (needed by '$current_stage')"
}

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

# ---------------------------------------------------------------- packages
stage_packages() {
  local p missing=()
  for p in "${packages[@]}"; do
    [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)" = "install ok installed" ] || missing+=("$p")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    say "packages: all installed"
    return 0
  fi
  say "packages: installing ${missing[*]}"
  logged "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
  logged "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
}

# ---------------------------------------------------------------- sources
apt_dir=$cache/apt
apt_opts=(
  -o "Dir::Etc::SourceList=$apt_dir/sources.list"
  -o "Dir::Etc::SourceParts=/dev/null"
  -o "Dir::State::Lists=$apt_dir/lists"
  -o "Dir::Cache=$apt_dir/cache"
)

# deb-src lines for the Debian archive this machine installs from, so the
# system's own apt lists stay as they are.
write_source_list() {
  local out=$1
  {
    # One-line style.
    if [ -f /etc/apt/sources.list ]; then
      sed -n 's/^[[:space:]]*deb[[:space:]]\+\(.*\/debian\(-security\)\{0,1\}\/\{0,1\}[[:space:]].*\)$/deb-src \1/p' /etc/apt/sources.list
    fi
    # deb822 style: one deb-src line per URI and suite of each Debian stanza.
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -e "$f" ] || continue
      awk '
        function flush(   i, j, nu, ns, u, s, opt) {
          if (types ~ /(^| )deb( |$)/ && enabled != "no" && uris ~ /\/debian(-security)?\/?( |$)/) {
            nu = split(uris, u, " "); ns = split(suites, s, " ")
            opt = signed != "" ? "[signed-by=" signed "] " : ""
            for (i = 1; i <= nu; i++) for (j = 1; j <= ns; j++)
              print "deb-src " opt u[i] " " s[j] " " comps
          }
          types = uris = suites = comps = signed = enabled = ""
        }
        /^[[:space:]]*#/ { next }
        /^[[:space:]]*$/ { flush(); next }
        { key = $1; sub(/:$/, "", key); val = $0; sub(/^[^:]*:[[:space:]]*/, "", val) }
        key == "Types" { types = val } key == "URIs" { uris = val }
        key == "Suites" { suites = val } key == "Components" { comps = val }
        key == "Signed-By" { signed = val } key == "Enabled" { enabled = val }
        END { flush() }
      ' "$f"
    done
  } >"$out"
  if [ ! -s "$out" ]; then
    local codename
    # shellcheck source=/dev/null
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    cat >"$out" <<EOF
deb-src http://deb.debian.org/debian $codename main
deb-src http://deb.debian.org/debian $codename-updates main
deb-src http://deb.debian.org/debian-security $codename-security main
EOF
  fi
}

# Unpacks a downloaded source package into $2 without Debian's patches, then
# applies debian/patches/series with patch -p1.
unpack_patched() {
  local dsc=$1 dest=$2 p
  rm -rf "$dest" "$dest.tmp"
  logged dpkg-source --skip-patches -x "$dsc" "$dest.tmp"
  if [ -f "$dest.tmp/debian/patches/series" ]; then
    while read -r p _; do
      case $p in ''|'#'*) continue ;; esac
      echo "patch $p" >>"$logs/$current_stage.log"
      logged patch -d "$dest.tmp" -p1 --forward -i "debian/patches/$p"
    done <"$dest.tmp/debian/patches/series"
  fi
  mv "$dest.tmp" "$dest"
}

# Downloads a source package into $cache/src/dl: the preferred version if any,
# else the newest the archive serves (a mirror may list a security update
# whose files it does not carry).
fetch_source() {
  local pkg=$1 prefer=${2:-} v
  local versions
  versions=$({
    [ -z "$prefer" ] || echo "$prefer"
    apt-cache "${apt_opts[@]}" showsrc "$pkg" | sed -n 's/^Version: //p' | sort -rV
  } | awk '!seen[$0]++')
  [ -n "$versions" ] || die "the archive has no source package $pkg"
  for v in $versions; do
    echo "fetching $pkg $v" >>"$logs/$current_stage.log"
    if (cd "$cache/src/dl" && apt-get "${apt_opts[@]}" source --download-only "$pkg=$v" >>"$logs/$current_stage.log" 2>&1); then
      return 0
    fi
    rm -f "$cache/src/dl/${pkg}_"*
  done
  die "could not download the source package $pkg (tried: $(tr "\n" " " <<<"$versions"))"
}

stage_sources() {
  local host_qt key
  host_qt=$(pkg_version qt6-base-dev)
  [ -n "$host_qt" ] || die "qt6-base-dev is not installed (run the packages stage)"
  key="qt6-base=$host_qt libpng1.6"
  if [ $force -eq 0 ] && stamp_matches sources "$key" && [ -d "$cache/src/qtbase" ] && [ -d "$cache/src/libpng" ]; then
    say "sources: up to date"
    return 0
  fi
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$cache/src/dl"
  write_source_list "$apt_dir/sources.list"
  logged cat "$apt_dir/sources.list"
  logged "${as_root[@]}" apt-get "${apt_opts[@]}" update

  rm -rf "$cache/src/dl"
  mkdir -p "$cache/src/dl"
  # The same Debian version as the host tools (moc, rcc, uic) when the archive
  # still has it.
  fetch_source qt6-base "$host_qt"
  fetch_source libpng1.6

  local qt_dsc png_dsc
  qt_dsc=$(ls "$cache"/src/dl/qt6-base_*.dsc)
  png_dsc=$(ls "$cache"/src/dl/libpng1.6_*.dsc)
  local qt_deb png_deb
  qt_deb=$(sed -n 's/^Version: //p' "$qt_dsc")
  png_deb=$(sed -n 's/^Version: //p' "$png_dsc")
  case $qt_deb in
    "$QT_VERSION"+*|"$QT_VERSION"-*) ;;
    *) die "the archive has qt6-base $qt_deb, this script builds $QT_VERSION" ;;
  esac
  unpack_patched "$qt_dsc" "$cache/src/qtbase"
  unpack_patched "$png_dsc" "$cache/src/libpng"
  printf 'qt6-base %s\nlibpng1.6 %s\n' "$qt_deb" "$png_deb" >"$cache/src/versions"
  say "sources: qt6-base $qt_deb, libpng1.6 $png_deb"
  stamp_write sources "$key"
}

src_version() { sed -n "s/^$1 //p" "$cache/src/versions"; }

# ---------------------------------------------------------------- toolchain
# CMake's emulator: runs a Windows program under Wine with the cache's prefix and
# Qt's bin/ on the DLL path, so a test .exe runs from its build folder.
write_wine_run() {
  local wine=$1 qt_bin_win
  qt_bin_win="Z:${qt_prefix//\//\\}\\bin"
  cat <<EOF
#!/usr/bin/env bash
# Made by tools/build-windows-qt.sh: runs a Windows program under Wine.
set -euo pipefail
export WINEPREFIX=\${WINEPREFIX:-$cache/wine}
export WINEDEBUG=\${WINEDEBUG:--all}
# No offer to fetch Mono or Gecko.
export WINEDLLOVERRIDES=\${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Wine keeps QT_* and PATH to itself; these WINE-prefixed ones reach the program.
export WINEPATH="$qt_bin_win\${WINEPATH:+;\$WINEPATH}"
export WINEQT_QPA_FONTDIR=\${WINEQT_QPA_FONTDIR:-Z:/usr/share/wine/fonts}
if [ ! -f "\$WINEPREFIX/system.reg" ]; then
  mkdir -p "\$(dirname "\$WINEPREFIX")"
  # Tests run in parallel must not make the prefix twice.
  exec 9>"\$WINEPREFIX.lock"
  flock 9
  if [ ! -f "\$WINEPREFIX/system.reg" ]; then
    env -u DISPLAY "$wine" wineboot --init >/dev/null 2>&1 || true
    wineserver -w
  fi
  exec 9>&-
fi
exec "$wine" "\$@"
EOF
}

# What of the toolchain file changes the binaries: the emulator and comments do not.
toolchain_key() {
  grep -v -e '^[[:space:]]*#' -e '^[[:space:]]*$' -e 'CMAKE_CROSSCOMPILING_EMULATOR' "$toolchain" | sha
}

stage_toolchain() {
  local wine
  wine=$(command -v wine64 || command -v wine || true)
  [ -n "$wine" ] || die "wine is not installed (run the packages stage)"
  mkdir -p "$(dirname "$toolchain")"
  write_wine_run "$wine" >"$wine_run.new"
  chmod +x "$wine_run.new"
  mv "$wine_run.new" "$wine_run"
  sed -e "s|@DEPS_PREFIX@|$deps_prefix|g" -e "s|@EMULATOR@|$wine_run|g" \
    "$repo/cmake/mingw-w64-x86_64.cmake.in" >"$toolchain.new"
  # Rewritten only when it changes: Qt and the libraries were built with it.
  if cmp -s "$toolchain.new" "$toolchain"; then
    rm -f "$toolchain.new"
    say "toolchain: up to date ($toolchain)"
  else
    mv "$toolchain.new" "$toolchain"
    say "toolchain: written to $toolchain"
  fi
  stamp_write toolchain "$(toolchain_key)"
}

# The compilers and their headers, for the keys of everything built with them.
mingw_versions() {
  printf 'g++ %s\nmingw-w64 %s\nbinutils %s\n' \
    "$(pkg_version g++-mingw-w64-x86-64-posix)" \
    "$(pkg_version mingw-w64-x86-64-dev)" \
    "$(pkg_version binutils-mingw-w64-x86-64)"
}

# ---------------------------------------------------------------- qtbase
stage_qtbase() {
  stamp_require sources
  stamp_require toolchain
  local key build=$cache/build/qtbase
  key=$(printf 'qt6-base %s\nhost %s\n%s\ntoolchain %s\nflags %s\n' \
    "$(src_version qt6-base)" "$(pkg_version qt6-base-dev)" "$(mingw_versions)" \
    "$(cat "$stamps/toolchain.key")" "$(printf '%s ' "${qt_flags[@]}" | sha)")
  if [ $force -eq 0 ] && stamp_matches qtbase "$key" && [ -f "$qt_prefix/bin/Qt6Core.dll" ]; then
    say "qtbase: up to date ($qt_prefix)"
    return 0
  fi
  rm -f "$stamps/qtbase.key"
  # A changed key means a fresh tree; an interrupted build of the same key goes on.
  if [ ! -f "$build/.key" ] || [ "$(cat "$build/.key")" != "$key" ]; then
    rm -rf "$build" "$qt_prefix"
    mkdir -p "$build"
    printf '%s\n' "$key" >"$build/.key"
  fi
  say "qtbase: configuring"
  logged heavy cmake -S "$cache/src/qtbase" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_INSTALL_PREFIX="$qt_prefix" \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    "${qt_flags[@]}"
  say "qtbase: building with $jobs jobs (log: $logs/qtbase.log)"
  logged heavy cmake --build "$build" --parallel "$jobs"
  rm -rf "$qt_prefix"
  logged heavy cmake --install "$build"
  [ -f "$qt_prefix/bin/Qt6Core.dll" ] || die "Qt6Core.dll is missing after the install"
  # The objects are 1-2 GB and useless once installed.
  rm -rf "$build"
  stamp_write qtbase "$key"
}

# ---------------------------------------------------------------- libpng
# Builds a static library with CMake into the deps prefix, unless its key matches:
#   static_dep NAME SOURCE LIBRARY KEY [CMAKE FLAGS...]
static_dep() {
  local name=$1 source=$2 library=$3 key=$4 build=$cache/build/$1
  shift 4
  if [ $force -eq 0 ] && stamp_matches "$name" "$key" && [ -f "$deps_prefix/lib/$library" ]; then
    say "$name: up to date"
    return 0
  fi
  rm -rf "$build"
  logged heavy cmake -S "$source" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_INSTALL_PREFIX="$deps_prefix" \
    -DCMAKE_BUILD_TYPE=Release "$@"
  logged heavy cmake --build "$build" --parallel "$jobs"
  logged heavy cmake --install "$build"
  [ -f "$deps_prefix/lib/$library" ] || die "$library is missing after the install"
  rm -rf "$build"
  stamp_write "$name" "$key"
}

stage_libpng() {
  stamp_require sources
  stamp_require toolchain
  local key
  key=$(printf 'libpng1.6 %s\n%s\ntoolchain %s\n' \
    "$(src_version libpng1.6)" "$(mingw_versions)" "$(cat "$stamps/toolchain.key")")
  static_dep libpng "$cache/src/libpng" libpng16.a "$key" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_EXECUTABLES=ON
}

# ---------------------------------------------------------------- googletest
stage_googletest() {
  stamp_require toolchain
  local key
  [ -f /usr/src/googletest/CMakeLists.txt ] || die "/usr/src/googletest is missing (run the packages stage)"
  key=$(printf 'googletest %s\n%s\ntoolchain %s\n' \
    "$(pkg_version googletest)" "$(mingw_versions)" "$(cat "$stamps/toolchain.key")")
  static_dep googletest /usr/src/googletest libgtest.a "$key" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
}

# ---------------------------------------------------------------- check
write_check_project() {
  local dir=$1
  mkdir -p "$dir"
  cat >"$dir/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.21)
project(winqt_check CXX)
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets)
find_package(PNG REQUIRED)
find_package(GTest CONFIG REQUIRED)

add_executable(widgets_check widgets_check.cpp)
target_link_libraries(widgets_check PRIVATE Qt6::Widgets)

add_executable(core_check core_check.cpp)
target_link_libraries(core_check PRIVATE Qt6::Core)

add_executable(deps_check deps_check.cpp)
target_link_libraries(deps_check PRIVATE PNG::PNG GTest::gtest_main)

enable_testing()
add_test(NAME deps_check COMMAND deps_check)
add_test(NAME widgets_offscreen COMMAND widgets_check -platform offscreen ctest-offscreen.png)
EOF
  cat >"$dir/widgets_check.cpp" <<'EOF'
// Shows a window with a button, grabs it to the PNG named on the command line.
#include <QApplication>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("window.png");
    QWidget window;
    window.setWindowTitle(QStringLiteral("winqt check"));
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(new QPushButton(QStringLiteral("Hello from Windows"), &window));
    window.resize(320, 120);
    window.show();
    // A moment for the first paint, so the grab shows the real thing.
    QTimer::singleShot(500, &window, [&] {
        const QPixmap shot = window.grab();
        const bool saved = shot.save(out, "PNG");
        std::printf("platform=%s style=%s window=%dx%d grab=%dx%d saved=%s\n",
                    qPrintable(QGuiApplication::platformName()),
                    qPrintable(app.style()->name()), window.width(), window.height(),
                    shot.width(), shot.height(), saved ? qPrintable(out) : "no");
        std::fflush(stdout);
        app.exit(saved && !shot.isNull() ? 0 : 1);
    });
    return app.exec();
}
EOF
  cat >"$dir/core_check.cpp" <<'EOF'
// Creates a file with a non-ASCII name, finds it again by listing the folder,
// prints the name in UTF-8 and exits 3 (the caller checks that the code gets through).
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdio>
#include <fcntl.h>
#include <io.h>

int main()
{
    _setmode(_fileno(stdout), _O_BINARY); // no CR before LF
    const QString name = QStringLiteral("Grüße-Ωμέγα-日本.txt");
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write("ok\n") != 3)
        return 1;
    file.close();
    const QStringList found = QDir::current().entryList({QStringLiteral("Gr*.txt")}, QDir::Files);
    if (!found.contains(name))
        return 2;
    std::printf("created: %s\n", name.toUtf8().constData());
    return 3;
}
EOF
  cat >"$dir/deps_check.cpp" <<'EOF'
// Static libpng and GoogleTest from the cache: a PNG round trip in memory.
#include <gtest/gtest.h>
#include <png.h>
#include <vector>

TEST(StaticPng, RoundTrip)
{
    std::vector<unsigned char> pixels(8 * 4 * 4);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>(i * 7);

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = 8;
    image.height = 4;
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    ASSERT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr));
    std::vector<unsigned char> encoded(size);
    ASSERT_TRUE(png_image_write_to_memory(&image, encoded.data(), &size, 0, pixels.data(), 0, nullptr));

    png_image back{};
    back.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&back, encoded.data(), size));
    back.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> decoded(PNG_IMAGE_SIZE(back));
    ASSERT_TRUE(png_image_finish_read(&back, nullptr, decoded.data(), 0, nullptr));
    EXPECT_EQ(back.width, 8u);
    EXPECT_EQ(decoded, pixels);
}
EOF
}

# Lays out a program the way windeployqt would (it is not there for a cross build).
deploy() {
  local exe=$1 dest=$2 dll
  shift 2
  rm -rf "$dest"
  mkdir -p "$dest"
  cp "$exe" "$dest/"
  for dll in "$@"; do
    mkdir -p "$dest/$(dirname "$dll")"
    cp "$qt_prefix/$dll" "$dest/$(dirname "$dll")/"
  done
  # The "bin/" and "plugins/" parts go: DLLs beside the exe, plugin folders below it.
  if [ -d "$dest/bin" ]; then mv "$dest"/bin/* "$dest/" && rmdir "$dest/bin"; fi
  if [ -d "$dest/plugins" ]; then mv "$dest"/plugins/* "$dest/" && rmdir "$dest/plugins"; fi
}

no_runtime_dlls() {
  local f
  for f in "$@"; do
    if "$mingw-objdump" -p "$f" | grep -qiE 'DLL Name: (libstdc\+\+|libgcc_s|libwinpthread)'; then
      die "$(basename "$f") needs a MinGW runtime DLL"
    fi
  done
}

stage_check() {
  local s key
  for s in qtbase libpng googletest; do stamp_require "$s"; done
  key=$(printf '%s\n' "$(cat "$stamps"/{qtbase,libpng,googletest}.key)" \
    "$(cat "$toolchain" "$wine_run" | sha)" "$(declare -f write_check_project stage_check deploy | sha)")
  if [ $force -eq 0 ] && stamp_matches check "$key"; then
    say "check: passed before with this cache (--force check to run it again)"
    return 0
  fi
  rm -f "$stamps/check.key"
  local dir=$cache/check
  rm -rf "$dir/src" "$dir/build"
  write_check_project "$dir/src"
  logged heavy cmake -S "$dir/src" -B "$dir/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release
  logged heavy cmake --build "$dir/build" --parallel "$jobs"

  local gui_dlls=(bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll
    plugins/platforms/qwindows.dll plugins/platforms/qoffscreen.dll
    plugins/styles/qwindowsvistastyle.dll)
  deploy "$dir/build/widgets_check.exe" "$dir/widgets" "${gui_dlls[@]}"
  deploy "$dir/build/core_check.exe" "$dir/core" bin/Qt6Core.dll
  no_runtime_dlls "$dir"/build/*.exe "$qt_prefix"/bin/Qt6*.dll
  say "check: built; imports of widgets_check.exe: $("$mingw-objdump" -p "$dir/build/widgets_check.exe" | sed -n 's/.*DLL Name: //p' | tr '\n' ' ')"

  # The deployed folders run on plain Wine, without Qt's bin/ on WINEPATH, so a
  # DLL missing there shows. The prefix is the one the emulator uses.
  export WINEPREFIX=$cache/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset WINEPATH WINEQT_QPA_PLATFORM WINEQT_QPA_FONTDIR
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "check: creating the Wine prefix $WINEPREFIX"
    logged env -u DISPLAY wineboot --init
  fi
  logged wineserver -w

  # Headless: QtCore only; the exit code must come through Wine.
  local rc=0 out
  out=$(cd "$dir/core" && env -u DISPLAY timeout 120 wine core_check.exe 2>>"$logs/check.log") || rc=$?
  echo "core_check: $out (exit $rc)"
  [ "$rc" -eq 3 ] || die "core_check.exe exited $rc, expected 3"
  [ -f "$dir/core/Grüße-Ωμέγα-日本.txt" ] || die "core_check.exe's file is not there under its UTF-8 name"
  [ "$out" = "created: Grüße-Ωμέγα-日本.txt" ] || die "core_check.exe printed something else"
  logged wineserver -w

  # Headless widgets on the offscreen platform. Wine keeps QT_* variables from the
  # program, so the platform goes on the command line; WINEQT_QPA_FONTDIR arrives
  # as QT_QPA_FONTDIR (offscreen draws with FreeType, and finds no fonts by itself).
  out=$(cd "$dir/widgets" && env -u DISPLAY WINEQT_QPA_FONTDIR=Z:/usr/share/wine/fonts \
    timeout 120 wine widgets_check.exe -platform offscreen offscreen.png 2>>"$logs/check.log") \
    || die "widgets_check.exe -platform offscreen failed: $out"
  echo "widgets_check (offscreen): $out"
  logged wineserver -w

  # A real window, on Wine's X11 driver under Xvfb; Wine is done before Xvfb goes.
  # shellcheck disable=SC2016
  out=$(cd "$dir/widgets" && timeout 180 xvfb-run -a -s "-screen 0 1024x768x24" \
    bash -c 'wine widgets_check.exe window.png; rc=$?; wineserver -w; exit "$rc"' 2>>"$logs/check.log") \
    || die "widgets_check.exe under Xvfb failed: $out"
  echo "widgets_check (window): $out"
  [ -s "$dir/widgets/window.png" ] || die "no window.png"

  # CTest through the toolchain's emulator, from the build folder: GoogleTest with
  # libpng, and the widgets program finding Qt by the emulator's WINEPATH.
  unset WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
  (cd "$dir/build" && env -u DISPLAY timeout 300 ctest --output-on-failure) || die "ctest failed"
  WINEPREFIX=$cache/wine wineserver -w
  say "check: passed; screenshots in $dir/widgets"
  stamp_write check "$key"
}

# ---------------------------------------------------------------- main
mkdir -p "$cache" "$logs"
say "cache: $cache"
total_start=$SECONDS
timings=()
for stage in "${all_stages[@]}"; do
  [[ " ${wanted[*]} " == *" $stage "* ]] || continue
  current_stage=$stage
  : >"$logs/$stage.log"
  start=$SECONDS
  "stage_$stage"
  timings+=("$(printf '%-11s %5d s' "$stage" $((SECONDS - start)))")
  say "stage $stage done in $((SECONDS - start)) s"
done
current_stage=summary
say "stage times:"
printf '  %s\n' "${timings[@]}"
say "total $((SECONDS - total_start)) s; cache size $(du -sh "$cache" | cut -f1)"
say "configure a project with -DCMAKE_TOOLCHAIN_FILE=$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake"
