# Sourced by the Makefile's recipes: a project-local Wine prefix, initialised once, and a
# persistent wineserver so that every Wine process starts quickly. Its output is detached:
# Wine services that inherit CTest's pipes would otherwise keep CTest waiting.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# BRISALUNE_WINEPREFIX lets a second build run beside the first without sharing its Wine.
export WINEPREFIX="${BRISALUNE_WINEPREFIX:-$root/build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
wine_loader=/usr/lib/wine/wine64
[ -x "$wine_loader" ] || wine_loader=wine

wine_prepare() {
  if [ ! -f "$WINEPREFIX/.brisalune-ready-3" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$wine_loader" wineboot -i </dev/null >/dev/null 2>&1
    # Every program runs inside one virtual desktop: there is no window manager in Xvfb, and
    # without one Wine waits seconds for each window to be shown or hidden.
    "$wine_loader" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f \
      </dev/null >/dev/null 2>&1
    "$wine_loader" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f \
      </dev/null >/dev/null 2>&1
    # With its shell, the desktop has a taskbar and a notification area for the tray icon.
    "$wine_loader" reg add 'HKCU\Software\Wine\Explorer\Desktops\Default' /v EnableShell \
      /t REG_DWORD /d 1 /f </dev/null >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.brisalune-ready-3"
  fi
  wineserver -p </dev/null >/dev/null 2>&1 &
  # Give the server a moment to own its socket before the first client.
  for _ in $(seq 50); do
    if "$wine_loader" cmd /c exit </dev/null >/dev/null 2>&1; then break; fi
    sleep 0.1
  done
  # A test program that crashes ends at once instead of waiting in Wine's crash debugger until
  # CTest's time-out. The program's own crash filter runs before this is consulted.
  if [ ! -f "$WINEPREFIX/.brisalune-no-debugger" ]; then
    "$wine_loader" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
      /v Debugger /d false /f </dev/null >/dev/null 2>&1 && touch "$WINEPREFIX/.brisalune-no-debugger"
  fi
}

wine_finish() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
}
