#!/bin/sh
# Starts and stops the real servers the connection tests talk to, on 127.0.0.1 only.
#
#   test-servers.sh start-ftp DIR [passive|active|canned]
#   test-servers.sh start-sshd DIR
#   test-servers.sh stop DIR
#
# A started server keeps everything in DIR: its files, its log and "server.env", the lines
# HOST=, PORT=, USER=, PASSWORD=, ROOT= (the folder the account starts in) and LOG= (the
# commands the server received), plus SSHD_LOG=, HOST_KEY= and OTHER_HOST_KEY= for sshd, which
# the tests read. FTP_DIE_AFTER_BYTES=N in the environment makes an FTP server exit in the
# middle of any upload once N bytes of it arrived. "stop" ends the server and every process it started, removes the test
# account of an sshd and then DIR. Starting over an old DIR stops what it left first.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3

die() { echo "test-servers: $*" >&2; exit 1; }

# Whether process $1 runs (a zombie left for a parent that never reaps it does not).
alive() {
    state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1)
    [ -n "$state" ] && [ "$state" != Z ]
}

# Prints the process ids below $1, deepest first.
descendants() {
    for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do
        descendants "$child"
        echo "$child"
    done
}

stop_dir() {
    dir=$1
    [ -d "$dir" ] || return 0
    if [ -f "$dir/pid" ]; then
        pid=$(cat "$dir/pid")
        if alive "$pid"; then
            for p in $(descendants "$pid"); do kill -9 "$p" 2>/dev/null || true; done
            kill -CONT "$pid" 2>/dev/null || true
            kill "$pid" 2>/dev/null || true
            i=0
            while alive "$pid" && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
            kill -9 "$pid" 2>/dev/null || true
        fi
    fi
    if [ -f "$dir/account" ]; then
        account=$(cat "$dir/account")
        if id "$account" >/dev/null 2>&1; then
            userdel -r -f "$account" >/dev/null 2>&1 || userdel -f "$account" >/dev/null 2>&1 || true
        fi
    fi
    rm -rf "$dir"
}

wait_for() {
    i=0
    while [ ! -s "$1" ]; do
        [ $i -lt 100 ] || return 1
        if [ -n "${2:-}" ] && ! alive "$2"; then return 1; fi
        sleep 0.1
        i=$((i + 1))
    done
}

free_port() {
    $python -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

random_word() {
    $python -c 'import secrets; print(secrets.token_hex(8))'
}

start_ftp() {
    dir=$1
    mode=${2:-passive}
    stop_dir "$dir"
    mkdir -p "$dir/root"
    dir=$(cd "$dir" && pwd)
    password=$(random_word)
    setsid $python "$here/ftp_server.py" --root "$dir/root" --port-file "$dir/port" \
        --user quorvel --password "$password" --mode "$mode" --log "$dir/commands.log" \
        ${FTP_DIE_AFTER_BYTES:+--die-after-bytes "$FTP_DIE_AFTER_BYTES"} \
        >"$dir/server.out" 2>&1 </dev/null &
    echo $! >"$dir/pid"
    wait_for "$dir/port" "$(cat "$dir/pid")" || { cat "$dir/server.out" >&2; die "FTP server did not start"; }
    . "$dir/port"
    cat >"$dir/server.env" <<END
HOST=127.0.0.1
PORT=$PORT
USER=quorvel
PASSWORD=$password
ROOT=$dir/root
LOG=$dir/commands.log
END
    echo "FTP ($mode) on 127.0.0.1:$PORT, files in $dir/root"
}

start_sshd() {
    dir=$1
    stop_dir "$dir"
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    [ "$(id -u)" -eq 0 ] || die "sshd tests need root (a test account is created)"
    sshd=$(command -v sshd || echo /usr/sbin/sshd)
    [ -x "$sshd" ] || die "sshd not found (package openssh-server)"
    mkdir -p /run/sshd
    ssh-keygen -q -t ed25519 -N '' -f "$dir/host_key" >/dev/null
    # A second key the tests may put into a known-hosts file: the server "changed" its key.
    ssh-keygen -q -t ed25519 -N '' -f "$dir/other_host_key" >/dev/null
    account="qv$(random_word | cut -c1-10)"
    echo "$account" >"$dir/account"
    useradd -m -s /bin/sh "$account" >/dev/null
    password=$(random_word)
    echo "$account:$password" | chpasswd
    home=$(getent passwd "$account" | cut -d: -f6)
    # The SFTP server logs every operation into a file the tests read; it runs as the account.
    : >"$dir/sftp.log"
    chmod 666 "$dir/sftp.log"
    chmod 755 "$dir"
    cat >"$dir/sftp-server.sh" <<END
#!/bin/sh
exec /usr/lib/openssh/sftp-server -l INFO -e 2>>"$dir/sftp.log"
END
    chmod 755 "$dir/sftp-server.sh"
    tries=0
    while :; do
        port=$(free_port)
        cat >"$dir/sshd_config" <<END
Port $port
ListenAddress 127.0.0.1
HostKey $dir/host_key
PidFile $dir/sshd.pid
PasswordAuthentication yes
KbdInteractiveAuthentication no
PubkeyAuthentication no
UsePAM yes
PermitRootLogin no
AllowUsers $account
StrictModes no
MaxStartups 100
MaxSessions 100
LogLevel VERBOSE
Subsystem sftp $dir/sftp-server.sh
END
        setsid "$sshd" -D -f "$dir/sshd_config" -E "$dir/sshd.log" </dev/null >/dev/null 2>&1 &
        echo $! >"$dir/pid"
        i=0
        while [ $i -lt 50 ]; do
            alive "$(cat "$dir/pid")" || break
            if $python -c "import socket,sys; s=socket.socket(); sys.exit(s.connect_ex(('127.0.0.1',$port)))"; then
                break 2
            fi
            sleep 0.1
            i=$((i + 1))
        done
        kill "$(cat "$dir/pid")" 2>/dev/null || true
        tries=$((tries + 1))
        [ $tries -lt 5 ] || { cat "$dir/sshd.log" >&2 2>/dev/null; die "sshd did not start"; }
    done
    cat >"$dir/server.env" <<END
HOST=127.0.0.1
PORT=$port
USER=$account
PASSWORD=$password
ROOT=$home
LOG=$dir/sftp.log
SSHD_LOG=$dir/sshd.log
HOST_KEY=$dir/host_key.pub
OTHER_HOST_KEY=$dir/other_host_key.pub
END
    echo "sshd on 127.0.0.1:$port, account $account, home $home"
}

case "${1:-}" in
start-ftp) start_ftp "$2" "${3:-passive}" ;;
start-sshd) start_sshd "$2" ;;
stop) stop_dir "$2" ;;
*) die "usage: $0 start-ftp DIR [passive|active|canned] | start-sshd DIR | stop DIR" ;;
esac
