#!/usr/bin/env bash
# Shows the field "Ombrel" of MODULE in a real host: Double Commander (its Qt
# build) under Xvfb, with a configuration of its own whose file panels show
# a column for the field, on a folder of six files marked 2, 8, 11, -5, 0 and
# not at all. It reads back what the column shows through the host's own
# command that copies the shown columns of the marked files to the
# clipboard, first in English, then with the bundled German language file
# chosen in the running host's settings.
#   check_doublecmd.sh [--screenshot PNG] MODULE WORK
# WORK is a scratch folder (emptied first). --screenshot PNG also saves the
# host's window, showing the English column, as PNG.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
limit=180 # seconds for the whole check; every wait inside is shorter
if [[ -z "${OMBRELS_HOST_CHECK_LIMITED:-}" ]]; then
  # timeout runs the check in a process group of its own, so an interrupt
  # reaches it through timeout, which passes it on.
  OMBRELS_HOST_CHECK_LIMITED=1 timeout -k 10 "$limit" bash "$0" "$@" &
  limited=$!
  trap 'kill -TERM "$limited" 2>/dev/null' INT TERM
  while :; do
    status=0
    wait "$limited" || status=$?
    kill -0 "$limited" 2>/dev/null || break
  done
  [[ $status == 124 || $status == 137 ]] && echo "FAIL doublecmd: the check did not end within $limit s" >&2
  exit "$status"
fi

screenshot=
if [[ "${1:-}" == --screenshot ]]; then
  screenshot=$(realpath -m "$2")
  shift 2
