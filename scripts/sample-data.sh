#!/usr/bin/env bash
# Fills freshly made tables with a few days of sample business so that the
# program can be tried at once: the nine permission switches on (no password
# prompts), a short item list, some customers' entries around today.
# Usage: sample-data.sh EDBTOOL DIR — only tables that are still empty get data.
set -euo pipefail
tool=$1
dir=$2
pw=(--password 583027)

records() {  # live and deleted slots of a table
  "$tool" info "$1" "${pw[@]}" | sed -n 's/^records: \([0-9]*\).*/\1/p'
}

settings="$dir/设置.edb"
if [ -f "$settings" ] && [ "$(records "$settings")" = 1 ] &&
   "$tool" dump "$settings" "${pw[@]}" | grep -q '"values":\["",false,false,false,false,false,false,false,false,false,false,false,false,0\]'; then
  # Untouched settings record: allow everything, ask for no password.
  "$tool" write "$settings" 1 "${pw[@]}" \
    '["",true,true,true,true,true,true,true,true,true,false,false,false,0]'
fi

projects="$dir/项目.edb"
if [ -f "$projects" ] && [ "$(records "$projects")" = 0 ]; then
  for item in 照片冲印 相框 装裱 海报打印 写真喷绘 证件照; do
    "$tool" append "$projects" "${pw[@]}" "[\"$item\"]" >/dev/null
  done
fi

ledger="$dir/记账.edb"
if [ -f "$ledger" ] && [ "$(records "$ledger")" = 0 ]; then
  day() { date -d "$1 days ago" +%F; }
  while IFS='|' read -r ago customer item amount remark settled; do
    "$tool" append "$ledger" "${pw[@]}" \
      "[\"$(day "$ago")\",\"$customer\",\"$item\",$amount,\"$remark\",$settled]" >/dev/null
  done <<'ROWS'
0|王小明|照片冲印|35|6寸 50张|true
0|李丽|装裱|-20|退还多收|false
0|张师傅|海报打印|120|A1 3张 加急|false
1|王小明|相框|48|7寸 实木|true
1|陈老板|写真喷绘|260|2.4米X1.2米|false
2|李丽|证件照|25|蓝底 8张|true
3|张师傅|海报打印|90|A2 4张|true
7|陈老板|写真喷绘|180|门头|false
ROWS
fi
