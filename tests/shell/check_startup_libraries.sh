#!/bin/sh
# Starts the client up to its first frame and fails if the call or spelling libraries were mapped:
# they load on first use, and mapping them at start costs every start about 3 ms.
#   check_startup_libraries.sh <theorvane-teams>
set -u
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
# No session bus, so no keyring: whatever token other tests left there, the client starts signed out.
loaded=$(XDG_CONFIG_HOME="$config" DBUS_SESSION_BUS_ADDRESS="unix:path=$config/no-bus" QT_QPA_PLATFORM=offscreen THEORVANE_EXIT_AFTER_FIRST_FRAME=1 \
  THEORVANE_SERVER_URL=http://127.0.0.1:9 LD_DEBUG=files timeout 60 "$1" 2>&1 >/dev/null) || {
  echo "the client did not reach its first frame"; exit 1; }
echo "$loaded" | grep -q "calling init: .*libQt6Quick" || { echo "no library trace from the client"; exit 1; }
early=$(echo "$loaded" | grep "calling init:" | grep -E "gst|canberra|enchant") || true
if [ -n "$early" ]; then
  echo "mapped at start:"; echo "$early"; exit 1
fi
echo "no call or spelling library mapped at start"
