#!/usr/bin/env bash
# Makes the shop's package: dist/lanhe-ledger-windows-x64.zip, one folder
# "岚禾记账" holding the program and edbtool for 64-bit Windows, the Qt and
# mingw runtime DLLs, the plugins the program loads, Qt's Chinese
# translations, four empty tables and a short guide in Chinese. Unzipped
# anywhere, lanhe-ledger.exe runs as it is.
#
#   bash scripts/package-windows.sh
#
# Builds build-win/ first (the Windows build of scripts/test.sh), then tries
# the package: unzipped into a fresh folder with a fresh wine prefix, started
# on a private Xvfb, its main bar has to appear.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh
qt_prefix=$(bash scripts/qt-mingw.sh | tail -n 1)
xlsx_prefix=$(bash scripts/xlsxwriter-mingw.sh | tail -n 1)
cmake -S . -B build-win -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
      -DCMAKE_PREFIX_PATH="$qt_prefix;$xlsx_prefix" -DQT_HOST_PATH=/usr -DLANHE_GUI=ON \
      -DLANHE_WERROR=ON -DLANHE_BENCH=OFF >/dev/null
cmake --build build-win -j "$(nproc)" --target lanhe-ledger edbtool

max_bytes=$((30 * 1024 * 1024))
zip_path=$root/dist/lanhe-ledger-windows-x64.zip
translations=/usr/share/qt6/translations/qtbase_zh_CN.qm
work=$(mktemp -d "${TMPDIR:-/tmp}/lanhe-package.XXXXXX")
stop_wine() {  # only the wine prefixes made here
  local p
  for p in "$work/wine" "$work/wine-try"; do
    if [ -d "$p" ]; then WINEPREFIX=$p wineserver -k 2>/dev/null || true; fi
  done
}
trap 'stop_wine; rm -rf "$work"' EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

folder=$work/stage/岚禾记账
mkdir -p "$folder/platforms" "$folder/styles" "$folder/translations"
bin=$root/build-win/bin
cp "$bin/lanhe-ledger.exe" "$bin/edbtool.exe" "$folder/"
for dll in Qt6Core Qt6Gui Qt6Widgets Qt6PrintSupport libgcc_s_seh-1 libstdc++-6 libwinpthread-1; do
  cp "$qt_prefix/bin/$dll.dll" "$folder/"
done
cp "$qt_prefix/plugins/platforms/qwindows.dll" "$folder/platforms/"
cp "$qt_prefix/plugins/styles/qwindowsvistastyle.dll" "$folder/styles/"
cp "$translations" "$folder/translations/"
find "$folder" \( -name '*.exe' -o -name '*.dll' \) -exec x86_64-w64-mingw32-strip --strip-unneeded {} +

# The tables are made by the shipped edbtool itself, under wine.
WINEPREFIX=$work/wine wineboot -i >/dev/null 2>&1 || true
(cd "$folder" && WINEPREFIX=$work/wine wine edbtool.exe init . >/dev/null)
for table in 记账.edb 设置.edb 项目.edb 客户.EDB; do
  [ -f "$folder/$table" ] || { echo "package: edbtool init made no $table" >&2; exit 1; }
done

# UTF-8 with a byte-order mark and CRLF line ends, so that Notepad shows it.
{
  printf '\xEF\xBB\xBF'
  sed 's/$/\r/' <<'EOF'
岚禾记账 使用说明

1. 把压缩包解压到任意文件夹（例如 D:\岚禾记账），整个文件夹要放在一起。
2. 双击 lanhe-ledger.exe 启动。程序窗口在屏幕最上方，快捷键 Ctrl + B 可隐藏或显示窗口，
   也可以双击任务栏右下角的图标重新显示。
3. 第一次使用：先点“ 设 置 ”，勾选需要的权限（记账录入、记账日期、修改删除、搜索和客户
   各项），需要时设置密码，点“全部保存”，然后关闭程序再重新启动，设置才生效。
4. 账目数据保存在本文件夹里的四个文件中：记账.edb、设置.edb、项目.edb、客户.EDB。
   请定期把这四个文件复制到 U 盘或其他电脑备份；换电脑时把整个文件夹复制过去即可。
5. 同一台电脑上只能运行一个岚禾记账；再次启动时会提示“检测到有相同程序在运行，请勿重复运行！”。
6. edbtool.exe 是数据文件的维护工具（查看、检查数据文件），平时不需要使用。

适用于 64 位 Windows 7 及以上版本。
EOF
} >"$folder/使用说明.txt"

mkdir -p "$root/dist"
rm -f "$zip_path"
# Python's zipfile marks the Chinese names as UTF-8, as Windows expects.
python3 - "$work/stage" "$zip_path" <<'EOF'
import os, sys, zipfile
stage, out = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    for dirpath, dirnames, filenames in os.walk(stage):
        dirnames.sort()
        for name in sorted(filenames):
            path = os.path.join(dirpath, name)
            z.write(path, os.path.relpath(path, stage))
EOF
size=$(stat -c %s "$zip_path")
echo "package: $zip_path, $((size / 1024)) KiB"
if [ "$size" -gt "$max_bytes" ]; then
  echo "package: larger than 30 MiB" >&2
  exit 1
fi

# --- the package as the shop gets it --------------------------------------------
try=$work/try
mkdir -p "$try"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip_path" "$try"
cat >"$work/start.sh" <<'EOF'
#!/usr/bin/env bash
# Starts the unpacked program with a fresh wine prefix and waits for its main bar.
set -u
export WINEPREFIX=$1/wine-try
wineboot -i >/dev/null 2>&1
cd "$2"
wine lanhe-ledger.exe >/dev/null 2>&1 &
for _ in $(seq 1 200); do
  for w in $(xdotool search --onlyvisible --name '^岚禾记账$' 2>/dev/null); do
    info=$(xwininfo -id "$w")
    if grep -q 'Width: 700' <<<"$info" && grep -q 'Height: 75' <<<"$info"; then
      echo "package: the unpacked program shows its main bar"
      wineserver -k
      exit 0
    fi
  done
  sleep 0.1
done
echo "package: the unpacked program showed no main bar" >&2
wineserver -k
exit 1
EOF
bash "$root/tests/shell/platform/run_under_xvfb.sh" --wm bash "$work/start.sh" "$work" "$try/岚禾记账"
