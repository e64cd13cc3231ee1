#!/usr/bin/env bash
# The Debian packages as a shop installs them: ./package.sh builds them, lintian and dpkg-deb check
# them; the client and the service, unpacked into a temporary root, run from there, the client as
# an ordinary user with a remembered account in that user's folder. It reaches the tray and prints
# a sale's receipt, logo included, to a queue that prints to PDF.
# Usage (as root): tests/support/xsession.sh install.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
chmod 755 "$work" # the user runs the program from here
user=kesto$$
queue=kesto_package_$$
cleanup() {
    kill $(jobs -p) 2>/dev/null || true
    /usr/sbin/lpadmin -x "$queue" 2>/dev/null || true
    userdel "$user" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
source "$root/tests/support/configdat.sh"

"$root/package.sh" >"$work/package.log" 2>&1 || { cat "$work/package.log"; fail "package.sh"; }
client=$(ls "$root"/build-package/kesto_*_amd64.deb)
server=$(ls "$root"/build-package/kesto-payment-server_*_amd64.deb)
lintian --fail-on error "$client" "$server"
for file in usr/bin/kesto usr/share/applications/kesto.desktop usr/share/kesto/kesto.jpg usr/share/man/man1/kesto.1.gz \
    usr/share/icons/hicolor/{48x48,128x128,256x256}/apps/kesto.png usr/share/doc/kesto/{copyright,changelog.gz} \
    usr/bin/payment-server usr/share/doc/kesto-payment-server/{README.md,copyright,changelog.gz}; do
    grep -q " \./$file\$" <<<"$(dpkg-deb -c "$client"; dpkg-deb -c "$server")" || fail "$file is in no package"
done
depends=$(dpkg-deb -f "$client" Depends)
for package in libqt5widgets5 libqt5sql5-sqlite fonts-wqy-microhei; do
    [[ $depends == *"$package"* ]] || fail "kesto does not depend on $package: $depends"
done
dpkg-deb -x "$client" "$work/root"
dpkg-deb -x "$server" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/kesto.desktop"
grep -qx "Exec=kesto" "$work/root/usr/share/applications/kesto.desktop" || fail "the menu starts no kesto"

"$work/root/usr/bin/payment-server" --port 0 --db "$work/payment.db" >"$work/service.log" 2>&1 &
for _ in $(seq 100); do grep -q "^listening on" "$work/service.log" && break; sleep 0.1; done
lpstat -r | grep -q "is running" || { /usr/sbin/cupsd; sleep 1; }
/usr/sbin/lpadmin -p "$queue" -E -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd 2>/dev/null

# An ordinary user, whose remembered account names the service and the queue; CUPS-PDF writes the
# user's receipts into that user's home.
useradd --home-dir "$work/home" --create-home --shell /usr/sbin/nologin "$user"
text=$'\n'"server=http://$(sed 's/^listening on //;q' "$work/service.log")"$'\n'"username=demo"$'\n'"password=demo123"
text+=$'\n'"remeber=1"$'\n'"device=1_前台"$'\n'"jm_title=演示商户"$'\n'"printname=$queue"$'\n'"printnum=1"
mkdir -p "$work/home/.config/Kesto"
settings "$text" >"$work/home/.config/Kesto/config.dat"
chown -R "$user:" "$work/home"

trayer --edge bottom --align left --widthtype request --height 32 >/dev/null 2>&1 &
sleep 1
(cd "$work/home" && exec setpriv --reuid="$user" --regid="$user" --init-groups env HOME="$work/home" \
    "$work/root/usr/bin/kesto") &
for _ in $(seq 100); do xdotool search --name "^Kesto$" >/dev/null 2>&1 && break; sleep 0.1; done
sleep 2
xdotool mousemove 12 784 click 3 sleep 0.5 key Down Return sleep 1
pay=$(xdotool search --onlyvisible --name "^演示商户$" | head -n 1)
[ -n "$pay" ] || fail "no pay window from the tray"
xdotool windowfocus --sync "$pay" type --delay 40 "5"
xdotool key Return sleep 0.5 type --delay 8 134567890123456789
# The PDF is there before CUPS-PDF has written it whole: the job's end tells.
for _ in $(seq 150); do [ -n "$(lpstat -W completed -o "$queue")" ] && [ -z "$(lpstat -o "$queue")" ] && break; sleep 0.2; done
pdfimages -list "$work/home/PDF/"*.pdf | tail -n +3 >"$work/images"
logo=$(identify -format "%w %h" "$work/root/usr/share/kesto/kesto.jpg")
[ "$(wc -l <"$work/images")" = 1 ] && [ "$(awk '{ print $4, $5 }' "$work/images")" = "$logo" ] ||
    fail "the receipt's images: $(cat "$work/images"), the logo: $logo"
[ -f "$work/home/.config/Kesto/journal.db" ] || fail "no journal in the user's folder"
echo "PASS"