fi
[[ $# == 2 ]] || { echo "usage: $0 [--screenshot PNG] MODULE WORK" >&2; exit 2; }
module=$(realpath "$1")
work=$(realpath -m "$2")
fail() { echo "FAIL doublecmd: $*" >&2; exit 1; }
for tool in doublecmd Xvfb xdotool xclip ${screenshot:+import}; do
  command -v "$tool" >/dev/null ||
    fail "$tool is missing (scripts/deps.sh host${screenshot:+ screenshot} installs it)"
done
[[ -f "$module" ]] || fail "no module at $module"

xvfb_pid='' dc_pid=''
cleanup() {
  local pid
  for pid in $dc_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null || continue
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}
trap cleanup EXIT
trap 'exit 143' TERM

rm -rf "$work"
mkdir -p "$work"/{config,home,files,install/langs}
mkdir -m 700 "$work/runtime"

# The registry stand-in names the demo install; its store marks five of the
# six files (one name is not ASCII and has a blank).
export OMBRELS_REGISTRY_ROOT="$work/registry"
key="$OMBRELS_REGISTRY_ROOT/HKEY_LOCAL_MACHINE/Software/Quorvel/Ombrels"
mkdir -p "$key"
printf '%s\0' "$work/install" >"$key/@"
cp "$root/demo/langs/Deutsch" "$work/install/langs/"
names=(Holiday.jpg "Café menu.pdf" Budget.xlsx Old.log Receipt.txt Unmarked.txt)
marks=(2 8 11 -5 0)
store() { # store LANGUAGE
  {
    printf '[Options]\r\nBasePerUser=0\r\n'
    [[ -n "$1" ]] && printf '[Translate]\r\nCurLang=%s\r\n' "$1"
    printf '[Files]\r\n'
    for i in "${!marks[@]}"; do printf '%s=%s\r\n' "$work/files/${names[i]}" "${marks[i]}"; done
  } >"$work/install/settings.ini"
}
for n in "${names[@]}"; do touch "$work/files/$n"; done
store "" # English

# The host's configuration: the module in its list of content plugins, and
# both panels on the files with a column set of the file name and the field;
# keys for the four internal commands this check gives.
xml() { sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g' <<<"$1"; }
panel() {
  cat <<EOF
        <ActiveTab>0</ActiveTab>
        <Tab>
          <FileView Type="columns">
            <History>
              <Entry Active="True">
                <FileSource Type="FileSystem"/>
                <Paths><Path Filename="">$(xml "$work/files/")</Path></Paths>
              </Entry>
            </History>
            <ColumnsView><ColumnsSet>Ombrels</ColumnsSet></ColumnsView>
          </FileView>
        </Tab>
EOF
}
column() { # column TITLE FUNCTION WIDTH
  cat <<EOF
        <Column>
          <Title>$1</Title>
          <FuncString>$2</FuncString>
          <Width>$3</Width>
          <Align>0</Align>
        </Column>
EOF
}
cat >"$work/config/doublecmd.xml" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<doublecmd DCVersion="1.0.10" ConfigVersion="13">
  <MainWindow>
    <Position Save="False">
      <Left>0</Left>
      <Top>0</Top>
      <Width>800</Width>
      <Height>520</Height>
      <Maximized>False</Maximized>
      <Splitter>50</Splitter>
    </Position>
  </MainWindow>
  <Tabs>
    <OpenedTabs>
      <Left>
$(panel)
      </Left>
      <Right>
$(panel)
      </Right>
    </OpenedTabs>
  </Tabs>
  <ColumnsSets>
    <ColumnsSet>
      <Name>Ombrels</Name>
      <Columns>
$(column Name '[DC().GETFILENAME{}]' 200)
$(column Ombrel '[Plugin(TC_Ombrels).Ombrel{}]' 150)
      </Columns>
    </ColumnsSet>
  </ColumnsSets>
  <Plugins>
    <WdxPlugins>
      <WdxPlugin>
        <Name>TC_Ombrels</Name>
        <Path>$(xml "$module")</Path>
        <DetectString/>
      </WdxPlugin>
    </WdxPlugins>
  </Plugins>
</doublecmd>
EOF
hotkey() { printf '      <Hotkey><Shortcut>%s</Shortcut><Command>%s</Command></Hotkey>\n' "$1" "$2"; }
cat >"$work/config/shortcuts.scf" <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<doublecmd DCVersion="1.0.10">
  <Hotkeys Version="53">
    <Form Name="Main">
$(hotkey F5 cm_MarkMarkAll)
$(hotkey F6 cm_CopyFileDetailsToClip)
$(hotkey F7 cm_MarkUnmarkAll)
$(hotkey F8 cm_Refresh)
    </Form>
  </Hotkeys>
</doublecmd>
EOF

# A display of its own: Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
[[ -s "$work/display" ]] || { cat "$work/xvfb.log" >&2; fail "Xvfb did not start within 10 s"; }
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY

env -u DBUS_SESSION_BUS_ADDRESS HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
  XDG_CACHE_HOME="$work/home/.cache" XDG_DATA_HOME="$work/home/.local/share" \
  XDG_RUNTIME_DIR="$work/runtime" LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb \
  doublecmd --no-splash --config-dir="$work/config" >"$work/doublecmd.log" 2>&1 &
dc_pid=$!
window=
started=$SECONDS
while ((SECONDS - started < 30)); do
  kill -0 "$dc_pid" 2>/dev/null ||
    { tail -n 20 "$work/doublecmd.log" >&2; fail "Double Commander ended before showing a window"; }
  window=$(timeout 5 xdotool search --onlyvisible --name '^Double Commander' 2>/dev/null | head -n 1) || true
  [[ -n "$window" ]] && break
  sleep 0.1
done
[[ -n "$window" ]] ||
  { tail -n 20 "$work/doublecmd.log" >&2; fail "Double Commander showed no window within 30 s"; }

# press KEY : presses a key in the host's window.
press() {
  timeout 10 xdotool windowfocus --sync "$window" key "$1" || fail "could not press $1 in the host's window"
}

indent() { sed 's/^/    /'; }

# expect LANGUAGE NAME=VALUE... : marks all files, copies what the shown
# columns hold for them and compares it with the expected values; the host
# reads plugin fields in the background, so this asks again for up to 20 s.
expect() {
  local language=$1; shift
  local want shown pair asked=$SECONDS
  want=$(for pair in "$@"; do printf '%s\t%s\n' "${pair%%=*}" "${pair#*=}"; done | sort)
  while :; do
    press F5 # cm_MarkMarkAll
    press F6 # cm_CopyFileDetailsToClip
    shown=$(timeout 5 xclip -o -selection clipboard 2>/dev/null | tr -d '\r\000' | sort) || true
    [[ "$shown" == "$want" ]] || ((SECONDS - asked >= 20)) && break
    sleep 0.5
  done
  if [[ "$shown" != "$want" ]]; then
    echo "expected (file, column Ombrel):" >&2
    indent <<<"$want" >&2
    echo "shown by Double Commander:" >&2
    indent <<<"${shown:-<nothing>}" >&2
    command -v import >/dev/null && timeout 20 import -window root "$work/failure.png" &&
      echo "the host's screen: $work/failure.png" >&2
    echo "the host's log: $work/doublecmd.log" >&2
    fail "the column shows the wrong values $language"
  fi
  press F7 # cm_MarkUnmarkAll
  echo "ok doublecmd: the column shows $(awk -F'\t' '{printf "%s%s \"%s\"", (NR > 1 ? ", " : ""), $1, $2}' \
    <<<"$want") $language"
}

expect "in English" Holiday.jpg=Cool "Café menu.pdf=New" Budget.xlsx=11 Old.log=-5 Receipt.txt= Unmarked.txt=
if [[ -n "$screenshot" ]]; then
  sleep 1 # the unmarked rows repainted
  mkdir -p "$(dirname "$screenshot")"
  timeout 20 import -window "$window" -strip "$screenshot" || fail "could not take the screenshot"
  echo "wrote $screenshot"
fi

# The settings now choose the German language file; the host, asked to
# read the folder again, shows the change.
store Deutsch
press F8 # cm_Refresh
expect "with the language file Deutsch" Holiday.jpg=Klasse "Café menu.pdf=Neu" Budget.xlsx=11 Old.log=-5 \
  Receipt.txt= Unmarked.txt=
