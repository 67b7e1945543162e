#!/bin/sh
# Runs a command against a private Secret Service: its own D-Bus session and its own
# gnome-keyring-daemon with an unlocked login keyring in temporary folders. Nothing of the
# user's own keyring or session is touched; everything is gone when the command ends.
#   keyring-session.sh COMMAND [ARGS...]
set -eu

if [ "${QUORVEL_IN_KEYRING_SESSION:-}" != "1" ]; then
    root=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-keyring.XXXXXX")
    trap 'rm -rf "$root"' EXIT INT TERM
    mkdir -m 700 "$root/runtime" "$root/data" "$root/home"
    status=0
    env QUORVEL_IN_KEYRING_SESSION=1 XDG_RUNTIME_DIR="$root/runtime" XDG_DATA_HOME="$root/data" \
        HOME="$root/home" dbus-run-session -- "$0" "$@" || status=$?
    exit $status
fi

# Inside the private session: start the keyring, unlocked with a throwaway password.
printf 'quorvel-test' | gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>&1 &
keyring=$!
trap 'kill $keyring 2>/dev/null || true; wait $keyring 2>/dev/null || true' EXIT INT TERM

# Wait until our daemon owns the service name; asking the name's owner does not make the bus
# start a second daemon of its own.
tries=0
until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q 'boolean true'; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ] || ! kill -0 $keyring 2>/dev/null; then
        echo "keyring-session.sh: gnome-keyring-daemon did not start" >&2
        exit 1
    fi
    sleep 0.1
done

status=0
"$@" || status=$?
exit $status
