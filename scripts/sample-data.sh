#!/usr/bin/env bash
# Makes the four tables beside the program where they are missing (edbtool
# init, from the tables' one description; existing tables are kept) and fills
# the ones made just now with a few days of sample business, so that the
# program can be tried at once: the nine permission switches on (no password
# prompts), a short item list, four customers and their entries around today.
# Values go by field name, so nothing here depends on the field order.
# Usage: sample-data.sh EDBTOOL DIR
set -euo pipefail
tool=$1
dir=$2
pw=(--password 583027)

made=$("$tool" init "$dir")
echo "$made"
new() { grep -qx "created $1" <<<"$made"; }

if new 设置.edb; then
  # Allow everything, ask for no password.
  "$tool" write "$dir/设置.edb" 1 "${pw[@]}" \
    '{"记账录入":true,"记账日期":true,"记账修改删除":true,"统计模糊":true,"统计时间":true,
      "统计组合":true,"客户添加":true,"客户修改":true,"客户删除":true}'
fi

if new 项目.edb; then
  for item in 照片冲印 相框 装裱 海报打印 写真喷绘 证件照; do
    "$tool" append "$dir/项目.edb" "${pw[@]}" "{\"项目\":\"$item\"}" >/dev/null
  done
fi

if new 客户.EDB; then
  while IFS='|' read -r name phone address; do
    "$tool" append "$dir/客户.EDB" "${pw[@]}" \
      "{\"姓名\":\"$name\",\"电话\":\"$phone\",\"地址\":\"$address\"}" >/dev/null
  done <<'ROWS'
王小明|13800000001|东街12号
李丽|13800000002|
张师傅|13800000003|北门市场
陈老板|13800000004|南路88号
ROWS
fi

if new 记账.edb; then
  day() { date -d "$1 days ago" +%F; }
  while IFS='|' read -r ago customer item amount remark settled; do
    "$tool" append "$dir/记账.edb" "${pw[@]}" \
      "{\"日期\":\"$(day "$ago")\",\"客户\":\"$customer\",\"事件\":\"$item\",\"金额\":$amount,\"备注\":\"$remark\",\"状态\":$settled}" >/dev/null
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
