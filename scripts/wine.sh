# shellcheck shell=bash
# Wine prefixes with their COM ports, for the scripts that run Windows programs under Wine.
# Sourced; the caller exports WINEPREFIX and WINEARCH first.
#
#   wine_prefix_with_ports LOG COMn=PATH...
#
# Makes the prefix and names each port's Unix device in its Ports key
# (HKLM\Software\Wine\Ports). Wine's mount manager applies the key when the server starts (a
# dosdevices/comN made by hand is rewritten at start-up on a machine with /dev/ttyS0), so the
# server is started again once the key is set (tests/wine/wine-session, its messages in LOG), and
# the mapping is checked. That server is then kept for the run. Wine runs as
# tests/wine/wine-as-user says.
# Returns 1, with a message, when the prefix cannot be made or a port is not mapped.
wine_prefix_with_ports() {
  local log=$1 port device
  shift
  local as_user
  as_user=$(cd "$(dirname "${BASH_SOURCE[0]}")/../tests/wine" && pwd)/wine-as-user
  if ! "$as_user" wineboot -i </dev/null >/dev/null 2>&1; then
    echo "wineboot could not make the prefix $WINEPREFIX" >&2
    return 1
  fi
  "$as_user" wineserver -w
  for port in "$@"; do
    if ! "$as_user" wine reg add 'HKLM\Software\Wine\Ports' /v "${port%%=*}" /t REG_SZ /d "${port#*=}" /f \
      </dev/null >/dev/null 2>&1; then
      echo "the mapping of ${port%%=*} could not be written in the registry of $WINEPREFIX" >&2
      return 1
    fi
  done
  "$(dirname "$as_user")/wine-session" "${DISPLAY:-}" "$log"
  for port in "$@"; do
    device=${port%%=*}
    device=$WINEPREFIX/dosdevices/${device,,}
    if [[ $(readlink "$device") != "${port#*=}" ]]; then
      echo "Wine did not map ${port%%=*} as its Ports key says: $(ls -l "$device" 2>&1)" >&2
      return 1
    fi
  done
}
