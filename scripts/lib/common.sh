# Shared by scripts/run and scripts/test: packages, build, and the Wine session
# (prefix, virtual desktop, fonts, display). Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD_DIR=${TESSALY_BUILD_DIR:-$ROOT/build}
WINE_DIR=$BUILD_DIR/wine
TEMPLATE_PREFIX=$WINE_DIR/template

PACKAGES=(cmake make g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
          wine64 fonts-wine xvfb googletest fonts-horai-umefont imagemagick nsis zip unzip)

say() { printf '%s\n' "$*" >&2; }

missing_packages() {
    local p missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
    done
    printf '%s\n' "${missing[@]}"
}

ensure_packages() {
    local missing
    missing=$(missing_packages | xargs)
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        say "Installing: $missing"
        apt-get update -qq >&2
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing >&2
    else
        say "These Debian packages are missing: $missing"
        say "Install them with:  sudo apt-get update && sudo apt-get install -y $missing"
        exit 1
    fi
}

configure_project() {
    cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
          -DCMAKE_BUILD_TYPE=Release "$@" >&2
}

build_project() {
    configure_project "$@"
    cmake --build "$BUILD_DIR" -j "$(nproc)" >&2
}

# Only what a user runs: Tessaly (its two libraries come with it) and Ombrel,
# none of the test suites.
build_programs() {
    configure_project "$@"
    cmake --build "$BUILD_DIR" -j "$(nproc)" --target Tessaly Ombrel >&2
}

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv,winepulse.drv=d"
export WINEARCH=win64

# Shares one desktop with a taskbar and a notification area between every
# program (without it each hidden window stalls two seconds), and gives the
# fonts the dialogs ask for faces that exist here: the Japanese ones Ume UI
# Gothic, drawn to the metrics of the font they were laid out in, so their
# texts fit as on Windows; the English ones Liberation Sans, drawn to the
# metrics of the one Windows draws English dialogs in. Wine rewrites "MS Shell
# Dlg" whenever a program starts under another code page than the last one
# (MS UI Gothic for Japanese, Tahoma for English): both are made to exist.
write_wine_settings() {
    local reg=$1
    cat > "$reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1280x800"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"MS UI Gothic"="Ume UI Gothic"
"MS Shell Dlg"="Tahoma"
"MS Shell Dlg 2"="Tahoma"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS UI Gothic"="Ume UI Gothic"
"Tahoma"="Liberation Sans"
REG
}

# Bumped whenever the settings above or the fonts below change: an older
# prefix gets them again (and keeps everything else, the user's tasks of
# scripts/run included).
PREFIX_VERSION=3

# Wine draws the title bar's buttons with its Marlett font, which a prefix made
# here does not find where Debian installs it: without a copy in the prefix's
# own font folder a close box shows the letter "r".
WINE_FONTS=(/usr/share/wine/fonts/marlett.ttf)

install_wine_fonts() {
    local fonts=$1/drive_c/windows/Fonts font
    mkdir -p "$fonts"
    for font in "${WINE_FONTS[@]}"; do
        [ -f "$font" ] && cp -f "$font" "$fonts/"
    done
    return 0
}

# Creates a configured prefix at $1, or brings an older one's settings up to date.
make_prefix() {
    local prefix=$1
    [ "$(cat "$prefix/.tessaly-ready" 2>/dev/null)" = "$PREFIX_VERSION" ] && return 0
    mkdir -p "$prefix"
    if [ ! -f "$prefix/system.reg" ]; then
        say "Creating Wine prefix $prefix (once; about 15 s)"
        WINEPREFIX=$prefix wineboot -i >/dev/null 2>&1 </dev/null
    fi
    local reg=$WINE_DIR/settings.reg
    mkdir -p "$WINE_DIR"
    write_wine_settings "$reg"
    install_wine_fonts "$prefix"
    WINEPREFIX=$prefix wine regedit /S "$(winepath_of "$prefix" "$reg")" >/dev/null 2>&1 </dev/null
    # The registry reaches the prefix's files only when wineserver saves.
    WINEPREFIX=$prefix wineserver -w
    echo "$PREFIX_VERSION" > "$prefix/.tessaly-ready"
}

winepath_of() {
    WINEPREFIX=$1 winepath -w "$2" 2>/dev/null
}

# A fresh copy of the template: hard links are enough, but wineserver rewrites
# the registry files in place, so those are real copies.
fresh_prefix() {
    local prefix=$1
    make_prefix "$TEMPLATE_PREFIX"
    rm -rf "$prefix"
    cp -al "$TEMPLATE_PREFIX" "$prefix"
    local f
    for f in "$prefix"/*.reg; do
        rm -f "$f"
        cp "$TEMPLATE_PREFIX/$(basename "$f")" "$f"
    done
}

XVFB_PID=
# A local display answers on its socket; a remote one is taken on trust.
display_alive() {
    [ -n "${DISPLAY:-}" ] || return 1
    case "$DISPLAY" in
        :*) local n=${DISPLAY#:}; [ -S "/tmp/.X11-unix/X${n%%.*}" ] ;;
        *) return 0 ;;
    esac
}

start_display_if_needed() {
    display_alive && return 0
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && return 0
        sleep 0.1
    done
    say "Xvfb did not start on $DISPLAY"
    exit 1
}

stop_display() {
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    XVFB_PID=
}

# Keeps Wine's background services from inheriting the caller's pipes (ctest
# would wait for them for ever) by starting them first with nothing attached.
start_wine_session() {
    # One still running in the prefix (a wine command ended a moment ago) is
    # taken as it is.
    wineserver -p 2>/dev/null || true
    wine cmd /c exit </dev/null >/dev/null 2>&1
}

stop_wine_session() {
    wineserver -k 2>/dev/null || true
}

# True while process $1 is a scripts/run.
running_script() {
    [ -n "$1" ] && tr '\0' ' ' <"/proc/$1/cmdline" 2>/dev/null | grep -q 'scripts/run'
}

# Wine's own notices, which WINEDEBUG does not reach, leave a program's
# error output. The one every start prints: Tessaly asks the drive of each
# folder it searches what file system it has, to know whether the folder's
# time can be trusted, and Wine cannot read the disk behind Z: (the Linux
# root) for its label; the answer is all the same, and Tessaly needs no label.
quiet_wine() {
    grep --line-buffered -v '^wine: Read access denied for device' || true
}
