#!/usr/bin/env bash
# Veltrane demo: a local Dovecot with a mailbox of sample mail, a demo profile pointing at it, and
# the program opened on it. Without a display it runs the headless checker and prints the listing.
# Works as root and as an ordinary user (Dovecot then runs entirely under the user's own account).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$repo/build}
demo=${VELTRANE_DEMO_DIR:-$build/demo}
user=demo
password=demo-password

"$repo/scripts/install-deps.sh"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" --target veltrane-check veltrane-demo-profile
[ -f "$repo/src/app/main.cpp" ] && cmake --build "$build" -j "$(nproc)" --target veltrane

# A fresh demo every time: old server, mailbox and profile go.
if [ -f "$demo/server/dovecot.pid" ]; then
    kill "$(cat "$demo/server/dovecot.pid")" 2>/dev/null || true
fi
rm -rf "$demo"
mkdir -p "$demo/server/run" "$demo/server/state" "$demo/home" "$demo/config"

# -- The POP3 server --------------------------------------------------------------------------
port=11110
while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do port=$((port + 1)); done

if [ "$(id -u)" -eq 0 ]; then
    # Dovecot will not serve mail as root: the mailbox belongs to nobody, logins run as dovenull.
    mail_uid=$(id -u nobody); mail_gid=$(id -g nobody)
    login_user=dovenull; internal_user=dovecot; chroot_line=""; group_line=""
else
    mail_uid=$(id -u); mail_gid=$(id -g)
    login_user=$(id -un); internal_user=$(id -un); chroot_line="chroot ="
    group_line="default_internal_group = $(id -gn)"
fi

cat > "$demo/server/dovecot.conf" <<CONF
base_dir = $demo/server/run
state_dir = $demo/server/state
log_path = $demo/server/dovecot.log
protocols = pop3
listen = 127.0.0.1
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain
default_login_user = $login_user
default_internal_user = $internal_user
$group_line
first_valid_uid = 1
mail_location = maildir:~/Maildir
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $demo/server/passwd
}
userdb {
  driver = passwd-file
  args = username_format=%u $demo/server/passwd
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $port
  }
  $chroot_line
}
service anvil {
  $chroot_line
}
CONF
echo "$user:{PLAIN}$password:$mail_uid:$mail_gid::$demo/mail/$user" > "$demo/server/passwd"

# -- The mailbox: one message per line of resources/demo/messages.tsv ---------------------------
maildir=$demo/mail/$user/Maildir
mkdir -p "$maildir/new" "$maildir/cur" "$maildir/tmp"
n=0
while IFS=$'\t' read -r from subject extra body; do
    case "$from" in "#"*|"") continue ;; esac
    n=$((n + 1))
    {
        printf 'Return-Path: <%s>\r\n' "$(sed -n 's/.*<\(.*\)>.*/\1/p' <<<"$from")"
        printf 'Received: from mx.demo.example by pop.demo.example; Fri, %d Dec 2026 %02d:%02d:00 +0100\r\n' \
            $((1 + n % 10)) $((8 + n % 12)) $((n % 60))
        printf 'Message-ID: <demo-%d@demo.example>\r\n' "$n"
        printf 'Date: Fri, %d Dec 2026 %02d:%02d:00 +0100\r\n' $((1 + n % 10)) $((8 + n % 12)) $((n % 60))
        printf 'From: %s\r\nTo: Demo User <demo@home.example>\r\nSubject: %s\r\n' "$from" "$subject"
        [ -n "$extra" ] && printf '%s\r\n' "${extra//;;/$'\r\n'}"
        printf 'MIME-Version: 1.0\r\n'
        grep -q '^Content-Type' <<<"$extra" || printf 'Content-Type: text/plain; charset=us-ascii\r\n'
        printf '\r\n%s\r\n' "$body"
    } > "$maildir/new/$((1700000000 + n)).demo$n.host"
done < "$repo/resources/demo/messages.tsv"
chown -R "$mail_uid:$mail_gid" "$demo/mail"

/usr/sbin/dovecot -c "$demo/server/dovecot.conf"
trap 'kill "$(cat "$demo/server/run/master.pid" 2>/dev/null)" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
done

# -- The demo profile: settings, starter rules and blacklist --------------------------------------
export VELTRANE_HOME=$demo/home XDG_CONFIG_HOME=$demo/config
crlf() { sed 's/$/\r/'; }
crlf > "$VELTRANE_HOME/subj.lst" <<'LIST'
6,10
1,1,Contains
2,1,free money
4,1,Yes
1,2,Contains (whole word)
2,2,lottery
4,2,Yes
1,3,Starts with
2,3,ADV:
4,3,Yes
1,4,Is UPPERCASE
4,4,Yes
1,5,Contains
2,5,replica
4,5,Yes
1,6,Contains
2,6,free spins
4,6,No
1,7,Contains
2,7,$$$
4,7,No
1,8,Contains
2,8,double your money
4,8,Yes
1,9,Starts with
2,9,Final notice
4,9,No
LIST
crlf > "$VELTRANE_HOME/from.lst" <<'LIST'
6,3
1,1,E-mail address
2,1,All numeric
4,1,Yes
1,2,Domain name
2,2,Equals
3,2,cheap-pills.example
4,2,Yes
LIST
crlf > "$VELTRANE_HOME/header.lst" <<'LIST'
6,3
1,1,Contains
2,1,X-Mailer: Floodgate
4,1,Yes
1,2,Sender
2,2,does not match Reply-to
3,2,No
4,2,No
LIST
crlf > "$VELTRANE_HOME/except.lst" <<'LIST'
7,4
0,1,Domain name
1,1,Equals
2,1,family.example
6,1,7
0,2,E-mail address
1,2,Equals
2,2,boss@work.example
0,3,Subject:
1,3,Contains
2,3,invoice
6,3,11
LIST
crlf > "$VELTRANE_HOME/known.lst" <<'LIST'
bank-verify.example
deals@megasavings.example
diploma-mill.example
prince@royal-funds.example
LIST
# The sample mail comes from made-up domains that no DNS server knows: the domain check would
# mark all of it, so the demo leaves it off.
crlf > "$VELTRANE_HOME/veltrane.ini" <<'INI'
[Known]
QMonitor=1
Valid=0
INI
"$build/tools/veltrane-demo-profile" "127.0.0.1:$port" "$user" "$password"

echo "Demo mailbox: $n messages on 127.0.0.1:$port (user $user), profile in $demo"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build/src/app/veltrane" ]; then
    echo "Opening Veltrane: click \"Check e-mail\", look at the marks, then \"Delete marked msgs\"."
    "$build/src/app/veltrane"
else
    "$build/src/app/veltrane-check"
    echo
    echo "No display here, so the headless checker listed the demo mailbox (number, mark, size,"
    echo "sender, subject, date; mark 0 = delete, 1 = question, 2 = known spammer, 3-14 = exception)."
    echo "To see the window, run 'make run' from a desktop session, or: xvfb-run -a make run"
fi
