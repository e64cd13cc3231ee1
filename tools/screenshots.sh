#!/usr/bin/env bash
# Takes the README's screenshots from the running program in a fresh X session: signs in to a
# local payment service as a cashier would, picks the device, opens the records view, sells at the
# pay window, and opens the setup dialog.
# Usage: tools/screenshots.sh BUILD_DIR [OUTPUT_DIR]
set -euo pipefail
build=$(cd "$1" && pwd)
out=$(mkdir -p "${2:-docs/screenshots}" && cd "${2:-docs/screenshots}" && pwd)
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; rm -rf "$work"' EXIT

display=:$((100 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x800x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display QT_QPA_PLATFORM=xcb
sleep 1

"$build/server/payment-server" --port 0 --db "$work/payment.db" --confirm-delay 1 >"$work/server.log" 2>&1 &
pids+=($!)
until grep -q "^listening on" "$work/server.log"; do sleep 0.1; done
url="http://$(head -n 1 "$work/server.log" | sed 's/^listening on //')"

# Today's sales, so that the records view (which opens on today) has rows to show.
for i in $(seq 11 24); do
    path=kesto; code="1345678901234567$i"
    [ $((i % 3)) -eq 0 ] && { path=AliPay; code="2845678901234567$i"; }
    curl -s -o "$work/sale.json" --data-urlencode "username=demo" --data-urlencode "password=demo123" \
        --data-urlencode "codes=$code" --data-urlencode "price=$((i * 7)).$((i % 10))0" \
        --data-urlencode "drive=1_前台" "$url/index.php/Pay/Payinterface/$path"
done
# The last sale's order number, to be refunded in the refund window.
order=$(sed -n 's/.*"out_trade_no":"\([0-9]*\)".*/\1/p' "$work/sale.json")

# A receipt queue that prints to PDF (cups-pdf), so that the receipt can be shown too.
queue=kesto_screenshots
lpstat -r 2>/dev/null | grep -q "is running" || { /usr/sbin/cupsd; sleep 1; }
/usr/sbin/lpadmin -p $queue -E -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd \
    -o pdftops-renderer-default=pdftocairo -o Label=1
trap 'kill "${pids[@]}" 2>/dev/null; /usr/sbin/lpadmin -x '$queue'; rm -rf "$work"' EXIT
pdfs=$(getent passwd "$(id -un)" | cut -d: -f6)/PDF

# The program in an application folder of its own, pointed at the service by its settings file.
cp "$build/src/Kesto" "$work/Kesto"
text=$'\nserver='"$url"$'\nprintname='"$queue"$'\nprintnum=1\npaykey=Ctrl+F1\nrefundkey=Ctrl+F2'

{
    length=$((${#text} * 2))
    printf "$(printf '\\x%02x' $((length >> 24 & 255)) $((length >> 16 & 255)) $((length >> 8 & 255)) $((length & 255)))"
    printf '%s' "$text" | iconv -f UTF-8 -t UTF-16BE
} >"$work/config.dat"
"$work/Kesto" &
pids+=($!)

window() {
    local id=""
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
        sleep 0.1
    done
    echo "$id"
}
shot() { sleep 1; import -display "$display" -window "$1" "$out/$2"; }

signin=$(window WxSignin)
xdotool windowfocus --sync "$signin"
xdotool type --delay 20 demo
xdotool key Tab
xdotool type --delay 20 demo123
shot "$signin" signin.png

xdotool key Return
sleep 2
shot "$signin" devices.png

eval "$(xdotool getwindowgeometry --shell "$signin")"
xdotool mousemove $((X + 94)) $((Y + 193)) click 1
records=$(window 演示商户)
shot "$records" records.png

# Without a notification area the records view's menu bar carries the tray menu.
xdotool windowfocus --sync "$records"
xdotool key alt+s
sleep 0.5
xdotool key Return
pay=""
for _ in $(seq 100); do
    pay=$(xdotool search --onlyvisible --name '^演示商户$' | grep -v "^$records\$" | head -n 1) && [ -n "$pay" ] && break
    sleep 0.1
done
xdotool windowfocus --sync "$pay"
eval "$(xdotool getwindowgeometry --shell "$pay")"
key() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; sleep 0.2; }
key 137 162 # 1
key 232 162 # 2
key 137 372 # .
key 232 232 # 5
shot "$pay" pay-amount.png
xdotool key Return
xdotool key ctrl+s
shot "$pay" pay-code.png
xdotool type --delay 5 284567890123450000
shot "$pay" pay-waiting.png
sleep 1
xdotool key F12
shot "$pay" pay-paid.png

job=""
for _ in $(seq 100); do
    job=$(ls -t "$pdfs"/job_*.pdf 2>/dev/null | head -n 1) && [ -n "$job" ] && [ -z "$(lpstat -o $queue)" ] && break
    sleep 0.2
done
pdftoppm -r 150 -png -singlefile "$job" "$out/receipt"
rm -f "$job"

# The refund window, the second entry of the same menu; the order number typed as a scanner would.
xdotool windowfocus --sync "$records"
xdotool key alt+s
sleep 0.5
xdotool key Down Return
refund=""
for _ in $(seq 100); do
    refund=$(xdotool search --onlyvisible --name '^演示商户$' | grep -v -e "^$records\$" -e "^$pay\$" | head -n 1) &&
        [ -n "$refund" ] && break
    sleep 0.1
done
shot "$refund" refund-folded.png
xdotool type --delay 5 "$order"
shot "$refund" refund-order.png

# The setup dialog, the fourth entry of the same menu.
xdotool windowfocus --sync "$records"
xdotool key alt+s
sleep 0.5
xdotool key Down Down Down Return
setup=""
for _ in $(seq 100); do
    setup=$(xdotool search --onlyvisible --name '^演示商户$' | grep -v -e "^$records\$" -e "^$pay\$" -e "^$refund\$" | head -n 1) &&
        [ -n "$setup" ] && break
    sleep 0.1
done
shot "$setup" setup.png

echo "screenshots in $out"
